// The views model: layout, stacking, hit shapes, text fitting, tooltips and
// slider arithmetic, all in integer pixels of the layout table.
#include "views/views.h"

#include <algorithm>

#include "piece/piece_settings.h"

namespace tuttiro {
namespace {

constexpr int32_t kShadow = 2;  // the drop shadow band of views and buttons
constexpr int32_t kSlack = 2;   // tolerance above and below a triangle's edges
constexpr size_t kLongTitle = 250;
const std::string kDots = "...";

LayoutBox& Frame(ViewsRec& views, int view) {
  return views.boxes[static_cast<size_t>(kViewTable[static_cast<size_t>(view)].frameBox)];
}

bool EndsWithDots(const std::string& s) {
  return s.size() >= kDots.size() && s.compare(s.size() - kDots.size(), kDots.size(), kDots) == 0;
}

// Drops the character before the dots; false when there is none left.
bool DropBeforeDots(std::string& s) {
  if (s.size() <= kDots.size()) return false;
  s.erase(s.size() - kDots.size() - 1, 1);
  return true;
}

bool Triangle(int box, bool& pointsLeft) {
  switch (box) {
    case kBoxRewind:
    case kBoxBackwardScroll:
      pointsLeft = true;
      return true;
    case kBoxPlayAndFollow:
    case kBoxPlayFile:
    case kBoxPlayPerformance:
    case kBoxFastForward:
    case kBoxForwardScroll:
      pointsLeft = false;
      return true;
    default:
      return false;
  }
}

bool HasShadowBand(int box) {
  return (box >= kBoxRewind && box <= kBoxForwardScroll) || box == kBoxMetronome;
}

LayoutBox Inflated(const LayoutBox& b, int32_t dx, int32_t dy) {
  return {b.left - dx, b.top - dy, b.right + dx, b.bottom + dy};
}

// The thumb of a vertical slider at rest at `rest` for `value` of `full`.
LayoutBox VerticalThumb(const LayoutBox& rest, int32_t travel, int32_t value, int32_t full) {
  const int32_t v = std::clamp(value, 0, full);
  const int32_t bottom = rest.bottom - (travel * v + full / 2) / full;
  return {rest.left, bottom - rest.Height(), rest.right, bottom};
}

}  // namespace

void LayOutViews(ViewsRec& views, int32_t width, int32_t height, int trackCount, bool loopMode,
                 bool metronome) {
  views.boxes = kLayoutTable;
  views.boxImage.fill(kImageNormal);
  if (loopMode) views.boxImage[kBoxLoopMode] = kImageOn;
  if (metronome) views.boxImage[kBoxMetronome] = kImageOn;
  views.trackCount = std::max(0, trackCount);
  views.stripImage.assign(static_cast<size_t>(views.trackCount) + 1, {kImageNormal, kImageNormal});
  views.clientWidth = width;
  views.clientHeight = height;

  const int32_t pitch = StripPitch();
  int n = width >= kDesignWidth ? (width - kDesignWidth) / pitch + kMinStrips : kMinStrips;
  views.moreTracksMode = views.trackCount > n;
  if (!views.moreTracksMode) n = views.trackCount;
  views.stripCount = n;
  views.firstStripTrack = 0;
  views.boxImage[kBoxMoreTracksBack] = kImageOn;
  views.boxImage[kBoxMoreTracksForward] = kImageNormal;

  const int32_t widen = pitch * (std::max(n, 1) - 1);
  LayoutBox& right = views.boxes[kBoxTracksRight];
  right = right.Moved(widen, 0);
  LayoutBox& tracks = views.boxes[kBoxTracksFrame];
  tracks.left = kLayoutTable[kBoxTracksFrame].left - widen / 2;
  tracks.right = tracks.left + right.right;

  const LayoutBox& title = views.boxes[kBoxTitleFrame];
  const int32_t dx = (width - title.left - title.right) / 2;
  const int32_t dy = (height - title.top - views.boxes[kBoxTracksFrame].bottom - 1) / 2;
  for (int view = 0; view < kViewCount; ++view)
    Frame(views, view) = Frame(views, view).Moved(dx, dy);

  for (int view = 0; view < kViewCount; ++view) {
    const LayoutBox& f = Frame(views, view);
    views.home[static_cast<size_t>(view)] =
        view == kViewTitle ? ViewPoint{(f.left + f.right) / 2, f.top} : ViewPoint{f.left, f.top};
  }
  views.laidOut = true;
}

LayoutBox ViewFrame(const ViewsRec& views, int view) {
  return views.boxes[static_cast<size_t>(kViewTable[static_cast<size_t>(view)].frameBox)];
}

LayoutBox ViewBounds(const ViewsRec& views, int view) {
  const LayoutBox f = ViewFrame(views, view);
  return {f.left, f.top, f.right + kShadow, f.bottom + kShadow};
}

bool InHitRegion(const ViewsRec& views, int view, ViewPoint p) {
  const LayoutBox f = ViewFrame(views, view);
  return f.Contains(p.x, p.y) || f.Moved(kShadow, kShadow).Contains(p.x, p.y);
}

void MoveView(ViewsRec& views, int view, int32_t dx, int32_t dy) {
  LayoutBox& f = Frame(views, view);
  f = f.Moved(dx, dy);
}

void BringToFront(ViewStack stack, int z) {
  if (z <= 0 || z >= kViewCount) return;
  const uint16_t view = stack.order[static_cast<size_t>(z)];
  for (int i = z; i > 0; --i)
    stack.order[static_cast<size_t>(i)] = stack.order[static_cast<size_t>(i - 1)];
  stack.order[0] = view;
}

void ToggleView(ViewStack stack, int view) {
  uint8_t& visible = stack.visible[static_cast<size_t>(view)];
  visible = visible ? 0 : 1;
  if (!visible) return;
  for (int z = 0; z < kViewCount; ++z) {
    if (stack.order[static_cast<size_t>(z)] == view) BringToFront(stack, z);
  }
}

void SetAllViews(ViewStack stack, bool visible) {
  for (int view = 0; view < kViewCount; ++view) {
    if ((stack.visible[static_cast<size_t>(view)] != 0) != visible) ToggleView(stack, view);
  }
}

void CenterAllViews(ViewsRec& views) {
  for (int view = 0; view < kViewCount; ++view) {
    const LayoutBox f = ViewFrame(views, view);
    const ViewPoint home = views.home[static_cast<size_t>(view)];
    const int32_t x = view == kViewTitle ? (f.left + f.right) / 2 : f.left;
    MoveView(views, view, home.x - x, home.y - f.top);
  }
}

LayoutBox KeptOnArea(const LayoutBox& window, const LayoutBox& area) {
  const int32_t width = std::min(window.Width(), area.Width());
  const int32_t height = std::min(window.Height(), area.Height());
  const int32_t left = std::clamp(window.left, area.left, area.right - width);
  const int32_t top = std::clamp(window.top, area.top, area.bottom - height);
  return {left, top, left + width, top + height};
}

int ViewAtPoint(const ViewsRec& views, const std::array<uint8_t, kViewCount>& visible,
                const std::array<uint16_t, kViewCount>& order, ViewPoint p) {
  for (int z = 0; z < kViewCount; ++z) {
    const int view = order[static_cast<size_t>(z)];
    if (view < kViewCount && visible[static_cast<size_t>(view)] && InHitRegion(views, view, p))
      return view;
  }
  return kNoView;
}

int HitTestViews(const ViewsRec& views, ViewStack stack, ViewPoint p) {
  const int view = ViewAtPoint(views, stack.visible, stack.order, p);
  if (view == kNoView) return kNoView;
  const auto z = std::find(stack.order.begin(), stack.order.end(), view) - stack.order.begin();
  BringToFront(stack, static_cast<int>(z));
  return view;
}

void ResizeClient(ViewsRec& views, int32_t width, int32_t height) {
  const int32_t dx = width / 2 - views.clientWidth / 2;
  const int32_t dy = height / 2 - views.clientHeight / 2;
  views.clientWidth = width;
  views.clientHeight = height;
  if (!views.laidOut) return;
  for (int view = 0; view < kViewCount; ++view) {
    MoveView(views, view, dx, dy);
    ViewPoint& home = views.home[static_cast<size_t>(view)];
    home = {home.x + dx, home.y + dy};
  }
}

namespace {

bool CentredView(int view) {
  return view == kViewTitle || view == kViewTracks;
}

}  // namespace

void MoveViewsToSaved(ViewsRec& views, const std::array<ViewPosition, kViewCount>& saved) {
  // Every view at the client centre is what a record without saved positions
  // holds (all zero), never an arrangement anybody saved: it would pile the
  // eight views on top of each other, so the laid-out places stay.
  const bool none = std::all_of(saved.begin(), saved.end(),
                                [](const ViewPosition& p) { return p == ViewPosition{}; });
  if (none) return;
  const int32_t cx = views.clientWidth / 2;
  const int32_t cy = views.clientHeight / 2;
  for (size_t slot = 0; slot < kViewCount; ++slot) {
    const int view = kSavedPositionView[slot];
    const LayoutBox f = ViewFrame(views, view);
    const int32_t x = CentredView(view) ? (f.left + f.right) / 2 : f.left;
    MoveView(views, view, cx + saved[slot].horizontal - x, cy + saved[slot].vertical - f.top);
  }
}

std::array<ViewPosition, kViewCount> SavedViewPositions(const ViewsRec& views) {
  std::array<ViewPosition, kViewCount> saved{};
  const int32_t cx = views.clientWidth / 2;
  const int32_t cy = views.clientHeight / 2;
  for (size_t slot = 0; slot < kViewCount; ++slot) {
    const int view = kSavedPositionView[slot];
    const LayoutBox f = ViewFrame(views, view);
    const int32_t x = CentredView(view) ? (f.left + f.right) / 2 : f.left;
    saved[slot] = {static_cast<int16_t>(std::clamp(f.top - cy, -32768, 32767)),
                   static_cast<int16_t>(std::clamp(x - cx, -32768, 32767))};
  }
  return saved;
}

std::string FitTitle(std::string text, int32_t limit, const MeasureText& measure) {
  while (measure(text) > limit) {
    if (EndsWithDots(text)) {
      if (!DropBeforeDots(text)) break;
    } else if (text.size() >= kLongTitle) {
      text.replace(text.size() - 4, 4, kDots);
    } else {
      text.replace(text.size() - 1, 1, kDots);
    }
  }
  return text;
}

void SetTitle(ViewsRec& views, const std::string& text, const MeasureText& measure) {
  const LayoutBox& designed = kLayoutTable[kBoxTitleText];
  views.title = FitTitle(text, designed.Width(), measure);
  const int32_t viewWidth = kLayoutTable[kBoxTitleFrame].Width();
  LayoutBox& box = views.boxes[kBoxTitleText];
  box.left = std::max(designed.left, viewWidth / 2 - measure(views.title) / 2);
}

std::string FitTrackName(std::string text, const MeasureText& measure) {
  const int32_t limit = 2 * StripPitch() - 7;
  if (measure(text) <= limit) return text;
  text.replace(text.size() - std::min<size_t>(3, text.size()), std::min<size_t>(3, text.size()),
               kDots);
  while (measure(text) > limit && DropBeforeDots(text)) {
  }
  return text;
}

std::array<LayoutBox, kToolCount> ToolRects(const ViewsRec& views,
                                            const std::array<uint8_t, kViewCount>& visible) {
  constexpr LayoutBox kNever{-1, -1, -1, -1};
  std::array<LayoutBox, kToolCount> rects{};
  const LayoutBox tracks = ViewFrame(views, kViewTracks);
  const int32_t stripsLeft = views.boxes[kBoxTracksLeft].right;
  const int32_t stripsRight = views.boxes[kBoxTracksRight].left;
  for (size_t i = 0; i < kToolCount; ++i) {
    const ToolInfo& tool = kToolTable[i];
    if (!visible[static_cast<size_t>(tool.view)]) {
      rects[i] = kNever;
      continue;
    }
    const LayoutBox f = ViewFrame(views, tool.view);
    LayoutBox b = views.boxes[static_cast<size_t>(tool.box)];
    switch (tool.span) {
      case ToolSpan::kBox:
        break;
      case ToolSpan::kWidened:
        b.right = views.boxes[static_cast<size_t>(tool.widenTo)].right;
        break;
      case ToolSpan::kMoreTracks:
        if (!views.moreTracksMode) {
          rects[i] = kNever;
          continue;
        }
        if (tool.box == kBoxMoreTracksForward) b = b.Moved(views.boxes[kBoxTracksRight].left, 0);
        break;
      case ToolSpan::kStrips:
        b.left = stripsLeft;
        b.right = stripsRight;
        if (tool.widenTo) b.bottom = views.boxes[static_cast<size_t>(tool.widenTo)].bottom;
        break;
    }
    rects[i] = b.Moved(tool.view == kViewTracks ? tracks.left : f.left,
                       tool.view == kViewTracks ? tracks.top : f.top);
  }
  return rects;
}

bool ButtonHit(const ViewsRec& views, int box, ViewPoint p) {
  LayoutBox b = views.boxes[static_cast<size_t>(box)];
  if (HasShadowBand(box)) {
    b.right -= kShadow;
    b.bottom -= kShadow;
  }
  if (!b.Contains(p.x, p.y)) return false;
  bool pointsLeft = false;
  if (!Triangle(box, pointsLeft)) return true;
  const int32_t w = b.Width();
  const int32_t h = b.Height();
  const int32_t d = pointsLeft ? b.right - 1 - p.x : p.x - b.left;
  const int32_t inset = (d * h + w) / (2 * w);
  return p.y + kSlack >= b.top + inset && p.y - kSlack <= b.bottom - inset;
}

LayoutBox TrackThumb(int volume) {
  return VerticalThumb(kLayoutTable[kBoxTrackThumb], TrackThumbTravel(), volume, 384);
}

TracksSpot TracksSpotAt(const ViewsRec& views, ViewPoint p) {
  const int32_t leftEnd = views.boxes[kBoxTracksLeft].right;
  const int32_t rightStart = views.boxes[kBoxTracksRight].left;
  if (p.x < leftEnd) return {TracksPart::kLeft, 0, p};
  if (p.x >= rightStart) return {TracksPart::kRight, 0, {p.x - rightStart, p.y}};
  const int32_t pitch = StripPitch();
  return {TracksPart::kStrip,
          (p.x - leftEnd) / pitch + views.firstStripTrack,
          {(p.x - leftEnd) % pitch, p.y}};
}

void MoreTracks(ViewsRec& views, bool forward) {
  if (forward) {
    const int last = views.trackCount - views.stripCount;
    views.firstStripTrack = std::min(views.firstStripTrack + 8, last);
    views.boxImage[kBoxMoreTracksForward] = views.firstStripTrack >= last ? kImageOn : kImageNormal;
    views.boxImage[kBoxMoreTracksBack] = kImageNormal;
    return;
  }
  views.firstStripTrack -= 8;
  views.boxImage[kBoxMoreTracksBack] = kImageNormal;
  if (views.firstStripTrack < 1) {
    views.firstStripTrack = 0;
    views.boxImage[kBoxMoreTracksBack] = kImageOn;
  }
  views.boxImage[kBoxMoreTracksForward] = kImageNormal;
}

namespace {

bool Horizontal(const SliderRec& s) {
  return s.kind == SliderKind::kSongPosition;
}

// The thumb's room to move along its travel, in pixels.
int32_t SliderSpan(const SliderRec& s) {
  return std::max(
      1, Horizontal(s) ? s.travel.Width() - s.thumb.Width() : s.travel.Height() - s.thumb.Height());
}

int32_t ThumbTenths(const SliderRec& s) {
  return 10 * (Horizontal(s) ? s.thumb.left - s.travel.left : s.travel.bottom - s.thumb.bottom);
}

// Places the thumb at its tenths, keeping the pixel it shows within the travel.
void PlaceThumb(SliderRec& s) {
  const int32_t pixels = s.tenths / 10;
  if (Horizontal(s)) {
    s.thumb = s.thumb.Moved(s.travel.left + pixels - s.thumb.left, 0);
  } else {
    s.thumb = s.thumb.Moved(0, s.travel.bottom - pixels - s.thumb.bottom);
  }
}

// A fine move: the thumb goes a tenth of the pointer's way, and the pointer
// keeps no grab point (Shift can come and go during one drag).
void FineMove(SliderRec& s, ViewPoint p) {
  const int32_t along = Horizontal(s) ? p.x - s.last.x : s.last.y - p.y;
  s.tenths = std::clamp(s.tenths + along, 0, 10 * SliderSpan(s));
  PlaceThumb(s);
  s.last = p;
}

// A whole-pixel move: the thumb goes with the pointer, and past an end of the
// travel the pointer must come back to where it holds the thumb.
void PixelMove(SliderRec& s, ViewPoint p) {
  LayoutBox t = s.thumb.Moved(p.x - s.last.x, p.y - s.last.y);
  int32_t cx = 0;
  int32_t cy = 0;
  if (t.left < s.travel.left) cx = s.travel.left - t.left;
  if (t.right > s.travel.right) cx = s.travel.right - t.right;
  if (t.top < s.travel.top) cy = s.travel.top - t.top;
  if (t.bottom > s.travel.bottom) cy = s.travel.bottom - t.bottom;
  s.thumb = t.Moved(cx, cy);
  s.last = {p.x + cx, p.y + cy};
  s.tenths = ThumbTenths(s);
}

}  // namespace

SliderRec SliderStart(SliderKind kind, const LayoutBox& thumb, const LayoutBox& travel,
                      ViewPoint press) {
  SliderRec s;
  s.kind = kind;
  s.startThumb = thumb;
  s.thumb = thumb;
  s.travel = travel;
  s.tolerance =
      kind == SliderKind::kSongPosition ? Inflated(travel, 50, 20) : Inflated(travel, 20, 50);
  s.press = press;
  s.last = press;
  s.tenths = ThumbTenths(s);
  return s;
}

bool SliderMove(SliderRec& s, ViewPoint p, bool fine) {
  const LayoutBox before = s.thumb;
  const int32_t tenthsBefore = s.tenths;
  if (!s.tolerance.Contains(p.x, p.y)) {
    // Back at the start, the thumb is taken again where it was pressed: a pointer
    // that returns finds it under itself at the point it grabbed.
    s.thumb = s.startThumb;
    s.last = s.press;
    s.tenths = ThumbTenths(s);
  } else if (p == s.last) {
    return false;
  } else if (fine) {
    FineMove(s, p);
  } else {
    PixelMove(s, p);
  }
  return s.thumb.left != before.left || s.thumb.top != before.top || s.tenths != tenthsBefore;
}

int32_t SliderValue(const SliderRec& s, int32_t endPosition) {
  const int64_t span = 10 * static_cast<int64_t>(SliderSpan(s));
  const auto scaled = [&](int64_t highest) {
    return static_cast<int32_t>((span / 2 + s.tenths * highest) / span);
  };
  switch (s.kind) {
    case SliderKind::kSongPosition:
      return scaled(endPosition);
    case SliderKind::kMasterTempo: {
      const int32_t v = scaled(8192);
      return v == 0 ? 40 : v;
    }
    case SliderKind::kMasterVolume:
      return scaled(512);
    default:
      return scaled(384);
  }
}

LayoutBox MasterTempoThumb(int32_t factor) {
  return VerticalThumb(kLayoutTable[kBoxMasterThumb], MasterThumbTravel(), factor, 8192);
}

LayoutBox MasterVolumeThumb(int32_t volume) {
  return VerticalThumb(kLayoutTable[kBoxVolumeThumb], MasterThumbTravel(), volume, 512);
}

LayoutBox SongThumb(int32_t offset) {
  return kLayoutTable[kBoxSongPosition].Moved(std::clamp(offset, 0, SongThumbTravel()), 0);
}

int32_t TempoPercent(int32_t factor) {
  return (factor * 100 + 2048) / 4096;
}

int32_t VolumePercent(int32_t volume) {
  return (volume * 100 + 128) / 256;
}

int32_t TempoStepped(int32_t factor, int32_t steps) {
  const int32_t percent = std::clamp(TempoPercent(factor) + steps, 1, 200);
  return std::max(40, (percent * 4096 + 50) / 100);
}

int32_t VolumeStepped(int32_t volume, int32_t steps, int32_t highest) {
  const int32_t percent = std::clamp(VolumePercent(volume) + steps, 0, VolumePercent(highest));
  return std::min(highest, (percent * 256 + 50) / 100);
}

int32_t PositionStepped(std::span<const BeatMapEntry> beatMap, int32_t position, int32_t steps) {
  if (beatMap.empty() || steps == 0) return position;
  const auto after = std::upper_bound(
      beatMap.begin(), beatMap.end(), position,
      [](int32_t at, const BeatMapEntry& e) { return at < static_cast<int32_t>(e.time); });
  // The beat at or before the position (-1 before the first beat).
  int64_t beat = (after - beatMap.begin()) - 1;
  const bool between = beat < 0 || static_cast<int32_t>(beatMap[beat].time) != position;
  if (steps < 0 && between) ++beat;
  const int64_t target =
      std::clamp<int64_t>(beat + steps, 0, static_cast<int64_t>(beatMap.size()) - 1);
  return static_cast<int32_t>(beatMap[static_cast<size_t>(target)].time);
}

std::vector<int> DigitCells(int32_t value, int cells, bool rightAligned, bool zeroPadded) {
  std::string digits = std::to_string(std::max(0, value));
  if (static_cast<int>(digits.size()) > cells)
    digits.erase(0, digits.size() - static_cast<size_t>(cells));
  std::vector<int> out(static_cast<size_t>(cells), zeroPadded && rightAligned ? 0 : -1);
  const size_t first = rightAligned ? static_cast<size_t>(cells) - digits.size() : 0;
  for (size_t i = 0; i < digits.size(); ++i) out[first + i] = digits[i] - '0';
  return out;
}

LayoutBox DirtyAreaOfBox(const ViewsRec& views, int box) {
  const auto span = [&](int first, int last) {
    LayoutBox b = views.boxes[static_cast<size_t>(first)];
    b.right = views.boxes[static_cast<size_t>(last)].right;
    return b;
  };
  switch (box) {
    case kBoxSongPosition:
      return views.boxes[kBoxSongBar];
    case kBoxLoopStart:
      return span(kBoxLoopStart, kBoxLoopStartBeat + 1);
    case kBoxLoopEnd:
      return span(kBoxLoopEnd, kBoxLoopEndBeat + 1);
    case kBoxTempoDigits:
      return span(kBoxTempoDigits, kBoxTempoDigits + 2);
    case kBoxMasterThumb:
      return views.boxes[kBoxMasterIndicator];
    case kBoxMasterDigits:
      return span(kBoxMasterDigits, kBoxMasterDigits + 2);
    case kBoxMeasureDigits:
      return span(kBoxMeasureDigits, kBoxMeasureDigits + 3);
    case kBoxBeatDigits:
      return span(kBoxBeatDigits, kBoxBeatDigits + 1);
    case kBoxVolumeThumb:
      return views.boxes[kBoxVolumeIndicator];
    case kBoxVolumeDigits:
      return span(kBoxVolumeDigits, kBoxVolumeDigits + 2);
    default:
      return views.boxes[static_cast<size_t>(box)];
  }
}

}  // namespace tuttiro
