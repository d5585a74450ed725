// Tests of the score follower on small hand-made scores: chords and their flags,
// the matching window, tempo by level, markers, jumps near and far.
#include "engine/follower.h"

#include <gtest/gtest.h>

#include "follower_harness.h"

namespace tuttiro::test {
namespace {

// One note per 500 ms beat, pitches 60, 61, ...; 4/4 with 2000 ms bars.
std::vector<PieceEvent> Scale(int count, uint32_t spacing = 500) {
  std::vector<PieceEvent> events;
  for (int i = 0; i < count; ++i) {
    const uint32_t time = static_cast<uint32_t>(i) * spacing;
    events.push_back(PieceEvent{time, 0x90, static_cast<uint8_t>(60 + i), 64, 0});
  }
  return events;
}

std::vector<int> Flags(const FollowerHarness& h) {
  std::vector<int> flags;
  for (const ScoreChord& chord : h.f.chords) flags.push_back(chord.flags);
  return flags;
}

TEST(FollowerScore, ChordsFlagsAndPitchIndex) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Notes({{0, 60},
                                {20, 64},
                                {500, 62},
                                {750, 63},
                                {1000, 64},
                                {2000, 65},
                                {2250, 66},
                                {3250, 67},
                                {6500, 68}}),
                         Beats(16, 500, 4)));
  const auto& c = h.f.chords;
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[0].noteCount, 2);  // 20 ms apart: one chord
  // first, beat 2, off-beat, beat 3, bar start, off-beat, two beats on, two bars on
  EXPECT_EQ(Flags(h), (std::vector<int>{12, 20, 0, 21, 31, 0, 21, 12}));
  EXPECT_EQ(h.f.tempoMapCapacity, 1 + 2 * 8);  // room for two anchors a chord
  const PitchRun run = h.f.pitchRuns[64];
  ASSERT_EQ(run.count, 2);
  EXPECT_EQ(h.f.pitchChords[static_cast<size_t>(run.start)], 0);
  EXPECT_EQ(h.f.pitchChords[static_cast<size_t>(run.start + 1)], 3);

  // Beats 1200 long: the half beat is used once (at 600, not again at 1800).
  FollowerHarness longBeats;
  ASSERT_TRUE(
      longBeats.SetScore(Notes({{0, 60}, {600, 61}, {900, 62}, {1800, 63}}), Beats(4, 1200, 4)));
  EXPECT_EQ(Flags(longBeats), (std::vector<int>{12, 20, 0, 0}));
}

TEST(FollowerScore, SetUpIsRefusedWhileFollowing) {
  FollowerHarness h;
  EXPECT_FALSE(FollowerStart(h.f, 0, kFixOne));  // nothing to follow yet
  ASSERT_TRUE(h.SetScore(Scale(4), Beats(8, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  EXPECT_FALSE(h.SetScore(Scale(4), Beats(8, 500, 4)));
  EXPECT_FALSE(FollowerSetOptions(h.f, 3, true, true, false, false));
  EXPECT_FALSE(FollowerStart(h.f, 0, kFixOne));
  EXPECT_TRUE(FollowerStop(h.f));
  EXPECT_TRUE(FollowerSetOptions(h.f, 3, true, true, false, false));
  EXPECT_EQ(FollowerLastEventAtOrBefore(h.f, 1200), 1000);
  EXPECT_EQ(FollowerLastEventAtOrBefore(h.f, -5), -1);
}

// Plays the scale from its start at 80 % of its tempo (a beat every 625 ms).
struct LevelCase {
  int level;
  int32_t rateAfterBeat2;
  int32_t rateAfterBar2;
  int32_t positionAfterBar2;
};

class FollowerLevels : public ::testing::TestWithParam<LevelCase> {};

TEST_P(FollowerLevels, TempoAndPositionAtEachLevel) {
  const LevelCase& param = GetParam();
  FollowerHarness h;
  ASSERT_TRUE(FollowerSetOptions(h.f, param.level, true, false, false, false));
  ASSERT_TRUE(h.SetScore(Scale(9), Beats(12, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  for (int i = 0; i < 2; ++i) h.Play(1000 + 625 * i, static_cast<uint8_t>(60 + i));
  EXPECT_EQ(h.Rate(), param.rateAfterBeat2);
  for (int i = 2; i < 5; ++i) h.Play(1000 + 625 * i, static_cast<uint8_t>(60 + i));
  EXPECT_EQ(h.Rate(), param.rateAfterBar2);
  EXPECT_EQ(h.Position(), param.positionAfterBar2);
}

const int32_t kMeasured = FixDiv(500, 625);  // 0.8

INSTANTIATE_TEST_SUITE_P(Levels, FollowerLevels,
                         ::testing::Values(
                             // Highest: weights w/4; a bar start takes the measured rate whole.
                             LevelCase{4, (3 * kFixOne + kMeasured + 2) / 4, FixDiv(2000, 2500),
                                       2000},
                             // High: weights w/8.
                             LevelCase{3, (7 * kFixOne + kMeasured + 4) / 8, 55117, 2000},
                             // Medium: the clock moves onto the chords, the rate stays.
                             LevelCase{2, kFixOne, kFixOne, 2000},
                             // Low: neither tempo nor position follow.
                             LevelCase{1, kFixOne, kFixOne, 2500}));

TEST(FollowerMatching, FurtherNotesOfAChordStayWithIt) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {0, 64}, {100, 64}, {600, 67}}), Beats(4, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
  h.Play(1030, 64);
  EXPECT_EQ(h.LastMatched(), 0);
  h.Play(1040, 64);  // the chord holds no further 64, and the next chord is not tried
  EXPECT_EQ(h.LastMatched(), -1);
  h.Play(1100, 64);
  EXPECT_EQ(h.LastMatched(), 100);
}

// A note known only some time after it was played (a detected onset of an
// acoustic soloist, a busy input thread) is matched and anchored at the time it
// was played: late by 30 ms, every report and the clock are what notes on
// time give, through a start wait, tempo changes, a wrong note and a jump.
TEST(FollowerMatching, NotesHandedOverLateKeepTheTimeTheyWerePlayed) {
  const auto score = Notes({{0, 60},
                            {500, 62},
                            {1000, 64},
                            {1500, 65},
                            {2000, 67},
                            {2500, 69},
                            {3000, 71},
                            {3500, 72},
                            {6000, 50},
                            {6500, 52},
                            {7000, 53}});
  const std::pair<SystemTime, uint8_t> played[] = {{1000, 60}, {1460, 62}, {1950, 64}, {2400, 66},
                                                   {2430, 65}, {2950, 67}, {3520, 69}, {4100, 71},
                                                   {4600, 72}, {5000, 50}, {5480, 52}, {5990, 53}};
  FollowerHarness onTime;
  FollowerHarness late;
  for (FollowerHarness* h : {&onTime, &late}) {
    ASSERT_TRUE(FollowerSetOptions(h->f, 4, true, true, false, true));
    ASSERT_TRUE(h->SetScore(score, Beats(16, 500, 2)));
    ASSERT_TRUE(h->Start(900));
  }
  for (const auto& [t, pitch] : played) {
    onTime.Play(t, pitch);
    late.Play(t, pitch, 64, 30);
  }
  ASSERT_GT(onTime.Count(kReportClock), 3);
  ASSERT_EQ(onTime.Count(kReportJump), 1);
  EXPECT_EQ(late.reports, onTime.reports);
  const FollowerClock a = FollowerClockRead(onTime.f.clock);
  const FollowerClock b = FollowerClockRead(late.f.clock);
  EXPECT_EQ(b.anchorTime, a.anchorTime);
  EXPECT_EQ(b.anchorPosition, a.anchorPosition);
  EXPECT_EQ(b.rate, a.rate);
  EXPECT_LE(a.anchorTime, played[std::size(played) - 1].first);
}

TEST(FollowerMatching, RateNeverExceedsFour) {
  FollowerHarness h;
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, false, false, false));
  ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {2000, 62}, {4000, 64}, {6000, 65}}), Beats(16, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
  h.Play(2000, 62);  // every bar start takes the measured rate: 2.0
  EXPECT_EQ(h.Rate(), 2 * kFixOne);
  h.Play(2500, 64);  // 4.0
  h.Play(2900, 65);  // 5.0 is cut to 4.0
  EXPECT_EQ(h.LastMatched(), 6000);
  EXPECT_EQ(h.Rate(), kMaxRate);
}

TEST(FollowerMatching, EstimateBeforeTheMeasurementAnchorKeepsTheRate) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Scale(4), Beats(8, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
  h.f.measurePosition = 5000;  // as if the measurement had restarted further on
  h.Play(1500, 61);
  EXPECT_EQ(h.LastMatched(), 500);
  EXPECT_EQ(h.Rate(), kFixOne);
}

// A far chord that is the nearest one to the expected position: matching it is a
// correction below 1500 units from the clock and a jump request from 1500 on.
TEST(FollowerMatching, CorrectionBelowFifteenHundredJumpRequestFrom) {
  for (const SystemTime lateBy : {1501, 1500}) {
    FollowerHarness h;
    ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {3000, 72}, {3500, 74}}), {}));
    ASSERT_TRUE(h.Start(1000));
    h.Play(1000, 60);
    h.Play(1000 + lateBy, 72);
    EXPECT_EQ(h.LastMatched(), 3000);
    if (lateBy == 1501) {
      EXPECT_EQ(h.Count(kReportJump), 0);
      EXPECT_EQ(h.f.correctionCount, 1);
      EXPECT_EQ(h.Last(kReportClock)->a, 3000);
      EXPECT_EQ(h.Position(), 3000);
    } else {
      ASSERT_EQ(h.Count(kReportJump), 1);
      EXPECT_EQ(h.Last(kReportJump)->a, 3000);
      EXPECT_EQ(h.Last(kReportJump)->b, 2500);
      // The host restarts following there.
      FollowerStop(h.f);
      h.platform.SetNow(2600);
      ASSERT_TRUE(FollowerResumeAfterJump(h.f, kFixOne));
      EXPECT_EQ(h.Position(), 3100);
    }
  }
}

TEST(FollowerMarkers, WaitForSoloistHoldsTheClockAndAbsorbsWrongNotes) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Scale(8), Beats(12, 500, 4)));
  const int32_t wait[] = {2010};  // stands for the chord at 2000
  ASSERT_TRUE(FollowerSetWaitForSoloist(h.f, wait));
  ASSERT_TRUE(h.Start(1000));
  EXPECT_EQ(h.WaitLimit(), 2000);
  h.platform.SetNow(6000);
  EXPECT_EQ(h.Position(), 1999);
  EXPECT_EQ(FollowerTimeUntil(h.f, 2000), -1);
  h.Play(6000, 99);
  EXPECT_EQ(h.f.missCount, 0);
  EXPECT_EQ(h.Count(kReportJump), 0);
  h.Play(6100, 64);
  EXPECT_EQ(h.LastMatched(), 2000);
  EXPECT_EQ(h.WaitLimit(), kNoLimit);
  h.platform.SetNow(6300);
  EXPECT_EQ(h.Position(), 2200);
}

TEST(FollowerMarkers, WaitForSignalNeedsADefinedSignal) {
  const int32_t signal[] = {1500};
  {
    FollowerHarness h;
    ASSERT_TRUE(h.SetScore(Scale(8), Beats(12, 500, 4)));
    ASSERT_TRUE(FollowerSetWaitForSignal(h.f, signal));
    ASSERT_TRUE(h.Start(1000));
    h.platform.SetNow(4000);
    EXPECT_EQ(h.Position(), 3000);
  }
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Scale(8), Beats(12, 500, 4)));
  ASSERT_TRUE(FollowerSetWaitForSignal(h.f, signal));
  FollowerSetSpecialSignal(h.f, 100);
  ASSERT_TRUE(h.Start(1000));
  h.Play(2600, 63);  // the chord at the signal point is not matched before the signal
  EXPECT_EQ(h.LastMatched(), -1);
  EXPECT_EQ(h.Position(), 1499);
  h.Play(2700, 100);
  EXPECT_EQ(h.LastMatched(), 1500);
  h.platform.SetNow(2800);
  EXPECT_EQ(h.Position(), 1600);
}

TEST(FollowerMarkers, RestoreTempoReturnsToTheStartingRate) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Scale(9), Beats(12, 500, 4)));
  const int32_t restore[] = {2000};
  ASSERT_TRUE(FollowerSetRestoreTempo(h.f, restore));
  ASSERT_TRUE(h.Start(1000));
  for (int i = 0; i < 4; ++i) h.Play(1000 + 700 * i, static_cast<uint8_t>(60 + i));
  EXPECT_LT(h.Rate(), kFixOne);
  h.Play(1000 + 700 * 4, 64);
  EXPECT_EQ(h.Rate(), kFixOne);
  EXPECT_EQ(h.Position(), 2000);
}

TEST(FollowerMarkers, NotesInAnIgnoreRangeNeverMissNorJump) {
  FollowerHarness h;
  ASSERT_TRUE(h.SetScore(Scale(20), Beats(24, 500, 4)));
  const IgnoreRange ignore[] = {{1000, 6000}};
  ASSERT_TRUE(FollowerSetIgnoreRanges(h.f, ignore));
  ASSERT_TRUE(h.Start(1000));
  for (int i = 0; i < 8; ++i) h.Play(2500 + 250 * i, static_cast<uint8_t>(90 + i % 3));
  h.Play(4600, 64);  // a written note inside the range is not matched either
  EXPECT_EQ(h.LastMatched(), -1);
  EXPECT_EQ(h.f.missCount, 0);
  EXPECT_EQ(h.Count(kReportJump), 0);
  EXPECT_EQ(h.f.correctionCount, 0);
}

TEST(FollowerMarkers, WaitForSoloToStartHoldsTheFirstChord) {
  FollowerHarness h;
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, true));
  ASSERT_TRUE(h.SetScore(Scale(8), Beats(12, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.platform.SetNow(3000);
  EXPECT_EQ(h.Position(), -1);
  h.Play(3000, 60);
  EXPECT_EQ(h.f.startWaitPoint, kNoLimit);
  h.platform.SetNow(3400);
  EXPECT_EQ(h.Position(), 400);
  EXPECT_EQ(h.f.clock.tempoMap.count, 1);  // the start anchor gave way to the real start
  EXPECT_EQ(h.f.clock.tempoMap.entries[0].time, 3000);
}

}  // namespace
}  // namespace tuttiro::test
