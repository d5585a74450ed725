// The Master Transpose and Tempo dialogs' rules.
#include "dialogs/tempo_dialogs.h"

#include <string>

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kPercentLimit = 200;
constexpr int64_t kMinuteFix = 2457600;  // 600 × 4096: percent × minute per beat

// The other field's text for a percent or a beats-per-minute field; empty when
// the field does not read or the beat is unknown.
std::string Linked(const std::string& text, int64_t beatLength, bool fromPercent) {
  const FieldValue v = ReadInteger(text, false, true);
  if (!v.ok || v.empty || beatLength <= 0) return {};
  const int64_t linked = fromPercent ? (v.value * kMinuteFix + beatLength / 2) / beatLength
                                     : (v.value * beatLength + kMinuteFix / 2) / kMinuteFix;
  return std::to_string(linked);
}

}  // namespace

std::string ShowHalfSteps(int semitones) {
  if (semitones == 0) return {};
  return semitones > 0 ? "+" + std::to_string(semitones) : std::to_string(semitones);
}

std::string HalfStepRule() {
  return RangeRule("The transposition", -kHalfStepLimit, kHalfStepLimit, " half steps");
}

FieldValue ReadHalfSteps(const std::string& text) {
  FieldValue v = ReadInteger(text, true, true);
  v.ok = v.ok && v.value >= -kHalfStepLimit && v.value <= kHalfStepLimit;
  return v;
}

MasterTransposeDialog OpenMasterTranspose(int16_t semitones) {
  MasterTransposeDialog dialog;
  dialog.model[kTransposeField].text = ShowHalfSteps(semitones);
  MasterTransposeCommand(dialog);
  return dialog;
}

bool MasterTransposeCommand(MasterTransposeDialog& dialog) {
  DialogModel& m = dialog.model;
  const FieldValue v = ReadHalfSteps(m.Text(kTransposeField));
  m.Enable({kTransposeReset}, !(v.ok && v.value == 0));
  if (v.ok) return m.ok.Set(OkState::kValid);
  return m.ok.Set({OkState::kInvalid, HalfStepRule()});
}

void MasterTransposeReset(MasterTransposeDialog& dialog) {
  dialog.model[kTransposeField].text.clear();
  MasterTransposeCommand(dialog);
}

int16_t StoreMasterTranspose(const MasterTransposeDialog& dialog) {
  const FieldValue v = ReadHalfSteps(dialog.model.Text(kTransposeField));
  return v.ok ? static_cast<int16_t>(v.value) : 0;
}

TempoDialog OpenTempo(uint16_t factor, int64_t beatLength, int32_t currentBpm) {
  TempoDialog dialog;
  dialog.beatLength = beatLength;
  dialog.model[kTempoPercent].text = std::to_string((factor * 100 + 2048) / 4096);
  dialog.model[kTempoBpm].text = currentBpm > 0 ? std::to_string(currentBpm) : std::string();
  TempoCommand(dialog, 0);
  return dialog;
}

bool TempoCommand(TempoDialog& dialog, int id) {
  DialogModel& m = dialog.model;
  if (id == kTempoPercent)
    m[kTempoBpm].text = Linked(m.Text(kTempoPercent), dialog.beatLength, true);
  if (id == kTempoBpm) m[kTempoPercent].text = Linked(m.Text(kTempoBpm), dialog.beatLength, false);
  const FieldValue percent = ReadInteger(m.Text(kTempoPercent), false, true);
  m.Enable({kTempoReset}, !(percent.ok && percent.value == 100));
  const std::string rule = RangeRule("The tempo", 1, kPercentLimit, " %");
  if (!percent.ok || percent.value > kPercentLimit) return m.ok.Set({OkState::kInvalid, rule});
  if (percent.value == 0) return m.ok.Set({OkState::kIncomplete, rule});
  return m.ok.Set(OkState::kValid);
}

void TempoReset(TempoDialog& dialog) {
  dialog.model[kTempoPercent].text = "100";
  TempoCommand(dialog, kTempoPercent);
}

uint16_t StoreTempo(const TempoDialog& dialog) {
  const FieldValue v = ReadInteger(dialog.model.Text(kTempoPercent), false, true);
  const int percent = v.ok && !v.empty && v.value > 0 && v.value <= kPercentLimit ? v.value : 100;
  return static_cast<uint16_t>((percent * 4096 + 50) / 100);
}

}  // namespace tuttiro
