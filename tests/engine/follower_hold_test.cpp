// Tests of the hold: once the soloist has been heard, the clock never runs past
// their next written note before they play it, and goes on from the note's time.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "engine/follower.h"
#include "follower_harness.h"
#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

using test::Beats;
using test::FollowerHarness;
using test::Notes;

// Quarter notes 500 apart, beats 500 apart, four to the bar. The soloist plays the
// first note on time at 1000, so the clock stands at 0 then at rate 1; the hold at
// 500 is reached at 1500 and lasts a beat and the note before it: 1000 ms.
struct HoldCase {
  const char* what;
  bool strictTime;
  SystemTime secondNoteAt;  // 0: none
  uint8_t secondPitch;
  SystemTime askedAt;
  int32_t position;  // -1: 500 and the rate since the note
};

class FollowerHold : public ::testing::TestWithParam<HoldCase> {};

TEST_P(FollowerHold, TheClockWaitsForTheSoloistsNextNote) {
  const HoldCase& c = GetParam();
  FollowerHarness h;
  ASSERT_TRUE(FollowerSetOptions(h.f, 4, true, true, false, false, c.strictTime));
  ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {500, 62}, {1000, 64}, {1500, 65}, {2000, 67}}),
                         Beats(8, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
  if (c.secondNoteAt > 0) h.Play(c.secondNoteAt, c.secondPitch);
  h.platform.SetNow(c.askedAt);
  const int32_t expected =
      c.position >= 0 ? c.position : 500 + FixMul(int32_t(c.askedAt - c.secondNoteAt), h.Rate());
  EXPECT_EQ(h.Position(), expected);
  EXPECT_EQ(h.Count(kReportJump), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FollowerHold,
    ::testing::Values(HoldCase{"runs up to the next note", false, 0, 0, 1400, 400},
                      HoldCase{"stands before it", false, 0, 0, 2400, 499},
                      HoldCase{"goes on alone after the hold", false, 0, 0, 2600, 600},
                      HoldCase{"a late note: on from its own time", false, 2200, 62, 2300, -1},
                      HoldCase{"a left-out note: on from the next", false, 2000, 64, 2000, 1000},
                      HoldCase{"strict time never stands", true, 0, 0, 2400, 1400}),
    [](const ::testing::TestParamInfo<HoldCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

// A note held far longer than the clock expected (a fermata, a breath) is no
// tempo: the note after it restarts the measurement and the rate stays. A note a
// little late (a ritardando) slows the clock.
TEST(FollowerHoldTiming, AFermataKeepsTheTempoAndARitardandoSlowsIt) {
  for (const SystemTime late : {700, 200}) {
    FollowerHarness h;
    ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {500, 62}, {1000, 64}, {1500, 65}, {2000, 67}}),
                           Beats(8, 500, 4)));
    ASSERT_TRUE(h.Start(1000));
    for (int i = 0; i < 3; ++i) h.Play(1000 + 500 * i, static_cast<uint8_t>(60 + 2 * i));
    ASSERT_EQ(h.Rate(), kFixOne);
    h.Play(2500 + late, 65);
    EXPECT_EQ(h.LastMatched(), 1500);
    EXPECT_EQ(h.Position(), 1500);
    if (late == 700) {
      EXPECT_EQ(h.Rate(), kFixOne) << "after a fermata";
    } else {
      EXPECT_LT(h.Rate(), kFixOne) << "in a ritardando";
    }
  }
}

// Whoever a clock report reaches finds the hold already at the soloist's next
// note: the accompaniment sent ahead from it (an output lead) never runs past it.
TEST(FollowerHoldTiming, EveryClockReportCarriesTheMovedHold) {
  SimulatedPlatform platform;
  FollowerState f;
  std::vector<int32_t> holdsReported;
  FollowerInit(f, platform, [&](int code, int64_t, int64_t, int64_t) -> int64_t {
    if (code == kReportClock) holdsReported.push_back(FollowerClockRead(f.clock).holdPosition);
    return 0;
  });
  ASSERT_TRUE(
      FollowerSetScore(f, Notes({{0, 60}, {150, 62}, {300, 64}, {450, 65}}), {}, Beats(8, 150, 4)));
  platform.SetNow(1000);
  ASSERT_TRUE(FollowerStart(f, 0, kFixOne));
  FollowerTimeUntil(f, 1);
  FollowerNoteInput(f, test::NoteOn(60), 1000);
  const size_t before = holdsReported.size();
  FollowerNoteInput(f, test::NoteOn(62), 1150);
  ASSERT_GT(holdsReported.size(), before);
  for (size_t i = before; i < holdsReported.size(); ++i) EXPECT_EQ(holdsReported[i], 300) << i;
  FollowerFreeAll(f);
}

// Three quarter notes; the soloist's first is heard on time at 1000, so the clock
// stands at 0 then, at rate 1, with its hold at 500.
void HearTheFirstNote(FollowerHarness& h) {
  ASSERT_TRUE(h.SetScore(Notes({{0, 60}, {500, 62}, {1000, 64}}), Beats(8, 500, 4)));
  ASSERT_TRUE(h.Start(1000));
  h.Play(1000, 60);
}

// The accompaniment scheduled from the clock: a note written at the soloist's
// next onset waits for it, one written before it plays on time.
TEST(FollowerHoldTiming, AccompanimentAtTheOnsetWaitsAndBeforeItPlaysOnTime) {
  FollowerHarness h;
  HearTheFirstNote(h);
  h.platform.SetNow(1100);
  EXPECT_EQ(FollowerTimeUntil(h.f, 250), 150);
  EXPECT_EQ(FollowerTimeUntil(h.f, 500), 1400);  // the hold's end, unless the note comes
  h.Play(1700, 62);
  EXPECT_EQ(FollowerTimeUntil(h.f, 500), 0);
  EXPECT_GT(FollowerTimeUntil(h.f, 600), 0);
}

// Stopping while the clock waits records the performance up to where it stood,
// when it got there: the wait is not slow playing.
TEST(FollowerHoldTiming, AStopDuringTheHoldRecordsNoWait) {
  FollowerHarness h;
  HearTheFirstNote(h);
  h.platform.SetNow(2300);
  ASSERT_TRUE(FollowerStop(h.f));
  const std::vector<TempoPair> map = TempoMapExport(h.f.clock, kFixOne);
  ASSERT_GE(map.size(), 2u);
  EXPECT_EQ(map[map.size() - 2].rate, FixDiv(499, 500));
}

}  // namespace
}  // namespace tuttiro
