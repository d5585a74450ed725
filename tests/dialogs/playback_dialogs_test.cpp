// The Remote Control, MIDI Metronome, Master Transpose, Tempo, Tracks, Banks &
// Programs and Performance Settings dialogs' rules, headless: what each refuses
// (with or without a beep), what it takes from MIDI, switching tracks on a bad
// entry, the resets, the bank and program completeness rule, and what each
// stores on OK.
#include <gtest/gtest.h>

#include <map>

#include "dialogs/banks_dialog.h"
#include "dialogs/dialogs.h"
#include "dialogs/metronome_dialog.h"
#include "dialogs/performance_dialog.h"
#include "dialogs/program_combo_fields.h"
#include "dialogs/remote_control_dialog.h"
#include "dialogs/tempo_dialogs.h"
#include "dialogs/tracks_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kPlayFileRow = 1;
constexpr int kStopRow = 5;

// Types into a field of the dialog and runs its command: true for a beep.
template <typename Dialog, typename Command>
bool Type(Dialog& d, int id, const std::string& text, Command command) {
  d.model[id].text = text;
  return command(d, id);
}
bool Type(RemoteControlDialog& d, int id, const std::string& text) {
  return Type(d, id, text, RemoteControlCommand);
}
bool Type(MetronomeDialog& d, int id, const std::string& text) {
  return Type(d, id, text, MetronomeCommand);
}
bool Type(TracksDialog& d, int id, const std::string& text) {
  return Type(d, id, text, TracksCommand);
}
bool Type(BanksDialog& d, int id, const std::string& text) {
  return Type(d, id, text, BanksCommand);
}
bool Type(PerformanceDialog& d, int id, const std::string& text) {
  return Type(d, id, text, PerformanceCommand);
}

// A note and a controller of the same number are different values; the same
// value twice, a controller of 122 or a note that does not read is refused
// with one beep; a Controller radio over an empty field stores "none".
TEST(RemoteControlDialog, RefusesValuesUsedTwiceAndControllersAbove121) {
  RemoteTable table;
  table.fill(kRemoteNone);
  table[3] = 256 + 64;
  table[4] = 61;
  EXPECT_EQ(StoreRemoteControl(OpenRemoteControl(table, true)), table);

  RemoteControlDialog d = OpenRemoteControl(table, false);
  EXPECT_FALSE(Type(d, kRemoteNoteField + kPlayFileRow, "C5"));
  EXPECT_TRUE(Type(d, kRemoteNoteField + kStopRow, "60"));
  d.model.CheckRadio(std::array{kRemoteNoteRadio + kStopRow, kRemoteControllerRadio + kStopRow},
                     kRemoteControllerRadio + kStopRow);
  EXPECT_FALSE(RemoteControlCommand(d, kRemoteControllerRadio + kStopRow));
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, "60"));
  EXPECT_TRUE(Type(d, kRemoteControllerField + kStopRow, "122"));
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, "121"));
  EXPECT_TRUE(Type(d, kRemoteNoteField + 9, "H3"));
  EXPECT_FALSE(Type(d, kRemoteNoteField + 9, ""));
  EXPECT_EQ(d.currentRow, 9);
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, ""));
  EXPECT_TRUE(d.model.ok.enabled());  // empty rows are never duplicates
  const RemoteTable stored = StoreRemoteControl(d);
  EXPECT_EQ(stored[kPlayFileRow], 60);
  EXPECT_EQ(stored[kStopRow], kRemoteNone);
}

// Captured notes and controllers go into the row last touched; the note-off of
// a captured note does not write it again, so a field cleared meanwhile stays clear.
TEST(RemoteControlDialog, CaptureFillsTheCurrentRowOnce) {
  RemoteTable table;
  table.fill(kRemoteNone);
  RemoteControlDialog d = OpenRemoteControl(table, false);
  EXPECT_FALSE(RemoteControlCapture(d, 0x403C90));  // capture off: ignored
  d.model[kRemoteCapture].checked = true;
  RemoteControlCommand(d, kRemoteControllerField + kStopRow);
  EXPECT_FALSE(RemoteControlCapture(d, 0x403C90));
  EXPECT_EQ(d.model.Text(kRemoteNoteField + kStopRow), "C5");
  Type(d, kRemoteNoteField + kStopRow, "");
  RemoteControlCapture(d, 0x003C80);
  EXPECT_EQ(d.model.Text(kRemoteNoteField + kStopRow), "");

  RemoteControlCommand(d, kRemoteNoteField + kPlayFileRow);
  RemoteControlCapture(d, 0x7F40B0);  // a sustain pedal
  EXPECT_TRUE(d.model.Checked(kRemoteControllerRadio + kPlayFileRow));
  RemoteControlCommand(d, kRemoteNoteField + kStopRow);
  EXPECT_TRUE(RemoteControlCapture(d, 0x0040B0));  // taken again for another row: a duplicate
  EXPECT_EQ(StoreRemoteControl(d)[kPlayFileRow], 256 + 64);
}

const MetronomeValues kClicks{1, 0, 9, 255, 75, 127, 75, 100};
const std::vector<std::string> kPorts{"A--", "B--", "C--", "D--", "E--", "F--", "G--", "H--"};

TEST(MetronomeDialog, ChecksPatchNotesAndVelocities) {
  MetronomeDialog d = OpenMetronome(kClicks, kPorts, false);
  EXPECT_EQ(d.model.Text(kDownbeatNote), "D#6");
  struct Case {
    int id;
    const char* text;
    OkState state;
    bool beep;
  };
  const Case cases[] = {
      {kDownbeatVelocity, "", OkState::kIncomplete, false},  // a note without a velocity
      {kDownbeatVelocity, "90", OkState::kValid, false},
      {kMetronomePatch, "128", OkState::kInvalid, true},
      {kMetronomePatch, "12", OkState::kValid, false},
      {kBeatNote, "H3", OkState::kInvalid, true},
      {kBeatNote, "", OkState::kValid, false},  // no note: the velocity does not matter
      {kBeatVelocity, "128", OkState::kInvalid, true},
      {kBeatVelocity, "", OkState::kValid, false},
  };
  const std::map<int, std::string> why = {
      {kDownbeatVelocity, "Give a velocity for each click's note."},
      {kMetronomePatch, "The patch must be from 0 to 127."},
      {kBeatNote, "A click's note must be from 0 to 127, or a note name and octave such as C5."},
      {kBeatVelocity, "A velocity must be from 0 to 127."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + " " + c.text);
    EXPECT_EQ(Type(d, c.id, c.text), c.beep);
    EXPECT_EQ(d.model.ok.state, c.state);
    EXPECT_EQ(d.model.ok.why, c.state == OkState::kValid ? "" : why.at(c.id));
  }
  EXPECT_EQ(StoreMetronome(d), (MetronomeValues{1, 0, 9, 12, 75, 90, 255, 255}));
}

// Off greys everything and takes nothing from MIDI; On, a captured note-on
// fills the row last touched and is the click to sound on the dialog's port
// and channel.
TEST(MetronomeDialog, CapturesClicksOnlyWhileOn) {
  MetronomeValues off = kClicks;
  off.on = 0;
  MetronomeDialog d = OpenMetronome(off, kPorts, false);
  for (int id : {kMetronomePort, kBeatVelocity, kMetronomeCapture, kMetronomeLabelLast}) {
    EXPECT_FALSE(d.model.Enabled(id)) << id;
  }
  d.model[kMetronomeCapture].checked = true;
  bool beep = true;
  EXPECT_FALSE(MetronomeCapture(d, 0x503090, beep));
  EXPECT_EQ(d.model.Text(kDownbeatNote), "D#6");

  d.model.CheckRadio(std::array{kMetronomeOn, kMetronomeOff}, kMetronomeOn);
  d.model[kMetronomePort].selection = 2;
  d.model[kMetronomeChannel].selection = 3;
  MetronomeCommand(d, kBeatVelocity);
  const auto click = MetronomeCapture(d, 0x503090, beep);
  ASSERT_TRUE(click);
  EXPECT_EQ(d.model.Text(kBeatNote), "C4");
  EXPECT_EQ(d.model.Text(kBeatVelocity), "80");
  EXPECT_EQ(click->port, 2);
  EXPECT_FALSE(click->programChange);
  EXPECT_EQ(click->noteOn, 0x503093u);
  EXPECT_FALSE(MetronomeCapture(d, 0x003080, beep));  // note-offs are not clicks
}

TEST(MasterTransposeDialog, AcceptsHalfStepsFromMinus127ToPlus127) {
  MasterTransposeDialog d = OpenMasterTranspose(5);
  EXPECT_EQ(d.model.Text(kTransposeField), "+5");
  struct Case {
    const char* text;
    bool valid;
    bool resetEnabled;
  };
  for (const Case& c : {Case{"+127", true, true}, Case{"-128", false, true}, Case{"0", true, false},
                        Case{"", true, false}, Case{"+-1", false, true}, Case{"-12", true, true}}) {
    d.model[kTransposeField].text = c.text;
    MasterTransposeCommand(d);
    EXPECT_EQ(d.model.ok.enabled(), c.valid) << c.text;
    EXPECT_EQ(d.model.Enabled(kTransposeReset), c.resetEnabled) << c.text;
  }
  EXPECT_EQ(StoreMasterTranspose(d), -12);
}

TEST(TempoDialog, PercentAndBeatsPerMinuteRewriteEachOther) {
  TempoDialog d = OpenTempo(4096, 500 * 4096, 120);  // a 500 ms beat: 120 per minute
  EXPECT_EQ(d.model.Text(kTempoPercent), "100");
  EXPECT_FALSE(d.model.Enabled(kTempoReset));
  struct Case {
    int id;
    const char* text;
    const char* other;
    OkState state;
  };
  const Case cases[] = {
      {kTempoPercent, "50", "60", OkState::kValid},
      {kTempoBpm, "90", "75", OkState::kValid},
      {kTempoBpm, "", "", OkState::kIncomplete},
      {kTempoPercent, "0", "0", OkState::kIncomplete},
      {kTempoPercent, "201", "241", OkState::kInvalid},
      {kTempoBpm, "2x", "", OkState::kIncomplete},  // the percent is what OK goes by
      {kTempoPercent, "50", "60", OkState::kValid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    d.model[c.id].text = c.text;
    TempoCommand(d, c.id);
    EXPECT_EQ(d.model.Text(c.id == kTempoPercent ? kTempoBpm : kTempoPercent), c.other);
    EXPECT_EQ(d.model.ok.state, c.state);
    EXPECT_EQ(d.model.ok.why,
              c.state == OkState::kValid ? "" : "The tempo must be from 1 to 200 %.");
  }
  EXPECT_EQ(StoreTempo(d), 2048);
  TempoReset(d);
  EXPECT_EQ(d.model.Text(kTempoBpm), "120");
  EXPECT_EQ(StoreTempo(d), 4096);

  // A piece without beats to measure: no beats per minute, no division by zero.
  TempoDialog none = OpenTempo(2048, 0, 0);
  Type(none, kTempoBpm, "100", TempoCommand);
  EXPECT_EQ(none.model.Text(kTempoPercent), "");
}

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
      {kTrackTranspose, "200", false},   {kTrackTranspose, "", true},
      {kTrackName, "", false},
  };
  const std::map<int, std::string> why = {
      {kTrackVolumeField, "The volume must be from 0 to 150 %."},
      {kTrackTranspose, "The transposition must be from -127 to 127 half steps."},
      {kTrackName, "The track needs a name."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
    EXPECT_EQ(Type(d, c.field, c.text), !c.valid);
    EXPECT_EQ(d.model.ok.enabled(), c.valid);
    EXPECT_EQ(d.model.ok.why, c.valid ? "" : why.at(c.field));
    // A second bad keystroke does not beep again.
    if (!c.valid) {
      EXPECT_FALSE(Type(d, c.field, c.text + "9"));
    }
  }
  TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
  Type(d, kTrackVolumeField, "150");
  Type(d, kTrackTranspose, "+127");
  EXPECT_EQ(d.working[0].volume, 384);
  EXPECT_EQ(d.working[0].transposition, 127);
  Type(d, kTrackTranspose, "-128");
  EXPECT_EQ(d.working[0].transposition, 127) << "a refused entry never reaches the copy";
}

TEST(TracksDialog, NamesResetsAndEnabling) {
  TracksDialog d = OpenTracks(TwoTracks(), {}, 0);
  EXPECT_FALSE(d.model.Enabled(kResetToOriginalName));
  EXPECT_FALSE(d.model.Enabled(kResetVolume));
  EXPECT_FALSE(d.model.Enabled(kResetTranspose));
  Type(d, kTrackName, "Left hand");
  Type(d, kTrackTranspose, "-3");
  Type(d, kTrackVolumeField, "80");
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
  Type(d, kTrackVolumeField, "200");
  EXPECT_TRUE(Choose(d, 1));
  EXPECT_EQ(d.current, 0);
  EXPECT_EQ(d.model.Selection(kTrackList), 0);
  Type(d, kTrackVolumeField, "50");
  EXPECT_FALSE(Choose(d, 1));
  EXPECT_EQ(d.current, 1);
  EXPECT_EQ(d.model.Text(kTrackName), "Bass");
  EXPECT_EQ(d.working[0].volume, 128);
}

TEST(TracksDialog, ResetTrackAndUndoChanges) {
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
  EXPECT_FALSE(Type(d, kNewValue1, "99"));
  EXPECT_FALSE(Type(d, kNewValue2, "7"));
  EXPECT_FALSE(d.model.Enabled(kSetNew)) << "99 is no bank program: incomplete, silently";
  EXPECT_FALSE(Type(d, kNewValue1, "100"));
  EXPECT_TRUE(d.model.Enabled(kSetNew));
  EXPECT_TRUE(Type(d, kNewValue2, "128"));
  EXPECT_FALSE(Type(d, kNewValue2, "1289"));
  EXPECT_FALSE(d.model.Enabled(kSetNew));
  Type(d, kNewValue2, "7");
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
  EXPECT_TRUE(Type(d, kPerformanceValue1, "128"));
  EXPECT_EQ(d.model.ok.state, OkState::kInvalid);
  EXPECT_FALSE(Type(d, kPerformanceValue1, "12"));
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
