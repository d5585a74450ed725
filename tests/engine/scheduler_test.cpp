// The scheduler on the engine alone, with no application around it: a whole
// piece played from the stream list to the end of the list, in simulated time.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "engine_fixture.h"

namespace tuttiro::test {
namespace {

struct EngineOnly : EngineFixture {
  // Starts the clock at the piece's start, as Play File does.
  void Play() {
    ASSERT_TRUE(SchedulerBuildStreams(engine, live, true));
    const SystemTime now = platform.ClockNow();
    UpdateClock(engine, [&](TransportClock& c) {
      c.basePosition = 0;
      c.baseTime = now;
      c.running = true;
      c.endPosition = piece.endPosition;
    });
    ScheduleNext(engine);
  }
};

// The timer thread never allocates: once the platform's timer queue has its
// room, the passes through the whole piece take no memory. (The outputs stay
// closed, so the simulated devices, which record every message, take none.)
// Every event of every track is played and the end asks for the stop; what the
// outputs receive is checked with the application around it in play_file_test.
TEST(Scheduler, APassThroughTheWholePieceAllocatesNothingAndAsksForTheStopAtTheEnd) {
  EngineOnly e;
  e.Play();
  e.platform.RunFor(1000);
  const int64_t before = allocationCount.load();
  e.platform.RunFor(600000);
  EXPECT_EQ(allocationCount.load() - before, 0);
  for (int t = 0; t < e.piece.trackCount; ++t) {
    const TrackRec& track = e.piece.tracks[static_cast<size_t>(t)];
    EXPECT_EQ(track.playCursor, track.eventCount()) << "track " << t;
  }
  EXPECT_EQ(TakeCommand(e.engine.commands), kCmdStop);
}

}  // namespace
}  // namespace tuttiro::test
