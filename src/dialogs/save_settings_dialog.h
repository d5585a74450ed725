// The Save Settings dialog's rules: one name of at most 31 characters, which
// OK gives back without its surrounding blanks.
#pragma once

#include <string>

#include "dialogs/dialog_model.h"

namespace tuttiro {

inline constexpr size_t kSettingsNameLimit = 31;

struct SaveSettingsDialog {
  DialogModel model;
};

SaveSettingsDialog OpenSaveSettings(const std::string& name);
// OK while the name has a character other than a blank and is no longer than
// the limit; a name that has become too long beeps once.
bool SaveSettingsCommand(SaveSettingsDialog& dialog);
std::string StoreSettingsName(const SaveSettingsDialog& dialog);

}  // namespace tuttiro
