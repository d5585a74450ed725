// The tempo picture's data: bar lengths in the score and as performed.
#include "engine/performance_tempo.h"

#include <algorithm>

namespace tuttiro {
namespace {

struct Bar {
  int measure;
  int32_t start;
  int32_t end;
  int beats;
};

// The bars of the beat map: start, end and beats, from each beat 1 to the
// next. The map's last entry is the first beat at or after the piece's end,
// which closes the last bar.
std::vector<Bar> Bars(const PieceModel& piece) {
  std::vector<Bar> bars;
  const std::vector<BeatMapEntry>& map = piece.beatMap;
  for (size_t i = 0; i + 1 < map.size(); ++i) {
    if (map[i].beat == 1 || bars.empty()) {
      bars.push_back({map[i].measure, static_cast<int32_t>(map[i].time), 0, 0});
    }
    bars.back().end = static_cast<int32_t>(map[i + 1].time);
    ++bars.back().beats;
  }
  std::erase_if(bars, [](const Bar& b) { return b.end <= b.start; });
  return bars;
}

}  // namespace

PerformanceTempoPicture PerformanceTempoData(const PieceModel& piece,
                                             const PerformanceTiming& timing, int32_t sectionStart,
                                             int32_t sectionEnd, int32_t tempoFactor) {
  PerformanceTempoPicture picture;
  picture.masterPercent = tempoFactor * 100.0 / 4096;
  double beats = 0;
  double minutes = 0;
  for (const Bar& bar : Bars(piece)) {
    BarTempo t{bar.measure, bar.start, bar.end, bar.beats * 60000.0 / (bar.end - bar.start), 0};
    const int32_t inside = std::min(bar.end, sectionEnd) - std::max(bar.start, sectionStart);
    const double played = PerformedTime(timing, bar.end) - PerformedTime(timing, bar.start);
    if (2 * inside >= bar.end - bar.start && played > 0) {
      t.performedBpm = bar.beats * 60000.0 / played;
      beats += bar.beats;
      minutes += played / 60000.0;
      picture.lastBpm = t.performedBpm;
    }
    picture.bars.push_back(t);
  }
  if (minutes > 0) picture.averageBpm = beats / minutes;
  return picture;
}

}  // namespace tuttiro
