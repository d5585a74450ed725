// Keeping system settings between runs: the current settings and up to four
// named sets, each a JSON file in the user's configuration folder
// ($XDG_CONFIG_HOME/tuttiro, else ~/.config/tuttiro), written atomically.
// Whatever cannot be read keeps its default, and the caller gets one message
// to show the user.
#pragma once

#include <string>
#include <vector>

#include "piece/system_settings.h"

namespace tuttiro {

inline constexpr const char* kSystemSettingsFileName = "system-settings.json";
inline constexpr const char* kNamedSettingsFileName = "named-system-settings.json";
inline constexpr int kMaxNamedSettings = 4;
inline constexpr size_t kMaxNamedSettingsLength = 31;

// The folder the settings files live in; empty when neither XDG_CONFIG_HOME
// nor HOME names one.
std::string SettingsFolder();

// The settings as JSON text, and back. Reading starts from `defaults`; every
// field that is present but not a valid value keeps its default and is named
// in `problem` (empty when everything present was read). The follower input
// mode is not stored: it follows from the Following choices.
std::string SystemSettingsToJson(const SystemSettings& settings);
SystemSettings SystemSettingsFromJson(const std::string& text, const SystemSettings& defaults,
                                      std::string& problem);

// Loads the system settings file of `folder`. A missing file gives the
// defaults without a message; a damaged one gives the defaults for what
// cannot be read and a message for the user in `message`.
SystemSettings LoadSystemSettings(const std::string& folder, const SystemSettings& defaults,
                                  std::string& message);
// Creates the folder if needed. False when the file could not be written.
bool SaveSystemSettings(const std::string& folder, const SystemSettings& settings);

enum class NamedSettingsResult {
  kOk,
  kInvalidName,  // empty, or longer than 31 characters
  kExists,       // saving under a name in use needs the user's confirmation
  kFull,         // four named sets exist already
  kNotFound,
  kWriteFailed,
};

// The names of the saved sets, in the order they were first saved. A damaged
// file lists what can be read and sets `message`.
std::vector<std::string> NamedSettingsList(const std::string& folder, std::string& message);
// Save As: a new name, or with `replace` (the user confirmed) a name in use.
NamedSettingsResult SaveNamedSettings(const std::string& folder, const std::string& name,
                                      const SystemSettings& settings, bool replace);
NamedSettingsResult LoadNamedSettings(const std::string& folder, const std::string& name,
                                      const SystemSettings& defaults, SystemSettings& settings,
                                      std::string& message);
NamedSettingsResult RemoveNamedSettings(const std::string& folder, const std::string& name);

}  // namespace tuttiro
