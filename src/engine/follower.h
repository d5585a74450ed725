// The score follower: matches the soloist's notes (or tapped beats) against the
// written part and publishes where the soloist is and how fast they go as the
// follower clock. It speaks to the rest of the system only through its report
// function and the Follower... operations below.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "engine/time_base.h"
#include "piece/piece_model.h"

namespace tuttiro {

// What the follower tells its host; the report's value is ignored.
enum FollowerReportCode : int {
  kReportJump = 1,      // position, time, rate: the soloist is elsewhere, restart there
  kReportLoudness = 2,  // velocity ratio (16.16)
  kReportClock = 3,     // anchor position, anchor time, rate: a new follower clock
  kReportNote = 4,      // time, matched chord position or -1, message
};
using FollowerReport = std::function<int64_t(int code, int64_t a, int64_t b, int64_t c)>;

inline constexpr uint16_t kNoSpecialSignal = 65535;
inline constexpr uint16_t kSignalController = 256;  // 256 + controller number
inline constexpr uint8_t kSignalPitch = 255;        // a note message standing for the signal

// Chord flags: what matching the chord's first note does to the clock.
inline constexpr uint8_t kFlagWeight = 3;     // tempo weight - 1
inline constexpr uint8_t kFlagAnchor = 4;     // move the clock onto the chord
inline constexpr uint8_t kFlagMeasure = 8;    // restart the tempo measurement here
inline constexpr uint8_t kFlagEstimate = 16;  // estimate a new tempo here

inline constexpr int32_t kPerformedChordCapacity = 50;
inline constexpr int32_t kPerformedNoteCapacity = 200;
inline constexpr int32_t kPerformedChordsDropped = 30;
inline constexpr int32_t kHypothesisCapacity = 500;
inline constexpr int32_t kFollowerQueueCapacity = 256;
inline constexpr int32_t kFollowerTimeScale = 1000;

// Every distance the follower uses, as a fraction of its time scale.
struct FollowerDistances {
  int32_t chordWindow = 50;
  int32_t windowMinimum = 200;
  int32_t windowMaximum = 1000;
  int32_t halfBeatTolerance = 50;
  int32_t markerTolerance = 200;
  int32_t jumpThreshold = 1500;
  int32_t localSearchRadius = 3000;
  int32_t minimumJumpSpan = 500;
  int32_t spacingToleranceMinimum = 100;
  int32_t spacingToleranceMaximum = 500;
  int32_t spanUnit = 250;
};

struct FollowerOptions {
  int level = 4;  // 0 None, 1 Low, 2 Medium, 3 High, 4 Highest
  bool startAutomatically = true;
  bool autoJump = true;
  bool localJumpsOnly = false;
  bool waitForStart = false;
  bool strictTime = false;  // the clock never holds at the soloist's next note
};

inline constexpr uint8_t kNoteMatched = 0x80;  // in ScoreNote::pitch

struct ScoreNote {
  uint8_t pitch;
  uint8_t velocity;
};

struct ScoreChord {
  int32_t position;
  int32_t firstNote;
  uint8_t noteCount;
  uint8_t matchedCount;
  uint8_t flags;
  uint8_t done;
};

struct PitchRun {
  int32_t start;
  int32_t count;
};

struct PerformedNote {
  uint8_t pitch;
  uint8_t velocity;
};

struct PerformedChord {
  SystemTime time;
  int32_t firstNote;
  uint8_t noteCount;
};

struct Hypothesis {
  int32_t chord;
  int32_t rate;
};

struct IgnoreRange {
  int32_t start;
  int32_t end;
};

// A sorted marker list; the cursor is the first entry not yet passed and pending
// the entry the wait limit stands for (-1 when none).
struct MarkerList {
  std::vector<int32_t> positions;
  int32_t cursor = 0;
  int32_t pending = -1;
};

struct FollowerQueueEntry {
  uint32_t value;   // a packed note message, or a tap strength
  SystemTime time;  // when it was played: the follower matches and anchors at this time
  bool tap;
};

struct FollowerState {
  FollowerReport report;
  FollowerDistances distances;
  FollowerOptions options;
  std::atomic<uint16_t> specialSignal{kNoSpecialSignal};

  // The written part, reduced to chords, with an index from pitch to chords.
  std::vector<ScoreNote> notes;
  std::vector<ScoreChord> chords;
  std::array<PitchRun, 128> pitchRuns{};
  std::vector<int32_t> pitchChords;
  int32_t chordCursor = 0;
  std::vector<int32_t> beats;  // of the written part: how long a hold lasts

  // Tapped-beat mode: the beats and where the taps are.
  std::vector<int32_t> tapBeats;
  int32_t beatCursor = 0;
  int32_t lastTappedBeat = -1;

  MarkerList waitForSoloist;
  MarkerList waitForSignal;
  MarkerList restoreTempo;
  std::vector<IgnoreRange> ignoreRanges;
  int32_t ignoreCursor = 0;

  FollowerClockRec clock;
  int32_t tempoMapCapacity = 1;
  int32_t startWaitPoint = kNoLimit;

  // Matching state; times are kUnsetTime while unset.
  int32_t measurePosition = 0;
  SystemTime measureTime = kUnsetTime;
  int32_t lastMatchChord = -1;
  SystemTime lastMatchTime = kUnsetTime;
  int32_t startingRate = kFixOne;
  int32_t lastGoodRate = kFixOne;
  int32_t missCount = 0;
  int32_t velocityRatio = kFixOne;
  int32_t jumpPosition = 0;
  SystemTime jumpTime = 0;
  int32_t jumpRate = kFixOne;
  bool jumpPending = false;
  int32_t correctionCount = 0;  // near corrections so far, for traces
  bool jumpOnMatch = false;
  bool lost = false;
  bool soloistHeard = false;  // a note matched since following started

  // What the soloist played lately, and the places in the score it could be.
  std::array<PerformedNote, kPerformedNoteCapacity> performedNotes{};
  int32_t performedNoteCount = 0;
  std::array<PerformedChord, kPerformedChordCapacity> performedChords{};
  int32_t performedChordCount = 0;
  std::array<Hypothesis, kHypothesisCapacity> hypotheses{};
  int32_t hypothesisCount = 0;
  int32_t runLength = 0;

  // The input queue: whoever appends to an idle follower drains it.
  std::mutex queueMutex;
  std::condition_variable queueIdle;
  std::vector<FollowerQueueEntry> queue;
  size_t queueHead = 0;
  size_t queueCount = 0;
  bool busy = false;
  std::thread::id busyThread;
};

bool FollowerInit(FollowerState& f, const Platform& platform, FollowerReport report,
                  int32_t queueCapacity = kFollowerQueueCapacity,
                  int32_t timeScale = kFollowerTimeScale);
bool FollowerSetOptions(FollowerState& f, int level, bool startAutomatically, bool autoJump,
                        bool localJumpsOnly, bool waitForStart, bool strictTime = false);
void FollowerSetSpecialSignal(FollowerState& f, uint16_t value);
// Beats are positions with the top bit set on the first beat of each bar.
bool FollowerSetScore(FollowerState& f, std::span<const PieceEvent> eventsA,
                      std::span<const PieceEvent> eventsB, std::span<const uint32_t> beats);
bool FollowerSetTapBeats(FollowerState& f, std::span<const uint32_t> beats);
bool FollowerSetWaitForSoloist(FollowerState& f, std::span<const int32_t> positions);
bool FollowerSetWaitForSignal(FollowerState& f, std::span<const int32_t> positions);
bool FollowerSetRestoreTempo(FollowerState& f, std::span<const int32_t> positions);
bool FollowerSetIgnoreRanges(FollowerState& f, std::span<const IgnoreRange> ranges);

bool FollowerStart(FollowerState& f, int32_t position, int32_t rate);
bool FollowerResumeAfterJump(FollowerState& f, int32_t rate);
bool FollowerStop(FollowerState& f);
// From the MIDI input thread: a note-on (status in the low byte, then note and
// velocity) played at `time` on the platform clock, which may lie in the past
// (a note known only some milliseconds after it sounded). False only when the
// queue is full.
bool FollowerNoteInput(FollowerState& f, uint32_t message, SystemTime time);
// A tapped beat at `time`; strength is the tap's loudness in 16.16 (0 when unknown).
bool FollowerTapInput(FollowerState& f, int32_t strength, SystemTime time);

int32_t FollowerPosition(const FollowerState& f);
int64_t FollowerTimeUntil(FollowerState& f, int32_t p);
int32_t FollowerLastEventAtOrBefore(const FollowerState& f, int32_t p);
void FollowerFreeAll(FollowerState& f);

// The piece's beat map as the follower takes it: positions, the top bit set on
// the first beat of each bar.
std::vector<uint32_t> FollowerBeatList(const std::vector<BeatMapEntry>& beatMap);

}  // namespace tuttiro
