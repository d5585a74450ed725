// The program's window on the simulated platform: menus and accelerators as
// actions carrying their command ids, the transport's running and stopped
// states in those actions, the space bar and the keys the tap poll reads, a
// failed Open File, the dialog placeholders with their help, the idle pass's
// pace, closing, and the single-instance hand-over.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "menu_table.h"
#include "platform/simulated_platform.h"
#include "program_fixture.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/notice_bar.h"
#include "ui/qt_host.h"
#include "ui/single_instance.h"
#include "ui/tuttiro_app.h"
#include "ui/views/views_widget.h"

namespace tuttiro {
namespace {

using test::MainWindowTest;
using test::RecordingQtHost;
using test::SourcePath;
using test::TestProgram;
using test::UniqueKey;

TEST_F(MainWindowTest, TheWindowItsMenuBarAndTheFirstPiece) {
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("Tuttiro"));
  EXPECT_TRUE(Window().isVisible());
  EXPECT_FALSE(Window().windowIcon().isNull());
  QStringList bar;
  for (QAction* action : Window().menuBar()->actions()) bar << action->text();
  EXPECT_EQ(bar, (QStringList{"&File", "&Views", "&Controls", "&Settings", "&Help"}));
  QMenu* help = Window().menuBar()->actions().last()->menu();
  EXPECT_EQ(help->actions().first()->text(), QStringLiteral("&Help Topics...\tF1"));
  EXPECT_EQ(help->actions().first()->data().toInt(), kIdHelpTopics);
  ASSERT_NE(Item(kIdOpenFile), nullptr);
  EXPECT_EQ(Accelerator(kIdOpenFile)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(App().views.title, "Ecossaise");
  EXPECT_TRUE(Item(15)->isChecked());
  for (int id = 100; id <= 107; ++id) EXPECT_TRUE(Item(id)->isChecked()) << id;
  // The ports named their devices in the menus.
  EXPECT_EQ(Item(kIdOutputPortFirst)->text(), QStringLiteral("&A--Out"));
  EXPECT_NE(Submenu(QStringLiteral("&B--(no MIDI input device)")), nullptr);
  EXPECT_TRUE(host.shown.empty());
}

TEST_F(MainWindowTest, RunningAndStoppedMenuStatesShowInTheActions) {
  Item(kIdPlayFile)->trigger();
  ASSERT_TRUE(App().engine.mode.playingFile.load());
  for (int id : std::initializer_list<int>{kIdPlayFile, 15, 19, kIdOpenFile, kIdRecentFileFirst, 23,
                                           63, 132, 133, 142, 150, 162}) {
    EXPECT_FALSE(Item(id)->isEnabled()) << id;
  }
  for (int id : std::initializer_list<int>{kIdPlayAndFollow, kIdStop, kIdPreview, kIdJumpAhead,
                                           kIdJumpBack, 156}) {
    EXPECT_TRUE(Item(id)->isEnabled()) << id;
  }
  // A greyed item's accelerator is greyed with it.
  EXPECT_FALSE(Accelerator(kIdPlayFile)->isEnabled());
  EXPECT_FALSE(Accelerator(kIdOpenFile)->isEnabled());
  EXPECT_EQ(program->IdleInterval(), 5);

  Item(kIdStop)->trigger();
  EXPECT_FALSE(TransportRunning(App()));
  for (int id : std::initializer_list<int>{kIdPlayFile, kIdPlayAndFollow, 15, kIdOpenFile, 23, 132,
                                           150, 162}) {
    EXPECT_TRUE(Item(id)->isEnabled()) << id;
  }
  EXPECT_FALSE(Item(kIdStop)->isEnabled());
  EXPECT_FALSE(Item(kIdPlayPerformance)->isEnabled());  // nothing recorded yet
  EXPECT_TRUE(Accelerator(kIdPlayFile)->isEnabled());
  EXPECT_EQ(program->IdleInterval(), 50);
}

TEST_F(MainWindowTest, AcceleratorsDeliverTheirCommands) {
  Window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
  QTest::keyClick(&Window(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(App().engine.mode.playingFile.load());
  QTest::keyClick(&Window(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_TRUE(TransportFollowing(App()));
  EXPECT_FALSE(App().engine.mode.playingFile.load());
}

TEST_F(MainWindowTest, SpaceBarTogglesOnItsFirstKeyDownAndFeedsTheTapPoll) {
  Key(QEvent::KeyPress, false);
  EXPECT_TRUE(TransportFollowing(App()));
  EXPECT_TRUE(platform.KeyDown(KeyId::kSpaceBar));
  // Held down: the key repeats as release and press pairs, which change nothing.
  for (int i = 0; i < 3; ++i) {
    Key(QEvent::KeyRelease, true);
    Key(QEvent::KeyPress, true);
  }
  EXPECT_TRUE(TransportRunning(App()));
  EXPECT_TRUE(platform.KeyDown(KeyId::kSpaceBar));
  Key(QEvent::KeyRelease, false);
  EXPECT_FALSE(platform.KeyDown(KeyId::kSpaceBar));
  Key(QEvent::KeyPress, false);
  EXPECT_FALSE(TransportRunning(App()));

  QTest::mousePress(Window().Views(), Qt::RightButton);
  EXPECT_TRUE(platform.KeyDown(KeyId::kRightButton));
  QTest::mouseRelease(Window().Views(), Qt::RightButton);
  EXPECT_FALSE(platform.KeyDown(KeyId::kRightButton));
}

TEST_F(MainWindowTest, AFailedOpenFileKeepsThePieceAndAGoodOneIsRemembered) {
  program->chosen = SourcePath("tests/piece/corpus/invalid/wrong-format/not_midi.mid");
  Item(kIdOpenFile)->trigger();
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_TRUE(host.shown[0].text.startsWith(
      QStringLiteral("This file is in the wrong format or has been damaged.  You may")));
  EXPECT_EQ(App().views.title, "Ecossaise");
  EXPECT_FALSE(Item(kIdRecentFileFirst)->isVisible());
  Item(kIdPlayFile)->trigger();
  EXPECT_TRUE(TransportRunning(App()));
  Item(kIdStop)->trigger();

  program->chosen = SourcePath("tests/piece/corpus/valid/format1_basic.mid");
  Item(kIdOpenFile)->trigger();
  EXPECT_EQ(host.shown.size(), 1u);
  EXPECT_TRUE(Item(kIdRecentFileFirst)->isVisible());
  EXPECT_EQ(Item(kIdRecentFileFirst)->text(), QStringLiteral("&1 format1_basic.mid"));
  EXPECT_FALSE(Item(kIdRecentFileFirst + 1)->isVisible());
  EXPECT_FALSE(Item(15)->isChecked());
}

TEST_F(MainWindowTest, EmptySettingsListsSaySoWhileTheirEntriesAreHidden) {
  QMenu* load = Submenu(QStringLiteral("&Load Settings"));
  ASSERT_NE(load, nullptr);
  emit load->aboutToShow();
  QStringList visible;
  for (QAction* action : load->actions()) {
    if (action->isVisible()) visible << action->text();
  }
  EXPECT_EQ(visible, QStringList{QStringLiteral("(no settings saved)")});
}

TEST_F(MainWindowTest, ClosingTheWindowStopsTheTransportAndTheNextStartPlacesItAsItWas) {
  Item(kIdPlayFile)->trigger();
  ASSERT_TRUE(TransportRunning(App()));
  const QRect placed(40, 50, 700, 400);
  Window().setGeometry(placed);
  Window().close();
  EXPECT_FALSE(TransportRunning(App()));
  EXPECT_TRUE(host.Flashing(kBoxStop));

  program = std::make_unique<TestProgram>(platform, host, Options());
  ASSERT_TRUE(program->Start());
  EXPECT_EQ(Window().geometry(), placed);

  // Saved hanging over the screen's right and bottom edges, it comes back whole.
  const QRect area = Window().screen()->availableGeometry();
  Window().setGeometry(area.right() - 200, area.bottom() - 100, 700, 400);
  Window().close();
  program = std::make_unique<TestProgram>(platform, host, Options());
  ASSERT_TRUE(program->Start());
  EXPECT_TRUE(area.contains(Window().frameGeometry())) << Window().frameGeometry().x();
  EXPECT_EQ(Window().size(), QSize(700, 400));
}

TEST_F(MainWindowTest, TheConnectNoticeShowsAboveTheViewsAndItsButtonsAnswerIt) {
  Item(kIdPlayAndFollow)->trigger();
  ASSERT_TRUE(TransportFollowing(App()));
  NoticeBar* notice = Window().Notice();
  ASSERT_TRUE(QTest::qWaitFor([&] { return notice->isVisible(); }, 2000))
      << "the idle pass shows it";
  EXPECT_TRUE(notice->Text().contains(QStringLiteral("no MIDI input is connected")));
  EXPECT_TRUE(notice->Text().contains(QStringLiteral("How to connect")));
  EXPECT_LT(notice->geometry().bottom(), Window().Views()->geometry().top());
  QPushButton* never = nullptr;
  for (QPushButton* b : notice->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("&Don't Show Again")) never = b;
  ASSERT_NE(never, nullptr);
  never->click();
  EXPECT_TRUE(notice->Text().isEmpty());
  EXPECT_EQ(App().system.connectNotice, 0);
  EXPECT_TRUE(TransportFollowing(App()));
}

TEST_F(MainWindowTest, TheHelpWindowClosesWithEscapeCtrlWAndItsCloseButton) {
  const auto open = [&] {
    Item(kIdHelpTopics)->trigger();
    ASSERT_NE(program->Help(), nullptr);
    EXPECT_TRUE(program->Help()->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(program->Help()));
  };
  open();
  QTest::keyClick(program->Help(), Qt::Key_Escape);
  EXPECT_FALSE(program->Help()->isVisible());
  open();
  QTest::keyClick(program->Help(), Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(program->Help()->isVisible());
  open();
  QPushButton* close = nullptr;
  for (QPushButton* b : program->Help()->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("C&lose")) close = b;
  ASSERT_NE(close, nullptr);
  close->click();
  EXPECT_FALSE(program->Help()->isVisible());
}

TEST_F(MainWindowTest, ASecondStartHandsOverAndEndsQuietly) {
  RecordingQtHost secondHost;
  TuttiroOptions options = Options();
  TestProgram second(platform, secondHost, options);
  EXPECT_FALSE(second.Start());
  EXPECT_EQ(second.Window(), nullptr);
  EXPECT_TRUE(secondHost.shown.empty());
}

TEST(SingleInstance, TheSecondClaimAsksTheFirstToComeToTheFront) {
  const QString key = UniqueKey();
  auto first = std::make_unique<SingleInstance>(key);
  ASSERT_TRUE(first->Claim());
  QSignalSpy raised(first.get(), &SingleInstance::activationRequested);
  SingleInstance second(key);
  EXPECT_FALSE(second.Claim());
  EXPECT_TRUE(raised.count() > 0 || raised.wait(5000));
  first.reset();  // the first copy ends: the next start is the first again
  SingleInstance third(key);
  EXPECT_TRUE(third.Claim());
}

}  // namespace
}  // namespace tuttiro
