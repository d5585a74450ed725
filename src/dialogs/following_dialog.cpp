// The Following dialog's rules.
#include "dialogs/following_dialog.h"

#include <algorithm>

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kTimingLevels = 5;  // Highest ... None
constexpr int kVolumeLevels = 4;  // High ... None
const char* const kTimingNames[kTimingLevels] = {"Highest", "High", "Medium", "Low", "None"};
const char* const kVolumeNames[kVolumeLevels] = {"High", "Moderate", "Slight", "None"};
constexpr int kControllerLimit = 122;
constexpr int kSecondsLimit = 61;

// Radio groups; a tap source's index in its group is its stored code.
constexpr int kSources[] = {kSoloistsPlaying, kTappedBeats};
constexpr int kTrackCounts[] = {kOneTrack, kTwoTracks};
constexpr int kTapSources[] = {kTapSpaceBar, kTapRightMouse, kTapNote,
                               kTapAnyNote,  kTapController, kTapAnyController};
constexpr int kJumpChoices[] = {kJumpOff, kJumpSeveralBeats, kJumpAnywhere};

int TimingLevel(const DialogModel& m) {
  return kTimingLevels - 1 - m.Selection(kTiming);
}

void ApplyEnabling(DialogModel& m) {
  const bool soloist = m.Checked(kSoloistsPlaying);
  const bool taps = m.Checked(kTappedBeats);
  const int level = TimingLevel(m);
  const bool noteTaps = m.Checked(kTapNote) || m.Checked(kTapAnyNote);
  m.Enable({kFirstTrack, kFirstTrackLabel, kOneTrack, kTwoTracks, kStartAutomatically}, soloist);
  m.Enable({kSecondTrack, kSecondTrackLabel}, soloist && m.Checked(kTwoTracks));
  m.Enable({kVolume, kVolumeLabel}, (soloist || noteTaps) && level >= 1);
  m.Enable({kTapSpaceBar, kTapRightMouse, kTapNote, kTapAnyNote, kTapController, kTapAnyController,
            kAllowMidiInput},
           taps);
  m.Enable({kTapNoteField}, taps && m.Checked(kTapNote));
  m.Enable({kTapControllerField}, taps && m.Checked(kTapController));
  m.Enable({kStopAutomatically}, level >= 2);
  m.Enable({kStrictTime}, soloist && level >= 2);
  m.Enable({kJumpOff, kJumpSeveralBeats, kJumpAnywhere}, soloist && level >= 2);
  m.Enable({kStopDelay, kStopAfterLabel, kStopSecondsLabel},
           level >= 2 && m.Checked(kStopAutomatically));
  m.Enable({kWaitForSolo}, level >= 1);
}

OkVerdict ComputeOk(const DialogModel& m) {
  const FieldValue note = ReadNote(m.Text(kTapNoteField), true);
  const FieldValue controller = ReadInteger(m.Text(kTapControllerField), false, true);
  const FieldValue seconds = ReadInteger(m.Text(kStopDelay), false, true);
  if (!note.ok) return {OkState::kInvalid, NoteRule("The tap note")};
  if (!controller.ok || controller.value >= kControllerLimit)
    return {OkState::kInvalid, RangeRule("The tap controller", 0, kControllerLimit - 1)};
  const std::string stopRule = RangeRule("Stop after", 0, kSecondsLimit - 1, " seconds");
  if (!seconds.ok || seconds.value >= kSecondsLimit) return {OkState::kInvalid, stopRule};
  const bool taps = m.Checked(kTappedBeats);
  if (taps && m.Checked(kTapNote) && note.empty)
    return {OkState::kIncomplete, "Give the note that taps the beat."};
  if (taps && m.Checked(kTapController) && controller.empty)
    return {OkState::kIncomplete, "Give the controller that taps the beat."};
  if (m.Enabled(kStopDelay) && seconds.empty) return {OkState::kIncomplete, stopRule};
  return {};
}

}  // namespace

FollowingDialog OpenFollowing(const FollowingValues& v, const std::vector<std::string>& tracks,
                              bool flats) {
  FollowingDialog dialog;
  dialog.flats = flats;
  DialogModel& m = dialog.model;
  for (int list : {kFirstTrack, kSecondTrack}) m[list].items = tracks;
  m[kFirstTrack].selection = v.followTrack1;
  m[kSecondTrack].selection = v.followTrack2;
  m[kTiming].items.assign(kTimingNames, kTimingNames + kTimingLevels);
  m[kVolume].items.assign(kVolumeNames, kVolumeNames + kVolumeLevels);
  m[kTiming].selection = kTimingLevels - 1 - v.timingSensitivity;
  m[kVolume].selection = kVolumeLevels - 1 - v.volumeSensitivity;
  m.CheckRadio(kSources, v.followSource ? kTappedBeats : kSoloistsPlaying);
  m.CheckRadio(kTrackCounts, v.followTwoTracks ? kTwoTracks : kOneTrack);
  m.CheckRadio(kTapSources, kTapSources[v.tapSource < 6 ? v.tapSource : 0]);
  m.CheckRadio(kJumpChoices,
               !v.autoJump ? kJumpOff : (v.localJumps ? kJumpSeveralBeats : kJumpAnywhere));
  m[kWaitForSolo].checked = v.waitForSolo != 0;
  m[kPreviewBeforeStarting].checked = v.previewBeforeStarting != 0;
  m[kStartAutomatically].checked = v.startAutomatically != 0;
  m[kStopAutomatically].checked = v.stopAutomatically != 0;
  m[kStrictTime].checked = v.strictTime != 0;
  m[kAllowMidiInput].checked = false;
  m[kTapNoteField].text = v.tapNote == 255 ? "" : ShowNote(v.tapNote, flats);
  m[kTapControllerField].text = v.tapController == 255 ? "" : std::to_string(v.tapController);
  m[kStopDelay].text = std::to_string((v.stopDelay + 500) / 1000);
  FollowingCommand(dialog);
  return dialog;
}

bool FollowingCommand(FollowingDialog& dialog) {
  ApplyEnabling(dialog.model);
  return dialog.model.ok.Set(ComputeOk(dialog.model));
}

bool FollowingCaptureOn(const FollowingDialog& dialog) {
  return dialog.model.Checked(kAllowMidiInput) && dialog.model.Checked(kTappedBeats);
}

bool FollowingCapture(FollowingDialog& dialog, uint32_t message) {
  if (!FollowingCaptureOn(dialog)) return false;
  DialogModel& m = dialog.model;
  const uint8_t status = message & 0xF0;
  const uint8_t data1 = (message >> 8) & 0x7F;
  if (status == 0x80 || status == 0x90) {
    if (data1 == dialog.lastNote) return false;
    m[kTapNoteField].text = ShowNote(data1, dialog.flats);
    m.CheckRadio(kTapSources, kTapNote);
    dialog.lastNote = data1;
  } else if (status == 0xB0) {
    if (data1 == dialog.lastController) return false;
    m[kTapControllerField].text = std::to_string(data1);
    m.CheckRadio(kTapSources, kTapController);
    dialog.lastController = data1;
  } else {
    return false;
  }
  return FollowingCommand(dialog);
}

FollowingValues StoreFollowing(const FollowingDialog& dialog) {
  const DialogModel& m = dialog.model;
  FollowingValues v;
  v.followSource = m.Checked(kTappedBeats) ? 1 : 0;
  v.followTwoTracks = m.Checked(kTwoTracks) ? 1 : 0;
  v.followTrack1 = static_cast<int16_t>(std::max(0, m.Selection(kFirstTrack)));
  v.followTrack2 = static_cast<int16_t>(std::max(0, m.Selection(kSecondTrack)));
  const int tap = m.CheckedOf(kTapSources);
  for (uint16_t i = 0; i < 6; ++i) {
    if (kTapSources[i] == tap) v.tapSource = i;
  }
  const FieldValue note = ReadNote(m.Text(kTapNoteField), true);
  v.tapNote = note.ok && !note.empty ? static_cast<uint8_t>(note.value) : 255;
  const FieldValue controller = ReadInteger(m.Text(kTapControllerField), false, true);
  v.tapController = controller.ok && !controller.empty && controller.value < kControllerLimit
                        ? static_cast<uint8_t>(controller.value)
                        : 255;
  v.waitForSolo = m.Checked(kWaitForSolo);
  v.previewBeforeStarting = m.Checked(kPreviewBeforeStarting);
  v.startAutomatically = m.Checked(kStartAutomatically);
  v.stopAutomatically = m.Checked(kStopAutomatically);
  v.strictTime = m.Checked(kStrictTime);
  const FieldValue seconds = ReadInteger(m.Text(kStopDelay), false, true);
  v.stopDelay =
      seconds.ok && seconds.value < kSecondsLimit ? static_cast<uint32_t>(seconds.value) * 1000 : 0;
  const int jump = m.CheckedOf(kJumpChoices);
  v.autoJump = jump != kJumpOff;
  v.localJumps = jump == kJumpSeveralBeats;
  v.timingSensitivity = static_cast<int16_t>(TimingLevel(m));
  v.volumeSensitivity = static_cast<int16_t>(kVolumeLevels - 1 - m.Selection(kVolume));
  return v;
}

}  // namespace tuttiro
