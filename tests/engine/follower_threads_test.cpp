// Notes, taps, clock readers and start/stop from three threads at once: the
// follower must neither race nor deadlock, also when a clock report reads the
// clock again from inside the report as the scheduler does. Run under TSan.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/follower.h"
#include "follower_harness.h"

namespace tuttiro::test {
namespace {

TEST(FollowerThreads, NotesTapsReadersAndStartStop) {
  SimulatedPlatform platform;
  FollowerState f;
  std::atomic<int64_t> clockReports{0};
  std::atomic<int64_t> noteReports{0};
  ASSERT_TRUE(FollowerInit(f, platform, [&](int code, int64_t, int64_t, int64_t) -> int64_t {
    if (code == kReportClock) {
      ++clockReports;
      FollowerTimeUntil(f, FollowerPosition(f) + 100);  // the scheduler re-arms
    }
    if (code == kReportNote) ++noteReports;
    return 0;
  }));
  std::vector<PieceEvent> score;
  for (uint32_t i = 0; i < 400; ++i) {
    score.push_back(PieceEvent{i * 250, 0x90, static_cast<uint8_t>(48 + i % 24), 64, 0});
  }
  ASSERT_TRUE(FollowerSetScore(f, score, {}, Beats(220, 500, 4)));
  ASSERT_TRUE(FollowerStart(f, 0, kFixOne));

  std::atomic<bool> done{false};
  std::atomic<bool> midiDone{false};
  std::thread midi([&] {
    for (int i = 0; i < 4000; ++i)
      FollowerNoteInput(f, NoteOn(static_cast<uint8_t>(48 + i % 24)), platform.ClockNow());
    midiDone.store(true);
  });
  std::thread timer([&] {
    do {
      const int32_t position = FollowerPosition(f);
      FollowerTimeUntil(f, position + 250);
      FollowerTapInput(f, 0, platform.ClockNow());
      const FollowerClock clock = FollowerClockRead(f.clock);
      if (clock.running) {
        EXPECT_LT(FollowerPositionAt(clock, platform.ClockNow()), clock.waitLimit);
      }
    } while (!done.load());
  });
  // Stops and starts begin once a note has moved the clock. Otherwise a stop that
  // is pre-empted while it holds the follower can meet the whole burst of notes:
  // the queue fills, the rest are dropped, and every note is processed stopped.
  while (clockReports.load() == 0 && !midiDone.load()) std::this_thread::yield();
  for (int i = 0; i < 300; ++i) {
    platform.Advance(7);
    if (i % 30 == 29) {
      FollowerStop(f);
      FollowerStart(f, FollowerPosition(f), kFixOne);
    }
  }
  midi.join();
  done.store(true);
  timer.join();
  FollowerStop(f);
  EXPECT_GT(noteReports.load(), 0);
  EXPECT_GT(clockReports.load(), 0);
  FollowerFreeAll(f);
}

}  // namespace
}  // namespace tuttiro::test
