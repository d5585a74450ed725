// Moving the position without playing: locating every cursor and every track's
// remembered MIDI state to a new place, the position displays, the jumps, the
// start history and loop mode's rule for jumps.
#pragma once

#include <cstdint>

#include "piece/piece_model.h"

namespace tuttiro {

struct AppRec;

// What the position displays show; a display is redrawn when its value changes.
struct PositionDisplayRec {
  int32_t measure = 1;
  int32_t beat = 1;
  int32_t bpm = 0;
  int32_t songOffset = -1;
  int32_t masterPercent = -1;
  int32_t loopStartMeasure = -1, loopStartBeat = -1;
  int32_t loopEndMeasure = -1, loopEndBeat = -1;
  bool twoDigitBeat = false;
  // Score units of one pixel of the song position bar (opening a piece spreads
  // the piece over the bar).
  int32_t unitsPerPixel = 100;
};

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
// Tempo in beats per minute at the position (the beat containing it).
int32_t TempoAtPosition(AppRec& app, int32_t position);

}  // namespace tuttiro
