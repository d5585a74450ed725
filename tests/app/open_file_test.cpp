// Opening a musician's own files: a file that fails keeps the open piece
// loaded and playable, the file dialog's filter, and the recent files list
// with its file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/dispatch.h"
#include "app/open_file.h"
#include "app/recent_files.h"
#include "shell_fixture.h"
#include "string_table.h"

namespace tuttiro::test {
namespace {

class OpenFileTest : public ShellTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
};

TEST_F(OpenFileTest, AFileThatFailsToLoadKeepsTheOpenPiece) {
  const struct {
    const char* file;
    int message;
  } failures[] = {
      {"tests/piece/corpus/invalid/wrong-format/not_midi.mid", kStringWrongFormat},
      {"tests/piece/corpus/invalid/data-ended/truncated_track.mid", kStringWrongFormat},
      {"tests/piece/corpus/invalid/no-channel-messages/meta_only.mid", kStringNoMidiData},
      {"tests/piece/corpus/no-such-file.mid", kStringFileNotFound},
  };
  const int32_t endPosition = app->piece.endPosition;
  const size_t events = app->piece.tracks[0].events.size();
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.file);
    ui.chosenFile = SourcePath(failure.file);
    DispatchCommand(*shell, kIdOpenFile);
    EXPECT_EQ(host.messages.back(), failure.message);
    EXPECT_TRUE(app->piece.pieceLoaded);
    EXPECT_EQ(app->piece.piecePath, "Ecossaise");
    EXPECT_EQ(app->piece.endPosition, endPosition);
    EXPECT_EQ(app->piece.tracks[0].events.size(), events);
    EXPECT_TRUE(host.Checked(15));
    EXPECT_TRUE(shell->recentFiles.empty());
  }
  PlayFile(*app);
  platform.RunFor(2000);
  EXPECT_TRUE(TransportRunning(*app));
  EXPECT_GT(CurrentPosition(*app), 0);
}

TEST_F(OpenFileTest, AnOpenedFileHeadsTheRecentFilesKeptBetweenRuns) {
  const std::string first = SourcePath("tests/piece/corpus/valid/format1_basic.mid");
  const std::string second = SourcePath("tests/piece/corpus/valid/format0_three_channels.mid");
  ui.chosenFile = first;
  DispatchCommand(*shell, kIdOpenFile);
  EXPECT_EQ(ui.dialogFilter, "Standard MIDI Files (*.mid, *.smf) (*.mid *.smf)");
  EXPECT_EQ(app->piece.piecePath, first);
  for (int id = 15; id <= 19; ++id) EXPECT_FALSE(host.Checked(id));
  ui.chosenFile = second;
  DispatchCommand(*shell, kIdOpenFile);
  EXPECT_EQ(shell->recentFiles, (std::vector<std::string>{second, first}));
  EXPECT_EQ(host.labels[kIdRecentFileFirst], "&1 format0_three_channels.mid");
  EXPECT_EQ(LoadRecentFiles(settings.Str()), shell->recentFiles);

  DispatchCommand(*shell, kIdRecentFileFirst + 1);  // reopens the first file
  EXPECT_EQ(app->piece.piecePath, first);
  EXPECT_EQ(shell->recentFiles.front(), first);

  ui.chosenFile.reset();  // the dialog was cancelled
  DispatchCommand(*shell, kIdOpenFile);
  EXPECT_EQ(app->piece.piecePath, first);
}

TEST_F(OpenFileTest, ARecentFileThatIsGoneIsReportedAndLeavesTheList) {
  TempFolder music;
  const std::string file = music.File("song.mid");
  std::filesystem::copy_file(SourcePath("tests/piece/corpus/valid/format1_basic.mid"), file);
  ASSERT_EQ(OpenUserFile(*shell, file), kLoadOk);
  OpenPieceKeepingCurrent(*shell, "Longing");
  std::filesystem::remove(file);
  DispatchCommand(*shell, kIdRecentFileFirst);
  EXPECT_EQ(host.messages.back(), kStringFileNotFound);
  EXPECT_EQ(app->piece.piecePath, "Longing");
  EXPECT_TRUE(shell->recentFiles.empty());
  EXPECT_EQ(host.labels[kIdRecentFileFirst], "");
}

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostFour) {
  std::vector<std::string> list;
  for (const char* path : {"/a.mid", "/b.mid", "/c.mid", "/a.mid", "/d.mid", "/e.mid"}) {
    RecentFilesAdd(list, path);
  }
  EXPECT_EQ(list, (std::vector<std::string>{"/e.mid", "/d.mid", "/a.mid", "/c.mid"}));
  EXPECT_EQ(RecentFileLabel(3, "/music/Rock & Roll.mid"), "&4 Rock && Roll.mid");
  const std::string label = RecentFileLabel(0, "/music/" + std::string(200, 'x') + "end.mid");
  EXPECT_LE(label.size(), 3u + 60u);
  EXPECT_EQ(label.substr(label.size() - 7), "end.mid");
  EXPECT_NE(label.find("..."), std::string::npos);
}

// Junk in the file (a line of megabytes, thousands of lines) is passed over
// without being kept, and read no further than a few kilobytes: the File menu
// opens at once.
TEST(RecentFiles, AnEndlessLineOrEndlessJunkIsPassedOver) {
  TempFolder folder;
  {
    std::ofstream out(folder.File(kRecentFilesFileName));
    out << "/music/kept.mid\n/" << std::string(5000, 'a') << "\n/folder/\n";
    for (int i = 0; i < 1000; ++i) out << "junk\n";
    out << "/music/too-late.mid\n";
  }
  EXPECT_EQ(LoadRecentFiles(folder.Str()), (std::vector<std::string>{"/music/kept.mid"}));
  std::ofstream(folder.File(kRecentFilesFileName)) << "/" << std::string(10 << 20, 'a') << "\n";
  EXPECT_TRUE(LoadRecentFiles(folder.Str()).empty());
}

TEST(RecentFiles, TheFileKeepsAbsolutePathsOnly) {
  TempFolder folder;
  std::ofstream(folder.File(kRecentFilesFileName))
      << "/music/one.mid\r\nrelative.mid\n\n/music/one.mid\n/music/two.mid\n";
  EXPECT_EQ(LoadRecentFiles(folder.Str()),
            (std::vector<std::string>{"/music/one.mid", "/music/two.mid"}));
  EXPECT_TRUE(LoadRecentFiles(folder.File("missing")).empty());
  EXPECT_FALSE(SaveRecentFiles("", {"/a.mid"}));
  ASSERT_TRUE(SaveRecentFiles(folder.File("new/deeper"), {"/a.mid", "/line\nbreak.mid", "/b.mid"}));
  EXPECT_EQ(LoadRecentFiles(folder.File("new/deeper")),
            (std::vector<std::string>{"/a.mid", "/b.mid"}));
}

}  // namespace
}  // namespace tuttiro::test
