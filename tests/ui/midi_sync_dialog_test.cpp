// The MIDI & Sync Setup dialog in the program's window on the offscreen
// platform: opened from its menu item, driven with the keyboard, and what OK
// stores published to the input path.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdMidiSyncSetup = 161;

class MidiSyncDialogTest : public test::DialogTest {
 protected:
  // Runs `act` on the dialog once it is open, then opens it from the menu.
  void OpenWith(std::function<void(ModelDialog&)> act) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
      ran = true;
    });
    Item(kIdMidiSyncSetup)->trigger();
    ASSERT_TRUE(ran);
  }
};

TEST_F(MidiSyncDialogTest, ThruToAllPortsAndTimeCodeAreStoredAndPublished) {
  OpenWith([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("MIDI & Sync Setup"));
    for (auto [label, list] : {std::pair{kSysexPortLabel, kSysexPort},
                               {kThruPortLabel, kThruPort},
                               {kThruChannelLabel, kThruChannel},
                               {kSyncPortLabel, kSyncPort},
                               {kFrameTypeLabel, kFrameType}}) {
      EXPECT_EQ(qobject_cast<QLabel*>(d.Control(label))->buddy(), d.Control(list)) << label;
    }
    EXPECT_FALSE(d.Control(kThruPort)->isEnabled());
    EXPECT_FALSE(d.Control(kFrameType)->isEnabled());
    Click(d, kThruOn);
    Choose(d, kThruPort, 0);
    Choose(d, kThruChannel, 3);
    Click(d, kTransmitSync);
    EXPECT_FALSE(d.Control(kFrameType)->isEnabled());
    Click(d, kTimeCodeSync);
    EXPECT_TRUE(d.Control(kFrameType)->isEnabled());
    Choose(d, kFrameType, 1);
    QTest::keyClick(&d, Qt::Key_Return);
  });
  const SystemSettings& s = App().system;
  EXPECT_EQ(s.midiThru, 1);
  EXPECT_EQ(s.thruPort, kAllOutputPorts);
  EXPECT_EQ(s.thruChannel, 2);
  EXPECT_EQ(s.transmitSync, 1);
  EXPECT_EQ(s.syncType, 1);
  EXPECT_EQ(s.frameRate, 1);
  EXPECT_TRUE(App().engine.input.settings.thruOn.load());
  EXPECT_EQ(App().engine.input.settings.thruPort.load(), kAllOutputPorts);
}

}  // namespace
}  // namespace tuttiro
