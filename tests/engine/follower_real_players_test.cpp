// What real players do that a metronomic soloist does not: linger, play repeated
// notes and spread chords, rush through corrections, play an ornament, start slowly
// or with a stray note. Each case plays a few notes and checks where the follower
// put the last one.
#include <gtest/gtest.h>

#include <vector>

#include "engine/follower.h"
#include "follower_harness.h"

namespace tuttiro::test {
namespace {

struct Played {
  SystemTime time;
  uint8_t pitch;
};

struct MatchCase {
  const char* name;
  std::vector<PieceEvent> score;
  std::vector<Played> played;  // the first note starts following at its time
  int64_t lastMatched;         // where the last note belongs
};

TEST(FollowerRealPlayers, EachNoteIsMatchedWhereTheSoloistIs) {
  const MatchCase cases[] = {
      // Held 1.4 s instead of 0.5: the clock ran on past a later 64, but the
      // soloist plays the 64 right after the chord they held.
      {"lingering",
       Notes({{0, 60}, {500, 62}, {1000, 64}, {1500, 65}, {2000, 64}, {2500, 67}}),
       {{1000, 60}, {1500, 62}, {2900, 64}},
       1000},
      // Every chord holds 60; the soloist is a little slow, so the clock is nearer
      // the chord after next, which must not take the note.
      {"repeated pitch",
       Notes({{0, 60}, {0, 64}, {167, 60}, {167, 65}, {333, 60}, {333, 67}, {500, 60}}),
       {{1000, 60}, {1010, 64}, {1280, 60}},
       167},
      // A spread chord: its top note comes 120 ms after the others and still
      // belongs to it, not to the next chord that holds the same pitch.
      {"spread chord",
       Notes({{0, 55}, {1000, 60}, {1000, 64}, {1000, 67}, {1250, 67}, {1500, 72}}),
       {{1000, 55}, {2000, 60}, {2010, 64}, {2130, 67}},
       1000},
      // The soloist leaves out the 71 and, a little slow, plays the next 66: it is
      // the 66 right after the gap, not the one nearer the clock.
      {"missed note in a figure",
       Notes({{0, 66}, {150, 71}, {300, 66}, {450, 64}, {600, 66}, {750, 64}}),
       {{1000, 66}, {1440, 66}},
       300},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    FollowerHarness h;
    ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, false));
    ASSERT_TRUE(h.SetScore(c.score, Beats(40, 500, 4)));
    ASSERT_TRUE(h.Start(c.played.front().time));
    for (const Played& p : c.played) h.Play(p.time, p.pitch);
    EXPECT_EQ(h.LastMatched(), c.lastMatched);
    EXPECT_EQ(h.Count(kReportJump), 0);
  }
}

// A correction does not forget where the tempo was measured from: the next beat
// still estimates the soloist's tempo (twice the written one here).
TEST(FollowerRealPlayers, ACorrectionKeepsTheTempoMeasurement) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {3000, 72}, {3500, 74}}), Beats(16, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
  h.Play(2501, 72);  // nearest chord beyond the window: a near correction
  ASSERT_EQ(h.f.correctionCount, 1);
  h.Play(2751, 74);  // 3500 in 1751 ms: a measured rate of 2.0
  EXPECT_EQ(h.LastMatched(), 3500);
  EXPECT_GT(h.Rate(), 3 * kFixOne / 2);
}

// An off-beat chord moves a free-running clock onto it only when the clock has
// drifted more than a chord's width from it; the rate stays either way.
TEST(FollowerRealPlayers, AnOffBeatMatchReanchorsADriftedClock) {
  struct Case {
    SystemTime lateBy;
    int32_t positionAfter;
  };
  for (const Case c : {Case{30, 430}, Case{150, 400}}) {
    FollowerHarness h;
    ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, false, true));
    // Beats 2000 long; 400 and 800 are off the beat and carry no tempo.
    ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {400, 62}, {800, 64}}), Beats(4, 2000, 2)));
    ASSERT_TRUE(h.Start(1000));
    h.Play(1000, 60);
    h.Play(1000 + 400 + c.lateBy, 62);
    EXPECT_EQ(h.LastMatched(), 400);
    EXPECT_EQ(h.Position(), c.positionAfter) << "late by " << c.lateBy;
    EXPECT_EQ(h.Rate(), kFixOne);
  }
}

// The same twelve-note phrase comes back at 10000 with its ninth note changed.
// A soloist who plays that note by mistake (or as an ornament) at the first
// phrase has not skipped anywhere: no far jump, and the next notes match here.
TEST(FollowerRealPlayers, OneUnexpectedNoteIsNoJump) {
  const uint8_t phrase[] = {60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77, 79};
  std::vector<PieceEvent> score;
  for (const uint32_t start : {0u, 10000u}) {
    for (uint32_t i = 0; i < 12; ++i) {
      const uint8_t pitch = start > 0 && i == 8 ? uint8_t{90} : phrase[i];
      score.push_back(PieceEvent{start + 250 * i, 0x90, pitch, 64, 0});
    }
  }
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(score, Beats(60, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  for (uint32_t i = 0; i < 12; ++i) h.Play(1000 + 250 * i, i == 8 ? 90 : phrase[i]);
  EXPECT_EQ(h.Count(kReportJump), 0);
  EXPECT_EQ(h.LastMatched(), 11 * 250);
}

// Start Automatically: a soloist who begins at the top is taken there once three
// notes over two chords fit in order, at their own tempo however slow, and a
// stray note among them does not send the follower elsewhere.
TEST(FollowerRealPlayers, StartAutomaticallyAtTheTopAtAnyTempoAndWithAStrayNote) {
  struct Case {
    const char* name;
    std::vector<Played> played;
    int32_t startChord;  // the jump request's position
    int32_t rate;        // its rate
  };
  const Case cases[] = {
      {"a quarter of the written tempo", {{1000, 60}, {1010, 64}, {3000, 62}}, 500, kFixOne / 4},
      {"a stray note first", {{900, 90}, {1000, 60}, {1010, 64}, {1500, 62}}, 500, kFixOne},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FollowerHarness h;
    // The opening comes back at 8000, written faster, where the search alone
    // could take a slow soloist.
    ASSERT_TRUE(h.SetScore(Notes({{0, 60},
                                  {0, 64},
                                  {500, 62},
                                  {1000, 65},
                                  {8000, 60},
                                  {8000, 64},
                                  {8125, 62},
                                  {8250, 65}}),
                           Beats(40, 500, 4)));
    for (const Played& p : c.played) h.Play(p.time, p.pitch);
    ASSERT_EQ(h.Count(kReportJump), 1);
    EXPECT_EQ(h.Last(kReportJump)->a, c.startChord);
    EXPECT_EQ(h.Last(kReportJump)->b, c.played.back().time);
    EXPECT_NEAR(h.Last(kReportJump)->c, c.rate, 2);
  }
}

}  // namespace
}  // namespace tuttiro::test
