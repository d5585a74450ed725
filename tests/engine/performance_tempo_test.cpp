// The tempo picture's data from a known performance: each bar's performed
// tempo, the file's, the average and the last.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "engine/performance_tempo.h"

namespace tuttiro {
namespace {

TEST(PerformanceTempo, EachRecordedBarHasItsPerformedTempo) {
  // Four bars of 4/4 at 120 bpm (2000 ms each), one note a beat.
  test::SmfBuilder smf = test::OneTrackPiece(480);
  for (int beat = 0; beat < 16; ++beat)
    smf.Event(beat ? 240 : 0, {0x90, 60, 90}).Event(240, {0x80, 60, 0});
  PieceModel piece;
  ASSERT_EQ(test::LoadBytes(piece, smf.End().Bytes()), kLoadOk);

  // Bars 2 and 3 were played: bar 2 in 2500 ms (96 bpm), bar 3 in 1600 ms (150 bpm).
  PerformanceTiming timing;
  timing.tempoList = {{0, 2000}, {2500, 4000}, {4100, 6000}};
  const PerformanceTempoPicture p = PerformanceTempoData(piece, timing, 2000, 6000, 2048);
  ASSERT_EQ(p.bars.size(), 4u);
  const double performed[] = {0, 96, 150, 0};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(p.bars[i].measure, static_cast<int>(i) + 1);
    EXPECT_NEAR(p.bars[i].fileBpm, 120, 0.01);
    EXPECT_NEAR(p.bars[i].performedBpm, performed[i], 0.01);
  }
  EXPECT_NEAR(p.averageBpm, 8 * 60000.0 / 4100, 0.01);
  EXPECT_NEAR(p.lastBpm, 150, 0.01);
  EXPECT_NEAR(p.masterPercent, 50, 0.01);
}

}  // namespace
}  // namespace tuttiro
