// The MIDI Ports & Devices dialog's commit step: the devices it lists (read
// again at every opening, so devices plugged in or started since are there),
// the values it opens with, and OK, which reopens the ports.
#pragma once

#include <string>
#include <vector>

#include "dialogs/ports_dialog.h"

namespace tuttiro {

struct AppRec;
class Platform;

struct PortsDeviceLists {
  std::vector<PortsDevice> inputs;
  std::vector<PortsDevice> outputs;
};

// The platform's devices as the combos show them.
PortsDeviceLists PortsDevicesOf(const Platform& platform);
// Asks the platform for its devices again (a device in use that has gone is
// reported and its ports go quiet), then lists them.
PortsDeviceLists RefreshPortsDevices(AppRec& app);
PortsValues PortsValuesOf(const AppRec& app);

// Loads the soundfont when it changed, stores the assignments (remembering
// the devices' names), the leads and the soundfont, reopens the ports and
// publishes. False when the soundfont could not be loaded or a device could
// not be opened: the user has been told, and the dialog stays open.
bool CommitPorts(AppRec& app, const PortsValues& values);
// Cancel, and OK once the ports are open: the transport's menus follow.
void PortsDialogClosed(AppRec& app);

// Loads the settings' soundfont into the built-in synthesizer. One that
// cannot be loaded is reported and forgotten: the installed default stays.
void UseSettingsSoundfont(AppRec& app);

// Reads the device lists again, looking for missing back ends too (the
// dialog's opening); devices that went while in use are reported.
void CheckDevicesNow(AppRec& app);
// The same every two seconds from the idle pass, with the back ends there are.
void CheckDevicesFromIdle(AppRec& app);

}  // namespace tuttiro
