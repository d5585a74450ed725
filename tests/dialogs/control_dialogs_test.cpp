// The Remote Control, MIDI Metronome, Master Transpose and Tempo dialogs'
// rules, headless: what each refuses (with or without a beep), what it takes
// from MIDI and what it stores.
#include <gtest/gtest.h>

#include "dialogs/dialogs.h"
#include "dialogs/metronome_dialog.h"
#include "dialogs/remote_control_dialog.h"
#include "dialogs/tempo_dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kPlayFileRow = 1;
constexpr int kStopRow = 5;

RemoteTable Unassigned() {
  RemoteTable table;
  table.fill(kRemoteNone);
  return table;
}

// Types into a field (or clicks a control) and runs the dialog's command.
bool Type(RemoteControlDialog& d, int id, const std::string& text) {
  d.model[id].text = text;
  return RemoteControlCommand(d, id);
}
bool Choose(RemoteControlDialog& d, int radio) {
  const int row = (radio - kRemoteNoteRadio) % kRemoteRows;
  const std::array<int, 2> group{kRemoteNoteRadio + row, kRemoteControllerRadio + row};
  d.model.CheckRadio(group, radio);
  return RemoteControlCommand(d, radio);
}

TEST(RemoteControlDialog, OpensEachEntryUnderItsRadio) {
  RemoteTable table = Unassigned();
  table[0] = 61;
  table[3] = 256 + 64;
  const RemoteControlDialog d = OpenRemoteControl(table, true);
  EXPECT_TRUE(d.model.Checked(kRemoteNoteRadio));
  EXPECT_EQ(d.model.Text(kRemoteNoteField), "Db5");
  EXPECT_TRUE(d.model.Checked(kRemoteControllerRadio + 3));
  EXPECT_EQ(d.model.Text(kRemoteControllerField + 3), "64");
  EXPECT_TRUE(d.model.Checked(kRemoteNoteRadio + 13));
  EXPECT_EQ(d.model.Text(kRemoteNoteField + 13), "");
  EXPECT_EQ(StoreRemoteControl(d), table);
}

// A note and a controller of the same number are different values; the same
// value twice, a controller of 122 or a note that does not read is refused
// with one beep.
TEST(RemoteControlDialog, RefusesValuesUsedTwiceAndControllersAbove121) {
  RemoteControlDialog d = OpenRemoteControl(Unassigned(), false);
  EXPECT_FALSE(Type(d, kRemoteNoteField + kPlayFileRow, "C5"));
  EXPECT_TRUE(Type(d, kRemoteNoteField + kStopRow, "60"));
  EXPECT_FALSE(d.model.ok.enabled());
  EXPECT_FALSE(Choose(d, kRemoteControllerRadio + kStopRow));  // controller field still empty
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, "60"));
  EXPECT_TRUE(d.model.ok.enabled());
  EXPECT_TRUE(Type(d, kRemoteControllerField + kStopRow, "122"));
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, "121"));
  EXPECT_TRUE(Type(d, kRemoteNoteField + 9, "H3"));
  EXPECT_FALSE(Type(d, kRemoteNoteField + 9, ""));
  // Empty rows are never duplicates of each other.
  EXPECT_TRUE(d.model.ok.enabled());
  EXPECT_EQ(d.currentRow, 9);

  // The controller radio with an empty field stores "not assigned"; a note
  // field's text under a checked Controller radio does not count.
  EXPECT_FALSE(Type(d, kRemoteControllerField + kStopRow, ""));
  const RemoteTable stored = StoreRemoteControl(d);
  EXPECT_EQ(stored[kPlayFileRow], 60);
  EXPECT_EQ(stored[kStopRow], kRemoteNone);
}

TEST(RemoteControlDialog, ClearAllEmptiesTheFieldsAndKeepsTheRadios) {
  RemoteTable table = Unassigned();
  table[2] = 256 + 7;
  table[4] = 40;
  RemoteControlDialog d = OpenRemoteControl(table, false);
  RemoteControlClearAll(d);
  EXPECT_FALSE(RemoteControlCommand(d, kRemoteClearAll));
  EXPECT_TRUE(d.model.Checked(kRemoteControllerRadio + 2));
  EXPECT_EQ(StoreRemoteControl(d), Unassigned());
}

// Captured notes and controllers go into the row last touched; the note-off of
// a captured note does not write it again, so a field cleared meanwhile stays clear.
TEST(RemoteControlDialog, CaptureFillsTheCurrentRowOnce) {
  RemoteControlDialog d = OpenRemoteControl(Unassigned(), false);
  EXPECT_FALSE(RemoteControlCapture(d, 0x403C90));  // capture off: ignored
  d.model[kRemoteCapture].checked = true;
  Choose(d, kRemoteControllerRadio + kStopRow);
  EXPECT_FALSE(RemoteControlCapture(d, 0x403C90));
  EXPECT_TRUE(d.model.Checked(kRemoteNoteRadio + kStopRow));
  EXPECT_EQ(d.model.Text(kRemoteNoteField + kStopRow), "C5");
  Type(d, kRemoteNoteField + kStopRow, "");
  RemoteControlCapture(d, 0x003C80);
  EXPECT_EQ(d.model.Text(kRemoteNoteField + kStopRow), "");

  RemoteControlCommand(d, kRemoteNoteField + kPlayFileRow);
  RemoteControlCapture(d, 0x7F40B0);  // a sustain pedal
  EXPECT_TRUE(d.model.Checked(kRemoteControllerRadio + kPlayFileRow));
  EXPECT_EQ(d.model.Text(kRemoteControllerField + kPlayFileRow), "64");
  // The same controller in another row is taken, and refused as a duplicate.
  RemoteControlCommand(d, kRemoteNoteField + kStopRow);
  EXPECT_TRUE(RemoteControlCapture(d, 0x0040B0));
  EXPECT_EQ(d.model.Text(kRemoteControllerField + kStopRow), "64");
  EXPECT_EQ(StoreRemoteControl(d)[kPlayFileRow], 256 + 64);
}

MetronomeValues Defaults() {
  return MetronomeValues{1, 0, 9, 255, 75, 127, 75, 100};
}
const std::vector<std::string> kPorts{"A--", "B--", "C--", "D--", "E--", "F--", "G--", "H--"};

bool Type(MetronomeDialog& d, int id, const std::string& text) {
  d.model[id].text = text;
  return MetronomeCommand(d, id);
}

TEST(MetronomeDialog, ChecksPatchNotesAndVelocities) {
  MetronomeDialog d = OpenMetronome(Defaults(), kPorts, false);
  EXPECT_EQ(d.model.Text(kDownbeatNote), "D#6");
  EXPECT_EQ(d.model.Selection(kMetronomeChannel), 9);
  EXPECT_EQ(d.model.Text(kMetronomePatch), "");
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
  for (const Case& c : cases) {
    EXPECT_EQ(Type(d, c.id, c.text), c.beep) << c.id << " " << c.text;
    EXPECT_EQ(d.model.ok.state, c.state) << c.id << " " << c.text;
  }
  const MetronomeValues v = StoreMetronome(d);
  EXPECT_EQ(v, (MetronomeValues{1, 0, 9, 12, 75, 90, 255, 255}));
}

TEST(MetronomeDialog, OffDisablesEverythingAndIgnoresCapturedNotes) {
  MetronomeValues off = Defaults();
  off.on = 0;
  MetronomeDialog d = OpenMetronome(off, kPorts, false);
  for (int id : {kMetronomePort, kMetronomeChannel, kMetronomePatch, kDownbeatNote, kBeatVelocity,
                 kMetronomeCapture, kMetronomeLabelFirst, kMetronomeLabelLast}) {
    EXPECT_FALSE(d.model.Enabled(id)) << id;
  }
  d.model[kMetronomeCapture].checked = true;
  bool beep = true;
  EXPECT_FALSE(MetronomeCapture(d, 0x503090, beep));
  EXPECT_FALSE(beep);
  EXPECT_EQ(d.model.Text(kDownbeatNote), "D#6");
}

// A captured note-on fills the current row and is sounded on the dialog's port
// and channel, after the program change of the patch field.
TEST(MetronomeDialog, CaptureFillsTheCurrentRowAndGivesTheClickToSound) {
  MetronomeDialog d = OpenMetronome(Defaults(), kPorts, false);
  d.model[kMetronomeCapture].checked = true;
  d.model[kMetronomePort].selection = 2;
  d.model[kMetronomeChannel].selection = 3;
  bool beep = false;
  auto click = MetronomeCapture(d, 0x503090, beep);
  ASSERT_TRUE(click);
  EXPECT_EQ(d.model.Text(kDownbeatNote), "C4");
  EXPECT_EQ(d.model.Text(kDownbeatVelocity), "80");
  EXPECT_EQ(click->port, 2);
  EXPECT_FALSE(click->programChange);
  EXPECT_EQ(click->noteOn, 0x503093u);

  MetronomeCapture(d, 0x0011C0, beep);  // a program change sets the patch
  EXPECT_EQ(d.model.Text(kMetronomePatch), "17");
  MetronomeCommand(d, kBeatVelocity);
  click = MetronomeCapture(d, 0x203290, beep);
  ASSERT_TRUE(click);
  EXPECT_EQ(d.model.Text(kBeatNote), "D4");
  EXPECT_EQ(click->programChange, 0x11C3u);
  EXPECT_FALSE(MetronomeCapture(d, 0x003280, beep));  // note-offs are not clicks
}

TEST(MasterTransposeDialog, AcceptsHalfStepsFromMinus127ToPlus127) {
  MasterTransposeDialog d = OpenMasterTranspose(-3);
  EXPECT_EQ(d.model.Text(kTransposeField), "-3");
  EXPECT_TRUE(d.model.Enabled(kTransposeReset));
  struct Case {
    const char* text;
    bool valid;
    bool resetEnabled;
  };
  for (const Case& c : {Case{"+127", true, true}, Case{"-128", false, true}, Case{"0", true, false},
                        Case{"", true, false}, Case{"+-1", false, true}}) {
    d.model[kTransposeField].text = c.text;
    MasterTransposeCommand(d);
    EXPECT_EQ(d.model.ok.enabled(), c.valid) << c.text;
    EXPECT_EQ(d.model.Enabled(kTransposeReset), c.resetEnabled) << c.text;
  }
  d.model[kTransposeField].text = "+12";
  EXPECT_EQ(StoreMasterTranspose(d), 12);
  MasterTransposeReset(d);
  EXPECT_EQ(StoreMasterTranspose(d), 0);
  EXPECT_EQ(OpenMasterTranspose(5).model.Text(kTransposeField), "+5");
}

constexpr int64_t kBeatAt120 = 500 * 4096;  // a 500 ms beat: 120 per minute

TEST(TempoDialog, PercentAndBeatsPerMinuteRewriteEachOther) {
  TempoDialog d = OpenTempo(4096, kBeatAt120, 120);
  EXPECT_EQ(d.model.Text(kTempoPercent), "100");
  EXPECT_EQ(d.model.Text(kTempoBpm), "120");
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
      {kTempoPercent, "200", "240", OkState::kValid},
  };
  for (const Case& c : cases) {
    d.model[c.id].text = c.text;
    TempoCommand(d, c.id);
    EXPECT_EQ(d.model.Text(c.id == kTempoPercent ? kTempoBpm : kTempoPercent), c.other) << c.text;
    EXPECT_EQ(d.model.ok.state, c.state) << c.text;
  }
  EXPECT_EQ(StoreTempo(d), 8192);
  d.model[kTempoPercent].text = "50";
  TempoCommand(d, kTempoPercent);
  EXPECT_EQ(StoreTempo(d), 2048);
  TempoReset(d);
  EXPECT_EQ(d.model.Text(kTempoBpm), "120");
  EXPECT_FALSE(d.model.Enabled(kTempoReset));
  EXPECT_EQ(StoreTempo(d), 4096);
}

// A piece without beats to measure gives no beats per minute, never a division by zero.
TEST(TempoDialog, WithoutABeatOnlyThePercentCounts) {
  TempoDialog d = OpenTempo(2048, 0, 0);
  EXPECT_EQ(d.model.Text(kTempoBpm), "");
  d.model[kTempoBpm].text = "100";
  TempoCommand(d, kTempoBpm);
  EXPECT_EQ(d.model.Text(kTempoPercent), "");
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);
}

}  // namespace
}  // namespace tuttiro
