// Tests of automatic jumping: finding the soloist anywhere, the local radius, the
// minimum span, the run length, fast hypotheses and the performed-chord buffer.
#include <gtest/gtest.h>

#include "engine/follower.h"
#include "follower_harness.h"

namespace tuttiro::test {
namespace {

// A melody in which every pitch recurs only once in 40 notes, so that any few
// consecutive notes name one place.
uint8_t MelodyPitch(int i) {
  return static_cast<uint8_t>(40 + (i * 7) % 40);
}

std::vector<PieceEvent> Melody(int count, uint32_t spacing) {
  std::vector<PieceEvent> events;
  for (int i = 0; i < count; ++i) {
    events.push_back(PieceEvent{static_cast<uint32_t>(i) * spacing, 0x90, MelodyPitch(i), 64, 0});
  }
  return events;
}

// Plays melody notes [first, last) from time t, one every `every` ms; returns the
// index of the note that raised the first jump request, or -1.
int PlayMelody(FollowerHarness& h, int first, int last, SystemTime t, SystemTime every) {
  for (int i = first; i < last; ++i) {
    const int before = h.Count(kReportJump);
    h.Play(t + (i - first) * every, MelodyPitch(i));
    if (h.Count(kReportJump) > before) return i;
  }
  return -1;
}

TEST(JumpSearch, StartAutomaticallyFindsTheSoloistAfterTwoChords) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Melody(40, 500), Beats(50, 500, 2)));
  EXPECT_EQ(PlayMelody(h, 30, 31, 10000, 500), -1);  // one chord never decides
  EXPECT_EQ(PlayMelody(h, 31, 32, 10500, 500), 31);
  EXPECT_EQ(h.Last(kReportJump)->a, 31 * 500);
  EXPECT_EQ(h.Last(kReportJump)->b, 10500);
  h.platform.SetNow(10600);
  ASSERT_TRUE(FollowerResumeAfterJump(h.f, kFixOne));
  EXPECT_EQ(h.Position(), 31 * 500 + 100);
}

TEST(JumpSearch, EquallyGoodStretchesNeedFourChordsAndTheEarliestWins) {
  // The same six-note phrase at 4000 and at 20000, filler elsewhere (the opening
  // is filler, so that the soloist is not simply starting at the top).
  std::vector<PieceEvent> score;
  const uint8_t phrase[] = {80, 82, 84, 85, 87, 89};
  for (uint32_t start : {4000u, 20000u}) {
    for (uint32_t i = 0; i < 6; ++i)
      score.push_back(PieceEvent{start + 500 * i, 0x90, phrase[i], 64, 0});
  }
  for (uint32_t t = 0; t < 4000; t += 500) score.push_back(PieceEvent{t, 0x90, 50, 64, 0});
  for (uint32_t t = 8000; t < 18000; t += 500) score.push_back(PieceEvent{t, 0x90, 50, 64, 0});
  std::stable_sort(score.begin(), score.end(),
                   [](const PieceEvent& a, const PieceEvent& b) { return a.time < b.time; });
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(score, Beats(60, 500, 2)));
  for (int i = 0; i < 3; ++i) h.Play(5000 + 500 * i, phrase[i]);
  EXPECT_EQ(h.Count(kReportJump), 0);
  EXPECT_EQ(h.f.hypothesisCount, 2);
  h.Play(6500, phrase[3]);
  ASSERT_EQ(h.Count(kReportJump), 1);
  EXPECT_EQ(h.Last(kReportJump)->a, 5500);
}

TEST(JumpSearch, AStretchShorterThanFiveHundredNeverDecides) {
  for (const uint32_t spacing : {60u, 100u}) {
    std::vector<PieceEvent> score = Melody(20, 500);
    for (uint32_t i = 0; i < 8; ++i) {
      score.push_back(PieceEvent{20000 + spacing * i, 0x90, static_cast<uint8_t>(100 + i), 64, 0});
    }
    FollowerHarness h;
    ASSERT_TRUE(h.SetScore(score, {}));
    for (uint32_t i = 0; i < 8; ++i) h.Play(5000 + spacing * i, static_cast<uint8_t>(100 + i));
    EXPECT_EQ(h.Count(kReportJump), spacing == 60 ? 0 : 1) << spacing;
  }
}

TEST(JumpSearch, LocalJumpsReachThreeThousandAtMost) {
  struct Case {
    bool localOnly;
    int aheadNotes;  // 250 ms each
    bool jumps;
  };
  for (const Case c : {Case{true, 8, true}, Case{true, 14, false}, Case{false, 14, true}}) {
    FollowerHarness h;
    ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, c.localOnly, false));
    ASSERT_TRUE(h.SetScore(Melody(120, 250), Beats(70, 500, 2)));
    ASSERT_TRUE(h.Start(1000));
    EXPECT_EQ(PlayMelody(h, 0, 4, 1000, 250), -1);
    // From here the soloist plays `aheadNotes` notes ahead of the clock, at tempo.
    const int first = 4 + c.aheadNotes;
    const int raised = PlayMelody(h, first, first + 12, 2000, 250);
    if (c.jumps) {
      ASSERT_GE(raised, 0) << c.aheadNotes;
      EXPECT_EQ(h.Last(kReportJump)->a, raised * 250);
    } else {
      EXPECT_EQ(raised, -1);
      EXPECT_EQ(h.f.correctionCount, 0);
    }
  }
}

TEST(JumpSearch, HypothesesAtFourTimesTheTempoAreDiscarded) {
  for (const SystemTime every : {167, 100}) {
    FollowerHarness h;
    ASSERT_TRUE(h.SetScore(Melody(60, 500), Beats(70, 500, 2)));
    const int raised = PlayMelody(h, 20, 32, 5000, every);
    if (every == 100) {
      EXPECT_EQ(raised, -1);
    } else {
      EXPECT_GE(raised, 24);
      EXPECT_EQ(h.Last(kReportJump)->a, raised * 500);
    }
  }
}

TEST(JumpSearch, PerformedBuffersKeepTheNewestTwentyChords) {
  FollowerHarness h;
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, false, true, false, false));
  ASSERT_TRUE(h.SetScore(Melody(10, 500), {}));
  for (int i = 0; i < 49; ++i) h.Play(1000 + 100 * i, static_cast<uint8_t>(40 + i));
  EXPECT_EQ(h.f.performedChordCount, 49);
  h.Play(1000 + 100 * 49, 89);
  ASSERT_EQ(h.f.performedChordCount, 20);
  EXPECT_EQ(h.f.performedNoteCount, 20);
  EXPECT_EQ(h.f.performedChords[0].time, 1000 + 100 * 30);
  EXPECT_EQ(h.f.performedNotes[0].pitch, 70);
  EXPECT_EQ(h.f.performedChords[19].firstNote, 19);
  h.Play(1000 + 100 * 50, 90);
  EXPECT_EQ(h.f.performedChordCount, 21);
}

}  // namespace
}  // namespace tuttiro::test
