// The Following dialog's rules: what it shows of the following settings, which
// controls are enabled for the source, tap source and timing level chosen, its
// OK state, the values it takes from MIDI, and the settings it stores on OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"

namespace tuttiro {

// The settings the dialog edits: the following choices of the system settings
// and the piece's following tracks.
struct FollowingValues {
  uint16_t followSource = 0;
  uint8_t followTwoTracks = 0;
  int16_t followTrack1 = 0;
  int16_t followTrack2 = 0;
  uint16_t tapSource = 0;
  uint8_t tapNote = 255;
  uint8_t tapController = 255;
  uint8_t waitForSolo = 0;
  uint8_t previewBeforeStarting = 0;
  uint8_t startAutomatically = 1;
  uint8_t stopAutomatically = 0;
  uint32_t stopDelay = 5000;
  uint8_t autoJump = 1;
  uint8_t localJumps = 0;
  int16_t timingSensitivity = 4;
  int16_t volumeSensitivity = 2;
  uint8_t strictTime = 0;

  bool operator==(const FollowingValues&) const = default;
};

inline constexpr uint16_t kNothingCaptured = 65535;

struct FollowingDialog {
  DialogModel model;
  bool flats = false;  // notes are shown with flats (the piece's key has them)
  uint16_t lastNote = kNothingCaptured;
  uint16_t lastController = kNothingCaptured;
};

FollowingDialog OpenFollowing(const FollowingValues& values, const std::vector<std::string>& tracks,
                              bool flats);
// After every command: the enabling rules and the OK state. True when the
// dialog must beep.
bool FollowingCommand(FollowingDialog& dialog);
// Whether values are being taken from MIDI: Tapped beats and "Allow MIDI Input"
// both checked.
bool FollowingCaptureOn(const FollowingDialog& dialog);
// A message taken from MIDI (status without channel, data 1, data 2); a note
// fills the tap note, a controller the tap controller, unless it repeats the
// last one taken. True when the dialog must beep.
bool FollowingCapture(FollowingDialog& dialog, uint32_t message);
// The settings as the dialog shows them (OK).
FollowingValues StoreFollowing(const FollowingDialog& dialog);

}  // namespace tuttiro
