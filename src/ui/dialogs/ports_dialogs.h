// The MIDI Ports & Devices dialog in Qt.
#pragma once

#include "ui/dialogs/settings_dialogs.h"

namespace tuttiro {

// True for OK; the ports are open as chosen when it returns true.
bool RunPortsAndDevices(DialogEnv& env);

}  // namespace tuttiro
