// Piece settings: the settings record a piece carries in a sequencer-specific
// meta event at the head of its first track, the live piece-level settings it
// becomes, and the operations that read, convert and apply it or reset the
// piece to its defaults. The record is kept as its bytes (host order once
// read) because slots locate their data areas by byte offsets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "layout_table.h"
#include "piece/piece_model.h"
#include "piece/system_settings.h"

namespace tuttiro {

// ---- The record's layout ----

inline constexpr uint8_t kSettingsEventId[5] = {0x00, 0x01, 0x21, 0x04, 0x00};
inline constexpr uint32_t kSettingsVersion = 0x00040000;
inline constexpr int kSettingsSlotCount = 5;
inline constexpr size_t kSettingsSlotSize = 168;
inline constexpr size_t kSettingsSlotsStart = 8;
inline constexpr size_t kSettingsHeaderSize =
    kSettingsSlotsStart + kSettingsSlotCount * kSettingsSlotSize;
inline constexpr size_t kTrackSettingsSize = 524;
inline constexpr size_t kSlotNameSize = 32;
inline constexpr size_t kMaxSettingsNameLength = 31;

// Field offsets within a slot.
enum SlotField : size_t {
  kSlotName = 0,
  kSlotLoopStart = 32,
  kSlotLoopEnd = 36,
  kSlotMasterVolume = 40,
  kSlotTempoFactor = 42,
  kSlotMasterTranspose = 44,
  kSlotFollowTrack1 = 46,
  kSlotFollowTrack2 = 48,
  kSlotViewOrder = 52,      // 8 x 16 bits, always little-endian
  kSlotViewPositions = 68,  // 8 x (vertical, horizontal), signed 16 bits
  kSlotViewVisible = 100,   // 8 bytes
  kSlotFollowTwoTracks = 108,
  kSlotPerformanceOwnPort = 109,
  kSlotAreas = 112,  // 7 x (offset, size), 32 bits each
};

// The data areas of a slot, in the order of their (offset, size) fields.
enum SettingsArea : int {
  kAreaTrackSettings = 0,
  kAreaDisplayName = 1,
  kAreaRehearsalPoints = 2,
  kAreaWaitForSoloist = 3,
  kAreaWaitForSignal = 4,
  kAreaRestoreTempo = 5,
  kAreaIgnoreSoloist = 6,
};
inline constexpr int kSettingsAreaCount = 7;

// Field offsets within a TrackSettingsRec.
enum TrackSettingsField : size_t {
  kTrackVolume = 0,
  kTrackOutputChannel = 2,
  kTrackTransposition = 4,
  kTrackOutputPort = 6,
  kTrackPlay = 10,
  kTrackSubstitutePrograms = 11,
  kTrackCombos = 12,  // 32 x (file combination, substitute), 4 bytes each
  kTrackUserNameLength = 268,
  kTrackUserName = 269,
};
inline constexpr size_t kMaxTrackUserNameLength = 255;

// The record's bytes: version, size, five slots, then the data areas. The
// version and size are always in host order; SwapSettingsRecord converts the
// rest. A record read from a file holds at least the header and the slots.
struct PieceSettingsRecord {
  std::vector<uint8_t> bytes;
};

enum class SwapDirection { kToHost, kToStorage };

// Typed access to the record in host order. Reads outside the record give 0;
// writes outside it are dropped.
uint32_t RecordGet32(const PieceSettingsRecord& record, size_t offset);
uint16_t RecordGet16(const PieceSettingsRecord& record, size_t offset);
void RecordSet32(PieceSettingsRecord& record, size_t offset, uint32_t value);
void RecordSet16(PieceSettingsRecord& record, size_t offset, uint16_t value);
constexpr size_t SlotStart(int slot) {
  return kSettingsSlotsStart + static_cast<size_t>(slot) * kSettingsSlotSize;
}

// The record of a piece without settings: every slot unused.
PieceSettingsRecord DefaultSettingsRecord();

// The slot's name (empty when the slot is unused).
std::string SettingsSlotName(const PieceSettingsRecord& record, int slot);

// Where a data area lies in the record (host order). An area that starts
// inside the header or reaches past the record's end is damaged and read as
// empty, so no use of it can leave the record.
struct SettingsAreaSpan {
  size_t offset = 0;
  size_t size = 0;
};
SettingsAreaSpan SettingsAreaOf(const PieceSettingsRecord& record, int slot, SettingsArea area);

// Reads the settings record of the piece `piecePath` through its source. None
// when the source does not open or is not a Standard MIDI File with a track;
// the default record when the first track does not start with an intact
// settings event. The result is in host order.
std::optional<PieceSettingsRecord> ReadPieceSettings(PieceSourceState& sources,
                                                     const std::string& piecePath);

// Converts every multi-byte field of every used slot, and of the data areas
// those slots locate, between big-endian storage and host order.
void SwapSettingsRecord(PieceSettingsRecord& record, SwapDirection direction);

// ---- The live piece-level settings ----

struct ViewPosition {
  int16_t vertical = 0;
  int16_t horizontal = 0;
  bool operator==(const ViewPosition&) const = default;
};

struct MarkerRange {
  int32_t begin = 0;
  int32_t end = 0;
  bool operator==(const MarkerRange&) const = default;
};

inline constexpr std::array<uint16_t, kViewCount> kDefaultViewOrder = {0, 1, 2, 3, 4, 5, 6, 7};

struct PieceSettings {
  int32_t loopStart = 0;
  int32_t loopEnd = 0;
  uint16_t masterVolume = 256;
  uint16_t tempoFactor = 4096;
  int16_t masterTranspose = 0;
  int16_t followTrack1 = 0;
  int16_t followTrack2 = 0;
  std::array<uint16_t, kViewCount> viewOrder = kDefaultViewOrder;
  std::array<ViewPosition, kViewCount> savedViewPositions{};
  std::array<uint8_t, kViewCount> viewVisible{1, 1, 1, 1, 1, 1, 1, 1};
  uint8_t followTwoTracks = 0;
  uint8_t performanceUsesOwnPort = 0;
  std::vector<int32_t> rehearsalPoints;
  std::vector<int32_t> waitForSoloistMarkers;
  std::vector<int32_t> waitForSignalMarkers;
  std::vector<int32_t> restoreTempoMarkers;
  std::vector<MarkerRange> ignoreSoloistRanges;
};

// The Views menu as the view visible flags make it: menu position p is
// checked when view [0, 1, 5, 2, 3, 4, 6, 7][p] is visible.
struct ViewsMenuState {
  std::array<bool, kViewCount> checked{};
  bool showAllEnabled = false;  // Show All Views (108): some view is hidden
  bool hideAllEnabled = false;  // Hide All Views (109): some view is visible
};
ViewsMenuState ViewsMenuFromFlags(const std::array<uint8_t, kViewCount>& visible);

// What applying settings asks of the views, menus and displays. Each may be
// left empty.
struct SettingsHooks {
  std::function<void()> moveViewsToSaved;  // remembered view locations
  // The views' places into the saved view positions, before settings are saved.
  std::function<void()> storeViewPositions;
  std::function<void()> centreViews;
  std::function<void()> showLoopPoints;  // on the Song Position & Looping view
  std::function<void(const ViewsMenuState&)> setViewsMenu;
  std::function<void()> updateTitle;
  // Position displays and the playback state at the current position.
  std::function<void()> refreshPosition;
  // Views 0, 2, 3, 4, 6, 7 and the window.
  std::function<void()> redrawViews;
};

// What applying settings hands the score follower: its markers and ranges,
// the written part (or the beats) and its options. The engine fills them in;
// an empty hook hands nothing (a headless tool without a follower).
struct FollowerHooks {
  std::function<bool(const PieceSettings& live)> setMarkers;  // false: cannot take them
  std::function<void(const PieceModel& piece, const PieceSettings& live,
                     const SystemSettings& system)>
      setScore;
  std::function<void(const SystemSettings& system)> setOptions;
};

// The state the settings operations work on.
struct SettingsContext {
  PieceModel& piece;
  PieceSourceState& sources;
  PieceSettings& live;
  SystemSettings& system;
  FollowerHooks follower{};
  SettingsHooks hooks{};
  SystemSettingsHooks systemHooks{};
};

// Whether the soloist plays track `track` (one of the following tracks).
inline bool IsFollowingTrack(const PieceSettings& live, int track) {
  return track == live.followTrack1 || (live.followTwoTracks && track == live.followTrack2);
}

// Applies settings slot `slot` (0-4) of the open piece's record. False when
// the piece has no record, the slot is unused or storage fails.
bool ApplySettingsSlot(SettingsContext& context, int slot);
// Applies slot `slot` of a record in host order, as ApplySettingsSlot applies
// the piece's own (a revert point, say).
bool ApplySettingsRecord(SettingsContext& context, const PieceSettingsRecord& record, int slot);

// The piece-level defaults.
void ResetPieceGlobals(SettingsContext& context);

// Piece Settings > Default Settings, and what a piece without settings gets.
void DefaultPieceSettings(SettingsContext& context);

// Gives the follower the piece's beats (tapped-beat following) or the events of
// the following track or tracks.
void GiveFollowerScore(SettingsContext& context);

// Fills the two settings hooks OpenPiece calls. The context must outlive them.
void SetPieceSettingsHooks(PieceHooks& hooks, SettingsContext& context);

}  // namespace tuttiro
