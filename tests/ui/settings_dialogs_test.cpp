// The settings dialogs in the program's window on the offscreen platform: each
// opened through the one runner (menu item, accelerator, Jump to..., a view's
// double-click, another dialog), typed into with real key events and closed with
// OK or Cancel; the settings and the follower show what was chosen, and the
// transport goes on while a dialog is open.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "dialogs/field_rules.h"
#include "menu_table.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/dialogs/zoom_trail.h"
#include "ui/help_window.h"
#include "ui/views/views_widget.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdSpecialMarkers = 152;
constexpr int kIdLoopMode = 155;
constexpr int kIdDisplayPreferences = 156;

using SettingsDialogsTest = test::DialogTest;

TEST_F(SettingsDialogsTest, FollowingTapsANoteAndTheFollowerGetsTheBeats) {
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Following"));
    EXPECT_FALSE(d.Control(kTapNote)->isEnabled());
    Click(d, kTappedBeats);
    EXPECT_FALSE(d.Control(kFirstTrack)->isEnabled());
    Click(d, kTapNote);
    EXPECT_FALSE(OkEnabled(d));  // no note yet
    Type(d, kTapNoteField, QStringLiteral("H3"));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kTapNoteField, QStringLiteral("c#4"));
    EXPECT_TRUE(OkEnabled(d));
    checked = true;
    PressEnter(d);
  });
  Item(kIdFollowing)->trigger();
  ASSERT_TRUE(checked);
  EXPECT_EQ(App().system.followSource, 1);
  EXPECT_EQ(App().system.tapSource, 2);
  EXPECT_EQ(App().system.tapNote, 49);
  EXPECT_EQ(App().engine.input.settings.tapNote.load(), 49);
  EXPECT_EQ(App().engine.follower.tapBeats.size(), App().piece.beatMap.size());
  EXPECT_FALSE(App().engine.input.learningDialogOpen.load());
  EXPECT_EQ(program->Shell().helpContext, 0u);
}

TEST_F(SettingsDialogsTest, CancelChangesNothingAndF1OpensTheDialogsPage) {
  const SystemSettings before = App().system;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(program->Shell().helpContext, 2u);
    Click(d, kTappedBeats);
    Click(d, kAllowMidiInput);
    EXPECT_EQ(App().engine.mode.followerInputMode.load(), kInputLearning);
    QTest::keyClick(&d, Qt::Key_F1);
    PressEscape(d);
  });
  Accelerator(kIdFollowing)->trigger();  // Ctrl+L
  EXPECT_EQ(App().system, before);
  EXPECT_EQ(App().engine.mode.followerInputMode.load(), kInputListening);  // the saved mode back
  ASSERT_NE(program->Help(), nullptr);
  EXPECT_TRUE(program->Help()->ShownText().contains(QStringLiteral("Tapped Beats")));
  program->Help()->Search(QStringLiteral("loop restart"));
  EXPECT_TRUE(program->Help()->ShownText().contains(QStringLiteral("Loop Mode")));
}

TEST_F(SettingsDialogsTest, KeepStrictTimeReachesTheFollower) {
  WhenOpen([&](ModelDialog& d) {
    EXPECT_TRUE(d.Control(kStrictTime)->isEnabled());
    Click(d, kStrictTime);
    PressEnter(d);
  });
  Item(kIdFollowing)->trigger();
  EXPECT_EQ(App().system.strictTime, 1);
  EXPECT_TRUE(App().engine.follower.options.strictTime);
}

TEST_F(SettingsDialogsTest, FollowingTakesTheTapNoteFromMidiOnTheWindowThread) {
  WhenOpen([&](ModelDialog& d) {
    Click(d, kTappedBeats);
    Click(d, kAllowMidiInput);
    // The note arrives on an input thread; the field fills once the window
    // thread runs the queued call.
    std::thread input(
        [this] { ProcessInput(App().engine, 0x403E91, App().platform.ClockNow(), 0); });
    input.join();
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.Control(kTapNoteField))->text(), QString());
    QTest::qWait(10);
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.Control(kTapNoteField))->text(), QStringLiteral("D5"));
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(d.Control(kTapNote))->isChecked());
    PressEnter(d);
  });
  Item(kIdFollowing)->trigger();
  EXPECT_EQ(App().system.tapNote, 62);
  EXPECT_EQ(App().system.tapSource, 2);
  EXPECT_EQ(App().engine.mode.followerInputMode.load(), kInputNone);
}

TEST_F(SettingsDialogsTest, JumpToMovesTheTransport) {
  const int32_t third = *MeasureBeatPosition(App().piece.beatMap, {3, 1});
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.Control(kLocationMeasure))->text(), QStringLiteral("1"));
    Type(d, kLocationMeasure, QStringLiteral("0"));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kLocationMeasure, QStringLiteral("3"));
    PressEnter(d);
  });
  Accelerator(kIdJumpTo)->trigger();
  EXPECT_EQ(CurrentPosition(App()), third);
  EXPECT_EQ(App().views.displays.measure, 3);

  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(qobject_cast<QLineEdit*>(d.Control(kLocationMeasure))->text(), QStringLiteral("3"));
    Type(d, kLocationMeasure, QStringLiteral("5"));
    PressEscape(d);
  });
  Item(kIdJumpTo)->trigger();
  EXPECT_EQ(CurrentPosition(App()), third);

  // A double-click on Measure:Beat asks too, and zooms out of the pointer.
  WhenOpen([&](ModelDialog& d) {
    EXPECT_NE(Window().Views()->findChild<ZoomTrail*>(), nullptr);
    Type(d, kLocationMeasure, QStringLiteral("2"));
    PressEnter(d);
  });
  const LayoutBox f = ViewFrame(App().views, kViewMeasureBeat);
  QTest::mouseDClick(Window().Views(), Qt::LeftButton, {}, QPoint(f.left + 20, f.top + 20));
  EXPECT_EQ(CurrentPosition(App()), *MeasureBeatPosition(App().piece.beatMap, {2, 1}));
}

TEST_F(SettingsDialogsTest, SpecialMarkersAddsARehearsalPointThroughTheLocationDialog) {
  const size_t before = App().live.rehearsalPoints.size();
  bool nested = false;
  WhenOpen([&](ModelDialog& d) {
    auto* list = qobject_cast<QListWidget*>(d.Control(kRehearsalPoints));
    ASSERT_EQ(list->count(), static_cast<int>(before));
    WhenOpen([&](ModelDialog& location) {
      nested = true;
      EXPECT_EQ(location.windowTitle(), QStringLiteral("Location"));
      EXPECT_EQ(program->Shell().helpContext, 15u);
      Type(location, kLocationMeasure, QStringLiteral("2"));
      Type(location, kLocationBeat, QStringLiteral("2"));
      PressEnter(location);
    });
    Click(d, kMarkerButtonsFirst);                // New
    EXPECT_EQ(program->Shell().helpContext, 4u);  // the parent's page again
    ASSERT_EQ(list->count(), static_cast<int>(before) + 1);
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("0002:02"));
    // A Wait for Soloist marker at the proposed beat, then deleted again:
    // Change and Delete come and go with the list's entries.
    auto* waits = qobject_cast<QListWidget*>(d.Control(kWaitForSoloist));
    ASSERT_EQ(waits->count(), 0);
    EXPECT_FALSE(d.Control(kMarkerButtonsFirst + 4)->isEnabled());
    WhenOpen([](ModelDialog& location) { PressEnter(location); });
    Click(d, kMarkerButtonsFirst + 3);
    ASSERT_EQ(waits->count(), 1);
    EXPECT_EQ(waits->item(0)->text(), QStringLiteral("0001:01"));
    EXPECT_TRUE(d.Control(kMarkerButtonsFirst + 4)->isEnabled());
    Click(d, kMarkerButtonsFirst + 5);
    EXPECT_EQ(waits->count(), 0);
    EXPECT_FALSE(d.Control(kMarkerButtonsFirst + 4)->isEnabled());
    EXPECT_FALSE(d.Control(kMarkerButtonsFirst + 5)->isEnabled());
    PressEnter(d);
  });
  Item(kIdSpecialMarkers)->trigger();
  EXPECT_TRUE(nested);
  ASSERT_EQ(App().live.rehearsalPoints.size(), before + 1);
  EXPECT_TRUE(App().live.waitForSoloistMarkers.empty());
  EXPECT_TRUE(App().engine.follower.waitForSoloist.positions.empty());
}

TEST_F(SettingsDialogsTest, LoopModeChecksItsFieldsAndLightsTheButton) {
  WhenOpen([&](ModelDialog& d) {
    Click(d, kLoopOn);
    EXPECT_TRUE(d.Control(kLoopBeginMeasure)->isEnabled());
    Type(d, kLoopBeginMeasure, QStringLiteral("4"));
    Type(d, kLoopEndMeasure, QStringLiteral("2"));
    EXPECT_FALSE(OkEnabled(d));  // the start after the end
    Type(d, kLoopEndMeasure, QStringLiteral("6"));
    Type(d, kRestartDelay, QStringLiteral("10"));
    EXPECT_TRUE(OkEnabled(d));
    PressEnter(d);
  });
  Item(kIdLoopMode)->trigger();
  EXPECT_EQ(App().system.loopMode, 1);
  EXPECT_EQ(App().system.restartDelay, 10);
  EXPECT_EQ(App().live.loopStart, *MeasureBeatPosition(App().piece.beatMap, {4, 1}));
  EXPECT_EQ(App().views.boxImage[kBoxLoopMode], kImageOn);
  EXPECT_TRUE(App().engine.scheduler.settings.loopMode.load());
}

TEST_F(SettingsDialogsTest, FileInformationFromATitleDoubleClickRenamesThePiece) {
  WhenOpen([&](ModelDialog& d) {
    // Opened from a view: the zoom trail runs over the views, and is gone
    // after its 22 steps of 16 ms.
    EXPECT_NE(Window().Views()->findChild<ZoomTrail*>(), nullptr);
    QTest::qWait(22 * 16 + 100);
    EXPECT_EQ(Window().Views()->findChild<ZoomTrail*>(), nullptr);
    EXPECT_EQ(qobject_cast<QLabel*>(d.Control(kInitialTimeSignature))->text(),
              QStringLiteral("2/4"));
    Type(d, kDisplayName, QStringLiteral("Country Dance"));
    EXPECT_TRUE(d.Control(kResetToFileName)->isEnabled());
    PressEnter(d);
  });
  const LayoutBox f = ViewFrame(App().views, kViewTitle);
  const QPoint p(f.left + 20, f.top + 10);
  QTest::mouseDClick(Window().Views(), Qt::LeftButton, {}, p);
  EXPECT_EQ(App().piece.pieceDisplayName, "Country Dance");
  EXPECT_EQ(App().views.title, "Country Dance");
  // The closing trail runs back to the pointer after the dialog has gone.
  EXPECT_NE(Window().Views()->findChild<ZoomTrail*>(), nullptr);
  QTest::qWait(22 * 16 + 100);

  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(Window().Views()->findChild<ZoomTrail*>(), nullptr);  // no zoom from the keyboard
    Click(d, kResetToFileName);
    PressEnter(d);
  });
  Accelerator(kIdGetFileInfo)->trigger();  // Ctrl+I
  EXPECT_EQ(App().piece.pieceDisplayName, std::nullopt);
}

TEST_F(SettingsDialogsTest, TheTransportGoesOnWhileADialogIsOpen) {
  Item(kIdPlayFile)->trigger();
  ASSERT_TRUE(TransportRunning(App()));
  bool stoppedWhileOpen = false;
  WhenOpen([&](ModelDialog& d) {
    Click(d, kFreezeViews);
    EXPECT_FALSE(d.Control(kRequireShiftDrag)->isEnabled());
    // A stop queued as remote control queues it; the idle pass runs meanwhile.
    QueueCommand(App().engine.commands, kCmdStop);
    QTest::qWait(120);
    stoppedWhileOpen = !TransportRunning(App());
    PressEnter(d);
  });
  Item(kIdDisplayPreferences)->trigger();
  EXPECT_TRUE(stoppedWhileOpen);
  EXPECT_EQ(App().system.viewsMovable, 0);
}

TEST_F(SettingsDialogsTest, SaveAsAsksForANameThatTheLoadListThenShows) {
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Save Settings"));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kSettingsName, QStringLiteral(" Cello at home"));
    EXPECT_TRUE(OkEnabled(d));
    checked = true;
    PressEnter(d);
  });
  Item(40)->trigger();  // File > System Settings > Save Settings > Save As...
  ASSERT_TRUE(checked);
  EXPECT_EQ(Item(30)->text(), QStringLiteral("Cello at home"));
  EXPECT_TRUE(Item(30)->isEnabled());
  EXPECT_FALSE(Item(31)->isVisible());
}

}  // namespace
}  // namespace tuttiro
