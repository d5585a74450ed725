// The views model without a toolkit: layout for a client size, stacking and
// the Views menu rules, the saved positions, title and name fitting, hit
// shapes, sliders and digit cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "piece/piece_settings.h"
#include "views/views.h"

namespace tuttiro {
namespace {

// Every character 4 pixels wide.
int32_t FourPixels(const std::string& s) {
  return static_cast<int32_t>(s.size()) * 4;
}

struct Stack {
  std::array<uint8_t, kViewCount> visible{1, 1, 1, 1, 1, 1, 1, 1};
  std::array<uint16_t, kViewCount> order = kDefaultViewOrder;
  ViewStack Ref() { return {visible, order}; }
};

ViewsRec LaidOut(int32_t width, int32_t height, int tracks) {
  ViewsRec v;
  LayOutViews(v, width, height, tracks, false, false);
  return v;
}

TEST(ViewsLayout, StripCountFollowsTheWidthAndTheTrackCount) {
  struct Case {
    int32_t width;
    int tracks;
    int strips;
    bool more;
  } cases[] = {
      {500, 20, 16, true},           // narrower than the design: still 16
      {640, 20, 16, true},           //
      {640 + 35 * 3, 30, 19, true},  // 640 + 35k: 16 + k
      {640 + 35 * 3 + 34, 19, 19, false},
      {1000, 3, 3, false},  // fewer tracks than strips: one strip each
  };
  for (const Case& c : cases) {
    const ViewsRec v = LaidOut(c.width, 480, c.tracks);
    EXPECT_EQ(v.stripCount, c.strips) << c.width;
    EXPECT_EQ(v.moreTracksMode, c.more) << c.width;
    // The Tracks view grows round its designed centre, which stays under the
    // Title view's centre.
    const LayoutBox tracks = ViewFrame(v, kViewTracks);
    const LayoutBox title = ViewFrame(v, kViewTitle);
    EXPECT_EQ(tracks.Width(), 98 + 35 * (c.strips - 1));
    EXPECT_NEAR((tracks.left + tracks.right) / 2.0, (title.left + title.right) / 2.0, 17.5);
    // The backward More Tracks button starts inactive: the first strip shows track 0.
    EXPECT_EQ(v.boxImage[kBoxMoreTracksBack], kImageOn);
  }
}

TEST(ViewsLayout, TheArrangementIsCentredAndKeepsItsOffsetsOnResize) {
  ViewsRec v = LaidOut(640, 480, 4);
  // dy = (480 - 24 - 397 - 1) / 2 = 29, dx = 0.
  EXPECT_EQ(ViewFrame(v, kViewTitle), (LayoutBox{9, 53, 631, 79}));
  const LayoutBox before = ViewFrame(v, kViewMasterTempo);
  ResizeClient(v, 1000, 700);
  EXPECT_EQ(ViewFrame(v, kViewMasterTempo), before.Moved(180, 110));
  // Center All Views after a drag returns to the default arrangement for the
  // new size, which is what a fresh layout at that size gives.
  MoveView(v, kViewMasterTempo, -77, 31);
  MoveView(v, kViewTitle, 12, -5);
  CenterAllViews(v);
  const ViewsRec fresh = LaidOut(1000, 700, 4);
  for (int view = 0; view < kViewCount; ++view) {
    EXPECT_EQ(ViewFrame(v, view), ViewFrame(fresh, view)) << view;
  }
}

TEST(ViewsLayout, SavedPositionsRestoreTheArrangementInAnotherWindowSize) {
  ViewsRec v = LaidOut(800, 600, 4);
  MoveView(v, kViewTitle, 40, -10);
  MoveView(v, kViewMeasureBeat, -30, 120);
  MoveView(v, kViewTracks, 15, 8);
  const auto saved = SavedViewPositions(v);
  // Slot 5 holds view 6 and slot 6 view 5.
  EXPECT_EQ(saved[6].vertical, ViewFrame(v, kViewMeasureBeat).top - 300);
  EXPECT_EQ(saved[6].horizontal, ViewFrame(v, kViewMeasureBeat).left - 400);

  ViewsRec bigger = LaidOut(1000, 700, 4);
  MoveViewsToSaved(bigger, saved);
  for (int view = 0; view < kViewCount; ++view) {
    EXPECT_EQ(ViewFrame(bigger, view), ViewFrame(v, view).Moved(100, 50)) << view;
  }
  // A record whose positions are all zero has none: the layout stays.
  ViewsRec untouched = LaidOut(1000, 700, 4);
  MoveViewsToSaved(untouched, {});
  EXPECT_EQ(ViewFrame(untouched, kViewTitle), ViewFrame(LaidOut(1000, 700, 4), kViewTitle));
}

TEST(ViewsStack, ShowHideAndTheMenuRules) {
  Stack s;
  ToggleView(s.Ref(), kViewMeasureBeat);
  EXPECT_EQ(s.visible[kViewMeasureBeat], 0);
  ViewsMenuState menu = ViewsMenuFromFlags(s.visible);
  EXPECT_FALSE(menu.checked[2]);  // Measure:Beat is third in the menu
  EXPECT_TRUE(menu.showAllEnabled);
  EXPECT_TRUE(menu.hideAllEnabled);

  SetAllViews(s.Ref(), false);
  menu = ViewsMenuFromFlags(s.visible);
  EXPECT_TRUE(menu.showAllEnabled);
  EXPECT_FALSE(menu.hideAllEnabled);

  // A view that appears comes to the front.
  ToggleView(s.Ref(), kViewTracks);
  EXPECT_EQ(s.order[0], kViewTracks);
  SetAllViews(s.Ref(), true);
  menu = ViewsMenuFromFlags(s.visible);
  EXPECT_FALSE(menu.showAllEnabled);
  EXPECT_TRUE(menu.hideAllEnabled);
}

TEST(ViewsStack, HitTestTakesTheFrontMostVisibleViewAndBringsItForward) {
  ViewsRec v = LaidOut(640, 480, 4);
  Stack s;
  // The Master Tempo view dragged over the Current Tempo view.
  const LayoutBox current = ViewFrame(v, kViewCurrentTempo);
  MoveView(v, kViewMasterTempo, 0, current.top - ViewFrame(v, kViewMasterTempo).top);
  const ViewPoint inside{current.left + 10, current.top + 10};
  EXPECT_EQ(HitTestViews(v, s.Ref(), inside), kViewCurrentTempo);  // earlier in the order
  EXPECT_EQ(s.order[0], kViewCurrentTempo);
  s.visible[kViewCurrentTempo] = 0;
  EXPECT_EQ(HitTestViews(v, s.Ref(), inside), kViewMasterTempo);
  EXPECT_EQ(s.order[0], kViewMasterTempo);
  EXPECT_EQ(s.order[1], kViewCurrentTempo);
  // The shadow band belongs to the view; the corner it leaves open does not.
  const LayoutBox title = ViewFrame(v, kViewTitle);
  EXPECT_EQ(HitTestViews(v, s.Ref(), {title.right + 1, title.bottom + 1}), kViewTitle);
  EXPECT_EQ(HitTestViews(v, s.Ref(), {title.right + 1, title.top}), kNoView);
}

TEST(ViewsText, ALongTitleLosesFourCharactersThenOneAtATime) {
  const std::string name(255, 'x');
  std::vector<std::string> measured;
  const auto measure = [&](const std::string& s) {
    measured.push_back(s);
    return FourPixels(s);
  };
  const std::string fitted = FitTitle(name, 452, measure);
  ASSERT_GE(measured.size(), 3u);
  EXPECT_EQ(measured[1], std::string(251, 'x') + "...");
  EXPECT_EQ(measured[2], std::string(250, 'x') + "...");
  EXPECT_EQ(fitted, std::string(110, 'x') + "...");  // 113 x 4 = 452
  EXPECT_EQ(FitTitle("Ecossaise", 452, FourPixels), "Ecossaise");
  // Nothing fits: the dots remain and the fitting ends.
  EXPECT_EQ(FitTitle("abcdef", 2, FourPixels), "...");

  ViewsRec v;
  SetTitle(v, "Ecossaise", FourPixels);
  EXPECT_EQ(v.boxes[kBoxTitleText].left, 311 - 18);
  SetTitle(v, std::string(200, 'w'), FourPixels);
  EXPECT_EQ(v.boxes[kBoxTitleText].left, 150);  // never left of the designed box
}

TEST(ViewsText, TrackNamesFitTwoStrips) {
  EXPECT_EQ(FitTrackName("Bass", FourPixels), "Bass");
  // 63 pixels: 15 characters of 4.
  EXPECT_EQ(FitTrackName("Violoncello and Bass", FourPixels), "Violoncello ...");
}

TEST(ViewsHitShapes, TrianglesHitInsideTheirEdgesWithTwoPixelsToSpare) {
  const ViewsRec v = LaidOut(640, 480, 4);
  struct Case {
    int box;
    ViewPoint p;
    bool hit;
  } cases[] = {
      {kBoxPlayAndFollow, {122, 7}, true},    // the base's top corner
      {kBoxPlayAndFollow, {170, 7}, false},   // the transparent corner near the tip
      {kBoxPlayAndFollow, {170, 32}, true},   // the tip
      {kBoxPlayAndFollow, {160, 24}, true},   // 2 pixels above the edge (inset 19)
      {kBoxPlayAndFollow, {160, 23}, false},  // 3 pixels above it
      {kBoxPlayAndFollow, {172, 30}, false},  // the shadow band
      {kBoxRewind, {56, 8}, true},            // a left-pointing base is at the right
      {kBoxRewind, {9, 8}, false},
      {kBoxRewind, {9, 32}, true},
      {kBoxStop, {65, 7}, true},  // square: its corners hit
      {kBoxStop, {115, 57}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ButtonHit(v, c.box, c.p), c.hit) << c.box << " " << c.p.x << "," << c.p.y;
  }
}

TEST(ViewsSliders, ValuesAtTheEndsAndTheToleranceSnapBack) {
  const LayoutBox travel = kLayoutTable[kBoxMasterTravel];
  SliderRec tempo = SliderStart(SliderKind::kMasterTempo, MasterTempoThumb(4096), travel, {20, 50});
  EXPECT_EQ(SliderValue(tempo, 0), 4096);
  SliderMove(tempo, {20, 120});  // far below, but inside the tolerance
  EXPECT_EQ(tempo.thumb.bottom, travel.bottom);
  EXPECT_EQ(SliderValue(tempo, 0), 40);  // the bottom is 40, not 0
  SliderMove(tempo, {20, 0});
  EXPECT_EQ(SliderValue(tempo, 0), 8192);
  // 60 pixels beside the travel: the thumb goes back to where the drag began.
  EXPECT_TRUE(SliderMove(tempo, {13 + 19 + 60, 30}));
  EXPECT_EQ(tempo.thumb, MasterTempoThumb(4096));
  // Coming back, it moves from the press point: 10 pixels up from it is 10 up.
  SliderMove(tempo, {20, 40});
  EXPECT_EQ(tempo.thumb, MasterTempoThumb(4096).Moved(0, -10));

  SliderRec volume = SliderStart(SliderKind::kMasterVolume, MasterVolumeThumb(256),
                                 kLayoutTable[kBoxVolumeTravel], {20, 50});
  EXPECT_EQ(volume.thumb.bottom, 58);
  SliderMove(volume, {20, 61});
  EXPECT_EQ(SliderValue(volume, 0), (22 + 11 * 512) / 44);

  SliderRec song =
      SliderStart(SliderKind::kSongPosition, SongThumb(0), kLayoutTable[kBoxSongTravel], {50, 20});
  SliderMove(song, {50 + 259, 20});
  EXPECT_EQ(SliderValue(song, 90000), 90000);
  SliderMove(song, {321 + 51, 20});  // beyond the bar's 50-pixel tolerance
  EXPECT_EQ(SliderValue(song, 90000), 0);

  EXPECT_EQ(TrackThumb(384).top, kLayoutTable[kBoxTrackTravel].top);
  EXPECT_EQ(TrackThumb(0).bottom, 147);
  EXPECT_EQ(TrackThumb(256).bottom, 147 - 50);
}

TEST(ViewsSliders, AFineDragMovesATenthAsFarAndKeepsItsFractionOnRelease) {
  const LayoutBox travel = kLayoutTable[kBoxMasterTravel];
  SliderRec pixel = SliderStart(SliderKind::kMasterTempo, MasterTempoThumb(4096), travel, {20, 50});
  SliderMove(pixel, {20, 49});
  SliderRec fine = SliderStart(SliderKind::kMasterTempo, MasterTempoThumb(4096), travel, {20, 50});
  for (int y = 49; y >= 40; --y) EXPECT_TRUE(SliderMove(fine, {20, y}, true));
  EXPECT_EQ(SliderValue(fine, 0), SliderValue(pixel, 0));
  // Four fine pixels back: a value between two pixels, kept by a release at
  // the same point.
  SliderMove(fine, {20, 44}, true);
  const int32_t between = SliderValue(fine, 0);
  EXPECT_GT(between, 4096);
  EXPECT_LT(between, SliderValue(pixel, 0));
  EXPECT_FALSE(SliderMove(fine, {20, 44}));
  EXPECT_EQ(SliderValue(fine, 0), between);
  // Shift let go: whole pixels again, and a fine drag never leaves the travel.
  SliderMove(fine, {20, 34});
  EXPECT_EQ(fine.thumb.bottom, MasterTempoThumb(4096).bottom - 10);
  SliderMove(fine, {20, 0});
  for (int y = -1; y > -20; --y) SliderMove(fine, {20, y}, true);
  EXPECT_EQ(fine.thumb.top, travel.top);
  EXPECT_EQ(SliderValue(fine, 0), 8192);
}

TEST(ViewsSliders, TheWheelStepsByAPercentOrABeatWithinTheRange) {
  struct Case {
    const char* what;
    int32_t got, want;
  };
  const std::vector<BeatMapEntry> beats = {{0, 1, 1, 0}, {480, 1, 2, 4}, {960, 2, 1, 8}};
  const Case cases[] = {
      {"tempo up from 100 %", TempoStepped(4096, 1), 4137},
      {"tempo shows 101 %", TempoPercent(TempoStepped(4096, 1)), 101},
      {"tempo down to 1 %", TempoStepped(4096, -150), 41},
      {"tempo up to the highest", TempoStepped(8000, 10), 8192},
      {"master volume to 0", VolumeStepped(2, -1, 512), 0},
      {"master volume to 200 %", VolumeStepped(510, 3, 512), 512},
      {"track volume to 150 %", VolumeStepped(256, 80, 384), 384},
      {"track volume down a notch", VolumePercent(VolumeStepped(256, -1, 384)), 99},
      {"a beat on", PositionStepped(beats, 480, 1), 960},
      {"a beat back", PositionStepped(beats, 480, -1), 0},
      {"between beats, back to its own", PositionStepped(beats, 500, -1), 480},
      {"between beats, on to the next", PositionStepped(beats, 500, 1), 960},
      {"past the last beat", PositionStepped(beats, 960, 5), 960},
      {"before the first beat", PositionStepped(beats, -10, -1), 0},
      {"no beats", PositionStepped({}, 700, 1), 700},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(ViewsDisplays, DigitCellsAndPercents) {
  using Cells = std::vector<int>;
  EXPECT_EQ(DigitCells(7, 4, true), (Cells{-1, -1, -1, 7}));
  EXPECT_EQ(DigitCells(3, 2, false), (Cells{3, -1}));
  EXPECT_EQ(DigitCells(12345, 4, true), (Cells{2, 3, 4, 5}));
  EXPECT_EQ(DigitCells(5, 3, true, true), (Cells{0, 0, 5}));
  EXPECT_EQ(VolumePercent(384), 150);
  EXPECT_EQ(TempoPercent(4096), 100);
  EXPECT_EQ(TempoPercent(40), 1);
}

TEST(ViewsTracks, MoreTracksStepsByEightAndTheToolsFollowTheViews) {
  ViewsRec v = LaidOut(640, 480, 30);
  MoreTracks(v, true);
  EXPECT_EQ(v.firstStripTrack, 8);
  EXPECT_EQ(v.boxImage[kBoxMoreTracksBack], kImageNormal);
  MoreTracks(v, true);
  EXPECT_EQ(v.firstStripTrack, 14);  // 30 tracks - 16 strips
  EXPECT_EQ(v.boxImage[kBoxMoreTracksForward], kImageOn);
  MoreTracks(v, false);
  MoreTracks(v, false);
  EXPECT_EQ(v.firstStripTrack, 0);
  EXPECT_EQ(v.boxImage[kBoxMoreTracksBack], kImageOn);

  const TracksSpot spot = TracksSpotAt(v, {40 + 35 * 2 + 10, 20});
  EXPECT_EQ(spot.part, TracksPart::kStrip);
  EXPECT_EQ(spot.track, 2);
  EXPECT_EQ(spot.inStrip.x, 10);

  std::array<uint8_t, kViewCount> visible{1, 1, 1, 1, 1, 1, 1, 1};
  visible[kViewMasterVolume] = 0;
  const auto rects = ToolRects(v, visible);
  EXPECT_EQ(rects[20], (LayoutBox{-1, -1, -1, -1}));  // Master Volume Indicator, hidden
  const LayoutBox tracks = ViewFrame(v, kViewTracks);
  EXPECT_EQ(rects[25].left, tracks.left + 40);  // Play Status spans the strips
  EXPECT_EQ(rects[25].right, tracks.left + 40 + 16 * 35);
  EXPECT_EQ(rects[30].bottom, tracks.top + 174);  // Track Name covers both lines
}

}  // namespace
}  // namespace tuttiro
