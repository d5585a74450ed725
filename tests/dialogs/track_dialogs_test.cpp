// The Tracks, Banks & Programs and Performance Settings dialog models: field
// limits and the single beep, switching tracks on a bad entry, the resets, the
// bank and program completeness rule, and the values stored on OK.
#include <gtest/gtest.h>

#include "dialogs/banks_dialog.h"
#include "dialogs/dialogs.h"
#include "dialogs/performance_dialog.h"
#include "dialogs/program_combo_fields.h"
#include "dialogs/tracks_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

std::vector<TrackValues> TwoTracks() {
  std::vector<TrackValues> tracks(2);
  tracks[0].name = "Piano";
  tracks[0].fileChannel = 3;
  tracks[0].outputChannel = 5;
  tracks[1].name = "Bass";
  tracks[0].programCombos[0].file = {kComboProgram, {5, 0, 0}};
  tracks[0].programCombos[1].file = {kComboBank0, {2, 9, 0}};
  return tracks;
}

// Types `text` into field `id` and runs the command; true when it beeped.
template <typename Dialog, typename Command>
bool Type(Dialog& d, Command command, int id, const std::string& text) {
  d.model[id].text = text;
  return command(d, id);
}

bool Choose(TracksDialog& d, int track) {
  d.model[kTrackList].selection = track;
  return TracksCommand(d, kTrackList);
}

TEST(TracksDialog, FieldLimitsBeepOnceAndValidEntriesReachTheWorkingCopyAtOnce) {
  struct Case {
    int field;
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {kTrackVolumeField, "151", false}, {kTrackVolumeField, "150", true},
      {kTrackVolumeField, "", false},    {kTrackVolumeField, "-1", false},
      {kTrackTranspose, "+127", true},   {kTrackTranspose, "-128", false},
      {kTrackTranspose, "", true},       {kTrackName, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
    EXPECT_EQ(Type(d, TracksCommand, c.field, c.text), !c.valid);
    EXPECT_EQ(d.model.ok.enabled(), c.valid);
    // A second bad keystroke does not beep again.
    if (!c.valid) {
      EXPECT_FALSE(Type(d, TracksCommand, c.field, c.text + "9"));
    }
  }
  TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
  Type(d, TracksCommand, kTrackVolumeField, "150");
  Type(d, TracksCommand, kTrackTranspose, "+127");
  EXPECT_EQ(d.working[0].volume, 384);
  EXPECT_EQ(d.working[0].transposition, 127);
  Type(d, TracksCommand, kTrackTranspose, "-128");
  EXPECT_EQ(d.working[0].transposition, 127) << "a refused entry never reaches the copy";
}

TEST(TracksDialog, NamesResetsAndEnabling) {
  TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
  EXPECT_FALSE(d.model.Enabled(kResetToOriginalName));
  EXPECT_FALSE(d.model.Enabled(kResetVolume));
  EXPECT_FALSE(d.model.Enabled(kResetTranspose));
  Type(d, TracksCommand, kTrackName, "Left hand");
  Type(d, TracksCommand, kTrackTranspose, "-3");
  Type(d, TracksCommand, kTrackVolumeField, "80");
  EXPECT_EQ(d.working[0].userName, "Left hand");
  EXPECT_EQ(d.model[kTrackList].items[0], "Left hand");
  EXPECT_TRUE(d.model.Enabled(kResetToOriginalName));
  EXPECT_TRUE(d.model.Enabled(kResetTranspose));
  EXPECT_TRUE(d.model.Enabled(kResetVolume));
  for (int reset : {kResetToOriginalName, kResetTranspose, kResetVolume}) TracksCommand(d, reset);
  EXPECT_EQ(d.working[0].userName, std::nullopt) << "the file's name back clears the user name";
  EXPECT_EQ(d.working[0].transposition, 0);
  EXPECT_EQ(d.working[0].volume, 256);
  EXPECT_EQ(d.model.Text(kTrackTranspose), "");
  EXPECT_EQ(d.model.Text(kTrackVolumeField), "100");
}

TEST(TracksDialog, AnotherTrackIsRefusedWithABeepWhileAnEntryIsInvalid) {
  TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
  Type(d, TracksCommand, kTrackVolumeField, "200");
  EXPECT_TRUE(Choose(d, 1));
  EXPECT_EQ(d.current, 0);
  EXPECT_EQ(d.model.Selection(kTrackList), 0);
  Type(d, TracksCommand, kTrackVolumeField, "50");
  EXPECT_FALSE(Choose(d, 1));
  EXPECT_EQ(d.current, 1);
  EXPECT_EQ(d.model.Text(kTrackName), "Bass");
  EXPECT_EQ(d.working[0].volume, 128);
}

TEST(TracksDialog, ResetTrackAndUndoChangesWorkOnTheCopyOnly) {
  std::vector<TrackValues> tracks = TwoTracks();
  tracks[0].userName = "Mine";
  tracks[0].volume = 300;
  tracks[0].play = 0;
  tracks[0].substitutePrograms = 1;
  TracksDialog d = OpenTracks(tracks, {}, 0);
  TracksCommand(d, kResetTrack);
  const TrackValues& t = d.working[0];
  EXPECT_EQ(t.userName, std::nullopt);
  EXPECT_EQ(t.volume, 256);
  EXPECT_EQ(t.play, 1);
  EXPECT_EQ(t.substitutePrograms, 0);
  EXPECT_EQ(t.outputChannel, 3) << "back to the file's channel";
  EXPECT_EQ(d.model.Text(kTrackName), "Piano");
  EXPECT_TRUE(d.model.Checked(kPlayTrack));
  // Cancel commits nothing: what the dialog was opened with is untouched.
  EXPECT_EQ(tracks[0].volume, 300);
  TracksCommand(d, kUndoChanges);
  EXPECT_EQ(d.working[0].volume, 300);
  EXPECT_EQ(d.working[0].userName, "Mine");
  EXPECT_TRUE(d.model.Checked(kMuteTrack));
}

TEST(ProgramComboFields, TextsAndValueFieldsPerKind) {
  struct Case {
    ProgramCombo combo;
    std::string text;
    int fields;
  };
  const Case cases[] = {
      {{kComboNone, {}}, "--no change--", 0},
      {{kComboProgram, {5, 0, 0}}, "P: 5;  ", 1},
      {{kComboBank0, {1, 2, 0}}, "C0: 1;  P: 2;  ", 2},
      {{kComboBank32, {1, 2, 0}}, "C32: 1;  P: 2;  ", 2},
      {{kComboBank0And32, {1, 2, 3}}, "C0: 1;  C32: 2;  P: 3;  ", 3},
      {{kComboProgramPair, {100, 7, 0}}, "P: 100;  P: 7;  ", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComboText(c.combo), c.text);
    BanksDialog d = OpenBanks(TwoTracks());
    d.model[kNewChangeKind].selection = c.combo.kind;
    BanksCommand(d, kNewChangeKind);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.model[kNewValue1 + i].visible, i < c.fields);
    EXPECT_EQ(d.model[kNewValueLabel].visible, c.fields == 1);
    EXPECT_EQ(d.model[kNewValuesLabel].visible, c.fields > 1);
  }
}

TEST(BanksDialog, EntriesAndSetNewWithTheBankProgramRule) {
  BanksDialog d = OpenBanks(TwoTracks());
  EXPECT_EQ(
      d.model[kProgramEntries].items,
      (std::vector<std::string>{"\tP: 5;  \t--no change--", "\tC0: 2;  P: 9;  \t--no change--"}));
  EXPECT_TRUE(d.model.Checked(kUseFilesPrograms));
  d.model[kNewChangeKind].selection = kComboProgramPair;
  BanksCommand(d, kNewChangeKind);
  EXPECT_FALSE(Type(d, BanksCommand, kNewValue1, "99"));
  EXPECT_FALSE(Type(d, BanksCommand, kNewValue2, "7"));
  EXPECT_FALSE(d.model.Enabled(kSetNew)) << "99 is no bank program: incomplete, silently";
  EXPECT_FALSE(Type(d, BanksCommand, kNewValue1, "100"));
  EXPECT_TRUE(d.model.Enabled(kSetNew));
  EXPECT_TRUE(Type(d, BanksCommand, kNewValue2, "128"));
  EXPECT_FALSE(Type(d, BanksCommand, kNewValue2, "1289"));
  EXPECT_FALSE(d.model.Enabled(kSetNew));
  Type(d, BanksCommand, kNewValue2, "7");
  BanksCommand(d, kSetNew);
  EXPECT_EQ(d.model[kProgramEntries].items[0], "\tP: 5;  \tP: 100;  P: 7;  ");
  EXPECT_FALSE(d.model.Enabled(kSetNew)) << "the same change again is no change";
  // The choice belongs to its track: switching away keeps it.
  d.model.CheckRadio(std::vector<int>{kUseFilesPrograms, kSubstitutePrograms}, kSubstitutePrograms);
  BanksCommand(d, kSubstitutePrograms);
  d.model[kBanksTrackList].selection = 1;
  BanksCommand(d, kBanksTrackList);
  EXPECT_TRUE(d.model.Checked(kUseFilesPrograms));
  EXPECT_EQ(d.working[0].substitutePrograms, 1);
  EXPECT_EQ(d.working[0].programCombos[0].substitute,
            (ProgramCombo{kComboProgramPair, {100, 7, 0}}));
}

TEST(PerformanceDialog, ProgramValidationEnablingAndStore) {
  PerformanceValues v;
  v.outputPort = 2;
  v.outputChannel = 9;
  v.performanceTempo = {1, 0, 2};
  PerformanceDialog d = OpenPerformance(v, {});
  EXPECT_TRUE(d.model.ok.enabled());
  EXPECT_FALSE(d.model.Enabled(kPerformancePort));
  EXPECT_FALSE(d.model[kPerformanceValuesLabel].visible) << "no change: no values";
  d.model[kPerformanceKind].selection = kComboProgram;
  EXPECT_FALSE(PerformanceCommand(d, kPerformanceKind)) << "an empty value is only incomplete";
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);
  EXPECT_TRUE(d.model[kPerformanceValuesLabel].visible);
  EXPECT_TRUE(Type(d, PerformanceCommand, kPerformanceValue1, "128"));
  EXPECT_EQ(d.model.ok.state, OkState::kInvalid);
  EXPECT_FALSE(Type(d, PerformanceCommand, kPerformanceValue1, "12"));
  d.model.CheckRadio(std::vector<int>{kFollowingTrackOutput, kOwnPort}, kOwnPort);
  PerformanceCommand(d, kOwnPort);
  EXPECT_TRUE(d.model.Enabled(kPerformancePort));
  EXPECT_TRUE(d.model.Enabled(kPerformanceValue1));
  d.model[kPerformanceMode].selection = 3;
  const PerformanceValues stored = StorePerformance(d);
  EXPECT_EQ(stored.performancePlayback, 3);
  EXPECT_EQ(stored.usesOwnPort, 1);
  EXPECT_EQ(stored.outputPort, 2);
  EXPECT_EQ(stored.outputChannel, 9);
  EXPECT_EQ(stored.program, (ProgramCombo{kComboProgram, {12, 0, 0}}));
  EXPECT_EQ(stored.performanceTempo, v.performanceTempo);
}

}  // namespace
}  // namespace tuttiro
