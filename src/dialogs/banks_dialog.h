// The Banks & Programs dialog's rules: per track, the file's bank and program
// selections beside the substitutes the user plays instead, a new substitute
// built from a kind and its values (Set New), and the choice between the
// file's selections and the substitutes.
#pragma once

#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/track_values.h"

namespace tuttiro {

struct BanksDialog {
  DialogModel model;
  std::vector<TrackValues> working;  // what OK commits
  int current = 0;
  // The single beep for a value that is not a number 0-127 (OK is not
  // concerned: the rule guards Set New).
  OkButton newChange;
};

BanksDialog OpenBanks(const std::vector<TrackValues>& tracks);
// After control `id` changed. True when the dialog must beep.
bool BanksCommand(BanksDialog& dialog, int id);
// How many of a track's combinations are listed: entry 0, then every entry up
// to the first later one the file leaves empty.
int ListedCombos(const TrackValues& track);

}  // namespace tuttiro
