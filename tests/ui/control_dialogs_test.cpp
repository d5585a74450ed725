// The Remote Control and MIDI Metronome dialogs in the program's window on the
// offscreen platform, driven with real key events: a duplicate assignment keeps
// OK off until it is corrected, a played note goes into the row the focus is
// in, and the stored values reach the input path; a note played while the
// Metronome dialog listens is sounded as a click (and not echoed).
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <thread>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "layout_table.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdRemoteControl = 153;
constexpr int kIdMetronome = 154;

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
  static void Click(ModelDialog& d, int id) { QTest::keyClick(d.Control(id), Qt::Key_Space); }
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
    Type(d, kRemoteControllerField + 5, QStringLiteral("64"));
    EXPECT_TRUE(OkEnabled(d));
    // Moving into a row makes it the one a played note goes to.
    QApplication::setActiveWindow(&d);
    Click(d, kRemoteCapture);
    d.Control(kRemoteControllerField + 7)->setFocus();
    ProcessInput(App(), App().input, 0x403091, App().platform.ClockNow(), 0);
    QTest::qWait(10);
    EXPECT_EQ(Edit(d, kRemoteNoteField + 7)->text(), QStringLiteral("C4"));
    checked = true;
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdRemoteControl)->trigger();
  ASSERT_TRUE(checked);
  EXPECT_EQ(App().system.remoteControl[1], 60);
  EXPECT_EQ(App().system.remoteControl[5], 256 + 64);
  EXPECT_EQ(App().system.remoteControl[7], 48);
  EXPECT_EQ(App().input.settings.remote[5].load(), 256 + 64);
  EXPECT_FALSE(App().input.learningDialogOpen.load());
}

TEST_F(ControlDialogsTest, MetronomeSoundsTheCapturedClickWhileThruIsSilent) {
  App().system.midiThru = 1;
  PublishSystemSettings(App());
  const size_t before = platform.Sent(0).size();
  WhenOpen([&](ModelDialog& d) {
    EXPECT_FALSE(d.Control(kDownbeatNote)->isEnabled());
    Click(d, kMetronomeOn);
    Click(d, kMetronomeCapture);
    EXPECT_TRUE(App().input.metronomeDialogLearning.load());
    Type(d, kMetronomePatch, QStringLiteral("5"));
    std::thread input(
        [this] { ProcessInput(App(), App().input, 0x603891, App().platform.ClockNow(), 0); });
    input.join();
    QTest::qWait(10);
    EXPECT_EQ(Edit(d, kDownbeatNote)->text(), QStringLiteral("G#4"));
    EXPECT_EQ(Edit(d, kDownbeatVelocity)->text(), QStringLiteral("96"));
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdMetronome)->trigger();
  platform.RunFor(60);
  const auto sent = platform.Sent(0);
  ASSERT_EQ(sent.size(), before + 3);  // program, note, its release; no echo
  EXPECT_EQ(sent[before].bytes, (std::vector<uint8_t>{0xC9, 5}));
  EXPECT_EQ(sent[before + 1].bytes, (std::vector<uint8_t>{0x99, 0x38, 0x60}));
  EXPECT_EQ(sent[before + 2].bytes, (std::vector<uint8_t>{0x99, 0x38, 0}));
  EXPECT_EQ(App().system.downbeatNote, 0x38);
  EXPECT_EQ(App().system.metronomePatch, 5);
  EXPECT_EQ(App().views.boxImage[kBoxMetronome], kImageOn);
  EXPECT_FALSE(App().input.metronomeDialogLearning.load());
}

}  // namespace
}  // namespace tuttiro
