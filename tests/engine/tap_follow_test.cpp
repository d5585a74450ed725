// Tests of tapped-beat following: beats, bounces, half beats, the levels and waits.
#include <gtest/gtest.h>

#include "engine/follower.h"
#include "follower_harness.h"

namespace tuttiro::test {
namespace {

// Tapped beats 500 apart; following waits for the first tap.
struct TapFixture : ::testing::Test {
  FollowerHarness h;

  void SetUpTaps(int level, std::vector<int32_t> waits = {}) {
    ASSERT_TRUE(FollowerSetOptions(h.f, level, true, true, false, true));
    ASSERT_TRUE(FollowerSetTapBeats(h.f, Beats(16, 500, 4)));
    ASSERT_TRUE(FollowerSetWaitForSoloist(h.f, waits));
    ASSERT_TRUE(h.Start(1000));
  }
};

TEST_F(TapFixture, BounceCountsOnceAndALateSecondTapIsTheHalfBeat) {
  SetUpTaps(4);
  h.Tap(1000);  // releases the wait for the first tap
  h.Tap(1500);
  EXPECT_EQ(h.Last(kReportClock)->a, 500);
  const int clocks = h.Count(kReportClock);
  h.Tap(1550);  // within the first third of the beat just tapped
  EXPECT_EQ(h.Count(kReportClock), clocks);
  h.Tap(1750);
  EXPECT_EQ(h.Last(kReportClock)->a, 750);
  EXPECT_EQ(h.Rate(), kFixOne);
  EXPECT_EQ(h.f.lastTappedBeat, 1);
}

TEST_F(TapFixture, HighestLevelTakesTheTappedTempo) {
  SetUpTaps(4);
  h.Tap(1000);
  h.Tap(1400, 64 << 10);
  EXPECT_EQ(h.Rate(), 81920);  // 500 units in 400 ms
  EXPECT_EQ(h.Last(kReportLoudness)->a, (kFixOne + (64 << 10)) >> 1);
  EXPECT_EQ(h.Last(kReportNote)->b, 500);
}

TEST_F(TapFixture, MediumMovesThePositionButNotTheTempo) {
  SetUpTaps(2);
  h.Tap(1000);
  h.Tap(1600);
  h.Tap(2200);
  EXPECT_EQ(h.Rate(), kFixOne);
  EXPECT_EQ(h.Position(), 1000);
}

TEST_F(TapFixture, LowOnlyFollowsLoudness) {
  SetUpTaps(1);
  h.Tap(1000);  // the first tap still releases the start
  const int clocks = h.Count(kReportClock);
  h.Tap(1600, 127 << 10);
  EXPECT_EQ(h.Count(kReportClock), clocks);
  EXPECT_EQ(h.Last(kReportLoudness)->a, (kFixOne + (127 << 10)) >> 1);
  EXPECT_EQ(h.Position(), 600);
}

TEST_F(TapFixture, AHalfBeatTapNeverPassesTheWaitLimit) {
  SetUpTaps(4, {700});
  h.Tap(1000);
  h.Tap(1500);
  EXPECT_EQ(h.WaitLimit(), 700);
  h.platform.SetNow(1900);
  EXPECT_EQ(h.Position(), 699);
  h.Tap(1900);  // late in beat 500-1000, whose middle lies past the wait
  EXPECT_LT(FollowerClockRead(h.f.clock).anchorPosition, 700);
  EXPECT_EQ(h.Position(), 699);
}

TEST_F(TapFixture, TapsBeforeTheFirstBeatDoNothingWithoutAWait) {
  ASSERT_TRUE(FollowerSetTapBeats(h.f, Beats(16, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Tap(1000);
  EXPECT_EQ(h.Count(kReportClock), 0);
  h.Tap(1600);
  EXPECT_EQ(h.Last(kReportClock)->a, 500);
}

}  // namespace
}  // namespace tuttiro::test
