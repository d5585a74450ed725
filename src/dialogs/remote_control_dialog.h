// The Remote Control dialog's rules: a note or a controller for each of the
// fourteen remote functions (the transport commands, then the Special Signal),
// the row being edited, no value used twice, and the values taken from MIDI
// into the row being edited.
#pragma once

#include <array>
#include <cstdint>

#include "dialogs/dialog_model.h"
#include "piece/system_settings.h"

namespace tuttiro {

using RemoteTable = std::array<uint16_t, kRemoteControlEntries>;

struct RemoteControlDialog {
  DialogModel model;
  bool flats = false;  // notes are shown with flats (the piece's key has them)
  int currentRow = 0;
  // The last value taken from MIDI (a note, or 256 + a controller) and its row.
  uint16_t lastValue = 65535;
  int lastRow = -1;
};

RemoteControlDialog OpenRemoteControl(const RemoteTable& table, bool flats);
// After a command from control `id`: a control of a row makes that row the
// current one; then every row is checked. True when the dialog must beep.
bool RemoteControlCommand(RemoteControlDialog& dialog, int id);
// Empties every field; the radio buttons stay.
void RemoteControlClearAll(RemoteControlDialog& dialog);
bool RemoteControlCaptureOn(const RemoteControlDialog& dialog);
// A message taken from MIDI (status without channel, data 1, data 2): a note
// or a controller fills the current row, unless it repeats the last one taken
// for that row. True when the dialog must beep.
bool RemoteControlCapture(RemoteControlDialog& dialog, uint32_t message);
// The table as the dialog shows it (OK): a note, 256 + a controller, or 65535
// for a field that is empty or does not read.
RemoteTable StoreRemoteControl(const RemoteControlDialog& dialog);

}  // namespace tuttiro
