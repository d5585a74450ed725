// The tempo picture of a recorded performance, bar by bar: how fast the
// soloist went in each bar of the recorded section against the file's tempo
// and the master tempo, with the average and last performed tempo. Computed
// here, without a toolkit, so the window only draws it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/performance_file.h"
#include "piece/piece_model.h"

namespace tuttiro {

struct BarTempo {
  int measure = 1;
  int32_t start = 0;  // score units
  int32_t end = 0;
  double fileBpm = 0;       // beats per minute as the file has it
  double performedBpm = 0;  // as played; 0 outside the recorded section
};

struct PerformanceTempoPicture {
  std::vector<BarTempo> bars;
  double masterPercent = 100;  // the master tempo, as a percentage of the file's
  double averageBpm = 0;       // over the recorded bars, weighted by their length
  double lastBpm = 0;          // the last recorded bar's
};

// Bars come from the beat map (a bar starts at beat 1); a bar counts as
// performed when it lies inside [sectionStart, sectionEnd) for at least half.
PerformanceTempoPicture PerformanceTempoData(const PieceModel& piece,
                                             const PerformanceTiming& timing, int32_t sectionStart,
                                             int32_t sectionEnd, int32_t tempoFactor);

}  // namespace tuttiro
