// Recording a soloist during Play and Follow and playing it back with Play
// Performance: the recorded notes come back at their recorded times, the
// accompaniment moves in the soloist's tempo, the four play modes choose what
// sounds, and the tempo choices apply before, during and after the section.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

constexpr uint8_t kOwnChannel = 15;
constexpr SystemTime kEarlyRelease = 60;

class PlayPerformanceTest : public PlaybackTest {
 protected:
  PlayPerformanceTest() { StartWithSoloist("Ecossaise"); }

  const TrackRec& Track(int index) const { return app->piece.tracks[static_cast<size_t>(index)]; }
  uint8_t SoloChannel() const { return static_cast<uint8_t>(Track(0).outputChannel); }

  // The soloist plays the notes written in [from, to) from `start` on; `warp`
  // turns a score distance from `from` into the time they take for it. Adds
  // the arrival times of the note-ons; returns the time of the last message.
  SystemTime Play(uint32_t from, uint32_t to, SystemTime start,
                  const std::function<double(double)>& warp, std::vector<SystemTime>& arrivals) {
    SystemTime last = start;
    for (const PieceEvent& e : Track(0).events) {
      if ((e.status != 0x90 && e.status != 0x80) || e.time < from || e.time >= to) continue;
      const bool on = e.status == 0x90 && e.data2 > 0;
      // Releases come a little early, as a player's do, so that a repeated
      // note is not taken for a key bounce.
      const SystemTime at = start + std::lround(warp(e.time - from)) - (on ? 0 : kEarlyRelease);
      platform.ScheduleInput(soloist, at, {e.status, e.data1, e.data2});
      if (on) arrivals.push_back(at);
      last = std::max(last, at);
    }
    return last;
  }

  void StartFollowing(uint32_t from) {
    SetPosition(*app, static_cast<int32_t>(from));
    Locate(*app);
    QueueCommand(app->commands, kCmdPlayAndFollow);
    IdlePass(*app);
  }
  void StopAfter(SystemTime last) {
    Run(last + 500 - platform.ClockNow());
    QueueCommand(app->commands, kCmdStop);
    IdlePass(*app);
  }

  // Play and Follow from `from` while the soloist plays [from, to); stops half
  // a second after the last note. Returns the arrival times of the note-ons.
  std::vector<SystemTime> Record(uint32_t from, uint32_t to,
                                 const std::function<double(double)>& warp) {
    StartFollowing(from);
    std::vector<SystemTime> arrivals;
    StopAfter(Play(from, to, platform.ClockNow() + 50, warp, arrivals));
    return arrivals;
  }

  // Play Performance from the start for `ms`; every message sent meanwhile with
  // the transport position at that moment.
  struct Tagged {
    SimulatedPlatform::SentMessage message;
    int32_t position;
  };
  std::vector<Tagged> Replay(SystemTime ms) {
    SetPosition(*app, 0);
    Locate(*app);
    PlayPerformance(*app);
    EXPECT_TRUE(app->transport.playingPerformance.load());
    std::vector<Tagged> out;
    size_t seen = Sent().size();
    const SystemTime end = platform.ClockNow() + ms;
    while (platform.ClockNow() < end && TransportRunning(*app)) {
      platform.RunUntil(platform.ClockNow() + 1);
      const auto sent = Sent();
      for (; seen < sent.size(); ++seen) out.push_back({sent[seen], CurrentPosition(*app)});
      IdlePass(*app);
    }
    if (TransportRunning(*app)) StopTransport(*app);
    return out;
  }

  static std::vector<Tagged> NoteOns(const std::vector<Tagged>& sent, uint8_t channel) {
    std::vector<Tagged> out;
    for (const Tagged& t : sent) {
      const Bytes& b = t.message.bytes;
      if (b.size() == 3 && b[0] == (0x90 | channel) && b[2] > 0) out.push_back(t);
    }
    return out;
  }
};

double Steady(double d) {
  return d * 1.25;
}

TEST_F(PlayPerformanceTest, RecordedNotesComeBackAtTheirTimesWithTheAccompanimentInTheirTempo) {
  const std::vector<SystemTime> arrivals = Record(0, 20000, Steady);
  ASSERT_TRUE(app->transport.performanceAvailable);
  // Every note-on with its note-off; the note held when following stopped ends there.
  const TrackRec& performance = app->piece.performanceTrack();
  EXPECT_EQ(performance.eventCount(), static_cast<int>(arrivals.size()) * 2);
  EXPECT_EQ(performance.events.back().time, static_cast<uint32_t>(app->transport.performanceEnd));
  EXPECT_NEAR(app->transport.performance.averageTempo, 4096 / 1.25, 80);

  const std::vector<Tagged> sent = Replay(30000);
  // Punch-In: inside the recorded section the soloist's part is the recording.
  std::vector<Tagged> solo = NoteOns(sent, SoloChannel());
  std::erase_if(solo, [&](const Tagged& t) { return t.position >= app->transport.performanceEnd; });
  ASSERT_EQ(solo.size(), arrivals.size());
  for (size_t i = 1; i < solo.size(); ++i) {
    const SystemTime replayed = solo[i].message.time - solo[0].message.time;
    EXPECT_LE(std::llabs(replayed - (arrivals[i] - arrivals[0])), 2) << "note " << i;
  }
  // The accompaniment sits where the soloist's tempo puts it.
  std::vector<double> drift;
  const SystemTime origin = solo[0].message.time;
  const uint32_t firstSolo =
      std::find_if(Track(0).events.begin(), Track(0).events.end(), [](const PieceEvent& e) {
        return e.status == 0x90;
      })->time;
  for (const Tagged& t : NoteOns(sent, static_cast<uint8_t>(Track(1).outputChannel))) {
    const double due = origin + (t.position - static_cast<double>(firstSolo)) * 1.25;
    if (t.position > 4000 && t.position < 19000) drift.push_back(std::fabs(t.message.time - due));
  }
  ASSERT_GT(drift.size(), 10u);
  std::sort(drift.begin(), drift.end());
  EXPECT_LT(drift[drift.size() / 2], 60.0);
  ExpectNoHangingNotes();
}

TEST_F(PlayPerformanceTest, ThePlayModesChooseBetweenTheRecordingAndTheWrittenPart) {
  Record(8000, 16000, Steady);
  ASSERT_TRUE(app->transport.performanceAvailable);
  const int32_t start = app->transport.performanceStart;
  const int32_t end = app->transport.performanceEnd;
  EXPECT_EQ(start, 8000);
  EXPECT_GT(end, 15000);
  app->live.performanceUsesOwnPort = 1;
  app->piece.performanceTrack().outputChannel = kOwnChannel;

  struct Expected {
    bool writtenBefore, writtenInside, recorded;
  };
  const Expected expected[4] = {
      {true, false, true},   // Punch-In
      {true, true, true},    // Sound on Sound
      {false, false, true},  // Overwrite
      {true, true, false},   // Only the Following Track
  };
  for (uint16_t mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    app->system.performancePlayback = mode;
    PublishSystemSettings(*app);
    const std::vector<Tagged> sent = Replay(24000);
    int before = 0, inside = 0, after = 0;
    for (const Tagged& t : NoteOns(sent, SoloChannel())) {
      if (t.position < start - 100) ++before;
      if (t.position > start + 100 && t.position < end - 100) ++inside;
      if (t.position > end + 100) ++after;
    }
    EXPECT_EQ(before > 0, expected[mode].writtenBefore);
    EXPECT_EQ(inside > 0, expected[mode].writtenInside);
    EXPECT_EQ(after > 0, expected[mode].writtenBefore);
    EXPECT_EQ(!NoteOns(sent, kOwnChannel).empty(), expected[mode].recorded);
    // The following track's play flag is its own again after Overwrite.
    EXPECT_EQ(Track(0).play, 1);
    EXPECT_EQ(app->piece.performanceTrack().outputChannel, kOwnChannel);
    ExpectNoHangingNotes();
  }
}

TEST_F(PlayPerformanceTest, AfterARepeatTheLastTakeStandsInScoreOrder) {
  // Bars 1-12, then back to bar 5 and on to bar 16: following jumps back.
  constexpr uint32_t kBar = 952;  // two quarters of Ecossaise
  StartFollowing(0);
  std::vector<SystemTime> arrivals;
  const SystemTime start = platform.ClockNow() + 50;
  const SystemTime again = Play(0, 12 * kBar, start, Steady, arrivals) + 300;
  const size_t firstTake = arrivals.size();
  StopAfter(Play(4 * kBar, 16 * kBar, again, Steady, arrivals));
  ASSERT_TRUE(app->transport.performanceAvailable);

  const TrackRec& performance = app->piece.performanceTrack();
  int32_t previous = 0;
  int backwards = 0;
  int notes = 0;
  for (const PieceEvent& e : performance.events) {
    backwards += static_cast<int32_t>(e.time) < previous - 100 ? 1 : 0;
    previous = std::max(previous, static_cast<int32_t>(e.time));
    notes += e.status == 0x90 && e.data2 > 0 ? 1 : 0;
  }
  EXPECT_EQ(backwards, 0);
  // The first take's bars 5-12 gave way to the second take; a few notes
  // played while the follower was finding the repeat may stay.
  const auto secondTake = static_cast<int>(arrivals.size() - firstTake);
  const auto kept = std::count_if(
      Track(0).events.begin(), Track(0).events.end(),
      [](const PieceEvent& e) { return e.status == 0x90 && e.data2 > 0 && e.time < 4 * kBar; });
  EXPECT_GE(notes, kept + secondTake);
  EXPECT_LE(notes, kept + secondTake + 8);
  // Played back, the notes come one by one, never in a burst.
  const std::vector<Tagged> sent = Replay(40000);
  int burst = 0;
  const std::vector<Tagged> solo = NoteOns(sent, SoloChannel());
  for (size_t i = 2; i < solo.size(); ++i) {
    burst += solo[i].message.time == solo[i - 2].message.time ? 1 : 0;
  }
  EXPECT_EQ(burst, 0);
  ExpectNoHangingNotes();
}

// The tempo factor while the transport is at `position` during a replay.
int32_t TempoAt(const std::vector<int32_t>& positions, const std::vector<int32_t>& tempos,
                int32_t position) {
  const auto at = std::lower_bound(positions.begin(), positions.end(), position);
  return at == positions.end() ? 0 : tempos[static_cast<size_t>(at - positions.begin())];
}

TEST_F(PlayPerformanceTest, TheTempoChoicesApplyBeforeDuringAndAfterTheSection) {
  // A ritardando from the written tempo to two thirds of it over the section.
  constexpr double kSpan = 8000;
  Record(8000, 16000, [](double d) { return d + 0.25 * d * d / kSpan; });
  ASSERT_TRUE(app->transport.performanceAvailable);
  const int32_t average = app->transport.performance.averageTempo;
  const int32_t last = app->transport.performance.lastTempo;
  EXPECT_NEAR(average, 4096 / 1.25, 150);
  EXPECT_NEAR(last, 4096 / 1.5, 250);

  struct Case {
    std::array<uint16_t, 3> choice;
    int32_t before, early, late, after;  // expected tempo factors, 0 = not checked
    int32_t startFactor = 4096;          // the tempo factor when playback starts
  };
  const int32_t slow = 4096 * 2 / 3;
  const Case cases[] = {
      {{0, 1, 1}, 4096, 4096, slow, average},
      {{1, 0, 2}, average, 4096, 4096, last},
      {{0, 1, 0}, 4096, 4096, slow, 4096},
      {{0, 1, 0}, 2048, 2048, slow / 2, 2048, 2048},  // at half the tempo it was recorded at
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.choice[0] << c.choice[1] << c.choice[2] << " at " << c.startFactor);
    app->system.performanceTempo = c.choice;
    TransportClock clock = TransportClockRead(app->clock);
    clock.tempoFactor = c.startFactor;
    TransportClockWrite(app->clock, clock);
    std::vector<int32_t> positions, tempos;
    SetPosition(*app, 0);
    Locate(*app);
    PlayPerformance(*app);
    while (TransportRunning(*app) && CurrentPosition(*app) < 20000) {
      platform.RunUntil(platform.ClockNow() + 5);
      positions.push_back(CurrentPosition(*app));
      tempos.push_back(app->clock.tempoFactor.load());
      IdlePass(*app);
    }
    StopTransport(*app);
    EXPECT_EQ(app->clock.tempoFactor.load(), c.startFactor);  // given back at stop
    EXPECT_NEAR(TempoAt(positions, tempos, 4000), c.before, 100);
    EXPECT_NEAR(TempoAt(positions, tempos, 8600), c.early, 300);
    EXPECT_NEAR(TempoAt(positions, tempos, 15500), c.late, 250);
    EXPECT_NEAR(TempoAt(positions, tempos, 19000), c.after, 100);
  }
}

}  // namespace
}  // namespace tuttiro::test
