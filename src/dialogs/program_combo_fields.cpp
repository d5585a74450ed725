// The bank and program fields shared by the Banks & Programs and Performance
// Settings dialogs.
#include "dialogs/program_combo_fields.h"

namespace tuttiro {
namespace {

const char* const kKindNames[kComboKindCount] = {"No Change",
                                                 "Standard Program Change",
                                                 "Controller 0, Program Change",
                                                 "Controller 32, Program Change",
                                                 "Controller 0, Controller 32, Program Change",
                                                 "Program Change 100-127, Program Change"};
constexpr int kValueCounts[kComboKindCount] = {0, 1, 2, 2, 3, 2};
constexpr int kDataLimit = 128;
constexpr int kBankProgramLow = 100;  // kind 5 selects the bank with programs 100-127
const char* const kSeparator = ";  ";

// The prefix each value is written after, by kind.
const char* const kValuePrefixes[kComboKindCount][3] = {
    {}, {"P: "}, {"C0: ", "P: "}, {"C32: ", "P: "}, {"C0: ", "C32: ", "P: "}, {"P: ", "P: "}};

int KindOf(const DialogModel& m, const ComboControls& c) {
  const int kind = m.Selection(c.kind);
  return kind >= 0 && kind < kComboKindCount ? kind : 0;
}

void ShowFieldsOf(DialogModel& m, const ComboControls& c, int kind) {
  const int count = ComboValueCount(kind);
  for (int i = 0; i < 3; ++i) m[c.values[static_cast<size_t>(i)]].visible = i < count;
  if (c.oneValueLabel) m[c.oneValueLabel].visible = count == 1;
  if (c.valuesLabel) m[c.valuesLabel].visible = count > 1;
  if (c.anyValuesLabel) m[c.anyValuesLabel].visible = count > 0;
}

}  // namespace

std::vector<std::string> ComboKindNames() {
  return {std::begin(kKindNames), std::end(kKindNames)};
}

int ComboValueCount(int kind) {
  return kind >= 0 && kind < kComboKindCount ? kValueCounts[kind] : 0;
}

std::string ComboText(const ProgramCombo& combo) {
  const int count = ComboValueCount(combo.kind);
  if (count == 0) return "--no change--";
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += kValuePrefixes[combo.kind][i];
    text += std::to_string(combo.values[static_cast<size_t>(i)]);
    text += kSeparator;
  }
  return text;
}

void ShowCombo(DialogModel& m, const ComboControls& c, const ProgramCombo& combo) {
  const int kind = combo.kind < kComboKindCount ? combo.kind : 0;
  m[c.kind].items = ComboKindNames();
  m[c.kind].selection = kind;
  ShowFieldsOf(m, c, kind);
  const int count = ComboValueCount(kind);
  for (int i = 0; i < 3; ++i) {
    m[c.values[static_cast<size_t>(i)]].text =
        i < count ? std::to_string(combo.values[static_cast<size_t>(i)]) : "";
  }
}

void ComboKindChosen(DialogModel& m, const ComboControls& c) {
  for (int id : c.values) m[id].text.clear();
  ShowFieldsOf(m, c, KindOf(m, c));
}

OkVerdict ComboState(const DialogModel& m, const ComboControls& c) {
  const int kind = KindOf(m, c);
  OkVerdict verdict;
  const std::string rule = RangeRule("Each value", 0, kDataLimit - 1);
  for (int i = 0; i < ComboValueCount(kind); ++i) {
    const FieldValue v = ReadInteger(m.Text(c.values[static_cast<size_t>(i)]), false, true);
    if (!v.empty && (!v.ok || v.value >= kDataLimit)) return {OkState::kInvalid, rule};
    if (kind == kComboProgramPair && i == 0 && !v.empty && v.value < kBankProgramLow) {
      verdict = {OkState::kIncomplete, RangeRule("The bank's program", kBankProgramLow, 127)};
    } else if (v.empty && verdict.state == OkState::kValid) {
      verdict = {OkState::kIncomplete, "Give every value of the program change."};
    }
  }
  return verdict;
}

std::optional<ProgramCombo> ReadCombo(const DialogModel& m, const ComboControls& c) {
  if (ComboState(m, c).state != OkState::kValid) return std::nullopt;
  ProgramCombo combo;
  combo.kind = static_cast<uint8_t>(KindOf(m, c));
  for (int i = 0; i < ComboValueCount(combo.kind); ++i) {
    const size_t at = static_cast<size_t>(i);
    combo.values[at] = static_cast<uint8_t>(ReadInteger(m.Text(c.values[at]), false, true).value);
  }
  return combo;
}

}  // namespace tuttiro
