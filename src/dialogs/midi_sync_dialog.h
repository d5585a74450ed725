// The MIDI & Sync Setup dialog's rules: what it shows of the SysEx, MIDI Thru
// and external sync settings, which controls are enabled for the choices made,
// and the settings it stores on OK. A port list's first entry is "All Available
// Ports" and the thru channel list's first entry is "Same as Input".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"

namespace tuttiro {

struct MidiSyncValues {
  uint8_t transmitSysex = 1;
  uint16_t sysexMode = 0;  // 0 when the file is opened, 1 as they appear, 2 all every time
  uint16_t sysexPort = 0;  // 0-7, or 65534 for all ports
  uint8_t soundHeldNotes = 1;
  uint8_t midiThru = 0;
  uint16_t thruPort = 0;
  uint16_t thruChannel = 65533;  // 0-15, or 65533 for the input's own channel
  uint8_t thruProcessFirst = 0;
  uint8_t transmitSync = 0;
  uint16_t syncPort = 0;
  uint16_t syncType = 0;   // 0 MIDI clock, 1 MIDI Time Code
  uint16_t frameRate = 3;  // 24, 25, 30 drop frame, 30 no drop frame

  bool operator==(const MidiSyncValues&) const = default;
};

struct MidiSyncDialog {
  DialogModel model;
};

// `outputDeviceNames` names each port's output device, for the port lists.
MidiSyncDialog OpenMidiSync(const MidiSyncValues& values,
                            const std::vector<std::string>& outputDeviceNames);
// After every command: the enabling rules (every entry is a choice from a
// list, so OK stays enabled). True when the dialog must beep (never).
bool MidiSyncCommand(MidiSyncDialog& dialog);
// The settings as the dialog shows them (OK).
MidiSyncValues StoreMidiSync(const MidiSyncDialog& dialog);

}  // namespace tuttiro
