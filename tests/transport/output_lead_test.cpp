// Output lead: a port whose device sounds late gets its events that much
// earlier, in the same order, while the other ports keep their timing, MIDI
// Thru goes out at once and nothing is left sounding.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "engine/scheduler.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

constexpr int kLate = 1;  // the device and port that sound late
constexpr SystemTime kLead = 40;

// Two tracks of quarter notes at 120 bpm, one on channel 1 and one on channel
// 2, overlapping and starting half a beat in; a controller between notes.
Bytes TwoTracks() {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  for (uint8_t channel : {0, 1}) {
    smf.Track().Event(240, {static_cast<uint8_t>(0xB0 | channel), 7, 100});
    for (int beat = 0; beat < 6; ++beat) {
      smf.Event(beat == 0 ? 0 : 20, {static_cast<uint8_t>(0x90 | channel), 60, 90})
          .Event(460, {static_cast<uint8_t>(0x80 | channel), 60, 0});
    }
    smf.End();
  }
  return smf.Bytes();
}

class OutputLead : public PlaybackTest {
 protected:
  void SetUp() override {
    // The ports see the devices present when they are made.
    app.reset();
    platform.AddOutputDevice("Late");
    platform.AddInputDevice("Keys");
    app = std::make_unique<AppRec>(platform, host);
    app->engine.ports.outputDevice[kLate] = kLate;
    MidiOpenOutputs(app->engine.ports, nullptr);
    MidiOpenInputs(app->engine.ports, nullptr);
    OpenBytes(TwoTracks());
    for (TrackRec& track : app->piece.tracks) {
      if (track.outputChannel == 1) track.outputPort = kLate;
    }
  }

  struct Timed {
    SystemTime time;
    Bytes bytes;
    bool operator==(const Timed&) const = default;
    friend void PrintTo(const Timed& t, std::ostream* os) {
      *os << t.time << ":";
      for (uint8_t b : t.bytes) *os << " " << std::hex << int(b) << std::dec;
    }
  };
  // What each device received from `from`, timed from the start.
  std::vector<Timed> Received(int device, size_t from, SystemTime start) const {
    std::vector<Timed> out;
    const auto sent = platform.Sent(device);
    for (size_t i = from; i < sent.size(); ++i)
      out.push_back({sent[i].time - start, sent[i].bytes});
    return out;
  }
  // Plays the piece from the start to its end with port kLate's lead set.
  std::pair<std::vector<Timed>, std::vector<Timed>> PlayWithLead(uint16_t lead) {
    app->system.outputLeadMs[kLate] = lead;
    LocateAt(0);
    const size_t before[2] = {platform.Sent(0).size(), platform.Sent(kLate).size()};
    PlayFile(*app);
    const SystemTime start = app->engine.clock.baseTime.load();
    RunToStop();
    platform.RunFor(100);
    return {Received(0, before[0], start), Received(kLate, before[1], start)};
  }
};

TEST_F(OutputLead, ThePortWithALeadGetsEveryEventThatMuchEarlierInOrder) {
  PlayWithLead(0);  // the first start after opening also sends the file's opening state
  const auto [onTime, lateRef] = PlayWithLead(0);
  const auto [other, late] = PlayWithLead(kLead);
  ASSERT_FALSE(lateRef.empty());
  EXPECT_EQ(other, onTime);  // the port without a lead keeps its timing
  ASSERT_EQ(late.size(), lateRef.size());
  const SystemTime stopped = lateRef.back().time;
  for (size_t i = 0; i < late.size(); ++i) {
    SCOPED_TRACE(i);
    const Timed& ref = lateRef[i];
    EXPECT_EQ(late[i].bytes, ref.bytes);
    // The start and stop states go out when the transport starts and stops
    // (the stop comes when the last notes sound); what the piece plays goes
    // out the lead earlier.
    const bool controller = (ref.bytes[0] & 0xF0) == 0xB0;
    const bool stopState =
        controller && (ref.bytes[1] == 120 || ref.bytes[1] == 123 || ref.time == stopped);
    const bool played = ref.time > 0 && !stopState;
    EXPECT_EQ(late[i].time, ref.time - (played ? kLead : 0));
  }
  EXPECT_EQ(HangingNotes(platform.Sent(kLate)), (std::vector<std::pair<int, int>>{}));
}

TEST_F(OutputLead, ThruIsNotDelayedAndStoppingLeavesNothingSounding) {
  app->system.outputLeadMs[0] = 10;
  app->system.outputLeadMs[kLate] = kLead;
  app->system.midiThru = 1;
  app->system.thruPort = kLate;
  app->system.metronomeOn = 1;  // on port A, whose clicks wait for port B's lead
  PublishSystemSettings(*app);
  int onPortA = 0;
  while (app->piece.tracks[static_cast<size_t>(onPortA)].outputPort != 0) ++onPortA;
  // Stop times inside notes, and just after the early port has sent a note-on
  // the other port still holds back.
  // The last case mutes port A's track while its next note-on is held back
  // and plays on: the note-on must not follow the mute's note-off.
  struct Case {
    SystemTime stopAfter;
    bool mute;
  };
  for (const Case& c : {Case{260, false}, {470, false}, {730, false}, {1230, false}, {730, true}}) {
    SCOPED_TRACE(testing::Message() << c.stopAfter << (c.mute ? " muted" : ""));
    LocateAt(0);
    PlayFile(*app);
    Run(c.stopAfter - 20);
    const SystemTime typed = platform.ClockNow();
    ASSERT_TRUE(platform.InjectInput(0, {0x92, 72, 80}));
    ASSERT_TRUE(platform.InjectInput(0, {0x82, 72, 0}));
    Run(20);
    if (c.mute) {
      SetTrackPlay(*app, onPortA, false);
      Run(100);
    }
    StopTransport(*app);
    if (c.mute) SetTrackPlay(*app, onPortA, true);
    const SystemTime stopped = platform.ClockNow();
    platform.RunFor(200);
    for (int device : {0, kLate}) {
      const auto sent = platform.Sent(device);
      EXPECT_EQ(HangingNotes(sent), (std::vector<std::pair<int, int>>{})) << device;
      for (const auto& m : sent) {
        const bool noteOn = (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0;
        EXPECT_FALSE(noteOn && m.time > stopped) << device << " note-on after the stop";
      }
    }
    const auto late = platform.Sent(kLate);
    const auto thru = std::find_if(late.rbegin(), late.rend(), [](const auto& m) {
      return m.bytes == Bytes{0x92, 72, 80};
    });
    ASSERT_NE(thru, late.rend());
    EXPECT_EQ(thru->time, typed);
  }
}

TEST(OutputLeads, TheDevicesOwnLatencyAddsToTheSetLeadWithinBounds) {
  const OutputLeads set{0, 40, 500, 900, 0, 0, 0, 0};
  const OutputLeads latency{0, 25, 600, 0, 0, 0, 0, 0};
  EXPECT_EQ(EffectiveOutputLeads(set, latency), (OutputLeads{0, 65, 1000, 500, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace tuttiro::test
