// The table of settings dialogs.
#include "app/dialog_table.h"

#include <algorithm>

namespace tuttiro {
namespace {

constexpr DialogInfo kDialogs[] = {
    {12, kDialogFileInformation, "File Information", 1},
    {150, kDialogFollowing, "Following", 2},
    {151, kDialogPerformanceSettings, "Performance Settings", 3},
    {152, kDialogSpecialMarkers, "Special Markers", 4},
    {153, kDialogRemoteControl, "Remote Control", 5},
    {154, kDialogMetronome, "MIDI Metronome", 6},
    {155, kDialogLoopMode, "Loop Mode", 7},
    {156, kDialogDisplayPreferences, "Display Preferences", 17},
    {157, kDialogTracks, "Tracks", 18},
    {158, kDialogBanksAndPrograms, "Banks & Programs", 10},
    {159, kDialogMasterTranspose, "Master Transpose", 11},
    {160, kDialogTempo, "Tempo", 12},
    {161, kDialogMidiSync, "MIDI & Sync Setup", 13},
    {162, kDialogPortsAndDevices, "MIDI Ports & Devices", 14},
    {0, kDialogLocation, "Location", 15},
    {0, kDialogIgnoreRange, "Ignore Soloist Range", 16},
    {0, kDialogSaveSettings, "Save Settings", 19},
};

}  // namespace

std::span<const DialogInfo> DialogTable() {
  return kDialogs;
}

const DialogInfo* DialogForCommand(int command) {
  if (command == 0) return nullptr;
  auto it = std::find_if(std::begin(kDialogs), std::end(kDialogs),
                         [command](const DialogInfo& d) { return d.command == command; });
  return it == std::end(kDialogs) ? nullptr : &*it;
}

const DialogInfo* DialogForTemplate(int templateId) {
  auto it = std::find_if(std::begin(kDialogs), std::end(kDialogs),
                         [templateId](const DialogInfo& d) { return d.templateId == templateId; });
  return it == std::end(kDialogs) ? nullptr : &*it;
}

}  // namespace tuttiro
