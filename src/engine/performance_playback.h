// Play Performance: the recorded soloist and the accompaniment replayed in the
// soloist's tempo. Chooses the playback tempo from the performance tempo list,
// changes it as the performance passes the list's entries, lends the
// performance track the following track's output, and switches between the two
// tracks as playback enters and leaves the recorded section.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/system_settings.h"

namespace tuttiro {

struct EngineRec;

using PerformanceTempoList = std::vector<std::array<int32_t, 2>>;  // (time ms, position)

struct PerformancePlaybackRec {
  // Set when a recording is finished.
  int32_t recordedTempoFactor = 4096;  // the tempo factor the soloist was followed at
  int32_t averageTempo = 4096;         // over the whole recorded section, 4.12
  int32_t lastTempo = 4096;            // the follower's tempo when following stopped
  // The first entry of the tempo list whose position is at or after the
  // position; moved by locating while stopped and by the scheduler while playing.
  std::atomic<int32_t> cursor{0};
  // Fixed when Play Performance starts, read by the scheduler.
  int32_t startTempoFactor = 4096;  // the tempo factor in force at the start
  bool followRecordedTempo = true;  // During Performed Section: Use Performed Tempos
  int32_t afterTempo = 4096;        // the tempo chosen for after the recorded section
  // The performance track's own output, put back when Play Performance stops.
  uint16_t savedChannel = 0;
  uint16_t savedPort = 0;
  uint8_t savedSubstitutePrograms = 0;
  std::array<ProgramComboPair, kMaxProgramCombos> savedCombos{};
  // The recorded section: where the finished recording starts and ends.
  int32_t start = 0;
  int32_t end = 0;
  // Play Performance: the recorded part plays instead of the first following track.
  std::atomic<bool> replacesTrack{false};
};

// Average tempo of a tempo list as a 4.12 factor: position span over time span.
int32_t AveragePerformedTempo(const PerformanceTempoList& list);
// After a recording was finished: keeps its average and last tempo.
void PerformanceTemposKeep(EngineRec& engine, int32_t lastTempo);
// Places the tempo cursor for `position` (after locating).
void PerformanceTempoLocate(EngineRec& engine, int32_t position);
// Play Performance starting: the tempo factor to play at, from the saved
// tempo factor and where the position lies in the recorded section.
int32_t PerformanceStartTempo(EngineRec& engine, const SystemSettings& system,
                              int32_t savedTempoFactor);
// Scheduler pass at position `e` during Play Performance: moves the cursor
// and, where the tempo changes, re-bases the transport clock at (e, now).
void PerformanceTempoStep(EngineRec& engine, int32_t e);
// Punch-In: the performance track replaces the following track while `e`
// lies inside the recorded section.
void PerformanceSwitchTrack(EngineRec& engine, int32_t e);
// Lends the performance track the first following track's channel, port and
// programs, unless it uses its own port; and gives its own back at stop.
void PerformanceTakeOutput(EngineRec& engine, const PieceSettings& live);
void PerformanceRestoreOutput(EngineRec& engine);

}  // namespace tuttiro
