// The ports as the system settings assign them: finding the devices the
// settings name, and putting the assignments and channel switches on the ports.
#pragma once

#include "midi/midi_ports.h"
#include "piece/system_settings.h"

namespace tuttiro {

// Points each port at the device its remembered name names, where that device
// is listed (by its exact name, else by its name without the ALSA client and
// port numbers, which change when a device is plugged in again). A port whose
// device is not listed keeps its index.
void FindDevicesByName(SystemSettings& system, const Platform& platform);
// Remembers the name of each port's device where no name is remembered yet.
void NameAssignedDevices(SystemSettings& system, const Platform& platform);

// Puts the settings' device assignments and channel switches on the ports and
// opens their devices; true when every port's devices are open.
bool OpenSettingsPorts(const SystemSettings& system, MidiPortsRec& ports, MidiPortHost* host);

}  // namespace tuttiro
