// The MIDI Ports & Devices dialog in the program's window on the offscreen
// platform: a device added since start-up is offered, the lead fields hold OK
// back while out of range, and OK stays in the dialog while the chosen device
// refuses to open.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdPortsAndDevices = 162;

using PortsDialogTest = test::DialogTest;

TEST_F(PortsDialogTest, ADeviceAddedSinceStartCanBeChosenOnceItOpensWithItsLeadInRange) {
  const int module = platform.AddOutputDevice("Module");  // switched on after start-up
  platform.SetRefuseOpen(false, module, true);
  test::RecordingQtHost* shown = &host;
  const size_t messagesBefore = shown->shown.size();
  bool stayedOpen = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    auto* combo = qobject_cast<QComboBox*>(d->Control(kPortOutputFirst + 2));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Module"));
    // Every combo and field is named by its label, for the keyboard and screen readers.
    auto* label = qobject_cast<QLabel*>(d->Control(kPortOutputLabelFirst + 2));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), combo);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    Type(*d, kPortLeadFirst + 2, QStringLiteral("501"));
    EXPECT_FALSE(OkEnabled(*d));
    Type(*d, kPortLeadFirst + 2, QStringLiteral("35"));
    ASSERT_TRUE(OkEnabled(*d));
    // The soundfont's problem goes with the text that caused it.
    auto* problem = qobject_cast<QLabel*>(d->Control(kSoundfontProblem));
    ASSERT_NE(problem, nullptr);
    Type(*d, kSoundfont, QStringLiteral("/no/such/folder/piano.sf2"));
    EXPECT_FALSE(problem->text().isEmpty());
    Type(*d, kSoundfont, QString());
    EXPECT_TRUE(problem->text().isEmpty());
    ASSERT_TRUE(OkEnabled(*d));
    QTest::keyClick(d, Qt::Key_Return);  // the module refuses: the dialog stays
    stayedOpen = QApplication::activeModalWidget() == d;
    platform.SetRefuseOpen(false, module, false);
    QTest::keyClick(d, Qt::Key_Return);
  });
  Item(kIdPortsAndDevices)->trigger();

  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(shown->shown.size(), messagesBefore + 1);
  EXPECT_TRUE(
      shown->shown.back().text.contains(QStringLiteral("'Module' is apparently already in use")));
  EXPECT_EQ(App().system.outputDevice[2], module);
  EXPECT_EQ(App().system.outputDeviceName[2], "Module");
  EXPECT_EQ(App().system.outputLeadMs[2], 35);
  EXPECT_EQ(MidiPortName(App().engine.ports, 2), "&C--Module");
  EXPECT_TRUE(platform.OutIsOpen(module));
}

}  // namespace
}  // namespace tuttiro
