// The Save Settings dialog's rules.
#include "dialogs/save_settings_dialog.h"

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

SaveSettingsDialog OpenSaveSettings(const std::string& name) {
  SaveSettingsDialog dialog;
  dialog.model[dialogs::kSettingsName].text = name;
  SaveSettingsCommand(dialog);
  return dialog;
}

bool SaveSettingsCommand(SaveSettingsDialog& dialog) {
  const std::string name = StoreSettingsName(dialog);
  if (name.size() > kSettingsNameLimit) {
    return dialog.model.ok.Set(
        {OkState::kInvalid,
         "A name can have at most " + std::to_string(kSettingsNameLimit) + " characters."});
  }
  return dialog.model.ok.Set(name.empty() ? OkState::kIncomplete : OkState::kValid);
}

std::string StoreSettingsName(const SaveSettingsDialog& dialog) {
  return Trimmed(dialog.model.Text(dialogs::kSettingsName));
}

}  // namespace tuttiro
