// What goes out besides the piece: MIDI clock with its Song Position Pointer
// and Start/Continue/Stop, MIDI Time Code quarter frames and full frames, and
// the metronome's accented and plain clicks with their note-offs.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

// Two 4/4 bars of 500 ms beats with a note on every beat.
Bytes TwoBars() {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track();
  for (int beat = 0; beat < 8; ++beat) {
    smf.Event(beat == 0 ? 0 : 240, {0x90, 60, 100}).Event(240, {0x80, 60, 0});
  }
  smf.End();
  return smf.Bytes();
}

class SyncOutput : public PlaybackTest {
 protected:
  void SetUp() override {
    OpenBytes(TwoBars());
    app->system.transmitSync = 1;
  }
  std::vector<SystemTime> TimesOf(const Bytes& bytes, size_t from = 0) {
    std::vector<SystemTime> times;
    const auto sent = Sent();
    for (size_t i = from; i < sent.size(); ++i) {
      if (sent[i].bytes == bytes) times.push_back(sent[i].time);
    }
    return times;
  }
};

TEST_F(SyncOutput, MidiClockSendsTheSongPositionStartOrContinueAnd24PerQuarter) {
  app->system.syncType = 0;
  struct Case {
    int32_t from;
    Bytes songPosition, start;
    SystemTime runFor;  // 0: to the end
    size_t clocks;
  };
  const Case cases[] = {
      // Eight beats of the piece end with the beat at 4000: 24 per beat and one on it.
      {0, {0xF2, 0, 0}, {0xFA}, 0, 24 * 8 + 1},
      // Beat 3 (1000) plus half a beat: 8 + 2 sixteenths; 12 clocks from 1250
      // up to and including the beat at 1500.
      {1250, {0xF2, 10, 0}, {0xFB}, 250, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    LocateAt(c.from);
    const size_t before = Sent().size();
    PlayFile(*app);
    const SystemTime start = app->engine.clock.baseTime.load();
    const auto first = SentBytes(before);
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(first[0], c.songPosition);
    EXPECT_EQ(first[1], c.start);
    if (c.runFor > 0) {
      Run(c.runFor);
    } else {
      RunToStop();
    }
    const auto clocks = TimesOf({0xF8}, before);
    ASSERT_EQ(clocks.size(), c.clocks);
    if (c.runFor == 0) {
      for (size_t k = 0; k < 24; ++k) EXPECT_EQ(clocks[k], start + 21 * SystemTime(k)) << k;
      EXPECT_EQ(clocks[24], start + 500);
      EXPECT_EQ(CountBytes(SentBytes(before), {0xFC}), 1);
    }
    if (TransportRunning(*app)) StopTransport(*app);
  }
}

TEST_F(SyncOutput, TimeCodeSendsAFullFrameThenFourQuartersPerFrame) {
  app->system.syncType = 1;
  app->system.frameRate = kTimeCode25;
  const size_t before = Sent().size();
  PlayFile(*app);
  const SystemTime start = app->engine.clock.baseTime.load();
  const auto sent = SentBytes(before);
  EXPECT_EQ(sent[0], (Bytes{0xF0, 0x7F, 0x7F, 0x01, 0x01, 0x20, 0, 0, 0, 0xF7}));
  Run(1000);
  StopTransport(*app);
  std::vector<Bytes> quarters;
  std::vector<SystemTime> times;
  for (const auto& m : Sent()) {
    if (m.bytes[0] == 0xF1 && m.time >= start && m.time < start + 1000) {
      quarters.push_back(m.bytes);
      times.push_back(m.time - start);
    }
  }
  ASSERT_EQ(quarters.size(), 100u);  // 25 frames of four quarters
  EXPECT_EQ(times[1], 10);
  EXPECT_EQ(quarters[0], (Bytes{0xF1, 0x00}));
  EXPECT_EQ(quarters[4], (Bytes{0xF1, 0x40}));  // the odd frame carries the minutes
  EXPECT_EQ(quarters[7], (Bytes{0xF1, 0x72}));  // rate code 1 in the hours' high piece
  EXPECT_EQ(quarters[8], (Bytes{0xF1, 0x02}));  // frame 2
}

TEST_F(SyncOutput, MetronomeAccentsTheDownbeatAndReleasesEachClick50MsLater) {
  app->system.metronomeOn = 1;
  app->system.metronomePatch = 115;
  const size_t before = Sent().size();
  PlayFile(*app);
  const SystemTime start = app->engine.clock.baseTime.load();
  EXPECT_EQ(CountBytes(SentBytes(before), {0xC9, 115}), 1);
  RunToStop();
  ExpectNoHangingNotes();
  const auto accents = TimesOf({0x99, 75, 127}, before);
  const auto beats = TimesOf({0x99, 75, 100}, before);
  const auto offs = TimesOf({0x99, 75, 0}, before);
  EXPECT_EQ(accents, (std::vector<SystemTime>{start, start + 2000, start + 4000}));
  EXPECT_EQ(beats.size(), 6u);
  EXPECT_EQ(beats.front(), start + 500);
  ASSERT_EQ(offs.size(), 9u);
  EXPECT_EQ(offs[0], start + 50);
  EXPECT_EQ(offs[1], start + 550);
}

}  // namespace
}  // namespace tuttiro::test
