// The layout table: the boxes that place every view, button, slider, digit cell
// and track-strip part of the main window, as a 640-pixel-wide design lays them
// out, and the names of the views, boxes, skin elements and tooltips derived
// from it. It is the one source of these numbers; the transport, the views
// model and the drawing all take them from here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tuttiro {

// A box: left, top, right, bottom, right and bottom exclusive.
struct LayoutBox {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  bool Intersects(const LayoutBox& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  LayoutBox Moved(int32_t dx, int32_t dy) const {
    return {left + dx, top + dy, right + dx, bottom + dy};
  }
  bool operator==(const LayoutBox&) const = default;
};

inline constexpr int kLayoutBoxCount = 76;
// The layout table: view frames in client coordinates, components relative to
// their view, track-strip components relative to their strip.
extern const std::array<LayoutBox, kLayoutBoxCount> kLayoutTable;

// View numbers; the Views menu command of view v is 100 + v.
enum ViewNumber : int {
  kViewTitle = 0,
  kViewMainTransport = 1,
  kViewSongPosition = 2,
  kViewCurrentTempo = 3,
  kViewMasterTempo = 4,
  kViewMeasureBeat = 5,
  kViewMasterVolume = 6,
  kViewTracks = 7,
};
inline constexpr int kViewCount = 8;
inline constexpr int kNoView = -1;
// The Views menu lists the views in this order of view numbers.
inline constexpr std::array<int, kViewCount> kViewAtMenuPosition = {0, 1, 5, 2, 3, 4, 6, 7};

// Layout boxes by role. A group of digit cells is named by its first cell.
enum LayoutBoxId : int {
  kBoxTitleFrame = 0,
  kBoxTitleText = 1,
  kBoxMainTransportFrame = 2,
  kBoxRewind = 3,
  kBoxStop = 4,
  kBoxPlayAndFollow = 5,
  kBoxPlayFile = 6,
  kBoxPlayPerformance = 7,
  kBoxPreview = 8,
  kBoxFastForward = 9,
  kBoxSongPositionFrame = 10,
  kBoxSetLoopStart = 11,
  kBoxSetLoopEnd = 12,
  kBoxLoopMode = 13,
  kBoxBackwardScroll = 14,
  kBoxForwardScroll = 15,
  kBoxSongPosition = 16,  // the song position thumb
  kBoxSongBar = 17,
  kBoxLoopStart = 18,  // 4 measure cells, colon 22, 2 beat cells 23-24
  kBoxLoopStartColon = 22,
  kBoxLoopStartBeat = 23,
  kBoxLoopEnd = 25,  // 4 measure cells, colon 29, 2 beat cells 30-31
  kBoxLoopEndColon = 29,
  kBoxLoopEndBeat = 30,
  kBoxSongTravel = 32,
  kBoxCurrentTempoFrame = 33,
  kBoxMetronome = 34,
  kBoxTempoDigits = 35,  // 3 cells
  kBoxMasterTempoFrame = 38,
  kBoxMasterThumb = 39,
  kBoxMasterIndicator = 40,
  kBoxMasterDigits = 41,  // 3 cells
  kBoxMasterTravel = 44,
  kBoxMeasureBeatFrame = 45,
  kBoxMeasureDigits = 46,  // 4 cells
  kBoxMeasureColon = 50,
  kBoxBeatDigits = 51,  // 2 cells
  kBoxMasterVolumeFrame = 53,
  kBoxVolumeThumb = 54,
  kBoxVolumeIndicator = 55,
  kBoxVolumeDigits = 56,  // 3 cells
  kBoxVolumeTravel = 59,
  kBoxTracksFrame = 60,
  kBoxTracksLeft = 61,
  kBoxTrackStrip = 62,
  kBoxTracksRight = 63,
  kBoxMoreTracksBack = 64,
  kBoxMoreTracksForward = 65,  // relative to the right part
  kBoxTrackThumb = 66,
  kBoxTrackIndicator = 67,
  kBoxPlayStatus = 68,
  kBoxFollowStatus = 69,
  kBoxPortChannel = 70,
  kBoxTransposition = 71,
  kBoxTrackVolumeText = 72,
  kBoxTrackName1 = 73,
  kBoxTrackName2 = 74,
  kBoxTrackTravel = 75,
};

// Each view's frame box and the skin element of its background (the Tracks
// view is composed of its parts instead).
struct ViewInfo {
  int frameBox;
  int background;
  const char* name;
};
extern const std::array<ViewInfo, kViewCount> kViewTable;

// The view a box belongs to (its frame box and its components; the Tracks
// view for every track-strip box).
int ViewOfBox(int box);

// Image states added to a box's skin element.
inline constexpr uint16_t kImageNormal = 0;
inline constexpr uint16_t kImagePressed = 100;
inline constexpr uint16_t kImageOn = 200;  // lit, or inactive for More Tracks

// Skin elements: element 5000 + k, with its pressed (+100) and lit (+200)
// variants.
enum SkinElement : int {
  kSkinTitle = 5000,
  kSkinMainTransport = 5001,
  kSkinRewind = 5002,  // 5002-5008: boxes 3-9 in order
  kSkinSongPosition = 5009,
  kSkinSetLoopStart = 5010,  // 5010-5014: boxes 11-15 in order
  kSkinSongThumb = 5015,
  kSkinSongBar = 5016,
  kSkinCurrentTempo = 5017,
  kSkinMetronome = 5018,
  kSkinMasterTempo = 5019,
  kSkinMasterIndicator = 5020,
  kSkinMasterVolume = 5021,
  kSkinVolumeIndicator = 5022,
  kSkinMeasureBeat = 5023,
  kSkinTracksLeft = 5024,
  kSkinTracksRight = 5025,
  kSkinMoreTracksBack = 5026,
  kSkinMoreTracksForward = 5027,
  kSkinTrackStrip = 5028,
  kSkinTrackPlays = 5029,
  kSkinTrackOff = 5030,
  kSkinTrackFollowed = 5031,
  kSkinTrackNotFollowed = 5032,
  kSkinThumb = 5033,
  kSkinLargeBlank = 5034,  // 5035-5044: digits 0-9
  kSkinLargeColon = 5045,
  kSkinSmallBlank = 5046,  // 5047-5056: digits 0-9
  kSkinSmallColon = 5057,
  kSkinPicture = 5058,
  kSkinBackgroundTile = 5059,
};
// The skin element of a button box (3-15, 34, 64, 65), without image state;
// 0 for any other box.
int ButtonSkin(int box);

// The tooltips: tool i shows `text` over `box` of `view`, widened to the right
// edge of `widenTo` (or the bottom of `widenTo` for a track name). Strip tools
// span all strips.
enum class ToolSpan : uint8_t { kBox, kWidened, kStrips, kMoreTracks };
struct ToolInfo {
  const char* text;
  int view;
  int box;
  int widenTo;
  ToolSpan span;
};
inline constexpr int kToolCount = 31;
extern const std::array<ToolInfo, kToolCount> kToolTable;

// Geometry the table implies.
inline constexpr int32_t kDesignWidth = 640;
inline constexpr int32_t kMinStrips = 16;
int32_t StripPitch();         // the width of one track strip (35)
int32_t SongThumbTravel();    // pixels the song position thumb travels (259)
int32_t MasterThumbTravel();  // master tempo and volume (44)
int32_t TrackThumbTravel();   // track volume (75)

}  // namespace tuttiro
