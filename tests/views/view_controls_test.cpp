// The views' controls on a whole player in simulated time: each press, drag and
// double-click ends in the transport operation it stands for, held actions end
// cleanly however the gesture ends, and nothing is left sounding.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../transport/playback_fixture.h"
#include "app/dialog_table.h"
#include "menu_table.h"
#include "piece/settings_writer.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

class ViewControlsTest : public test::PlaybackTest {
 protected:
  void SetUp() override { Open("Ecossaise"); }

  // The centre of box `box` of view `view`, moved by (dx, dy), in client coordinates.
  ViewPoint At(int view, int box, int dx = 0, int dy = 0) const {
    const LayoutBox f = ViewFrame(app->views, view);
    const LayoutBox& b = app->views.boxes[static_cast<size_t>(box)];
    return {f.left + (b.left + b.right) / 2 + dx, f.top + (b.top + b.bottom) / 2 + dy};
  }
  // A strip box of track `track`.
  ViewPoint AtStrip(int track, int box) const {
    const LayoutBox f = ViewFrame(app->views, kViewTracks);
    const LayoutBox& b = kLayoutTable[static_cast<size_t>(box)];
    return {f.left + 40 + 35 * track + (b.left + b.right) / 2, f.top + (b.top + b.bottom) / 2};
  }
  void Click(ViewPoint p, bool shift = false) {
    ViewsPress(*app, p, false, shift);
    ViewsRelease(*app, p);
  }
  void DoubleClick(ViewPoint p) {
    Click(p);
    ViewsPress(*app, p, true, false);
    ViewsRelease(*app, p);
  }
  void Drag(ViewPoint from, ViewPoint to, bool shift = false) {
    ViewsPress(*app, from, false, shift);
    ViewsMove(*app, to);
    ViewsRelease(*app, to);
  }
  void MoveTo(int32_t position) {
    SetPosition(*app, position);
    Locate(*app);
    RefreshPositionDisplays(*app);
    SetStoppedMenus(*app);
  }
};

TEST_F(ViewControlsTest, ForwardScrollStopsOffTheButtonRestartsOnItAndResumesWhatRan) {
  PlayFile(*app);
  Run(500);
  const ViewPoint scroll = At(kViewSongPosition, kBoxForwardScroll);
  ViewsPress(*app, scroll, false, false);
  EXPECT_TRUE(TransportFastForward(*app));
  Run(300);
  ViewsMove(*app, {scroll.x + 100, scroll.y + 100});
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(app->views.boxImage[kBoxForwardScroll], kImageNormal);
  ViewsMove(*app, scroll);
  EXPECT_TRUE(TransportFastForward(*app));
  EXPECT_EQ(app->views.boxImage[kBoxForwardScroll], kImagePressed);
  Run(300);
  ViewsRelease(*app, scroll);
  EXPECT_FALSE(TransportFastForward(*app));
  EXPECT_TRUE(app->engine.mode.playingFile.load());
  EXPECT_FALSE(app->transport.holdGestureActive);
  EXPECT_FALSE(app->transport.keepResumeFlags);
  EXPECT_EQ(app->views.boxImage[kBoxPlayFile], kImageOn);
  Run(300);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(ViewControlsTest, APreviewLastsWhileHeldAndEndsCleanlyWhenTheWindowLosesTheInput) {
  MoveTo(5000);
  for (const bool cancelled : {false, true}) {
    const ViewPoint preview = At(kViewMainTransport, kBoxPreview);
    ViewsPress(*app, preview, false, false);
    EXPECT_TRUE(app->engine.mode.previewing.load());
    Run(1500);
    if (cancelled) {
      ViewsCancelGesture(*app);
    } else {
      ViewsRelease(*app, preview);
    }
    EXPECT_FALSE(TransportRunning(*app)) << cancelled;
    EXPECT_EQ(CurrentPosition(*app), 5000) << cancelled;
    EXPECT_FALSE(app->transport.holdGestureActive);
    EXPECT_FALSE(ViewsGestureActive(*app));
    EXPECT_EQ(app->views.boxImage[kBoxPreview], kImageNormal);
  }
  ExpectNoHangingNotes();
}

TEST_F(ViewControlsTest, TransportButtonsActOnReleaseOverTheButtonOnly) {
  const ViewPoint play = At(kViewMainTransport, kBoxPlayFile);
  Drag(play, {play.x, play.y + 80});
  EXPECT_FALSE(TransportRunning(*app));
  Click(play);
  EXPECT_TRUE(app->engine.mode.playingFile.load());
  Run(400);
  Click(At(kViewMainTransport, kBoxStop));
  EXPECT_FALSE(TransportRunning(*app));
  // A double-click on Fast Forward goes to the end, one on Rewind to the start.
  DoubleClick(At(kViewMainTransport, kBoxFastForward));
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(CurrentPosition(*app), app->piece.endPosition);
  DoubleClick(At(kViewMainTransport, kBoxRewind));
  EXPECT_EQ(CurrentPosition(*app), 0);
  ExpectNoHangingNotes();
}

TEST_F(ViewControlsTest, ALoopStartAfterTheEndSwapsAndADoubleClickUndoesIt) {
  app->live.loopStart = 1000;
  app->live.loopEnd = 3000;
  MoveTo(5000);
  const ViewPoint setStart = At(kViewSongPosition, kBoxSetLoopStart);
  Click(setStart);
  EXPECT_EQ(app->live.loopStart, 3000);
  EXPECT_EQ(app->live.loopEnd, 5000);
  ViewsPress(*app, setStart, true, false);
  ViewsRelease(*app, setStart);
  EXPECT_EQ(app->live.loopStart, 0);
  EXPECT_EQ(app->live.loopEnd, 3000);
  // Set Loop End before the start swaps the other way.
  MoveTo(500);
  app->live.loopStart = 1000;
  Click(At(kViewSongPosition, kBoxSetLoopEnd));
  EXPECT_EQ(app->live.loopStart, 500);
  EXPECT_EQ(app->live.loopEnd, 1000);
}

TEST_F(ViewControlsTest, MasterSlidersAndTheirDoubleClicks) {
  const ViewPoint tempo = At(kViewMasterTempo, kBoxMasterThumb, 0, -22);  // at 100 %
  Drag(tempo, {tempo.x, tempo.y + 60});
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 40);
  EXPECT_EQ(app->live.tempoFactor, 40);
  DoubleClick(At(kViewMasterTempo, kBoxMasterThumb));
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 4096);

  const ViewPoint volume = At(kViewMasterVolume, kBoxVolumeThumb, 0, -22);
  Drag(volume, {volume.x, volume.y - 11});
  EXPECT_EQ(app->live.masterVolume, (22 + 33 * 512) / 44);
  EXPECT_EQ(app->engine.scheduler.settings.masterVolume.load(), app->live.masterVolume);
  DoubleClick(At(kViewMasterVolume, kBoxVolumeThumb, 0, -33));
  EXPECT_EQ(app->live.masterVolume, 256);
}

TEST_F(ViewControlsTest, TheWheelMovesTheSliderUnderItAndTheTooltipsSayTheValues) {
  const ViewPoint tempo = At(kViewMasterTempo, kBoxMasterIndicator);
  ViewsWheel(*app, tempo, 2);
  EXPECT_EQ(TempoPercent(app->engine.clock.tempoFactor.load()), 102);
  EXPECT_EQ(app->live.tempoFactor, app->engine.clock.tempoFactor.load());
  ViewsWheel(*app, At(kViewMasterVolume, kBoxVolumeIndicator), -1);
  EXPECT_EQ(VolumePercent(app->live.masterVolume), 99);
  EXPECT_EQ(app->engine.scheduler.settings.masterVolume.load(), app->live.masterVolume);
  ViewsWheel(*app, AtStrip(1, kBoxTrackIndicator), 1);
  EXPECT_EQ(VolumePercent(app->piece.tracks[1].volume), 101);
  EXPECT_TRUE(host.menuEnabled[kIdResetVolumes]);

  const auto& beats = app->piece.beatMap;
  ASSERT_GT(beats.size(), 4u);
  MoveTo(static_cast<int32_t>(beats[2].time));
  ViewsWheel(*app, At(kViewSongPosition, kBoxSongBar), 1);
  EXPECT_EQ(CurrentPosition(*app), static_cast<int32_t>(beats[3].time));
  ViewsWheel(*app, At(kViewSongPosition, kBoxSongBar), -3);
  EXPECT_EQ(CurrentPosition(*app), 0);

  // While a thumb is held the wheel leaves everything alone.
  const ViewPoint volume = At(kViewMasterVolume, kBoxVolumeThumb, 0, -22);
  ViewsPress(*app, volume, false, false);
  ViewsWheel(*app, tempo, 5);
  EXPECT_EQ(TempoPercent(app->engine.clock.tempoFactor.load()), 102);
  ViewsRelease(*app, volume);

  const auto tip = [&](const char* name, ViewPoint p) {
    for (int i = 0; i < kToolCount; ++i) {
      if (std::string(kToolTable[static_cast<size_t>(i)].text) == name)
        return ToolTipText(*app, i, p);
    }
    return std::string();
  };
  EXPECT_EQ(tip("Master Tempo Indicator", tempo), "Master Tempo: 102 %");
  EXPECT_EQ(tip("Track Volume Indicator", AtStrip(1, kBoxTrackIndicator)), "Track Volume: 101 %");
  app->piece.tracks[1].userName = "Solo Clarinet and Continuo";
  EXPECT_EQ(tip("Track Name", AtStrip(1, kBoxPlayStatus)), "Solo Clarinet and Continuo");
  EXPECT_EQ(tip("Stop", At(kViewMainTransport, kBoxStop)), "Stop");
}

TEST_F(ViewControlsTest, FollowStatusWithAndWithoutShift) {
  ASSERT_EQ(app->live.followTrack1, 0);
  ASSERT_EQ(app->live.followTwoTracks, 0);
  struct Step {
    int track;
    bool shift;
    int16_t first;
    uint8_t two;
  } steps[] = {
      {0, true, 0, 0},  // the only following track: unchanged
      {1, true, 1, 1},  // a second following track, which comes first
      {1, true, 0, 0},  // the first again: back to the other one alone
      {2, false, 2, 0},
  };
  for (const Step& s : steps) {
    Click(AtStrip(s.track, kBoxFollowStatus), s.shift);
    EXPECT_EQ(app->live.followTrack1, s.first) << s.track;
    EXPECT_EQ(app->live.followTwoTracks, s.two) << s.track;
  }
}

TEST_F(ViewControlsTest, ADoubleClickOnPlayStatusSolosAndUnsolos) {
  PlayFile(*app);
  Run(300);
  DoubleClick(AtStrip(1, kBoxPlayStatus));
  for (int t = 0; t < app->piece.trackCount; ++t) {
    EXPECT_EQ(app->piece.tracks[static_cast<size_t>(t)].play, t == 1 ? 1 : 0) << t;
  }
  Run(300);
  DoubleClick(AtStrip(1, kBoxPlayStatus));
  for (int t = 0; t < app->piece.trackCount; ++t) {
    EXPECT_EQ(app->piece.tracks[static_cast<size_t>(t)].play, 1) << t;
  }
  Run(300);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(ViewControlsTest, ViewsMoveOnlyWithShiftAndNotWhenFrozen) {
  const LayoutBox before = ViewFrame(app->views, kViewMeasureBeat);
  const ViewPoint corner{before.left + 5, before.top + 5};
  const ViewPoint moved{corner.x + 30, corner.y + 20};
  Drag(corner, moved);
  EXPECT_EQ(ViewFrame(app->views, kViewMeasureBeat), before);
  Drag(corner, moved, true);
  EXPECT_EQ(ViewFrame(app->views, kViewMeasureBeat), before.Moved(30, 20));
  app->system.viewsMovable = 0;
  app->live.viewOrder = kDefaultViewOrder;
  Drag(moved, corner, true);
  EXPECT_EQ(ViewFrame(app->views, kViewMeasureBeat), before.Moved(30, 20));
  EXPECT_EQ(app->live.viewOrder[0], kViewMeasureBeat);
  // A drag holds the pointer inside the client area.
  app->system.viewsMovable = 1;
  Drag(moved, {-500, -500}, true);
  EXPECT_EQ(ViewFrame(app->views, kViewMeasureBeat).left, before.left + 30 - moved.x);
}

TEST_F(ViewControlsTest, MovedAndHiddenViewsComeBackWithTheSavedSettings) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("tuttiro-views-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "ecossaise.mid").string();
  std::vector<uint8_t> image;
  ASSERT_TRUE(ReadPieceImage(app->sources, "Ecossaise", image));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  Open(path);
  const LayoutBox before = ViewFrame(app->views, kViewMeasureBeat);
  Drag({before.left + 5, before.top + 5}, {before.left + 45, before.top - 15}, true);
  ViewsToggle(*app, kViewTracks);
  ASSERT_EQ(SavePieceSettingsSlot(app->settings, 0, "Mine"), SettingsWriteResult::kOk);

  // A fresh player, as after a restart, in a wider window.
  app = std::make_unique<AppRec>(platform, host);
  app->views.clientWidth = 840;
  Open(path);
  EXPECT_EQ(ViewFrame(app->views, kViewMeasureBeat), before.Moved(40 + 100, -20));
  EXPECT_EQ(app->live.viewVisible[kViewTracks], 0);
  std::filesystem::remove_all(folder);
}

TEST_F(ViewControlsTest, DoubleClicksOpenTheirDialogsThroughTheOneRunner) {
  const LayoutBox title = ViewFrame(app->views, kViewTitle);
  const LayoutBox tempo = ViewFrame(app->views, kViewCurrentTempo);
  const uint8_t metronome = app->system.metronomeOn;
  struct Case {
    ViewPoint p;
    int dialog;
  } cases[] = {
      {{title.left + 5, title.top + 5}, kDialogFileInformation},
      {At(kViewCurrentTempo, kBoxMetronome), kDialogMetronome},
      {{tempo.right - 5, tempo.bottom - 5}, kDialogTempo},
      {At(kViewSongPosition, kBoxLoopStart), kDialogLoopMode},
      {AtStrip(1, kBoxTrackVolumeText), kDialogTracks},
      {AtStrip(0, kBoxFollowStatus), kDialogFollowing},
  };
  for (const Case& c : cases) {
    host.dialogs.clear();
    DoubleClick(c.p);
    EXPECT_EQ(host.dialogs, (std::vector<int>{c.dialog})) << c.dialog;
  }
  // The first click of the double-click on the Metronome is undone.
  EXPECT_EQ(app->system.metronomeOn, metronome);
  EXPECT_EQ(app->live.followTrack1, 0);
}

TEST_F(ViewControlsTest, AClickOnTheBarGoesThereOrToTheNextRehearsalPoint) {
  const LayoutBox& bar = app->views.boxes[kBoxSongBar];
  const LayoutBox f = ViewFrame(app->views, kViewSongPosition);
  const int32_t end = app->piece.endPosition;
  app->live.rehearsalPoints.clear();
  // Halfway along the thumb's travel.
  Click({f.left + bar.left + 10 + 259 / 2, f.top + bar.top + 5});
  EXPECT_NEAR(CurrentPosition(*app), end / 2, end / 259);
  app->live.rehearsalPoints = {1000, 9000};
  MoveTo(5000);
  Click({f.left + bar.right - 3, f.top + bar.top + 5});
  EXPECT_EQ(CurrentPosition(*app), 9000);
  Click({f.left + bar.left + 1, f.top + bar.top + 5});
  EXPECT_EQ(CurrentPosition(*app), 1000);
}

TEST_F(ViewControlsTest, ChangingTheMasterTempoWhilePlayingKeepsThePlace) {
  PlayFile(*app);
  Run(2000);
  const int32_t before = CurrentPosition(*app);
  SetMasterTempo(*app, 8192);
  EXPECT_NEAR(CurrentPosition(*app), before, 5);
  Run(1000);
  EXPECT_NEAR(CurrentPosition(*app) - before, 2000, 20);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

}  // namespace
}  // namespace tuttiro
