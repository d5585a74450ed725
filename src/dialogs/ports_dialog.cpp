// The MIDI Ports & Devices dialog's rules, headless.
#include "dialogs/ports_dialog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "dialogs/dialogs.h"
#include "piece/system_settings.h"

namespace tuttiro {

using namespace dialogs;

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A RIFF file of form "sfbk" (both .sf2 and .sf3 are).
bool HasSoundfontHeader(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char header[12] = {};
  if (!in.read(header, sizeof header)) return false;
  return std::string(header, 4) == "RIFF" && std::string(header + 8, 4) == "sfbk";
}

void FillCombo(ControlState& combo, const std::vector<PortsDevice>& devices, int selected) {
  combo.items.clear();
  for (const PortsDevice& device : devices) combo.items.push_back(PortsDeviceLabel(device));
  combo.selection = selected >= 0 && selected < static_cast<int>(devices.size()) ? selected : -1;
}

}  // namespace

std::string PortsDeviceLabel(const PortsDevice& device) {
  if (!device.present) return device.name + " (not connected)";
  if (!device.synth) return device.name;
  if (device.silent) return device.name + " (silent: no audio output)";
  if (device.latencyMs > 0) {
    return device.name + " (audio latency " + std::to_string(device.latencyMs) + " ms)";
  }
  return device.name;
}

std::string SoundfontProblem(const std::string& path) {
  if (path.empty()) return {};
  const std::string extension = Lower(std::filesystem::path(path).extension().string());
  if (extension != ".sf2" && extension != ".sf3") {
    return "A soundfont is a file ending in .sf2 or .sf3.";
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return "There is no file at this path.";
  if (!HasSoundfontHeader(path)) return "This file is not a soundfont.";
  return {};
}

PortsDialog OpenPorts(const PortsValues& values, const std::vector<PortsDevice>& inputs,
                      const std::vector<PortsDevice>& outputs) {
  PortsDialog dialog;
  dialog.opened = values;
  DialogModel& m = dialog.model;
  for (int p = 0; p < kPortsDialogPorts; ++p) {
    const auto i = static_cast<size_t>(p);
    FillCombo(m[kPortInputFirst + p], inputs, values.inputDevice[i]);
    FillCombo(m[kPortOutputFirst + p], outputs, values.outputDevice[i]);
    m[kPortLeadFirst + p].text = std::to_string(values.outputLeadMs[i]);
  }
  m[kSoundfont].text = values.soundfont;
  PortsCommand(dialog);
  return dialog;
}

bool PortsCommand(PortsDialog& dialog) {
  DialogModel& m = dialog.model;
  OkVerdict verdict;
  const std::string leadRule = RangeRule("A lead", 0, kMaxOutputLeadMs, " ms");
  for (int p = 0; p < kPortsDialogPorts && verdict.state != OkState::kInvalid; ++p) {
    const FieldValue lead = ReadInteger(m.Text(kPortLeadFirst + p), false, true);
    if (!lead.ok || lead.value > kMaxOutputLeadMs) {
      verdict = {OkState::kInvalid, leadRule};
    } else if (lead.empty) {
      verdict = {OkState::kIncomplete, leadRule};
    }
  }
  // A soundfont path is typed a letter at a time: until it names a soundfont
  // the dialog says why and OK waits, without a beep for every letter.
  const std::string problem = SoundfontProblem(m.Text(kSoundfont));
  m[kSoundfontProblem].text = problem;
  if (!problem.empty() && verdict.state == OkState::kValid) verdict.state = OkState::kIncomplete;
  return m.ok.Set(verdict);
}

PortsValues StorePorts(const PortsDialog& dialog) {
  const DialogModel& m = dialog.model;
  PortsValues values = dialog.opened;
  for (int p = 0; p < kPortsDialogPorts; ++p) {
    const auto i = static_cast<size_t>(p);
    if (m.Selection(kPortInputFirst + p) >= 0)
      values.inputDevice[i] = m.Selection(kPortInputFirst + p);
    if (m.Selection(kPortOutputFirst + p) >= 0)
      values.outputDevice[i] = m.Selection(kPortOutputFirst + p);
    const FieldValue lead = ReadInteger(m.Text(kPortLeadFirst + p), false, true);
    if (lead.ok && lead.value <= kMaxOutputLeadMs)
      values.outputLeadMs[i] = static_cast<uint16_t>(lead.value);
  }
  values.soundfont = m.Text(kSoundfont);
  return values;
}

}  // namespace tuttiro
