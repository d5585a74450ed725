// The Remote Control and Tempo dialogs in the program's window on the offscreen
// platform, driven with real key events: a duplicate assignment keeps OK off
// until it is corrected, the stored notes reach the input path, and the tempo
// typed as beats per minute becomes the master tempo.
#include <QAbstractButton>
#include <QApplication>
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

constexpr int kIdRemoteControl = 153;
constexpr int kIdTempo = 160;

class ControlDialogsTest : public test::MainWindowTest {
 protected:
  static void WhenOpen(std::function<void(ModelDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
      auto* dialog = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
    });
  }
  static QLineEdit* Edit(ModelDialog& d, int id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
  static void Type(ModelDialog& d, int id, const QString& text) {
    QLineEdit* edit = Edit(d, id);
    ASSERT_NE(edit, nullptr) << id;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  static bool OkEnabled(ModelDialog& d) { return d.Control(kOk)->isEnabled(); }
};

TEST_F(ControlDialogsTest, RemoteControlRefusesADuplicateAndStoresTheFootSwitches) {
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Remote Control"));
    Type(d, kRemoteNoteField + 1, QStringLiteral("C5"));
    Type(d, kRemoteNoteField + 5, QStringLiteral("60"));
    EXPECT_FALSE(OkEnabled(d));
    // The Stop row's Controller radio, chosen with the space bar.
    QTest::keyClick(d.Control(kRemoteControllerRadio + 5), Qt::Key_Space);
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.Control(kRemoteControllerRadio + 5))->isChecked());
    EXPECT_TRUE(OkEnabled(d));
    Type(d, kRemoteControllerField + 5, QStringLiteral("122"));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kRemoteControllerField + 5, QStringLiteral("64"));
    EXPECT_TRUE(OkEnabled(d));
    checked = true;
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdRemoteControl)->trigger();
  ASSERT_TRUE(checked);
  EXPECT_EQ(App().system.remoteControl[1], 60);
  EXPECT_EQ(App().system.remoteControl[5], 256 + 64);
  EXPECT_EQ(App().input.settings.remote[5].load(), 256 + 64);
  EXPECT_FALSE(App().input.learningDialogOpen.load());
}

TEST_F(ControlDialogsTest, TempoTypedAsBeatsPerMinuteSetsTheMasterTempo) {
  QString halfBpm;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(Edit(d, kTempoPercent)->text(), QStringLiteral("100"));
    EXPECT_FALSE(d.Control(kTempoReset)->isEnabled());
    Type(d, kTempoPercent, QStringLiteral("50"));
    halfBpm = Edit(d, kTempoBpm)->text();
    Type(d, kTempoBpm, QString());
    EXPECT_EQ(Edit(d, kTempoPercent)->text(), QString());
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kTempoBpm, halfBpm);
    EXPECT_EQ(Edit(d, kTempoPercent)->text(), QStringLiteral("50"));
    EXPECT_TRUE(d.Control(kTempoReset)->isEnabled());
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdTempo)->trigger();
  EXPECT_FALSE(halfBpm.isEmpty());
  EXPECT_EQ(App().clock.tempoFactor.load(), 2048);
  EXPECT_EQ(App().live.tempoFactor, 2048);
}

}  // namespace
}  // namespace tuttiro
