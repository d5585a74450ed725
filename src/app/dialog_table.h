// The settings dialogs: the command that opens each, its template number, its
// title and the help context it sets while open. The command table opens
// dialogs by this table and the help pages are found by its context numbers.
#pragma once

#include <span>

namespace tuttiro {

struct DialogInfo {
  int command;  // 0: opened only by another dialog or by the transport
  int templateId;
  const char* title;
  int helpContext;
};

inline constexpr int kDialogSaveSettings = 100;
inline constexpr int kDialogFollowing = 200;
inline constexpr int kDialogLoopMode = 300;
inline constexpr int kDialogMetronome = 400;
inline constexpr int kDialogLocation = 500;
inline constexpr int kDialogRemoteControl = 600;
inline constexpr int kDialogTracks = 700;
inline constexpr int kDialogSpecialMarkers = 800;
inline constexpr int kDialogMasterTranspose = 900;
inline constexpr int kDialogTempo = 1000;
inline constexpr int kDialogMidiSync = 1100;
inline constexpr int kDialogIgnoreRange = 1200;
inline constexpr int kDialogFileInformation = 1300;
inline constexpr int kDialogPerformanceSettings = 1400;
inline constexpr int kDialogDisplayPreferences = 1500;
inline constexpr int kDialogPortsAndDevices = 1600;
inline constexpr int kDialogBanksAndPrograms = 1700;

std::span<const DialogInfo> DialogTable();
// The dialog a menu command opens, or nullptr.
const DialogInfo* DialogForCommand(int command);
const DialogInfo* DialogForTemplate(int templateId);

}  // namespace tuttiro
