// The scheduler on the engine alone, with no application around it: a whole
// piece played from the stream list to the end of the list, in simulated time.
#include <gtest/gtest.h>

#include "allocation_counter.h"
#include "engine_fixture.h"

namespace tuttiro::test {
namespace {

struct EngineOnly : EngineFixture {  // Starts the clock at the piece's start, as Play File does.
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
  int NoteOnsWritten() const {
    int count = 0;
    for (int t = 0; t < piece.trackCount; ++t) {
      for (const PieceEvent& e : piece.tracks[static_cast<size_t>(t)].events) {
        count += (e.status & 0xF0) == 0x90 && e.data2 > 0;
      }
    }
    return count;
  }
};

TEST(Scheduler, PlaysEveryNoteOfAPieceAndAsksForTheStopAtTheEnd) {
  EngineOnly e;
  MidiOpenOutputs(e.engine.ports, nullptr);
  e.Play();
  e.platform.RunFor(600000);
  int noteOns = 0;
  SystemTime last = 0;
  for (const auto& m : e.platform.Sent(0)) {
    noteOns += m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0;
    EXPECT_GE(m.time, last);
    last = m.time;
  }
  ASSERT_GT(e.NoteOnsWritten(), 100);
  EXPECT_EQ(noteOns, e.NoteOnsWritten());
  EXPECT_EQ(TakeCommand(e.engine.commands), kCmdStop);
}

// The timer thread never allocates: once the platform's timer queue has its
// room, the passes through the whole piece take no memory. (The outputs stay
// closed, so the simulated devices, which record every message, take none.)
TEST(Scheduler, APassAllocatesNothing) {
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
}

}  // namespace
}  // namespace tuttiro::test
