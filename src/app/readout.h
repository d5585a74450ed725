// The plain readout that stands in for the views until they exist: what the
// main window's client area shows about the piece and the transport, taken from
// the position displays the idle pass keeps up to date.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tuttiro {

struct AppRec;

// The transport buttons the readout shows, with their layout boxes.
struct ReadoutButton {
  int box;
  const char* label;
};
inline constexpr std::array<ReadoutButton, 9> kReadoutButtons = {{
    {3, "Rewind"},
    {4, "Stop"},
    {5, "Play and Follow"},
    {6, "Play File"},
    {7, "Play Performance"},
    {8, "Preview"},
    {9, "Fast Forward"},
    {13, "Loop Mode"},
    {34, "Metronome"},
}};

struct ReadoutRec {
  std::string title;        // the piece's display name, else its file name
  std::string state;        // what the transport is doing
  std::string measureBeat;  // "12:3"
  std::string tempo;        // "96 bpm"
  std::string masterTempo;  // "100 %"
  std::string loop;         // "1:1 - 9:1"
  // Image state of each button (0 normal, 100 pressed, 200 on).
  std::array<uint16_t, kReadoutButtons.size()> buttons{};
  bool operator==(const ReadoutRec&) const = default;
};

ReadoutRec MakeReadout(AppRec& app);

}  // namespace tuttiro
