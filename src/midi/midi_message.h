// Packed short MIDI messages (status | data1 << 8 | data2 << 16): building one,
// telling a note-off, the output port a 16-bit port setting names, and the
// messages of a program combination. Shared by everything that sends or reads
// messages.
#pragma once

#include <array>
#include <cstdint>

#include "midi/midi_ports.h"
#include "piece/piece_model.h"
#include "piece/system_settings.h"

namespace tuttiro {

inline constexpr uint32_t Pack(uint8_t status, uint8_t data1, uint8_t data2) {
  return status | static_cast<uint32_t>(data1) << 8 | static_cast<uint32_t>(data2) << 16;
}

// A note-off, or a note-on with velocity 0, given as status and velocity.
inline constexpr bool IsNoteOff(uint8_t status, uint8_t velocity) {
  const uint8_t kind = status & 0xF0;
  return kind == 0x80 || (kind == 0x90 && (velocity & 0x7F) == 0);
}

// The same for a packed message.
inline constexpr bool IsNoteOff(uint32_t message) {
  return IsNoteOff(static_cast<uint8_t>(message & 0xFF), static_cast<uint8_t>(message >> 16));
}

// The port a port setting names: 65534 sends to every output port.
inline constexpr int PortOf(uint16_t setting) {
  return setting == kAllOutputPorts ? kMidiAllPorts : static_cast<int>(setting);
}

// The messages a program combination sends on a channel (bank selects first);
// returns how many of `out` it filled.
inline constexpr int kProgramComboMessages = 3;
int ProgramComboMessages(const ProgramCombo& combo, int channel,
                         std::array<uint32_t, kProgramComboMessages>& out);
// The combination a chased or played program index names on a track.
ProgramCombo TrackComboAt(const TrackRec& track, uint8_t index);

}  // namespace tuttiro
