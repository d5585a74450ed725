// The Save Settings dialog in Qt over its model.
#include "ui/dialogs/save_settings_dialogs.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "dialogs/save_settings_dialog.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/dialogs/settings_dialogs.h"

namespace tuttiro {

bool RunSaveSettings(DialogEnv& env, DialogCall& call) {
  SaveSettingsDialog model = OpenSaveSettings(call.name);
  ModelDialog d(
      env.parent, DialogTitle(kDialogSaveSettings), model.model,
      [&](int) { return SaveSettingsCommand(model); }, env.help);
  QLineEdit* name = d.Field(dialogs::kSettingsName, 260);
  name->setMaxLength(static_cast<int>(kSettingsNameLimit));
  auto* all = new QVBoxLayout(&d);
  QLabel* prompt = d.Label(
      0,
      QStringLiteral("&Please enter a name for these settings using no more than 31 characters:"),
      name);
  prompt->setWordWrap(true);
  all->addWidget(prompt);
  all->addWidget(name);
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  call.name = StoreSettingsName(model);
  return true;
}

}  // namespace tuttiro
