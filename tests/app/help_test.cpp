// The help pages: one for every dialog's help context, the search, and the
// help commands with pages present or missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/dialog_table.h"
#include "app/dispatch.h"
#include "app/help.h"
#include "shell_fixture.h"
#include "shell_strings.h"

namespace tuttiro::test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream stream(path);
  return {std::istreambuf_iterator<char>(stream), {}};
}

TEST(HelpPages, EveryDialogHasAPageNamedAfterIt) {
  const std::string folder = SourcePath("resources/help");
  EXPECT_EQ(HelpPageForContext(13), "midi-and-sync-setup.html");
  EXPECT_EQ(HelpPageForContext(0), "");
  EXPECT_EQ(HelpPageForContext(8), "");
  for (const DialogInfo& dialog : DialogTable()) {
    SCOPED_TRACE(dialog.title);
    const std::string page = HelpPageForContext(static_cast<uint32_t>(dialog.helpContext));
    const std::string html = ReadFile(folder + "/" + page);
    ASSERT_FALSE(html.empty()) << page;
    std::string title = dialog.title;
    if (const size_t amp = title.find('&'); amp != std::string::npos) {
      title.replace(amp, 1, "&amp;");
    }
    EXPECT_NE(html.find("<title>" + title), std::string::npos);
    // The contents page links to it.
    EXPECT_NE(ReadFile(folder + "/contents.html").find("href=\"" + page + "\""), std::string::npos);
  }
  EXPECT_FALSE(ReadFile(folder + "/" + kHelpOnHelpPage).empty());
}

TEST(HelpPages, SearchFindsPagesHoldingEveryWord) {
  TempFolder folder;
  std::ofstream(folder.File("a.html"))
      << "<html><head><title>Loop</title></head><body><p>The <b>loop</b> restarts; "
         "loop mode &amp; tempo.</p></body></html>";
  std::ofstream(folder.File("b.html"))
      << "<html><head><title>Tempo</title></head><body>Tempo and loop.</body></html>";
  std::ofstream(folder.File("notes.txt")) << "loop loop loop";
  const std::vector<HelpHit> both = SearchHelp(folder.Str(), "LOOP tempo");
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].page, "a.html");  // the word occurs more often there
  EXPECT_EQ(both[0].title, "Loop");
  EXPECT_EQ(SearchHelp(folder.Str(), "mode & tempo").size(), 1u);
  EXPECT_TRUE(SearchHelp(folder.Str(), "title").empty());  // tags are not words
  EXPECT_TRUE(SearchHelp(folder.Str(), "   ").empty());
  EXPECT_TRUE(SearchHelp(folder.File("missing"), "loop").empty());

  const std::vector<HelpHit> shipped = SearchHelp(SourcePath("resources/help"), "metronome");
  ASSERT_FALSE(shipped.empty());
  EXPECT_EQ(shipped.front().page, "midi-metronome.html");
}

TEST_F(ShellTest, HelpOpensTheOpenDialogsPageOrSaysThePagesAreMissing) {
  ASSERT_TRUE(Start());
  HelpRequest(*shell);  // no dialog open: the contents
  shell->helpContext = 2;
  HelpRequest(*shell);
  EXPECT_EQ(ui.helpPages, (std::vector<std::string>{"contents.html", "following.html"}));
  EXPECT_TRUE(host.messages.empty());

  shell->helpFolder.clear();
  HelpRequest(*shell);
  DispatchCommand(*shell, kIdHelpContents);
  EXPECT_EQ(host.messages, (std::vector<int>{kStringHelpMissing, kStringHelpMissing}));
  EXPECT_EQ(ui.helpPages.size(), 2u);
}

TEST(HelpPages, TheFirstFolderWithAContentsPageIsTheOne) {
  TempFolder empty;
  EXPECT_EQ(FindHelpFolder({"", empty.Str(), SourcePath("resources/help")}),
            SourcePath("resources/help"));
  EXPECT_EQ(FindHelpFolder({empty.Str()}), "");
}

}  // namespace
}  // namespace tuttiro::test
