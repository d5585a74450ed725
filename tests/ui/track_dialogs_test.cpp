// The Tracks, Banks & Programs and Performance Settings dialogs in the program's
// window on the offscreen platform, driven with key events: the Tracks view
// shows the working copy while the dialog is open, OK commits it, and the
// performance's program is refused until it is complete.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "menu_table.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/views/views_widget.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdPerformances = 151;
constexpr int kIdBanksAndPrograms = 158;

class TrackDialogsTest : public test::MainWindowTest {
 protected:
  static void WhenOpen(std::function<void(ModelDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
      auto* dialog = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
    });
  }
  static void Type(ModelDialog& d, int id, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(d.Control(id));
    ASSERT_NE(edit, nullptr) << id;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  static QComboBox* Combo(ModelDialog& d, int id) {
    return qobject_cast<QComboBox*>(d.Control(id));
  }
  static bool OkEnabled(ModelDialog& d) { return d.Control(kOk)->isEnabled(); }
  // The name line of the strip of `track` (the first strips shown), in client
  // coordinates.
  QPoint StripPoint(int track) {
    const LayoutBox frame = ViewFrame(App().views, kViewTracks);
    const int32_t x =
        App().views.boxes[kBoxTracksLeft].right + track * StripPitch() + StripPitch() / 2;
    return {frame.left + x, frame.top + kLayoutTable[kBoxTrackName2].top + 4};
  }
};

TEST_F(TrackDialogsTest, StripDoubleClickOpensOnThatTrackAndTheViewShowsTheEditsAtOnce) {
  ASSERT_GE(App().piece.trackCount, 2);
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Tracks"));
    QComboBox* tracks = Combo(d, kTrackList);
    EXPECT_EQ(tracks->currentIndex(), 1);
    Type(d, kTrackVolumeField, QStringLiteral("200"));
    EXPECT_FALSE(OkEnabled(d));
    tracks->setFocus();
    QTest::keyClick(tracks, Qt::Key_Up);
    EXPECT_EQ(tracks->currentIndex(), 1) << "no other track while the volume is wrong";
    Type(d, kTrackVolumeField, QStringLiteral("50"));
    EXPECT_TRUE(OkEnabled(d));
    EXPECT_EQ(StripValues(App(), 1).volume, 128);
    EXPECT_EQ(App().piece.tracks[1].volume, 256) << "committed only on OK";
    QTest::keyClick(d.Control(kMuteTrack), Qt::Key_Space);
    EXPECT_EQ(StripValues(App(), 1).play, 0);
    checked = true;
    QTest::keyClick(&d, Qt::Key_Return);
  });
  QTest::mouseDClick(Window().Views(), Qt::LeftButton, {}, StripPoint(1));
  ASSERT_TRUE(checked);
  EXPECT_EQ(App().piece.tracks[1].volume, 128);
  EXPECT_EQ(App().piece.tracks[1].play, 0);
  EXPECT_EQ(App().views.workingTracks, nullptr);
  EXPECT_TRUE(Item(kIdResetVolumes)->isEnabled());
}

TEST_F(TrackDialogsTest, PerformanceProgramMustBeCompleteAndBanksListsEveryTrack) {
  WhenOpen([&](ModelDialog& d) {
    auto* entries = qobject_cast<QListWidget*>(d.Control(kProgramEntries));
    EXPECT_GE(entries->count(), 1);
    EXPECT_EQ(Combo(d, kBanksTrackList)->count(), App().piece.trackCount);
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  Item(kIdBanksAndPrograms)->trigger();

  WhenOpen([&](ModelDialog& d) {
    EXPECT_FALSE(d.Control(kPerformancePort)->isEnabled());
    QTest::keyClick(d.Control(kOwnPort), Qt::Key_Space);
    EXPECT_TRUE(d.Control(kPerformancePort)->isEnabled());
    QComboBox* kind = Combo(d, kPerformanceKind);
    kind->setFocus();
    QTest::keyClick(kind, Qt::Key_Down);  // Standard Program Change
    EXPECT_FALSE(d.Control(kPerformanceValue2)->isVisibleTo(&d));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kPerformanceValue1, QStringLiteral("128"));
    EXPECT_FALSE(OkEnabled(d));
    Type(d, kPerformanceValue1, QStringLiteral("41"));
    EXPECT_TRUE(OkEnabled(d));
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdPerformances)->trigger();
  EXPECT_EQ(App().live.performanceUsesOwnPort, 1);
  EXPECT_EQ(App().piece.performanceTrack().programCombos[0].substitute,
            (ProgramCombo{kComboProgram, {41, 0, 0}}));
}

}  // namespace
}  // namespace tuttiro
