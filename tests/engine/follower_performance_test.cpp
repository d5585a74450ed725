// Whole performances of a built-in piece's solo part, generated with fixed seeds
// (tempo changes, timing jitter, wrong notes, skipped and repeated bars), followed
// from start to end; each checks where the follower is once it has settled.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "allocation_counter.h"
#include "engine/follower.h"
#include "follower_harness.h"
#include "piece/piece_model.h"

namespace tuttiro::test {
namespace {

struct ScoreNoteAt {
  int32_t position;
  uint8_t pitch;
};

struct PlayedNote {
  SystemTime time;
  int32_t position;  // where the soloist really is (-1 for a wrong note)
  uint8_t pitch;
};

struct PerformancePlan {
  double startRate = 1.0;
  double endRate = 1.0;  // the rate changes evenly from start to end
  double wrongShare = 0.0;
  int32_t skipFrom = -1, skipTo = -1;      // a stretch the soloist leaves out
  int32_t repeatFrom = -1, repeatTo = -1;  // a stretch played twice
  int32_t startAt = 0;                     // the soloist starts here
  uint32_t seed = 1;
};

class FollowerPerformance : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!solo_.empty()) return;  // loaded by an earlier suite
    PieceSourceState sources;
    ASSERT_EQ(OpenPiece(piece_, sources, "Ecossaise"), kLoadOk);
    for (const PieceEvent& e : piece_.tracks[0].events) {
      if (e.status == 0x90 && e.data2 > 0) solo_.push_back(ScoreNoteAt{int32_t(e.time), e.data1});
    }
    beats_ = FollowerBeatList(piece_.beatMap);
  }

  // The soloist's notes: the written part in the plan's order, timed at the plan's
  // tempo with up to 12 ms of jitter, some replaced by wrong notes.
  static std::vector<PlayedNote> Perform(const PerformancePlan& plan) {
    std::vector<ScoreNoteAt> order;
    for (const ScoreNoteAt& n : solo_) {
      if (n.position < plan.startAt) continue;
      if (n.position >= plan.skipFrom && n.position < plan.skipTo) continue;
      order.push_back(n);
      if (n.position == plan.repeatTo - 1 || (order.size() > 1 && n.position >= plan.repeatTo &&
                                              order[order.size() - 2].position < plan.repeatTo)) {
        const ScoreNoteAt next = order.back();
        order.pop_back();
        for (const ScoreNoteAt& r : solo_) {
          if (r.position >= plan.repeatFrom && r.position < plan.repeatTo) order.push_back(r);
        }
        order.push_back(next);
      }
    }
    std::mt19937 random(plan.seed);
    const double length = order.back().position - order.front().position + 1.0;
    std::vector<PlayedNote> played;
    double time = 2000.0;
    double virtualPosition = 0.0;
    for (size_t i = 0; i < order.size(); ++i) {
      if (i > 0) {
        int32_t step = order[i].position - order[i - 1].position;
        if (step < 0 || step > 2000) step = 238;  // a skip or repeat joins seamlessly
        const double rate =
            plan.startRate + (plan.endRate - plan.startRate) * (virtualPosition / length);
        time += step / rate;
        virtualPosition += step;
      }
      const double jitter = static_cast<int>(random() % 25) - 12;
      const bool wrong = (random() % 1000) < plan.wrongShare * 1000;
      played.push_back(PlayedNote{static_cast<SystemTime>(time + jitter),
                                  wrong ? -1 : order[i].position,
                                  static_cast<uint8_t>(order[i].pitch + (wrong ? 1 : 0))});
    }
    std::stable_sort(played.begin(), played.end(),
                     [](const PlayedNote& a, const PlayedNote& b) { return a.time < b.time; });
    return played;
  }

  struct Outcome {
    std::vector<int32_t> errors;  // |follower - soloist| after each right note, once settled
    int jumpRequests = 0;
  };

  // Feeds the performance as the player does, restarting at every jump request.
  static Outcome Follow(FollowerHarness& h, const std::vector<PlayedNote>& notes,
                        SystemTime settleAfter) {
    Outcome outcome;
    outcome.errors.reserve(notes.size());
    FollowInto(h, notes, settleAfter, outcome);
    return outcome;
  }

  // The same into a list reserved beforehand, so that nothing here allocates.
  static void FollowInto(FollowerHarness& h, const std::vector<PlayedNote>& notes,
                         SystemTime settleAfter, Outcome& outcome) {
    for (const PlayedNote& n : notes) {
      const int jumps = h.Count(kReportJump);
      h.Play(n.time, n.pitch);
      if (h.Count(kReportJump) > jumps) {
        ++outcome.jumpRequests;
        FollowerStop(h.f);
        FollowerResumeAfterJump(h.f, kFixOne);
        FollowerTimeUntil(h.f, h.Position() + 1);
      }
      if (n.position >= 0 && n.time >= settleAfter) {
        outcome.errors.push_back(std::abs(h.Position() - n.position));
      }
    }
  }

  static void SetUpFollower(FollowerHarness& h) {
    ASSERT_TRUE(FollowerSetScore(h.f, piece_.tracks[0].events, {}, beats_));
  }

  static int32_t Percentile(std::vector<int32_t> v, double share) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(share * (v.size() - 1))];
  }

  static PieceModel piece_;
  static std::vector<ScoreNoteAt> solo_;
  static std::vector<uint32_t> beats_;
};

PieceModel FollowerPerformance::piece_;
std::vector<ScoreNoteAt> FollowerPerformance::solo_;
std::vector<uint32_t> FollowerPerformance::beats_;

// A performance with start automatically off, followed from the top; stretches
// and the settling point are in bars of the piece (two beats each).
struct PerformanceCase {
  const char* name;
  double startRate, endRate, wrongShare;
  int skipFrom, skipTo, repeatFrom, repeatTo;  // bars, -1 for none
  uint32_t seed;
  int settleBars;  // errors count from 2000 ms + this many bars + settleMs
  SystemTime settleMs;
  enum { kNoJump, kJumpOrCorrection, kJump } jumps;
  double tailShare;  // the error at this percentile stays within tailLimit
  int32_t tailLimit;
  double rate, rateTolerance;  // the follower's final rate (tolerance 0: not checked)
};

class FollowerWholePiece : public FollowerPerformance,
                           public ::testing::WithParamInterface<PerformanceCase> {};

TEST_P(FollowerWholePiece, StaysWithTheSoloist) {
  const PerformanceCase& c = GetParam();
  FollowerHarness h;
  SetUpFollower(h);
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, true));
  ASSERT_TRUE(h.Start(0));
  const int32_t bar = static_cast<int32_t>(beats_[2] & 0x7FFFFFFF);  // 2/4: two beats a bar
  const auto bars = [bar](int n) { return n < 0 ? -1 : n * bar; };
  PerformancePlan plan;
  plan.startRate = c.startRate;
  plan.endRate = c.endRate;
  plan.wrongShare = c.wrongShare;
  plan.skipFrom = bars(c.skipFrom);
  plan.skipTo = bars(c.skipTo);
  plan.repeatFrom = bars(c.repeatFrom);
  plan.repeatTo = bars(c.repeatTo);
  plan.seed = c.seed;
  const Outcome outcome = Follow(h, Perform(plan), 2000 + c.settleBars * bar + c.settleMs);
  switch (c.jumps) {
    case PerformanceCase::kNoJump:
      EXPECT_EQ(outcome.jumpRequests, 0);
      break;
    case PerformanceCase::kJumpOrCorrection:
      EXPECT_GE(outcome.jumpRequests + h.f.correctionCount, 1);
      break;
    case PerformanceCase::kJump:
      EXPECT_GE(outcome.jumpRequests, 1);
      break;
  }
  EXPECT_LE(Percentile(outcome.errors, 0.5), 30);
  EXPECT_LE(Percentile(outcome.errors, c.tailShare), c.tailLimit);
  if (c.rateTolerance > 0) {
    EXPECT_NEAR(h.Rate() / 65536.0, c.rate, c.rateTolerance);
  }
}

constexpr auto kNoJump = PerformanceCase::kNoJump;
INSTANTIATE_TEST_SUITE_P(
    Performances, FollowerWholePiece,
    ::testing::Values(
        // Steady tempos: the follower takes the soloist's tempo.
        PerformanceCase{"Steady", 1.0, 1.0, 0, -1, -1, -1, -1, 11, 0, 4000, kNoJump, 0.95, 90, 1.0,
                        0.06},
        PerformanceCase{"SteadySlow", 0.8, 0.8, 0, -1, -1, -1, -1, 12, 0, 4000, kNoJump, 0.95, 90,
                        0.8, 0.06},
        PerformanceCase{"SteadyFast", 1.25, 1.25, 0, -1, -1, -1, -1, 13, 0, 4000, kNoJump, 0.95, 90,
                        1.25, 0.06},
        PerformanceCase{"GradualRitardando", 1.0, 0.7, 0, -1, -1, -1, -1, 21, 0, 4000, kNoJump,
                        0.95, 120, 0.72, 0.08},
        PerformanceCase{"FivePercentWrongNotes", 1.0, 1.0, 0.05, -1, -1, -1, -1, 31, 0, 4000,
                        kNoJump, 0.9, 120, 0, 0},
        // A skipped bar is found again by a jump or a correction, a repeated phrase by a jump.
        PerformanceCase{"SkippedBar", 1.0, 1.0, 0, 8, 10, -1, -1, 41, 8, 5000,
                        PerformanceCase::kJumpOrCorrection, 0.9, 120, 0, 0},
        PerformanceCase{"RepeatedPhrase", 1.0, 1.0, 0, -1, -1, 12, 16, 51, 20, 5000,
                        PerformanceCase::kJump, 0.9, 120, 0, 0}),
    [](const ::testing::TestParamInfo<PerformanceCase>& info) { return info.param.name; });

TEST_F(FollowerPerformance, SoloistStartingMidPieceIsFoundByStartAutomatically) {
  FollowerHarness h;
  SetUpFollower(h);
  PerformancePlan plan;
  const int32_t bar = static_cast<int32_t>(beats_[2] & 0x7FFFFFFF);
  plan.startAt = 18 * bar;  // where the tune leaves its repeated phrase
  plan.seed = 61;
  const Outcome outcome = Follow(h, Perform(plan), 2000 + 4000);
  ASSERT_GE(outcome.jumpRequests, 1);
  const auto start = std::find_if(h.reports.begin(), h.reports.end(),
                                  [](const ReportRec& r) { return r.code == kReportJump; });
  EXPECT_GE(start->a, 18 * bar);
  EXPECT_LT(start->a, 20 * bar);
  EXPECT_TRUE(FollowerClockRead(h.f.clock).running);
  EXPECT_LE(Percentile(outcome.errors, 0.5), 30);
  EXPECT_LE(Percentile(outcome.errors, 0.9), 120);
}

TEST_F(FollowerPerformance, FollowingAllocatesNothing) {
  FollowerHarness h;
  SetUpFollower(h);
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, true));
  PerformancePlan plan;
  const int32_t bar = static_cast<int32_t>(beats_[2] & 0x7FFFFFFF);
  plan.repeatFrom = 4 * bar;
  plan.repeatTo = 20 * bar;
  plan.skipFrom = 24 * bar;
  plan.skipTo = 26 * bar;
  plan.wrongShare = 0.05;
  plan.endRate = 0.8;
  plan.seed = 71;
  const std::vector<PlayedNote> notes = Perform(plan);
  Outcome outcome;
  outcome.errors.reserve(notes.size());
  const int64_t before = allocationCount.load();
  ASSERT_TRUE(h.Start(0));
  FollowInto(h, notes, 0, outcome);
  FollowerStop(h.f);
  const int64_t allocations = allocationCount.load() - before;
  EXPECT_EQ(allocations, 0);
  EXPECT_GE(outcome.jumpRequests, 1);
  EXPECT_LT(h.reports.size(), h.reports.capacity());
}

}  // namespace
}  // namespace tuttiro::test
