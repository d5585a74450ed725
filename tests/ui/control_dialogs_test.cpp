// The Remote Control, MIDI Metronome, Tracks, Banks & Programs and Performance
// Settings dialogs in the program's window on the offscreen platform, driven
// with key events: a played note goes into the row the focus is in and a
// captured click sounds (and is not echoed); the Tracks view shows the working
// copy until OK commits it; what each OK stores reaches the player.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <thread>

#include "app/app.h"
#include "dialogs/dialogs.h"
#include "layout_table.h"
#include "menu_table.h"
#include "program_fixture.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/views/views_widget.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kIdPerformances = 151;
constexpr int kIdRemoteControl = 153;
constexpr int kIdMetronome = 154;
constexpr int kIdBanksAndPrograms = 158;

class ControlDialogsTest : public test::DialogTest {
 protected:
  // The name line of the strip of `track` (the first strips shown), in client
  // coordinates.
  QPoint StripPoint(int track) {
    const LayoutBox frame = ViewFrame(App().views, kViewTracks);
    const int32_t x =
        App().views.boxes[kBoxTracksLeft].right + track * StripPitch() + StripPitch() / 2;
    return {frame.left + x, frame.top + kLayoutTable[kBoxTrackName2].top + 4};
  }
};

TEST_F(ControlDialogsTest, RemoteControlTakesANoteIntoTheFocusedRowAndPublishesTheTable) {
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Remote Control"));
    Click(d, kRemoteControllerRadio + 5);  // Stop on the sustain pedal
    Type(d, kRemoteControllerField + 5, QStringLiteral("64"));
    EXPECT_TRUE(OkEnabled(d));
    // Moving into a row makes it the one a played note goes to.
    QApplication::setActiveWindow(&d);
    Click(d, kRemoteCapture);
    d.Control(kRemoteControllerField + 7)->setFocus();
    ProcessInput(App().engine, 0x403091, App().platform.ClockNow(), 0);
    QTest::qWait(10);
    EXPECT_EQ(Edit(d, kRemoteNoteField + 7)->text(), QStringLiteral("C4"));
    checked = true;
    QTest::keyClick(&d, Qt::Key_Return);
  });
  Item(kIdRemoteControl)->trigger();
  ASSERT_TRUE(checked);
  EXPECT_EQ(App().system.remoteControl[5], 256 + 64);
  EXPECT_EQ(App().system.remoteControl[7], 48);
  EXPECT_EQ(App().engine.input.settings.remote[5].load(), 256 + 64);
  EXPECT_FALSE(App().engine.input.learningDialogOpen.load());
}

TEST_F(ControlDialogsTest, MetronomeSoundsTheCapturedClickWhileThruIsSilent) {
  App().system.midiThru = 1;
  PublishSystemSettings(App());
  const size_t before = platform.Sent(0).size();
  WhenOpen([&](ModelDialog& d) {
    EXPECT_FALSE(d.Control(kDownbeatNote)->isEnabled());
    Click(d, kMetronomeOn);
    Click(d, kMetronomeCapture);
    EXPECT_TRUE(App().engine.input.metronomeDialogLearning.load());
    Type(d, kMetronomePatch, QStringLiteral("5"));
    std::thread input(
        [this] { ProcessInput(App().engine, 0x603891, App().platform.ClockNow(), 0); });
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
  EXPECT_FALSE(App().engine.input.metronomeDialogLearning.load());
}

TEST_F(ControlDialogsTest, StripDoubleClickOpensOnThatTrackAndTheViewShowsTheEditsAtOnce) {
  ASSERT_GE(App().piece.trackCount, 2);
  bool checked = false;
  WhenOpen([&](ModelDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Tracks"));
    EXPECT_EQ(Combo(d, kTrackList)->currentIndex(), 1);
    // A refused entry says, beside OK, what the field takes.
    const auto said = [&](const QString& text) {
      for (QLabel* label : d.findChildren<QLabel*>())
        if (label->text() == text && label->isVisibleTo(&d)) return true;
      return false;
    };
    const QString rule = QStringLiteral("The transposition must be from -127 to 127 half steps.");
    Type(d, kTrackTranspose, QStringLiteral("200"));
    EXPECT_FALSE(OkEnabled(d));
    EXPECT_TRUE(said(rule));
    Type(d, kTrackTranspose, QString());
    EXPECT_FALSE(said(rule));
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

TEST_F(ControlDialogsTest, PerformanceProgramMustBeCompleteAndBanksListsEveryTrack) {
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
