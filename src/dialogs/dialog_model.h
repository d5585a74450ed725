// The state of an open dialog as its controls show it, by control id: the text
// of a field, whether a button is checked, a list's entries and selection,
// whether a control is enabled, and the OK state. Each dialog's rules work on
// this record, so they run headless; the Qt dialogs only mirror it.
#pragma once

#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "dialogs/field_rules.h"

namespace tuttiro {

struct ControlState {
  std::string text;
  bool checked = false;
  std::vector<std::string> items;
  int selection = -1;
  bool enabled = true;
  bool visible = true;
};

struct DialogModel {
  std::map<int, ControlState> controls;
  OkButton ok;

  ControlState& operator[](int id) { return controls[id]; }
  const std::string& Text(int id) const;
  bool Checked(int id) const;
  int Selection(int id) const;
  bool Enabled(int id) const;
  void Enable(std::initializer_list<int> ids, bool on);
  // Checks `id` and clears the other buttons of its group.
  void CheckRadio(std::span<const int> group, int id);
  // The checked button of a group (the first when none is).
  int CheckedOf(std::span<const int> group) const;
};

// A measure:beat pair shown in, and read from, two number fields: an empty field
// reads as 0, a field that is not a number gives none.
void ShowPair(DialogModel& m, int measureId, int beatId, MeasureBeat at);
std::optional<MeasureBeat> ReadPair(const DialogModel& m, int measureId, int beatId);

}  // namespace tuttiro
