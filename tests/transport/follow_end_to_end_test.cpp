// Play and Follow end to end on the simulated platform: a soloist generated
// from a built-in piece's solo track plays into input port A, and the
// accompaniment that comes out must move with them; what they played is
// recorded and placed in the score when following stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

class FollowEndToEnd : public PlaybackTest {
 protected:
  FollowEndToEnd() { StartWithSoloist("Ecossaise"); }

  // The solo track's notes, played `stretch` times slower than written,
  // starting `start` ms from now.
  void Perform(double stretch, SystemTime start) {
    const TrackRec& solo = app->piece.tracks[static_cast<size_t>(app->live.followTrack1)];
    for (const PieceEvent& e : solo.events) {
      if (e.status != 0x90 && e.status != 0x80) continue;
      const auto at = start + static_cast<SystemTime>(std::lround(e.time * stretch));
      platform.ScheduleInput(soloist, at, {static_cast<uint8_t>(e.status), e.data1, e.data2});
    }
  }

  // Median distance between when each accompaniment note-on of track 1 was
  // sent and when the soloist's stretched timing puts it, for the notes written
  // between `from` and `to` ms of the score.
  double MedianDrift(double stretch, SystemTime start, uint32_t from, uint32_t to) {
    const TrackRec& track = app->piece.tracks[1];
    std::vector<SystemTime> due;
    for (const PieceEvent& e : track.events) {
      if (e.status == 0x90 && e.data2 > 0 && e.time >= from && e.time < to) {
        due.push_back(start + static_cast<SystemTime>(std::lround(e.time * stretch)));
      }
    }
    std::vector<SystemTime> sent;
    for (const auto& m : Sent()) {
      if (m.bytes.size() == 3 && m.bytes[0] == (0x90 | track.outputChannel) && m.bytes[2] > 0) {
        sent.push_back(m.time);
      }
    }
    std::vector<double> drift;
    for (SystemTime d : due) {
      auto nearest = std::min_element(sent.begin(), sent.end(), [d](SystemTime a, SystemTime b) {
        return std::llabs(a - d) < std::llabs(b - d);
      });
      if (nearest != sent.end()) drift.push_back(static_cast<double>(std::llabs(*nearest - d)));
    }
    if (drift.empty()) return 1e9;
    std::sort(drift.begin(), drift.end());
    return drift[drift.size() / 2];
  }
};

TEST_F(FollowEndToEnd, TheAccompanimentTakesTheSoloistsSlowerTempo) {
  const SystemTime start = platform.ClockNow() + 200;
  Perform(1.25, start);  // the soloist plays at 80 %
  QueueCommand(app->commands, kCmdPlayAndFollow);
  IdlePass(*app);
  EXPECT_TRUE(TransportFollowing(*app));
  Run(20000);
  // Once the follower has the soloist's tempo, the accompaniment sits with them.
  EXPECT_LT(MedianDrift(1.25, start, 8000, 15000), 60.0);
  QueueCommand(app->commands, kCmdStop);
  IdlePass(*app);
  ExpectNoHangingNotes();

  // What the soloist played is now a positioned performance track.
  const TrackRec& performance = app->piece.performanceTrack();
  ASSERT_GT(performance.eventCount(), 50);
  EXPECT_TRUE(app->transport.performanceAvailable);
  const TrackRec& solo = app->piece.tracks[static_cast<size_t>(app->live.followTrack1)];
  int placed = 0;
  int close = 0;
  for (const PieceEvent& e : performance.events) {
    if (e.status != 0x90 || e.data2 == 0 || e.time < 4000) continue;
    ++placed;
    const bool near = std::any_of(solo.events.begin(), solo.events.end(), [&](const PieceEvent& w) {
      return w.status == 0x90 && w.data1 == e.data1 && std::abs(int64_t{w.time} - e.time) < 100;
    });
    close += near ? 1 : 0;
  }
  EXPECT_GT(placed, 20);
  EXPECT_GE(close * 10, placed * 9) << close << " of " << placed;
}

TEST_F(FollowEndToEnd, RemoteControlNotesNeverReachTheFollowerOrTheRecording) {
  app->system.remoteControl[kCmdStop] = 21;  // the lowest A stops
  QueueCommand(app->commands, kCmdPlayAndFollow);
  IdlePass(*app);
  InputTakeSettings(app->input, app->system, 0);
  platform.ScheduleInput(soloist, platform.ClockNow() + 100, {0x90, 21, 100});
  platform.ScheduleInput(soloist, platform.ClockNow() + 150, {0x80, 21, 0});
  Run(300);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(app->piece.performanceTrack().eventCount(), 0);
}

}  // namespace
}  // namespace tuttiro::test
