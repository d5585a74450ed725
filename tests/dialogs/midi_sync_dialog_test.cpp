// The MIDI & Sync Setup dialog: its enabling rules, the "All Available Ports"
// and "Same as Input" entries in both directions, and its commit on a playing
// transport, which switches the sync output over without a restart.
#include <gtest/gtest.h>

#include <algorithm>

#include "../transport/playback_fixture.h"
#include "app/app.h"
#include "app/dialog_commit_midi_sync.h"
#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

MidiSyncDialog OpenDefault() {
  return OpenMidiSync(MidiSyncValues{}, {"Synth", "Keys"});
}

TEST(MidiSyncDialog, ControlsFollowTheirSwitches) {
  struct Case {
    bool sysex, thru, sync, timeCode;
  };
  const Case cases[] = {{true, false, false, false},
                        {false, true, true, false},
                        {true, true, true, true},
                        // The frame type stays off while sync is off, time code or not.
                        {false, false, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sysex << c.thru << c.sync << c.timeCode);
    MidiSyncDialog d = OpenDefault();
    d.model[kTransmitSysex].checked = c.sysex;
    d.model.CheckRadio(std::initializer_list<int>{kThruOn, kThruOff}, c.thru ? kThruOn : kThruOff);
    d.model[kTransmitSync].checked = c.sync;
    d.model.CheckRadio(std::initializer_list<int>{kMidiClockSync, kTimeCodeSync},
                       c.timeCode ? kTimeCodeSync : kMidiClockSync);
    EXPECT_FALSE(MidiSyncCommand(d));
    for (int id :
         {kSysexEveryTime, kSysexAsTheyAppear, kSysexWhenOpened, kSysexPort, kSysexPortLabel}) {
      EXPECT_EQ(d.model.Enabled(id), c.sysex) << id;
    }
    for (int id : {kThruChannel, kThruChannelLabel, kThruPort, kThruPortLabel, kThruProcessFirst}) {
      EXPECT_EQ(d.model.Enabled(id), c.thru) << id;
    }
    for (int id : {kMidiClockSync, kTimeCodeSync, kSyncPort, kSyncPortLabel}) {
      EXPECT_EQ(d.model.Enabled(id), c.sync) << id;
    }
    EXPECT_EQ(d.model.Enabled(kFrameType), c.sync && c.timeCode);
    EXPECT_EQ(d.model.Enabled(kFrameTypeLabel), c.sync && c.timeCode);
    EXPECT_TRUE(d.model.ok.enabled());
  }
}

TEST(MidiSyncDialog, AllPortsAndSameChannelRoundTripThroughTheFirstEntries) {
  MidiSyncDialog d = OpenDefault();
  EXPECT_EQ(d.model[kThruPort].items.front(), "All Available Ports");
  EXPECT_EQ(d.model[kThruPort].items[2], "B--Keys");
  EXPECT_EQ(d.model[kThruChannel].items.front(), "Same as Input");
  EXPECT_EQ(d.model[kThruChannel].selection, 0);  // the default is the input's channel
  EXPECT_EQ(d.model[kFrameType].items.size(), 4u);
  const MidiSyncValues values[] = {
      {0, 2, 65534, 0, 1, 65534, 65533, 1, 1, 65534, 1, 0},
      {1, 1, 7, 1, 1, 3, 15, 0, 1, 2, 0, 2},
      MidiSyncValues{},
  };
  for (const MidiSyncValues& v : values) {
    SCOPED_TRACE(v.sysexPort);
    MidiSyncDialog opened = OpenMidiSync(v, {});
    EXPECT_EQ(StoreMidiSync(opened), v);
    EXPECT_EQ(opened.model[kSysexPort].selection, v.sysexPort == 65534 ? 0 : v.sysexPort + 1);
  }
  // Choosing the first entries stores the special values.
  d.model[kThruPort].selection = 0;
  d.model[kSyncPort].selection = 0;
  d.model[kThruChannel].selection = 0;
  const MidiSyncValues stored = StoreMidiSync(d);
  EXPECT_EQ(stored.thruPort, 65534);
  EXPECT_EQ(stored.syncPort, 65534);
  EXPECT_EQ(stored.thruChannel, 65533);
  // Settings no entry stands for show their defaults.
  const MidiSyncValues shown =
      StoreMidiSync(OpenMidiSync({1, 9, 12, 1, 1, 300, 40, 0, 1, 8, 1, 17}, {}));
  EXPECT_EQ(shown, (MidiSyncValues{1, 0, 0, 1, 1, 0, 65533, 0, 1, 0, 1, 3}));
}

class MidiSyncCommit : public test::PlayerWithInputTest {
 protected:
  // How many messages starting with `status` the device got from `from` on.
  int Count(size_t from, uint8_t status) const {
    const auto sent = platform.Sent(0);
    return static_cast<int>(std::count_if(sent.begin() + static_cast<ptrdiff_t>(from), sent.end(),
                                          [&](const auto& m) { return m.bytes[0] == status; }));
  }
};

TEST_F(MidiSyncCommit, SwitchingFromClockToTimeCodeWhilePlayingChangesTheSyncOutput) {
  MidiSyncValues v = MidiSyncValuesOf(*app);
  v.transmitSync = 1;
  v.syncType = 0;
  CommitMidiSync(*app, v);
  PlayFile(*app);
  Run(1000);
  const size_t switched = platform.Sent(0).size();
  EXPECT_GT(Count(0, 0xF8), 40);
  EXPECT_EQ(Count(0, 0xF1), 0);
  v.syncType = 1;
  v.frameRate = 1;  // 25 fps: 100 quarter frames a second
  CommitMidiSync(*app, v);
  ASSERT_TRUE(TransportRunning(*app));
  const auto sent = platform.Sent(0);
  ASSERT_GE(sent.size(), switched + 2);
  EXPECT_EQ(sent[switched].bytes, (std::vector<uint8_t>{0xFC}));  // the clock's receiver stops
  EXPECT_EQ(sent[switched + 1].bytes[0], 0xF0);                   // a full frame locates
  Run(1000);
  EXPECT_EQ(Count(switched, 0xF8), 0);
  EXPECT_NEAR(Count(switched, 0xF1), 100, 2);
  // Back to clock: Song Position Pointer and Continue, then clocks again.
  const size_t back = platform.Sent(0).size();
  v.syncType = 0;
  CommitMidiSync(*app, v);
  EXPECT_EQ(platform.Sent(0)[back].bytes[0], 0xF2);
  EXPECT_EQ(platform.Sent(0)[back + 1].bytes, (std::vector<uint8_t>{0xFB}));
  Run(500);
  EXPECT_EQ(Count(back, 0xF1), 0);
  EXPECT_GT(Count(back, 0xF8), 20);
  StopTransport(*app);
}

TEST_F(MidiSyncCommit, ThruStartsAtOnceWhilePlayingAndCancelChangesNothing) {
  PlayFile(*app);
  Run(200);
  const MidiSyncValues before = MidiSyncValuesOf(*app);
  CancelMidiSync(*app);
  EXPECT_EQ(MidiSyncValuesOf(*app), before);
  const size_t from = platform.Sent(0).size();
  ASSERT_TRUE(platform.InjectInput(input, {0x93, 50, 70}));
  EXPECT_EQ(platform.Sent(0).size(), from);  // thru off: nothing echoed
  MidiSyncValues v = before;
  v.midiThru = 1;
  v.thruChannel = 5;
  CommitMidiSync(*app, v);
  const size_t echoed = platform.Sent(0).size();
  ASSERT_TRUE(platform.InjectInput(input, {0x83, 50, 0}));
  ASSERT_EQ(platform.Sent(0).size(), echoed + 1);
  EXPECT_EQ(platform.Sent(0).back().bytes, (std::vector<uint8_t>{0x85, 50, 0}));
  EXPECT_EQ(platform.Sent(0).back().time, platform.ClockNow());
  StopTransport(*app);
}

}  // namespace
}  // namespace tuttiro
