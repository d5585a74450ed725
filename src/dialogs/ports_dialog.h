// The MIDI Ports & Devices dialog's rules: the device lists of the input and
// output combos (with what a musician needs to know about each device), the
// lead time of each output port, and the built-in synthesizer's soundfont.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"

namespace tuttiro {

inline constexpr int kPortsDialogPorts = 8;

// One device as the combos list it.
struct PortsDevice {
  std::string name;
  bool present = true;  // false: unplugged or its program has ended
  bool synth = false;   // the built-in synthesizer
  bool silent = false;  // the synthesizer found no audio output
  int latencyMs = 0;    // the synthesizer's audio latency; 0 unknown
};

struct PortsValues {
  std::array<int, kPortsDialogPorts> inputDevice{};  // device indices
  std::array<int, kPortsDialogPorts> outputDevice{};
  std::array<uint16_t, kPortsDialogPorts> outputLeadMs{};
  std::string soundfont;  // empty: the General MIDI soundfont installed
  bool operator==(const PortsValues&) const = default;
};

struct PortsDialog {
  DialogModel model;
  PortsValues opened;  // kept for ports whose device is not in the lists
};

// A device's entry in the combos: its name, and for the synthesizer whether
// it is heard and how late; a device that has gone says so.
std::string PortsDeviceLabel(const PortsDevice& device);

// Why a soundfont path cannot be used, or empty when it can (an empty path
// means the installed default and is fine).
std::string SoundfontProblem(const std::string& path);

PortsDialog OpenPorts(const PortsValues& values, const std::vector<PortsDevice>& inputs,
                      const std::vector<PortsDevice>& outputs);
// Validates the lead fields (0-500 ms) and the soundfont. True when the dialog
// must beep.
bool PortsCommand(PortsDialog& dialog);
PortsValues StorePorts(const PortsDialog& dialog);

}  // namespace tuttiro
