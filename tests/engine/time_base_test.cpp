// Tests of the 16.16 arithmetic, the two clocks and the tempo map.
#include "engine/time_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

int64_t RoundedProduct(int32_t a, int32_t b) {
  return (int64_t{a} * b + 0x8000) >> 16;
}

TEST(FixedPoint, ProductsAndQuotientsRoundToNearest) {
  EXPECT_EQ(FixDiv(3, 2), 0x18000);
  EXPECT_EQ(FixDiv(0, 7), 0);
  EXPECT_EQ(FixDiv(1500, 1000), 0x18000);
  // A remainder too large for 16 fraction bits takes the shifted path.
  EXPECT_EQ(FixDiv(0x30000 + 0x12345, 0x30000), 90391);

  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    const int32_t a = static_cast<int32_t>(random() % 4000000) - 2000000;
    const int32_t b = static_cast<int32_t>(random() % 0x40000);
    EXPECT_EQ(FixMul(a, b), RoundedProduct(a, b)) << a << " x " << b;  // negatives included
    // Quotients below 32768 fit 16.16; a large remainder is divided by a rounded
    // divisor, which costs at most a unit or two in the last place.
    const int32_t d = 1 + static_cast<int32_t>(random() % 5000000);
    const int32_t n =
        static_cast<int32_t>(random() % std::min<int64_t>(int64_t{d} * 32767, 20000000));
    const double exact = std::ldexp(static_cast<double>(n) / d, 16);
    EXPECT_LE(std::abs(FixDiv(n, d) - exact), 2.0) << n << " / " << d;
  }
}

struct ClockFixture : ::testing::Test {
  SimulatedPlatform platform;
  FollowerClockRec follower;
  TransportClockRec transport;

  ClockFixture() { follower.platform = &platform; }
  void SetFollower(const FollowerClock& value) {
    std::lock_guard lock(follower.writeMutex);
    FollowerClockWrite(follower, value);
  }
};

TEST_F(ClockFixture, TransportAdvancesAtItsTempoAndStopsAtTheEnd) {
  TransportClockWrite(transport, TransportClock{1000, 0, 4096, true, false, false, false, 9000});
  platform.SetNow(1000);
  EXPECT_EQ(TransportPosition(transport, follower, platform), 2000);
  TransportClockWrite(transport, TransportClock{1000, 0, 8192, true, false, false, false, 9000});
  EXPECT_EQ(TransportPosition(transport, follower, platform), 3000);
  TransportClockWrite(transport, TransportClock{1000, 0, 4096, true, false, false, true, 9000});
  EXPECT_EQ(TransportPosition(transport, follower, platform), 5000);
  platform.SetNow(5000);
  EXPECT_EQ(TransportPosition(transport, follower, platform), 9000);
  // Rewinding moves the base position itself; stopped reads the base position.
  TransportClockWrite(transport, TransportClock{700, 0, 4096, true, true, false, false, 9000});
  EXPECT_EQ(TransportPosition(transport, follower, platform), 700);
  // A base time in the future never moves the position back.
  TransportClockWrite(transport, TransportClock{700, 6000, 4096, true, false, false, false, 9000});
  EXPECT_EQ(TransportPosition(transport, follower, platform), 700);
  // While following, the follower clock decides.
  SetFollower(FollowerClock{400, 4000, kFixOne * 2, kNoLimit, true, false});
  TransportClockWrite(transport, TransportClock{0, 0, 4096, true, false, true, false, 9000});
  EXPECT_EQ(TransportPosition(transport, follower, platform), 2400);
}

TEST_F(ClockFixture, FollowerClockStopsOneUnitShortOfItsWaitLimit) {
  SetFollower(FollowerClock{1000, 100, kFixOne, 1500, true, false});
  platform.SetNow(400);
  EXPECT_EQ(FollowerPosition(follower), 1300);
  platform.SetNow(10000);
  EXPECT_EQ(FollowerPosition(follower), 1499);
  EXPECT_EQ(FollowerTimeUntil(follower, 1500), -1);
  EXPECT_EQ(FollowerTimeUntil(follower, 1200), 0);
  SetFollower(FollowerClock{1000, 100, kFixOne, 1500, false, false});
  EXPECT_EQ(FollowerPosition(follower), 1000);
  EXPECT_EQ(FollowerTimeUntil(follower, 1200), -1);
}

// The clock runs to its hold, stands one unit short of it for the hold's span,
// then goes on at its rate; a hold at or before the anchor does nothing.
TEST_F(ClockFixture, TheClockStandsBeforeItsHoldForTheSpanThenGoesOn) {
  struct Case {
    const char* what;
    FollowerClock clock;
    SystemTime now;
    int32_t position;
    int32_t until2000;  // FollowerTimeUntil(2000)
  };
  // Anchored at 1000 at time 0, rate 1: the hold at 1500 is reached at 500 and
  // lasts 300 ms, so the clock is at 1500 again at 800.
  const FollowerClock held{1000, 0, kFixOne, kNoLimit, true, false, 1500, 300};
  FollowerClock halfRate = held;
  halfRate.rate = kFixOne / 2;  // reaches 1500 at 1000, goes on at 1300
  FollowerClock behind = held;
  behind.holdPosition = 1000;  // at the anchor: no hold
  FollowerClock limited = held;
  limited.waitLimit = 1200;
  const Case cases[] = {
      {"before the hold", held, 400, 1400, 900},
      {"reaching it", held, 500, 1499, 800},
      {"holding", held, 700, 1499, 600},
      {"going on", held, 900, 1600, 400},
      {"at half rate", halfRate, 1200, 1499, 2300 - 1200},
      {"at half rate, going on", halfRate, 1500, 1600, 2300 - 1500},
      {"a hold at the anchor", behind, 700, 1700, 300},
      {"the wait limit first", limited, 700, 1199, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetFollower(c.clock);
    platform.SetNow(c.now);
    EXPECT_EQ(FollowerPosition(follower), c.position);
    EXPECT_EQ(FollowerTimeUntil(follower, 2000), c.until2000);
  }
}

// At any rate, the clock never goes back and never stands on its hold before the
// hold ends, whatever the rounding.
TEST_F(ClockFixture, TheHeldClockNeverGoesBackNorReachesItsHoldEarly) {
  for (const int32_t rate :
       {kFixOne / 4, kFixOne / 2, kFixOne * 4 / 5, kFixOne, kFixOne * 3 / 2, kMaxRate}) {
    for (const int32_t distance : {1, 333, 1001}) {
      SCOPED_TRACE(testing::Message() << "rate " << rate << ", hold " << distance << " ahead");
      const FollowerClock clock{0, 0, rate, kNoLimit, true, false, distance, 200};
      const SystemTime resume = FollowerHoldReached(clock) + 200;
      int32_t previous = 0;
      for (SystemTime now = 0; now < resume + 50; ++now) {
        const int32_t position = FollowerPositionAt(clock, now);
        ASSERT_GE(position, previous) << "at " << now;
        if (now < resume) {
          ASSERT_LT(position, distance) << "at " << now;
        }
        previous = position;
      }
    }
  }
}

TEST_F(ClockFixture, TimeUntilAtHalfTempoAndTheFirstQueryAfterStart) {
  platform.SetNow(1000);
  {
    std::lock_guard lock(follower.writeMutex);
    TempoMapReserve(follower.tempoMap, 8);
    AnchorPush(follower.tempoMap, 200, 500);
    FollowerClockWrite(follower, FollowerClock{500, 200, kFixOne / 2, kNoLimit, true, true});
  }
  // This call still answers from the old anchor time; the clock restarts now.
  EXPECT_EQ(FollowerTimeUntil(follower, 600), 0);
  const FollowerClock restarted = FollowerClockRead(follower);
  EXPECT_FALSE(restarted.startPending);
  EXPECT_EQ(restarted.anchorTime, 1000);
  EXPECT_EQ(follower.tempoMap.count, 1);
  EXPECT_EQ(follower.tempoMap.entries[0].time, 1000);
  EXPECT_EQ(FollowerTimeUntil(follower, 600), 200);
}

TEST_F(ClockFixture, ClockKeepsWorkingAfterMonthsOfUptime) {
  const SystemTime later = SystemTime{60} * 24 * 3600 * 1000;  // 60 days
  SetFollower(FollowerClock{2000, later, kFixOne, kNoLimit, true, false});
  platform.SetNow(later + 500);
  EXPECT_EQ(FollowerPosition(follower), 2500);
  EXPECT_EQ(FollowerTimeUntil(follower, 3000), 500);
  // A stale anchor days old saturates instead of wrapping round.
  SetFollower(FollowerClock{0, 0, kMaxRate, kNoLimit, true, false});
  EXPECT_GT(FollowerPosition(follower), 0);
}

TEST(TempoMap, PushReplacesLaterEntriesAndFullMapStopsRecording) {
  TempoMapRec map;
  TempoMapReserve(map, 3);
  AnchorPush(map, 0, 0);
  AnchorPush(map, 100, 1000);
  AnchorPush(map, 200, 2000);
  AnchorPush(map, 300, 3000);  // full: dropped
  EXPECT_EQ(map.count, 3);
  AnchorPush(map, 400, 1000);  // a jump back replaces everything at or after it
  ASSERT_EQ(map.count, 2);
  EXPECT_EQ(map.entries[1].time, 400);
  EXPECT_EQ(map.entries[1].position, 1000);
}

TEST(TempoMap, FinishExportAndPerformancePosition) {
  SimulatedPlatform platform;
  FollowerClockRec clock;
  clock.platform = &platform;
  TempoMapReserve(clock.tempoMap, 8);
  AnchorPush(clock.tempoMap, 1000, 500);
  AnchorPush(clock.tempoMap, 2000, 1500);
  AnchorPush(clock.tempoMap, 2000, 1600);  // same millisecond: no division by zero
  AnchorPush(clock.tempoMap, 3000, 3600);
  TempoMapFinish(clock.tempoMap, 0x18000);
  const auto& e = clock.tempoMap.entries;
  EXPECT_EQ(e[0].rate, kFixOne);
  EXPECT_EQ(e[1].rate, kFixOne);  // keeps the previous rate
  EXPECT_EQ(e[2].rate, 0x20000);
  EXPECT_EQ(e[3].rate, 0x18000);

  EXPECT_EQ(PerformancePosition(clock, 0), 500);
  EXPECT_EQ(PerformancePosition(clock, 1500), 1000);
  EXPECT_EQ(PerformancePosition(clock, 2500), 2600);
  EXPECT_EQ(PerformancePosition(clock, 4000), 5100);
  EXPECT_EQ(PerformancePosition(clock, 1999), 1500);  // one before an anchor counts as it
  EXPECT_EQ(PerformancePosition(clock, 1200), 700);   // an earlier time restarts the walk

  const std::vector<TempoPair> pairs = TempoMapExport(clock, kFixOne);
  ASSERT_EQ(pairs.size(), 5u);
  EXPECT_EQ(pairs[0].position, 0);
  EXPECT_EQ(pairs[0].rate, kFixOne);
  EXPECT_EQ(pairs[3].position, 1600);
  EXPECT_EQ(pairs[3].rate, 0x20000);
  EXPECT_EQ(pairs[4].position, 3600);

  {
    std::lock_guard lock(clock.writeMutex);
    FollowerClockWrite(clock, FollowerClock{0, 0, kFixOne, kNoLimit, true, false});
  }
  EXPECT_EQ(PerformancePosition(clock, 1500), -1);
  EXPECT_TRUE(TempoMapExport(clock, kFixOne).empty());
}

}  // namespace
}  // namespace tuttiro
