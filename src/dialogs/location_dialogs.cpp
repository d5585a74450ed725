// The Location, Loop Mode, File Information and Display Preferences dialogs' rules.
#include "dialogs/location_dialogs.h"

#include "dialogs/dialogs.h"
#include "string_table.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kLoopChoices[] = {kLoopOn, kLoopOff};
constexpr int kViewChoices[] = {kFreezeViews, kViewsMove};
constexpr int kDelayLimit = 11;
constexpr int kStringBars = 6020;
constexpr int kStringTimeSignatureSlash = 6021;

std::string StringOr(int id, const char* fallback) {
  const char* text = StringText(id);
  return text ? text : fallback;
}

}  // namespace

LocationDialog OpenLocation(MeasureBeat at, std::span<const BeatMapEntry> beatMap) {
  LocationDialog dialog;
  dialog.beatMap.assign(beatMap.begin(), beatMap.end());
  ShowPair(dialog.model, kLocationMeasure, kLocationBeat, at);
  LocationCommand(dialog);
  return dialog;
}

void LocationCommand(LocationDialog& dialog) {
  if (LocationPosition(dialog)) {
    dialog.model.ok.Set(OkState::kValid);
    return;
  }
  const std::optional<MeasureBeat> at = ReadPair(dialog.model, kLocationMeasure, kLocationBeat);
  dialog.model.ok.Set({OkState::kIncomplete, at ? BeatRule(dialog.beatMap, *at) : std::string()});
}

MeasureBeat StoreLocation(const LocationDialog& dialog) {
  return ReadPair(dialog.model, kLocationMeasure, kLocationBeat).value_or(MeasureBeat{0, 0});
}

std::optional<int32_t> LocationPosition(const LocationDialog& dialog) {
  const std::optional<MeasureBeat> at = ReadPair(dialog.model, kLocationMeasure, kLocationBeat);
  if (!at) return std::nullopt;
  return MeasureBeatPosition(dialog.beatMap, *at);
}

LoopModeDialog OpenLoopMode(const LoopValues& v, std::span<const BeatMapEntry> beatMap) {
  LoopModeDialog dialog;
  dialog.beatMap.assign(beatMap.begin(), beatMap.end());
  DialogModel& m = dialog.model;
  ShowPair(m, kLoopBeginMeasure, kLoopBeginBeat, BeatAtOrBefore(beatMap, v.loopStart));
  ShowPair(m, kLoopEndMeasure, kLoopEndBeat, BeatAtOrBefore(beatMap, v.loopEnd));
  m[kRestartDelay].text = std::to_string(v.restartDelay);
  m.CheckRadio(kLoopChoices, v.loopMode ? kLoopOn : kLoopOff);
  m[kRestartAutomatically].checked = v.restartLoopAutomatically != 0;
  m[kSetLoopPointsAutomatically].checked = v.setLoopPointsAutomatically != 0;
  LoopModeCommand(dialog);  // the fields as filled: opening does not beep
  return dialog;
}

namespace {

// The position of a pair of fields; -1 when they do not name a beat of the piece
// (an empty field counts as 0, which never does).
int32_t PairPosition(const LoopModeDialog& dialog, int measureId, int beatId) {
  const std::optional<MeasureBeat> at = ReadPair(dialog.model, measureId, beatId);
  if (!at) return -1;
  return MeasureBeatPosition(dialog.beatMap, *at).value_or(-1);
}

// A loop point's fields that do not name a beat: what they must name.
std::string PairRule(const LoopModeDialog& dialog, int measureId, int beatId) {
  const std::optional<MeasureBeat> at = ReadPair(dialog.model, measureId, beatId);
  const std::string rule = at ? BeatRule(dialog.beatMap, *at) : std::string();
  return rule.empty() ? "A loop point must be a measure and a beat of this piece." : rule;
}

OkVerdict LoopModeVerdict(const LoopModeDialog& dialog) {
  const DialogModel& m = dialog.model;
  const int32_t from = PairPosition(dialog, kLoopBeginMeasure, kLoopBeginBeat);
  const int32_t to = PairPosition(dialog, kLoopEndMeasure, kLoopEndBeat);
  const FieldValue delay = ReadInteger(m.Text(kRestartDelay), false, true);
  const std::string delayRule = RangeRule("Restart after", 0, kDelayLimit - 1, " seconds");
  if (from < 0) return {OkState::kInvalid, PairRule(dialog, kLoopBeginMeasure, kLoopBeginBeat)};
  if (to < 0) return {OkState::kInvalid, PairRule(dialog, kLoopEndMeasure, kLoopEndBeat)};
  const char* order = "The loop must end after it begins.";
  if (from > to) return {OkState::kInvalid, order};
  if (!delay.ok || delay.value >= kDelayLimit) return {OkState::kInvalid, delayRule};
  if (from == to) return {OkState::kIncomplete, order};
  if (delay.empty) return {OkState::kIncomplete, delayRule};
  return {};
}

}  // namespace

bool LoopModeCommand(LoopModeDialog& dialog) {
  DialogModel& m = dialog.model;
  const bool on = m.Checked(kLoopOn);
  m.Enable({kLoopBeginMeasure, kLoopBeginBeat, kLoopEndMeasure, kLoopEndBeat, kRestartDelay,
            kRestartAutomatically},
           on);
  for (int label = kLoopLabelFirst; label <= kLoopLabelLast; ++label) m.Enable({label}, on);
  return m.ok.Set(LoopModeVerdict(dialog));
}

LoopValues StoreLoopMode(const LoopModeDialog& dialog) {
  const DialogModel& m = dialog.model;
  LoopValues v;
  v.loopMode = m.Checked(kLoopOn);
  const auto position = [&](int measureId, int beatId) {
    const std::optional<MeasureBeat> at = ReadPair(m, measureId, beatId);
    return at ? MeasureBeatPosition(dialog.beatMap, *at).value_or(0) : 0;
  };
  v.loopStart = position(kLoopBeginMeasure, kLoopBeginBeat);
  v.loopEnd = position(kLoopEndMeasure, kLoopEndBeat);
  v.restartLoopAutomatically = m.Checked(kRestartAutomatically);
  const FieldValue delay = ReadInteger(m.Text(kRestartDelay), false, true);
  v.restartDelay = delay.ok && delay.value < kDelayLimit ? static_cast<uint16_t>(delay.value) : 0;
  v.setLoopPointsAutomatically = m.Checked(kSetLoopPointsAutomatically);
  return v;
}

FileInformationDialog OpenFileInformation(const FileFacts& facts) {
  FileInformationDialog dialog;
  dialog.fileName = facts.fileName;
  DialogModel& m = dialog.model;
  m[kDisplayName].text = facts.displayName.value_or(facts.fileName);
  m[kFileName].text = facts.fileName;
  m[kLength].text = std::to_string(facts.lengthBars) + StringOr(kStringBars, " bars");
  const char* key = facts.initialKey >= 0 && facts.initialKey <= 29
                        ? StringText(kStringNoKey + 1 + facts.initialKey)
                        : nullptr;
  m[kInitialKey].text = key ? key : StringOr(kStringNoKey, "none");
  m[kInitialTimeSignature].text = std::to_string(facts.timeSigNumerator) +
                                  StringOr(kStringTimeSignatureSlash, "/") +
                                  std::to_string(facts.timeSigDenominator);
  FileInformationCommand(dialog);
  m.Enable({kResetToFileName}, facts.displayName.has_value());
  return dialog;
}

void FileInformationCommand(FileInformationDialog& dialog) {
  DialogModel& m = dialog.model;
  const std::string& text = m.Text(kDisplayName);
  m.ok.Set(text.empty() ? OkState::kIncomplete : OkState::kValid);
  m.Enable({kResetToFileName}, text != dialog.fileName);
}

void ResetToFileName(FileInformationDialog& dialog) {
  dialog.model[kDisplayName].text = dialog.fileName;
  FileInformationCommand(dialog);
}

std::optional<std::string> StoreDisplayName(const FileInformationDialog& dialog) {
  const std::string& text = dialog.model.Text(kDisplayName);
  if (text == dialog.fileName) return std::nullopt;
  return text;
}

DisplayPreferencesDialog OpenDisplayPreferences(const DisplayValues& v) {
  DisplayPreferencesDialog dialog;
  DialogModel& m = dialog.model;
  m.CheckRadio(kViewChoices, v.viewsMovable ? kViewsMove : kFreezeViews);
  m[kRequireShiftDrag].checked = v.requireShiftDrag != 0;
  m[kRememberViewLocations].checked = v.rememberViewLocations != 0;
  DisplayPreferencesCommand(dialog);
  return dialog;
}

void DisplayPreferencesCommand(DisplayPreferencesDialog& dialog) {
  dialog.model.Enable({kRequireShiftDrag}, dialog.model.Checked(kViewsMove));
}

DisplayValues StoreDisplayPreferences(const DisplayPreferencesDialog& dialog) {
  const DialogModel& m = dialog.model;
  return DisplayValues{static_cast<uint8_t>(m.Checked(kViewsMove)),
                       static_cast<uint8_t>(m.Checked(kRequireShiftDrag)),
                       static_cast<uint8_t>(m.Checked(kRememberViewLocations))};
}

}  // namespace tuttiro
