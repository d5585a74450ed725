// The Save Settings dialog's name rule: 1 to 31 characters without the
// surrounding blanks; a name that grows too long beeps once.
#include <gtest/gtest.h>

#include "dialogs/dialogs.h"
#include "dialogs/save_settings_dialog.h"

namespace tuttiro {
namespace {

TEST(SaveSettingsDialog, TheNameDecidesTheOkState) {
  struct Case {
    std::string text;
    OkState ok;
    std::string stored;
  };
  const Case cases[] = {
      {"", OkState::kIncomplete, ""},
      {"   ", OkState::kIncomplete, ""},
      {"  Violin, hall ", OkState::kValid, "Violin, hall"},
      {std::string(31, 'x'), OkState::kValid, std::string(31, 'x')},
      {" " + std::string(31, 'x') + " ", OkState::kValid, std::string(31, 'x')},
      {std::string(32, 'x'), OkState::kInvalid, std::string(32, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SaveSettingsDialog dialog = OpenSaveSettings(c.text);
    EXPECT_EQ(dialog.model.ok.state, c.ok);
    EXPECT_EQ(StoreSettingsName(dialog), c.stored);
  }
}

TEST(SaveSettingsDialog, GrowingTooLongBeepsOnce) {
  SaveSettingsDialog dialog = OpenSaveSettings(std::string(31, 'a'));
  dialog.model[dialogs::kSettingsName].text += "b";
  EXPECT_TRUE(SaveSettingsCommand(dialog));
  dialog.model[dialogs::kSettingsName].text += "c";
  EXPECT_FALSE(SaveSettingsCommand(dialog));
  EXPECT_FALSE(dialog.model.ok.enabled());
}

}  // namespace
}  // namespace tuttiro
