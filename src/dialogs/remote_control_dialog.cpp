// The Remote Control dialog's rules.
#include "dialogs/remote_control_dialog.h"

#include <optional>

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kControllerLimit = 122;
constexpr uint16_t kControllerBase = 256;

std::array<int, 2> RowGroup(int row) {
  return {kRemoteNoteRadio + row, kRemoteControllerRadio + row};
}

// A row's value as its checked radio and field read: no value when the field
// is empty, not valid when it does not read.
struct RowValue {
  bool valid = true;
  std::optional<uint16_t> value;
};

RowValue ReadRow(const DialogModel& m, int row) {
  if (m.Checked(kRemoteControllerRadio + row)) {
    const FieldValue c = ReadInteger(m.Text(kRemoteControllerField + row), false, true);
    if (!c.ok || c.value >= kControllerLimit) return {false, std::nullopt};
    if (c.empty) return {};
    return {true, static_cast<uint16_t>(kControllerBase + c.value)};
  }
  const FieldValue n = ReadNote(m.Text(kRemoteNoteField + row), true);
  if (!n.ok) return {false, std::nullopt};
  if (n.empty) return {};
  return {true, static_cast<uint16_t>(n.value)};
}

// Invalid when a row does not read or repeats the value of a row above it.
OkVerdict ComputeOk(const DialogModel& m) {
  std::array<std::optional<uint16_t>, kRemoteRows> values;
  for (int row = 0; row < kRemoteRows; ++row) {
    const RowValue v = ReadRow(m, row);
    if (!v.valid) {
      if (m.Checked(kRemoteControllerRadio + row))
        return {OkState::kInvalid, RangeRule("A controller", 0, kControllerLimit - 1)};
      return {OkState::kInvalid, NoteRule("A note")};
    }
    for (int above = 0; above < row && v.value; ++above) {
      if (values[static_cast<size_t>(above)] == v.value)
        return {OkState::kInvalid, "Two commands cannot share one note or controller."};
    }
    values[static_cast<size_t>(row)] = v.value;
  }
  return {};
}

void ShowRow(RemoteControlDialog& dialog, int row, uint16_t entry) {
  DialogModel& m = dialog.model;
  const bool controller = entry != kRemoteNone && entry >= kControllerBase;
  m.CheckRadio(RowGroup(row), controller ? kRemoteControllerRadio + row : kRemoteNoteRadio + row);
  m[kRemoteNoteField + row].text =
      entry < kControllerBase ? ShowNote(entry, dialog.flats) : std::string();
  m[kRemoteControllerField + row].text =
      controller ? std::to_string(entry - kControllerBase) : std::string();
}

}  // namespace

RemoteControlDialog OpenRemoteControl(const RemoteTable& table, bool flats) {
  RemoteControlDialog dialog;
  dialog.flats = flats;
  for (int row = 0; row < kRemoteRows; ++row) ShowRow(dialog, row, table[static_cast<size_t>(row)]);
  dialog.model[kRemoteCapture].checked = false;
  dialog.model.ok.Set(ComputeOk(dialog.model));
  return dialog;
}

bool RemoteControlCommand(RemoteControlDialog& dialog, int id) {
  if (id >= kRemoteNoteRadio && id < kRemoteNoteRadio + 4 * kRemoteRows) {
    dialog.currentRow = (id - kRemoteNoteRadio) % kRemoteRows;
  }
  return dialog.model.ok.Set(ComputeOk(dialog.model));
}

void RemoteControlClearAll(RemoteControlDialog& dialog) {
  for (int row = 0; row < kRemoteRows; ++row) {
    dialog.model[kRemoteNoteField + row].text.clear();
    dialog.model[kRemoteControllerField + row].text.clear();
  }
}

bool RemoteControlCaptureOn(const RemoteControlDialog& dialog) {
  return dialog.model.Checked(kRemoteCapture);
}

bool RemoteControlCapture(RemoteControlDialog& dialog, uint32_t message) {
  if (!RemoteControlCaptureOn(dialog)) return false;
  const uint8_t status = message & 0xF0;
  const uint8_t data1 = (message >> 8) & 0x7F;
  const bool note = status == 0x80 || status == 0x90;
  if (!note && status != 0xB0) return false;
  const uint16_t value = note ? data1 : static_cast<uint16_t>(kControllerBase + data1);
  const int row = dialog.currentRow;
  if (value == dialog.lastValue && row == dialog.lastRow) return false;
  dialog.lastValue = value;
  dialog.lastRow = row;
  DialogModel& m = dialog.model;
  if (note) {
    m[kRemoteNoteField + row].text = ShowNote(data1, dialog.flats);
    m.CheckRadio(RowGroup(row), kRemoteNoteRadio + row);
  } else {
    m[kRemoteControllerField + row].text = std::to_string(data1);
    m.CheckRadio(RowGroup(row), kRemoteControllerRadio + row);
  }
  return RemoteControlCommand(dialog, 0);
}

RemoteTable StoreRemoteControl(const RemoteControlDialog& dialog) {
  RemoteTable table;
  for (int row = 0; row < kRemoteRows; ++row) {
    const RowValue v = ReadRow(dialog.model, row);
    table[static_cast<size_t>(row)] = v.valid && v.value ? *v.value : kRemoteNone;
  }
  return table;
}

}  // namespace tuttiro
