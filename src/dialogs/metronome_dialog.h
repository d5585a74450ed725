// The MIDI Metronome dialog's rules: on or off, the port, channel and patch of
// the clicks, the note and velocity of downbeats and of the other beats, and
// the clicks taken from MIDI, which are sounded at once so the user hears the
// choice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"

namespace tuttiro {

struct MetronomeValues {
  uint8_t on = 0;
  uint16_t port = 0;
  uint8_t channel = 9;
  uint8_t patch = 255;  // 255: none
  uint8_t downbeatNote = 75;
  uint8_t downbeatVelocity = 127;
  uint8_t beatNote = 75;  // 255: none (its velocity is 255 then)
  uint8_t beatVelocity = 100;

  bool operator==(const MetronomeValues&) const = default;
};

struct MetronomeDialog {
  DialogModel model;
  bool flats = false;
  uint16_t storedPort = 0;  // kept when it is not one of the listed ports
  bool downbeatRow = true;  // the row a captured note goes to
};

// A click to sound on the dialog's port and channel: the program change first
// when the patch field holds one, then the note, released 50 ms later.
struct MetronomeAudition {
  int port = 0;
  std::optional<uint32_t> programChange;
  uint32_t noteOn = 0;
};
inline constexpr int kAuditionMs = 50;

MetronomeDialog OpenMetronome(const MetronomeValues& values, const std::vector<std::string>& ports,
                              bool flats);
// After a command from control `id`: the row it belongs to becomes current,
// then the enabling rule and the OK state. True when the dialog must beep.
bool MetronomeCommand(MetronomeDialog& dialog, int id);
// Values are taken from MIDI (and MIDI thru is silent) only while both On and
// "Allow MIDI Input" are checked.
bool MetronomeCaptureOn(const MetronomeDialog& dialog);
// A message taken from MIDI: a note-on fills the current row's note and
// velocity and gives the click to sound; a program change fills the patch.
// `beep` tells whether the dialog must beep.
std::optional<MetronomeAudition> MetronomeCapture(MetronomeDialog& dialog, uint32_t message,
                                                  bool& beep);
MetronomeValues StoreMetronome(const MetronomeDialog& dialog);

}  // namespace tuttiro
