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
  // The song position bar: its travel in pixels and the score units of one pixel
  // (the views set them as they lay out; opening a piece spreads it over the bar).
  int32_t unitsPerPixel = 100;
  int32_t barLength = 259;
};

// Layout boxes redrawn for the displays (the first box of each group of digits).
enum DisplayBox : int {
  kBoxSongPosition = 16,  // the song position thumb
  kBoxLoopStart = 18,
  kBoxLoopEnd = 25,
  kBoxTempoDigits = 35,
  kBoxMasterThumb = 39,
  kBoxMasterDigits = 41,
  kBoxMeasureDigits = 46,
  kBoxBeatDigits = 51,
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
