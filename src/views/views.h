// The views model: the eight floating panels of the main window as geometry
// and state, without a toolkit. It lays the views out for a client size, moves,
// shows, hides, centres and stacks them, hit-tests presses, fits the title,
// places the tooltips and thumbs and turns slider moves into values. The Qt
// layer draws what this model says and forwards the mouse to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "layout_table.h"
#include "piece/track_values.h"

namespace tuttiro {

struct BeatMapEntry;
struct ViewPosition;

// Text width in pixels of the font the text is drawn with.
using MeasureText = std::function<int32_t(const std::string&)>;

struct ViewPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const ViewPoint&) const = default;
};

// The view visible flags and the view order (front-most first); they belong
// to the piece's settings, the model works on them in place.
struct ViewStack {
  std::array<uint8_t, kViewCount>& visible;
  std::array<uint16_t, kViewCount>& order;
};

enum class SliderKind : uint8_t { kSongPosition, kMasterTempo, kMasterVolume, kTrackVolume };

struct SliderRec {
  SliderKind kind = SliderKind::kSongPosition;
  LayoutBox startThumb;  // where the thumb was at the press
  LayoutBox thumb;       // where it is now
  LayoutBox travel;
  LayoutBox tolerance;
  ViewPoint press;  // where the pointer took the thumb
  ViewPoint last;   // the pointer, relative to the view
  // The thumb's distance along its travel in tenths of a pixel (from the left
  // end of a horizontal travel, the bottom of a vertical one): a fine drag
  // moves it a tenth per pixel, so the value can fall between two pixels.
  int32_t tenths = 0;
};

// The one gesture in progress, from a press to its release.
enum class GestureKind : uint8_t { kNone, kButton, kSlider, kViewDrag };
enum class ButtonKind : uint8_t { kViewBox, kPlayStatus, kFollowStatus };
struct GestureRec {
  GestureKind kind = GestureKind::kNone;
  int view = kNoView;
  bool shift = false;  // Shift was down at the press
  // A button: its box, or the track of a strip button, and its image state
  // before the press.
  ButtonKind button = ButtonKind::kViewBox;
  int box = 0;
  int track = 0;
  uint16_t savedImage = kImageNormal;
  // A slider; in outline mode only an outline follows the pointer and the
  // value is applied at the release.
  SliderRec slider;
  bool outline = false;
  // A view drag: the press and the pointer now, in client coordinates.
  ViewPoint press;
  ViewPoint current;
};

// The values the digit displays, the song position thumb and the loop
// displays show. The transport sets them as the position moves; a display is
// redrawn when its value changes.
struct PositionDisplayRec {
  int32_t measure = 1;
  int32_t beat = 1;
  int32_t bpm = 0;
  int32_t songOffset = -1;
  int32_t masterPercent = -1;
  int32_t loopStartMeasure = -1, loopStartBeat = -1;
  int32_t loopEndMeasure = -1, loopEndBeat = -1;
  bool twoDigitBeat = false;
  // Score units of one pixel of the song position bar (opening a piece spreads
  // the piece over the bar).
  int32_t unitsPerPixel = 100;
};

struct ViewsRec {
  // The working layout table: frames moved, the title text box recentred and
  // the Tracks right part shifted. Thumbs are placed from their values.
  std::array<LayoutBox, kLayoutBoxCount> boxes = kLayoutTable;
  // Image state of every box (normal, pressed, lit or inactive).
  std::array<uint16_t, kLayoutBoxCount> boxImage{};
  // Where the default arrangement put each view: the Title view's horizontal
  // centre and top, the others' top-left corner.
  std::array<ViewPoint, kViewCount> home{};
  int32_t clientWidth = kDesignWidth;
  int32_t clientHeight = 480;
  bool laidOut = false;
  // The Tracks view: strips shown, the track in the leftmost strip, and
  // whether there are more tracks than strips.
  int stripCount = 0;
  int firstStripTrack = 0;
  bool moreTracksMode = false;
  int trackCount = 0;
  // Image states of each track's Play Status and Follow Status buttons.
  std::vector<std::array<uint16_t, 2>> stripImage;
  std::string title;  // the title text as shown (fitted to its box)
  // The text widths of the title font and the Tracks font; the toolkit sets
  // them, a rough average width stands in without one.
  MeasureText measureTitle = [](const std::string& s) {
    return static_cast<int32_t>(s.size()) * 11;
  };
  MeasureText measureTrackName = [](const std::string& s) {
    return static_cast<int32_t>(s.size()) * 6;
  };
  PositionDisplayRec displays;
  GestureRec gesture;
  // The last Set Loop Start or Set Loop End swapped the loop points.
  bool loopSwapped = false;
  // The following-track selection when a Follow Status press began.
  int16_t pressFollow1 = 0;
  int16_t pressFollow2 = 0;
  uint8_t pressFollowTwo = 0;
  // While the Tracks dialog is open the strips show its working copy.
  const std::vector<TrackValues>* workingTracks = nullptr;
};

// ---- Layout and positioning ----

// Lays out the views for a client area of `width` x `height` and a piece of
// `trackCount` tracks: the layout table copied afresh, image states cleared
// (Loop Mode and Metronome lit when on), the strip count from the width, the
// Tracks view widened round its centre, everything centred, home positions
// recorded.
void LayOutViews(ViewsRec& views, int32_t width, int32_t height, int trackCount, bool loopMode,
                 bool metronome);
LayoutBox ViewFrame(const ViewsRec& views, int view);
// The frame united with its 2-pixel shadow: what is hit, drawn and dragged.
LayoutBox ViewBounds(const ViewsRec& views, int view);
bool InHitRegion(const ViewsRec& views, int view, ViewPoint p);
void MoveView(ViewsRec& views, int view, int32_t dx, int32_t dy);
// Flips view `view`'s visible flag; a view that appears comes to the front.
void ToggleView(ViewStack stack, int view);
// Show All Views / Hide All Views: each view not yet as wanted is toggled.
void SetAllViews(ViewStack stack, bool visible);
void CenterAllViews(ViewsRec& views);
// Puts the view at z position `z` first in the order.
void BringToFront(ViewStack stack, int z);
// The front-most visible view at `p`; kNoView if none.
int ViewAtPoint(const ViewsRec& views, const std::array<uint8_t, kViewCount>& visible,
                const std::array<uint16_t, kViewCount>& order, ViewPoint p);
// The front-most visible view at `p`, brought to the front; kNoView if none.
int HitTestViews(const ViewsRec& views, ViewStack stack, ViewPoint p);
// A new client size: every view and home position keeps its offset from the
// client centre.
void ResizeClient(ViewsRec& views, int32_t width, int32_t height);

// The saved view positions of the settings: slot i holds view
// kSavedPositionView[i] as offsets from the client centre (the top edge, and
// the left edge or for the Title and Tracks views the horizontal centre).
inline constexpr std::array<int, kViewCount> kSavedPositionView = {0, 1, 2, 3, 4, 6, 5, 7};
void MoveViewsToSaved(ViewsRec& views, const std::array<ViewPosition, kViewCount>& saved);
std::array<ViewPosition, kViewCount> SavedViewPositions(const ViewsRec& views);

// A window's frame moved, and shrunk if it must, so that it lies wholly in a
// screen's available area (a saved place may be partly off today's screen).
LayoutBox KeptOnArea(const LayoutBox& window, const LayoutBox& area);

// ---- Text ----

// The title fitted into the title box, and the box recentred in the Title view.
void SetTitle(ViewsRec& views, const std::string& text, const MeasureText& measure);
std::string FitTitle(std::string text, int32_t limit, const MeasureText& measure);
// A track name fitted to two strips (less 7 pixels).
std::string FitTrackName(std::string text, const MeasureText& measure);

// ---- Tooltips ----

// Each tool's rectangle in client coordinates; a tool of a hidden view (or a
// More Tracks tool outside more tracks mode) gets (-1, -1, -1, -1).
std::array<LayoutBox, kToolCount> ToolRects(const ViewsRec& views,
                                            const std::array<uint8_t, kViewCount>& visible);

// ---- Hit shapes ----

// Whether `p` (relative to the view) hits box `box` as a button: buttons lose
// their 2-pixel shadow band, and the triangular buttons hit only inside their
// triangle with 2 pixels of tolerance above and below the slanted edges.
bool ButtonHit(const ViewsRec& views, int box, ViewPoint p);

// ---- Tracks view ----

// Track volume thumb box (strip-relative) for a volume.
LayoutBox TrackThumb(int volume);
// Where in the Tracks view `p` falls.
enum class TracksPart : uint8_t { kLeft, kStrip, kRight };
struct TracksSpot {
  TracksPart part = TracksPart::kLeft;
  int track = 0;        // the strip's track
  ViewPoint inStrip{};  // relative to the strip (or to the right part)
};
TracksSpot TracksSpotAt(const ViewsRec& views, ViewPoint p);
// More Tracks: moves the strips by 8 tracks backward or forward and sets the
// two buttons' image states.
void MoreTracks(ViewsRec& views, bool forward);

// ---- Sliders and thumbs ----

SliderRec SliderStart(SliderKind kind, const LayoutBox& thumb, const LayoutBox& travel,
                      ViewPoint press);
// Follows the pointer; true when the thumb's top-left or value changed.
// Outside the tolerance box the thumb returns to where the drag began. A fine
// move (Shift held) takes the thumb a tenth as far as the pointer.
bool SliderMove(SliderRec& slider, ViewPoint p, bool fine = false);
// The slider's value from its thumb: the song position in score units (given
// the end position), the master tempo factor (40-8192), the master volume
// (0-512) or a track volume (0-384).
int32_t SliderValue(const SliderRec& slider, int32_t endPosition);
// Thumb boxes (view-relative) of the master tempo and volume sliders, and the
// song position thumb at a bar offset in pixels.
LayoutBox MasterTempoThumb(int32_t factor);
LayoutBox MasterVolumeThumb(int32_t volume);
LayoutBox SongThumb(int32_t offset);

// The displayed percent of a master tempo factor and of a volume.
int32_t TempoPercent(int32_t factor);
int32_t VolumePercent(int32_t volume);
// The wheel's steps: `steps` percent more (or fewer) than the value shows,
// within the slider's range (master tempo 1-200 %, master volume 0-200 %, a
// track volume 0-150 %); and the song position `steps` beats on from the beat
// at or before it (a position between beats steps back to its own beat first).
int32_t TempoStepped(int32_t factor, int32_t steps);
int32_t VolumeStepped(int32_t volume, int32_t steps, int32_t highest);
int32_t PositionStepped(std::span<const BeatMapEntry> beatMap, int32_t position, int32_t steps);

// The cells of a number in digit cells: each is a digit 0-9 or -1 for blank.
// Right-aligned numbers fill the last cells; left-aligned ones the first.
std::vector<int> DigitCells(int32_t value, int cells, bool rightAligned, bool zeroPadded = false);

// The area of a view (view-relative) drawn again when box `box` changes: a
// thumb redraws its whole travel, a digit group all its cells.
LayoutBox DirtyAreaOfBox(const ViewsRec& views, int box);

}  // namespace tuttiro
