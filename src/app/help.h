// The help pages: HTML files in a folder shipped with the program, one page per
// dialog (named after the dialog, found by its help context), a contents page
// and a page on using help; and a plain word search over them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tuttiro {

struct ShellRec;

inline constexpr const char* kHelpContentsPage = "contents.html";
inline constexpr const char* kHelpOnHelpPage = "using-help.html";

// The first folder of `candidates` that holds the contents page, or "".
std::string FindHelpFolder(const std::vector<std::string>& candidates);

// The page of a dialog's help context ("midi-and-sync-setup.html"), or "" for
// a context no dialog has.
std::string HelpPageForContext(uint32_t context);

struct HelpHit {
  std::string page;  // file name within the folder
  std::string title;
  int score = 0;  // how often the words occur
};

// Pages holding every word of `query` (case does not matter), best first.
std::vector<HelpHit> SearchHelp(const std::string& folder, const std::string& query);

// The help commands 360-363 and the help request (F1). Each shows a page, or
// message 2001 when the pages cannot be found.
enum class HelpCommand { kTopics, kContents, kSearch, kHelpOnHelp };
void ShowHelp(ShellRec& shell, HelpCommand command);
// F1: the open dialog's page, else the help topics.
void HelpRequest(ShellRec& shell);
// One page of the help folder by its file name.
void ShowHelpFile(ShellRec& shell, const std::string& page);

}  // namespace tuttiro
