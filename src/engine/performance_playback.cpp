// Play Performance's tempo and output (see performance_playback.h).
#include "engine/performance_playback.h"

#include <algorithm>
#include <cmath>

#include "engine/engine.h"

namespace tuttiro {
namespace {

constexpr int32_t kFileTempo = 4096;

// A tempo factor stays a positive 4.12 value the clock can divide by.
int32_t ClampTempo(int64_t factor) {
  return static_cast<int32_t>(std::clamp<int64_t>(factor, 1, 65535));
}

const PerformanceTempoList& TempoList(const EngineRec& engine) {
  return engine.input.recording.tempoList;
}

// The tempo between entry c - 1 and entry c; the file's tempo where the
// stretch took no time.
int32_t SegmentTempo(const PerformanceTempoList& list, size_t c) {
  const int64_t dt = static_cast<int64_t>(list[c][0]) - list[c - 1][0];
  if (dt <= 0) return kFileTempo;
  const int64_t dp = static_cast<int64_t>(list[c][1]) - list[c - 1][1];
  return ClampTempo((dp * 4096 + dt / 2) / dt);
}

// The chosen tempo u scaled by how the tempo factor changed since recording.
int32_t Scaled(const PerformancePlaybackRec& p, int32_t u) {
  const int64_t r = std::max(1, p.recordedTempoFactor);
  return ClampTempo((static_cast<int64_t>(p.startTempoFactor) * u + r / 2) / r);
}

int32_t AfterSectionTempo(const PerformancePlaybackRec& p, const SystemSettings& system) {
  switch (system.performanceTempo[2]) {
    case 1:
      return p.averageTempo;
    case 2:
      return p.lastTempo;
    default:
      return kFileTempo;
  }
}

}  // namespace

int32_t AveragePerformedTempo(const PerformanceTempoList& list) {
  if (list.size() < 2) return kFileTempo;
  const double t = static_cast<double>(list.back()[0]) - list.front()[0];
  const double p = static_cast<double>(list.back()[1]) - list.front()[1];
  if (t <= 0) return kFileTempo;
  const int64_t value = static_cast<int64_t>(std::trunc((p * 268435456.0 + t / 2) / t));
  return ClampTempo((value + 0x8000) >> 16);
}

void PerformanceTemposKeep(EngineRec& engine, int32_t lastTempo) {
  PerformancePlaybackRec& p = engine.performance;
  p.averageTempo = AveragePerformedTempo(TempoList(engine));
  p.lastTempo = ClampTempo(lastTempo);
}

void PerformanceTempoLocate(EngineRec& engine, int32_t position) {
  const PerformanceTempoList& list = TempoList(engine);
  size_t c = static_cast<size_t>(engine.performance.cursor.load());
  if (c > list.size() || (c > 0 && list[c - 1][1] >= position)) c = 0;
  while (c < list.size() && list[c][1] < position) ++c;
  engine.performance.cursor.store(static_cast<int32_t>(c));
}

int32_t PerformanceStartTempo(EngineRec& engine, const SystemSettings& system,
                              int32_t savedTempoFactor) {
  PerformancePlaybackRec& p = engine.performance;
  const PerformanceTempoList& list = TempoList(engine);
  p.startTempoFactor = savedTempoFactor;
  p.followRecordedTempo = system.performanceTempo[1] == 1;
  p.afterTempo = AfterSectionTempo(p, system);
  if (list.empty()) return savedTempoFactor;
  const size_t c = static_cast<size_t>(p.cursor.load());
  int32_t u = kFileTempo;
  if (c == 0) {
    if (system.performanceTempo[0] == 1) u = p.averageTempo;
  } else if (c >= list.size()) {
    u = p.afterTempo;
  } else if (p.followRecordedTempo) {
    u = SegmentTempo(list, c);
  }
  return Scaled(p, u);
}

void PerformanceTempoStep(EngineRec& engine, int32_t e) {
  if (!engine.mode.playingPerformance.load()) return;
  PerformancePlaybackRec& p = engine.performance;
  const PerformanceTempoList& list = TempoList(engine);
  const size_t started = static_cast<size_t>(p.cursor.load());
  size_t c = started;
  while (c < list.size() && list[c][1] <= e) ++c;
  if (c == started) return;
  p.cursor.store(static_cast<int32_t>(c));
  const bool reachedEnd = c >= list.size();
  if (!p.followRecordedTempo && started != 0 && !reachedEnd) return;
  int32_t base = kFileTempo;
  if (reachedEnd) {
    base = p.afterTempo;
  } else if (p.followRecordedTempo) {
    base = SegmentTempo(list, c);
  }
  const int32_t factor = Scaled(p, base);
  const SystemTime now = engine.platform.ClockNow();
  UpdateClock(engine, [&](TransportClock& clock) {
    clock.basePosition = e;
    clock.baseTime = now;
    clock.tempoFactor = factor;
  });
}

void PerformanceSwitchTrack(EngineRec& engine, int32_t e) {
  PerformancePlaybackRec& p = engine.performance;
  const PlaybackSettings& settings = engine.scheduler.settings;
  if (!engine.mode.playingPerformance.load() || settings.followSource.load() != 0 ||
      settings.performancePlayback.load() != 0) {
    return;
  }
  p.replacesTrack.store(p.start <= e && e < p.end);
}

void PerformanceTakeOutput(EngineRec& engine, const PieceSettings& live) {
  PerformancePlaybackRec& p = engine.performance;
  TrackRec& performance = engine.piece.performanceTrack();
  p.savedChannel = performance.outputChannel;
  p.savedPort = performance.outputPort;
  p.savedSubstitutePrograms = performance.substitutePrograms;
  p.savedCombos = performance.programCombos;
  const int following = live.followTrack1;
  if (live.performanceUsesOwnPort || following < 0 || following >= engine.piece.trackCount) {
    return;
  }
  const TrackRec& source = engine.piece.tracks[static_cast<size_t>(following)];
  performance.outputChannel = source.outputChannel;
  performance.outputPort = source.outputPort;
  performance.substitutePrograms = source.substitutePrograms;
  performance.programCombos = source.programCombos;
}

void PerformanceRestoreOutput(EngineRec& engine) {
  const PerformancePlaybackRec& p = engine.performance;
  TrackRec& performance = engine.piece.performanceTrack();
  performance.outputChannel = p.savedChannel;
  performance.outputPort = p.savedPort;
  performance.substitutePrograms = p.savedSubstitutePrograms;
  performance.programCombos = p.savedCombos;
}

}  // namespace tuttiro
