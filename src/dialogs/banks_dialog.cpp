// The Banks & Programs dialog's rules.
#include "dialogs/banks_dialog.h"

#include <algorithm>

#include "dialogs/dialogs.h"
#include "dialogs/program_combo_fields.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kProgramChoices[] = {kUseFilesPrograms, kSubstitutePrograms};
constexpr ComboControls kNewChange{
    kNewChangeKind, {kNewValue1, kNewValue2, kNewValue3}, kNewValueLabel, kNewValuesLabel};

TrackValues& Current(BanksDialog& d) {
  return d.working[static_cast<size_t>(d.current)];
}

std::string EntryLine(const ProgramComboPair& pair) {
  return "\t" + ComboText(pair.file) + "\t" + ComboText(pair.substitute);
}

void ShowEntry(BanksDialog& d) {
  const int entry = std::clamp(d.model.Selection(kProgramEntries), 0, ListedCombos(Current(d)) - 1);
  ShowCombo(d.model, kNewChange, Current(d).programCombos[static_cast<size_t>(entry)].substitute);
}

void ShowTrack(BanksDialog& d) {
  DialogModel& m = d.model;
  const TrackValues& t = Current(d);
  m[kBanksTrackList].selection = d.current;
  m.CheckRadio(kProgramChoices, t.substitutePrograms ? kSubstitutePrograms : kUseFilesPrograms);
  std::vector<std::string>& lines = m[kProgramEntries].items;
  lines.clear();
  for (int i = 0; i < ListedCombos(t); ++i) {
    lines.push_back(EntryLine(t.programCombos[static_cast<size_t>(i)]));
  }
  m[kProgramEntries].selection = 0;
  ShowEntry(d);
}

void StoreChoice(BanksDialog& d) {
  Current(d).substitutePrograms = d.model.Checked(kSubstitutePrograms) ? 1 : 0;
}

void SetNew(BanksDialog& d) {
  const std::optional<ProgramCombo> combo = ReadCombo(d.model, kNewChange);
  const int entry = d.model.Selection(kProgramEntries);
  if (!combo || entry < 0 || entry >= ListedCombos(Current(d))) return;
  ProgramComboPair& pair = Current(d).programCombos[static_cast<size_t>(entry)];
  pair.substitute = *combo;
  d.model[kProgramEntries].items[static_cast<size_t>(entry)] = EntryLine(pair);
}

// Set New only for a complete change that differs from the entry's
// substitute; one beep when a value is not a number 0-127.
bool Validate(BanksDialog& d) {
  OkVerdict state = ComboState(d.model, kNewChange);
  const int entry = d.model.Selection(kProgramEntries);
  const std::optional<ProgramCombo> combo = ReadCombo(d.model, kNewChange);
  const bool differs = entry >= 0 && entry < ListedCombos(Current(d)) && combo &&
                       *combo != Current(d).programCombos[static_cast<size_t>(entry)].substitute;
  d.model.Enable({kSetNew}, differs);
  return d.newChange.Set(std::move(state));
}

}  // namespace

int ListedCombos(const TrackValues& track) {
  int count = 1;
  while (count < kMaxProgramCombos &&
         track.programCombos[static_cast<size_t>(count)].file.kind != kComboNone) {
    ++count;
  }
  return count;
}

BanksDialog OpenBanks(const std::vector<TrackValues>& tracks) {
  BanksDialog d;
  d.working = tracks;
  DialogModel& m = d.model;
  for (const TrackValues& t : tracks) m[kBanksTrackList].items.push_back(ShownName(t));
  m[kNewChangeKind].items = ComboKindNames();
  if (tracks.empty()) return d;
  ShowTrack(d);
  Validate(d);
  return d;
}

bool BanksCommand(BanksDialog& d, int id) {
  if (d.working.empty()) return false;
  switch (id) {
    case kBanksTrackList: {
      const int chosen = d.model.Selection(kBanksTrackList);
      StoreChoice(d);
      if (chosen >= 0 && chosen < static_cast<int>(d.working.size())) d.current = chosen;
      ShowTrack(d);
      break;
    }
    case kUseFilesPrograms:
    case kSubstitutePrograms:
      StoreChoice(d);
      break;
    case kProgramEntries:
      ShowEntry(d);
      break;
    case kNewChangeKind:
      ComboKindChosen(d.model, kNewChange);
      break;
    case kSetNew:
      SetNew(d);
      break;
    default:
      break;
  }
  return Validate(d);
}

}  // namespace tuttiro
