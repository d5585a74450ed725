// The piece model: one Standard MIDI File turned into tracks of score-timed
// events, tempo and meter lists, a beat map and SysEx messages. Everything that
// plays, follows or shows the piece reads it from here, never from the file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "piece/piece_source.h"

namespace tuttiro {

// Load results of OpenPiece.
enum LoadResult : int {
  kLoadOk = 0,
  kLoadNoMemory = 1,
  kLoadDataEnded = 2,
  kLoadWrongFormat = 3,
  kLoadSourceFailed = 4,
  kLoadNotOpened = 5,
  kLoadNoChannelMessages = 6,
  kLoadTooLarge = 7,  // well formed, but more bars or tracks than a piece can have
};

// One channel message of a track. The channel is the track's; for a program
// change data1 is the index of the track's program combination.
struct PieceEvent {
  uint32_t time;  // score units
  uint8_t status;
  uint8_t data1;
  uint8_t data2;
  uint8_t mark;  // 0 read from the file, 1 recorded performance
};
static_assert(sizeof(PieceEvent) == 8, "PieceEvent is stored 8 bytes wide");

// A note-on with a velocity; a note-off or a note-on with velocity 0.
inline bool IsNoteOn(const PieceEvent& ev) {
  return (ev.status & 0xF0) == 0x90 && ev.data2 > 0;
}
inline bool IsNoteOff(const PieceEvent& ev) {
  return (ev.status & 0xF0) == 0x80 || ((ev.status & 0xF0) == 0x90 && ev.data2 == 0);
}

// A bank and program selection, values in the order they are sent.
enum ProgramComboKind : uint8_t {
  kComboNone = 0,
  kComboProgram = 1,      // program
  kComboBank0 = 2,        // controller 0, program
  kComboBank32 = 3,       // controller 32, program
  kComboBank0And32 = 4,   // controller 0, controller 32, program
  kComboProgramPair = 5,  // program 100-127, program
};

struct ProgramCombo {
  uint8_t kind = kComboNone;
  std::array<uint8_t, 3> values{};
  bool operator==(const ProgramCombo&) const = default;
};
static_assert(sizeof(ProgramCombo) == 4, "ProgramCombo is stored 4 bytes wide");

struct ProgramComboPair {
  ProgramCombo file;        // as the file selects it
  ProgramCombo substitute;  // what the user plays instead
};

inline constexpr int kMaxProgramCombos = 32;
// Distinct combinations beyond the 32 a track's settings can hold still sound:
// they get indexes from 32 on and always play as the file selects them.
inline constexpr int kMaxOverflowCombos = 255 - kMaxProgramCombos;
inline constexpr uint8_t kNone = 0xFF;

struct TrackRec {
  std::vector<PieceEvent> events;
  int32_t playCursor = 0;
  std::string name;
  std::optional<std::string> userName;
  uint16_t volume = 256;
  uint16_t outputChannel = 0;
  int16_t fileChannel = 0;
  uint16_t outputPort = 0;
  int16_t filePort = 0;
  int16_t transposition = 0;
  std::array<uint16_t, 128> noteState{};
  std::array<ProgramComboPair, kMaxProgramCombos> programCombos{};
  std::vector<ProgramCombo> overflowCombos;
  int32_t comboCount = 0;  // entries of programCombos in use
  std::array<uint8_t, 128> controllerValues;
  std::array<uint8_t, 3> programState{kNone, kNone, kNone};
  uint8_t play = 1;
  uint8_t substitutePrograms = 0;

  TrackRec() { controllerValues.fill(kNone); }
  int32_t eventCount() const { return static_cast<int32_t>(events.size()); }
};

// The combination a program-change event's data1 selects, as the file gives
// it (overflow entries included); kind 0 for an index that names nothing.
ProgramCombo FileComboAt(const TrackRec& track, uint8_t index);

struct SmfTempoEntry {
  uint32_t tick;
  uint64_t time;   // microseconds from the start, without the rounding half
  uint32_t tempo;  // microseconds per quarter note
};

struct TimeSigEntry {
  uint32_t tick;
  uint8_t numerator;
  uint8_t denominatorPower;
  uint8_t clocksPerClick;
  uint8_t thirtySecondsPerQuarter;
};

struct SysexEvent {
  uint32_t time;  // score units
  uint8_t status;
  uint8_t zero;
  uint16_t messageIndex;
};
static_assert(sizeof(SysexEvent) == 8, "SysexEvent is stored 8 bytes wide");

struct BeatMapEntry {
  uint32_t time;  // score units
  int16_t measure;
  int16_t beat;
  uint32_t sixteenths;  // tick * 4 / division
};

// A place in the piece as a musician names it.
struct MeasureBeat {
  int32_t measure = 1;
  int32_t beat = 1;
  bool operator==(const MeasureBeat&) const = default;
};

struct MetaEventRec {
  uint32_t tick;
  uint8_t type;
  std::vector<uint8_t> data;
};

inline constexpr uint32_t kSentinelTick = 0x7FFFFFFF;
inline constexpr int32_t kNoEventTime = 0x7FFFFFFF;

struct PieceModel {
  std::string piecePath;
  std::string pieceFileName;
  std::optional<std::string> pieceDisplayName;
  bool pieceLoaded = false;
  bool openedOnce = false;
  int16_t format = 0;
  int16_t division = 0;
  std::vector<TrackRec> tracks;  // trackCount regular tracks, then the performance track
  int16_t trackCount = 0;
  std::vector<SmfTempoEntry> smfTempoList;  // ends with a sentinel
  std::vector<TimeSigEntry> timeSigList;    // ends with a sentinel
  uint32_t initialTimeSigNumerator = 4;
  uint32_t initialTimeSigDenominator = 4;
  int16_t initialKey = -1;
  uint16_t keyUsesFlats = 0;
  std::vector<MetaEventRec> otherMetaEvents;
  std::vector<SysexEvent> sysexEvents;
  int32_t sysexCursor = 0;
  std::vector<std::vector<uint8_t>> sysexMessages;  // each F0 ... F7
  std::vector<BeatMapEntry> beatMap;
  int32_t beatCursor = 0;
  int32_t firstEventTime = kNoEventTime;
  int32_t lastEventTime = 0;
  int32_t endPosition = 0;

  TrackRec& performanceTrack() { return tracks[static_cast<size_t>(trackCount)]; }
};

// What OpenPiece asks of the subsystems around the piece. Each hook may be
// left empty; the application fills them in as those subsystems exist.
struct PieceHooks {
  std::function<void()> sendClosingSysex;      // the previous piece's closing SysEx
  std::function<void()> hideTitleAndTracks;    // views showing the old piece
  std::function<void()> layoutViews;           // lay out the views for the new piece
  std::function<bool()> applySettingsSlot0;    // true when the piece's settings were applied
  std::function<void()> defaultPieceSettings;  // when it has none
  std::function<void()> clearJumpHistory;      // Jump Again's start positions
  std::function<void()> sendOpeningSysex;      // SysEx due when the file is opened
  std::function<void()> firstOpenRepaint;      // first open since start-up
  std::function<void()> resetPlaybackState;    // performance data, transport base, displays, menus
};

// Reads the piece `name` (a built-in piece's name or a path) into `piece`.
// Returns a LoadResult; on failure no piece is loaded.
int OpenPiece(PieceModel& piece, PieceSourceState& sources, const std::string& name,
              const PieceHooks& hooks = {});

// Releases everything the model holds (shutdown, or before a new piece).
void ReleasePiece(PieceModel& piece);

// Score-unit time of `tick` through the piece's tempo list (the loader's walk).
uint32_t TickToScoreTime(const PieceModel& piece, uint32_t tick);

}  // namespace tuttiro
