// Moving the position without playing: locating every cursor and every track's
// remembered MIDI state to a new place, the position displays, the jumps, the
// start history and loop mode's rule for jumps.
#pragma once

#include <cstdint>

#include "piece/piece_model.h"

namespace tuttiro {

struct AppRec;

void Locate(AppRec& app);
void RefreshPositionDisplays(AppRec& app);
void JumpTo(AppRec& app);
void JumpAhead(AppRec& app);
void JumpBack(AppRec& app);
void JumpAgain(AppRec& app);
void RecordStart(AppRec& app, int32_t position);
MeasureBeat LoopPointDisplay(AppRec& app, int32_t position);
// After a jump: loop mode goes off when the position left [loopStart, loopEnd).
void ApplyLoopModeRule(AppRec& app);
// The MIDI clock or time code state for a start at the position (nothing sent).
void PrepareSync(AppRec& app, int32_t position);
// The file's beat containing the position, in milliseconds × 4096 (the last
// beat measures like the one before it); 0 when the piece has no beats to measure.
int64_t FileBeatLength(const PieceModel& piece, int32_t position);
// Tempo in beats per minute at the position (the beat containing it).
int32_t TempoAtPosition(AppRec& app, int32_t position);

}  // namespace tuttiro
