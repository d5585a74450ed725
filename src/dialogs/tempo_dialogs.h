// The Master Transpose and Tempo dialogs' rules. Tempo shows the master tempo
// both as a percentage of the file's tempo and as beats per minute at the
// current location; editing either rewrites the other.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/dialog_model.h"

namespace tuttiro {

// A transposition in half-steps, as the Master Transpose and Tracks dialogs
// show it (empty for none, a sign before raising values) and read it back
// (-127 to 127, empty for none), and the sentence a refused one shows.
inline constexpr int kHalfStepLimit = 127;
std::string ShowHalfSteps(int semitones);
FieldValue ReadHalfSteps(const std::string& text);
std::string HalfStepRule();

struct MasterTransposeDialog {
  DialogModel model;
};

MasterTransposeDialog OpenMasterTranspose(int16_t semitones);
// After every edit: the OK state and Reset to Normal. True when the dialog must beep.
bool MasterTransposeCommand(MasterTransposeDialog& dialog);
// Reset to Normal: an empty field (no transposition).
void MasterTransposeReset(MasterTransposeDialog& dialog);
int16_t StoreMasterTranspose(const MasterTransposeDialog& dialog);

struct TempoDialog {
  DialogModel model;
  // The file's beat at the current location, in milliseconds × 4096; 0 when
  // the piece has no beats to measure (the beats-per-minute field then stays empty).
  int64_t beatLength = 0;
};

// `currentBpm`: the Current Tempo view's beats per minute (0: none).
TempoDialog OpenTempo(uint16_t factor, int64_t beatLength, int32_t currentBpm);
// After an edit of control `id`: the percent rewrites the beats per minute or
// the other way round, then the OK state and Reset to Original Tempo. True
// when the dialog must beep.
bool TempoCommand(TempoDialog& dialog, int id);
// Reset to Original Tempo: 100 %.
void TempoReset(TempoDialog& dialog);
// The master tempo factor (4.12) for the percent shown; an empty field is 100 %.
uint16_t StoreTempo(const TempoDialog& dialog);

}  // namespace tuttiro
