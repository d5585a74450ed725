// A bank and program selection as the Banks & Programs and Performance Settings
// dialogs edit it: the six kinds with their names, the one to three value
// fields each kind shows, the text a combination is listed as, and when the
// fields make a complete, an incomplete or an invalid combination.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/piece_model.h"

namespace tuttiro {

// The controls of one combination: the kind list, its three value fields and
// the labels shown beside them (0 where the dialog has none): one for a single
// value, one for several, one for any number of values.
struct ComboControls {
  int kind = 0;
  std::array<int, 3> values{};
  int oneValueLabel = 0;
  int valuesLabel = 0;
  int anyValuesLabel = 0;
};

inline constexpr int kComboKindCount = 6;

// "No Change" ... "Program Change 100-127, Program Change".
std::vector<std::string> ComboKindNames();
// How many values a kind takes: none for kind 0 (and a kind out of range).
int ComboValueCount(int kind);
// "--no change--", "P: 5;  ", "C0: 1;  P: 5;  " and so on.
std::string ComboText(const ProgramCombo& combo);

// Selects the combination's kind and shows its values in the fields it needs.
void ShowCombo(DialogModel& m, const ComboControls& c, const ProgramCombo& combo);
// The kind list changed: the value fields are emptied and those of the new
// kind shown.
void ComboKindChosen(DialogModel& m, const ComboControls& c);
// Complete: every shown field is a number 0-127 (and a kind-5 bank program at
// least 100). Invalid: a field holds something else. Incomplete otherwise.
OkVerdict ComboState(const DialogModel& m, const ComboControls& c);
// The combination the fields make, when complete.
std::optional<ProgramCombo> ReadCombo(const DialogModel& m, const ComboControls& c);

}  // namespace tuttiro
