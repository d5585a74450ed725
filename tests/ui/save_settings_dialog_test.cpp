// The Save Settings dialog in the program's window: Save As... asks for a
// name, which then heads the Load Settings list.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "dialogs/dialogs.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using SaveSettingsDialogTest = test::MainWindowTest;

TEST_F(SaveSettingsDialogTest, SaveAsAsksForANameThatTheLoadListThenShows) {
  bool checked = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Save Settings"));
    auto* name = qobject_cast<QLineEdit*>(d->Control(dialogs::kSettingsName));
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(d->Control(dialogs::kOk)->isEnabled());
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral(" Cello at home"));
    EXPECT_TRUE(d->Control(dialogs::kOk)->isEnabled());
    checked = true;
    QTest::keyClick(d, Qt::Key_Return);
  });
  Item(40)->trigger();
  ASSERT_TRUE(checked);
  EXPECT_EQ(Item(30)->text(), QStringLiteral("Cello at home"));
  EXPECT_TRUE(Item(30)->isEnabled());
  EXPECT_FALSE(Item(31)->isVisible());
}

}  // namespace
}  // namespace tuttiro
