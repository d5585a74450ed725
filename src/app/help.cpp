// Finding, naming and searching the help pages.
#include "app/help.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "app/dialog_table.h"
#include "app/shell.h"
#include "shell_strings.h"

namespace tuttiro {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The words of a page: the text between its tags, in lower case, with the
// few entities the pages use turned back into their characters.
std::string PageText(const std::string& html) {
  std::string text;
  bool inTag = false;
  for (char c : html) {
    if (c == '<') {
      inTag = true;
      text += ' ';
    } else if (c == '>') {
      inTag = false;
    } else if (!inTag) {
      text += c;
    }
  }
  for (const auto& [entity, plain] :
       {std::pair{"&amp;", "&"}, {"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}}) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at)) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  return Lower(text);
}

std::string PageTitle(const std::string& html) {
  const std::string lower = Lower(html);
  const size_t open = lower.find("<title>");
  const size_t close = lower.find("</title>");
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return html.substr(open + 7, close - open - 7);
}

int CountOccurrences(const std::string& text, const std::string& word) {
  int count = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

bool ShowPage(ShellRec& shell, const std::string& page, bool search) {
  if (shell.helpFolder.empty()) return false;
  const fs::path path = fs::path(shell.helpFolder) / page;
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return false;
  shell.ui.ShowHelpPage(path.string(), search);
  return true;
}

}  // namespace

std::string FindHelpFolder(const std::vector<std::string>& candidates) {
  for (const std::string& folder : candidates) {
    std::error_code error;
    if (!folder.empty() && fs::is_regular_file(fs::path(folder) / kHelpContentsPage, error)) {
      return folder;
    }
  }
  return {};
}

std::string HelpPageForContext(uint32_t context) {
  for (const DialogInfo& dialog : DialogTable()) {
    if (static_cast<uint32_t>(dialog.helpContext) != context) continue;
    std::string page;
    for (const char* c = dialog.title; *c; ++c) {
      if (*c == '&') {
        page += "and";
      } else if (*c == ' ') {
        page += '-';
      } else {
        page += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
      }
    }
    return page + ".html";
  }
  return {};
}

std::vector<HelpHit> SearchHelp(const std::string& folder, const std::string& query) {
  std::vector<std::string> words;
  std::istringstream split(Lower(query));
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<HelpHit> hits;
  std::error_code error;
  if (words.empty() || folder.empty() || !fs::is_directory(folder, error)) return hits;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".html") continue;
    std::ifstream stream(entry.path(), std::ios::binary);
    const std::string html{std::istreambuf_iterator<char>(stream), {}};
    const std::string text = PageText(html);
    int score = 0;
    bool all = true;
    for (const std::string& word : words) {
      const int count = CountOccurrences(text, word);
      all = all && count > 0;
      score += count;
    }
    if (all) hits.push_back({entry.path().filename().string(), PageTitle(html), score});
  }
  std::sort(hits.begin(), hits.end(), [](const HelpHit& a, const HelpHit& b) {
    return a.score != b.score ? a.score > b.score : a.title < b.title;
  });
  return hits;
}

void ShowHelp(ShellRec& shell, HelpCommand command) {
  bool shown = false;
  switch (command) {
    case HelpCommand::kTopics:
    case HelpCommand::kContents:
      shown = ShowPage(shell, kHelpContentsPage, false);
      break;
    case HelpCommand::kSearch:
      shown = ShowPage(shell, kHelpContentsPage, true);
      break;
    case HelpCommand::kHelpOnHelp:
      shown = ShowPage(shell, kHelpOnHelpPage, false);
      break;
  }
  if (!shown) shell.app.host.ShowMessage(kStringHelpMissing);
}

void HelpRequest(ShellRec& shell) {
  if (shell.helpContext == 0) {
    ShowHelp(shell, HelpCommand::kTopics);
    return;
  }
  ShowHelpFile(shell, HelpPageForContext(shell.helpContext));
}

void ShowHelpFile(ShellRec& shell, const std::string& page) {
  if (page.empty() || !ShowPage(shell, page, false)) shell.app.host.ShowMessage(kStringHelpMissing);
}

}  // namespace tuttiro
