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
  for (const Case& c : cases) {
    EXPECT_EQ(Type(d, c.id, c.text), c.beep) << c.id << " " << c.text;
    EXPECT_EQ(d.model.ok.state, c.state) << c.id << " " << c.text;
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
    d.model[c.id].text = c.text;
    TempoCommand(d, c.id);
    EXPECT_EQ(d.model.Text(c.id == kTempoPercent ? kTempoBpm : kTempoPercent), c.other) << c.text;
    EXPECT_EQ(d.model.ok.state, c.state) << c.text;
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

}  // namespace
}  // namespace tuttiro
