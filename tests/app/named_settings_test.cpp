// Settings by name through the menu commands: system sets saved, listed,
// replaced and removed with the musician's confirmation, loaded and reverted;
// piece settings in slots of the piece's file, a built-in piece saved as a
// copy; the question on closing a piece with changed settings; and Save
// Performance As.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/dispatch.h"
#include "app/named_settings.h"
#include "app/open_file.h"
#include "app/save_performance.h"
#include "shell_fixture.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro::test {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The bytes after the settings event at the start of the first track: the
// header chunk's length, the track's header, delta 0, FF 7F, the length.
std::vector<uint8_t> AfterSettingsEvent(const std::vector<uint8_t>& file) {
  size_t at = 8 + (size_t{file[4]} << 24 | size_t{file[5]} << 16 | size_t{file[6]} << 8 | file[7]);
  at += 8 + 3;
  size_t length = 0;
  while (file[at] & 0x80) length = length << 7 | (file[at++] & 0x7F);
  length = length << 7 | file[at++];
  return std::vector<uint8_t>(file.begin() + static_cast<long>(at + length), file.end());
}

class NamedSettingsTest : public ShellTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
  void Dispatch(int id) { ASSERT_TRUE(DispatchCommand(*shell, id)); }
  void SaveAs(int command, const std::string& name) {
    host.settingsName = name;
    Dispatch(command);
    host.settingsName.reset();
  }
  // A copy of a built-in piece's file, opened as the musician's own.
  void OpenCopy() {
    copy = settings.File("piece.mid");
    std::filesystem::copy_file(SourcePath("resources/pieces/ecossaise.mid"), copy);
    ASSERT_EQ(OpenUserFile(*shell, copy), kLoadOk);
  }
  bool LastMessageIs(int id) const { return !host.messages.empty() && host.messages.back() == id; }

  std::string copy;
};

TEST_F(NamedSettingsTest, SystemSetsAreSavedListedReplacedLoadedRevertedAndRemoved) {
  app->system.metronomeOn = 1;
  SaveAs(kIdSystemSaveAs, "Flute");
  app->system.metronomeOn = 0;
  app->system.loopMode = 1;
  SaveAs(kIdSystemSaveAs, "Room");
  EXPECT_EQ(host.labels[30], "Flute");
  EXPECT_EQ(host.labels[31], "Room");
  EXPECT_EQ(host.labels[42], "Room");
  EXPECT_EQ(host.labels[32], "");
  EXPECT_TRUE(host.Enabled(31));
  EXPECT_FALSE(host.Enabled(32));

  // A name in use is replaced only when the musician agrees.
  host.answerOk = false;
  SaveAs(kIdSystemSaveAs, "Flute");
  EXPECT_EQ(host.questions.back(), "Are you sure you want to replace the settings 'Flute'?");
  Dispatch(30);
  EXPECT_EQ(app->system.metronomeOn, 1);  // still the first Flute
  EXPECT_EQ(app->system.loopMode, 0);

  // Revert goes back to before the load, and again forth.
  Dispatch(kIdSystemRevert);
  EXPECT_EQ(app->system.loopMode, 1);
  Dispatch(kIdSystemRevert);
  EXPECT_EQ(app->system.loopMode, 0);
  Dispatch(kIdSystemDefaults);
  EXPECT_EQ(app->system.metronomeOn, 0);
  Dispatch(kIdSystemRevert);
  EXPECT_EQ(app->system.metronomeOn, 1);

  host.answerOk = true;
  Dispatch(kIdSystemRemoveFirst);
  EXPECT_EQ(host.questions.back(), "Are you sure you want to remove the settings 'Flute'?");
  EXPECT_EQ(host.labels[30], "Room");
  EXPECT_FALSE(host.Enabled(31));
}

TEST_F(NamedSettingsTest, FailuresAreReported) {
  Dispatch(kIdSystemRevert);  // nothing to revert to yet
  EXPECT_TRUE(LastMessageIs(kStringCannotRevert));
  Dispatch(kIdPieceRevert);
  EXPECT_TRUE(LastMessageIs(kStringCannotRevert));
  // A configuration folder that is a file cannot hold saved settings.
  const std::string notAFolder = settings.File("file");
  std::ofstream(notAFolder) << "x";
  shell->settingsFolder = notAFolder;
  SaveAs(kIdSystemSaveAs, "Anything");
  EXPECT_TRUE(LastMessageIs(kStringCannotSaveSettings));
}

TEST_F(NamedSettingsTest, ARevertPointIsKeptByADialogThatChangedSettings) {
  const SettingsBefore before = SettingsBeforeDialog(*shell);
  app->system.metronomeOn = 1;
  app->live.masterTranspose = 3;
  SettingsAfterDialog(*shell, before);
  Dispatch(kIdSystemRevert);
  EXPECT_EQ(app->system.metronomeOn, 0);
  Dispatch(kIdPieceRevert);
  EXPECT_EQ(app->live.masterTranspose, 0);
}

TEST_F(NamedSettingsTest, PieceSlotsLiveInThePiecesFile) {
  OpenCopy();
  SetMasterTranspose(*app, -2);
  SetMasterTempo(*app, 5000);
  SaveAs(kIdPieceSaveAs, "Low");
  EXPECT_EQ(host.labels[70], "Low");
  EXPECT_TRUE(app->transport.pieceSettingsSaved[0]);
  const std::optional<PieceSettingsRecord> record = ReadPieceSettings(app->sources, copy);
  ASSERT_TRUE(record);
  EXPECT_EQ(SettingsSlotName(*record, 1), "Low");
  EXPECT_EQ(AfterSettingsEvent(ReadBytes(copy)),
            AfterSettingsEvent(ReadBytes(SourcePath("resources/pieces/ecossaise.mid"))));

  // What a slot, Revert and Default Settings give is what plays and shows:
  // the transport clock's tempo, and the transposition the soloist is heard in.
  SetMasterTranspose(*app, 5);
  SetMasterTempo(*app, 3000);
  struct Step {
    int command;
    int16_t transpose;
    int32_t tempo;
  };
  for (const Step& step : {Step{kIdPieceLoadFirst, -2, 5000}, Step{kIdPieceRevert, 5, 3000},
                           Step{kIdPieceDefaults, 0, 4096}}) {
    Dispatch(step.command);
    EXPECT_EQ(app->live.masterTranspose, step.transpose) << step.command;
    EXPECT_EQ(app->engine.input.settings.masterTranspose.load(), step.transpose) << step.command;
    EXPECT_EQ(app->engine.scheduler.settings.masterTranspose.load(), step.transpose);
    EXPECT_EQ(app->live.tempoFactor, step.tempo) << step.command;
    EXPECT_EQ(app->engine.clock.tempoFactor.load(), step.tempo) << step.command;
  }

  Dispatch(kIdPieceRemoveFirst);
  EXPECT_EQ(host.questions.back(), "Are you sure you want to remove the settings 'Low'?");
  EXPECT_EQ(SettingsSlotName(*ReadPieceSettings(app->sources, copy), 1), "");
  EXPECT_EQ(host.labels[70], "");
}

TEST_F(NamedSettingsTest, ABuiltInPieceIsSavedAsACopyThatThenOpens) {
  ASSERT_EQ(app->piece.piecePath, "Ecossaise");
  app->live.masterTranspose = 4;
  ui.savePath = settings.File("mine.mid");
  SaveAs(kIdPieceSaveAs, "Up");
  EXPECT_EQ(host.questions.back(), StringText(kStringBuiltinCopy));
  EXPECT_EQ(ui.proposedNames.back(), "Ecossaise.mid");
  EXPECT_EQ(app->piece.piecePath, *ui.savePath);
  EXPECT_EQ(app->live.masterTranspose, 4);  // the copy opened with the live settings
  EXPECT_EQ(host.labels[70], "Up");
}

TEST_F(NamedSettingsTest, ClosingAPieceWithChangedSettingsAsksToSaveThem) {
  OpenCopy();
  EXPECT_TRUE(PieceMayClose(*shell));  // unchanged: no question
  EXPECT_TRUE(ui.saveQuestions.empty());

  app->live.masterTranspose = 7;
  ui.saveChoice = SaveChoice::kCancel;
  Dispatch(kIdOpenBuiltinFirst + 1);
  EXPECT_EQ(app->piece.piecePath, copy);  // cancelled: still open
  EXPECT_EQ(ui.saveQuestions.back(),
            "Do you want to save the changes you made to the settings of 'piece'?");

  ui.saveChoice = SaveChoice::kSave;
  Dispatch(kIdOpenBuiltinFirst + 1);
  EXPECT_EQ(app->piece.piecePath, "Eine Kleine Nachtmusik");
  ASSERT_EQ(OpenUserFile(*shell, copy), kLoadOk);
  EXPECT_EQ(app->live.masterTranspose, 7);  // slot 0 came back with the piece
}

TEST_F(NamedSettingsTest, SavePerformanceProposesItsNameAndReportsFailure) {
  app->transport.performanceAvailable = true;
  EXPECT_EQ(ProposedPerformanceName(*app), "Perf_Ecossaise.mid");
  ui.savePath = settings.File("missing-folder/perf.mid");
  Dispatch(kIdSavePerformanceAs);
  EXPECT_EQ(ui.proposedNames.back(), "Perf_Ecossaise.mid");
  EXPECT_TRUE(LastMessageIs(kStringCannotSaveFile));
  EXPECT_FALSE(std::filesystem::exists(*ui.savePath));
}

}  // namespace
}  // namespace tuttiro::test
