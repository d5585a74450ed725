// The playback scheduler: on each wake-up of its one-shot timer it sends what is
// due at the current score position (track events, metronome clicks, MIDI clock
// or time code, SysEx) and arms the timer for the next thing due. It asks the
// time base for the position, so following a soloist needs only a re-arm.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "piece/piece_settings.h"
#include "piece/system_settings.h"
#include "platform/platform.h"

namespace tuttiro {

struct EngineRec;

// Stream sources besides the tracks (whose source is their index).
inline constexpr int32_t kMeasureStream = -1;
inline constexpr int32_t kSysexStream = -2;
inline constexpr int32_t kNoSyncPosition = 0x7FFFFFFF;

// One source that still has events: where its next event is and what it is.
// data is a track's packed message (status without channel | data1 << 8 |
// data2 << 16), the measure stream's measure | beat << 16, or the SysEx
// stream's 0xF0 | message index << 16.
struct StreamEntry {
  int32_t position = 0;
  uint32_t data = 0;
  int32_t source = 0;
};

// The class of a stream's next event at equal positions: 0 the measure stream,
// 1 a note-off (or note-on with velocity 0), 2 anything from aftertouch up and
// SysEx, 3 a note-on.
int StreamClass(const StreamEntry& entry);
// The order of the stream list: by position, then by class, then by source, so
// that a note-off is sent before a controller and both before a note-on at the
// same position, and playback is reproducible.
bool StreamPrecedes(const StreamEntry& a, const StreamEntry& b);

// ---- MIDI Time Code ----

enum TimeCodeFormat : int {
  kTimeCode24 = 0,
  kTimeCode25 = 1,
  kTimeCode30Drop = 2,
  kTimeCode30 = 3,
};

struct TimeCode {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int frames = 0;
  int quarter = 0;  // 0, 25, 50 or 75
  bool oddFrame = false;
  bool operator==(const TimeCode&) const = default;
};

int TimeCodeFramesPerSecond(int format);
TimeCode MsToTimeCode(int64_t ms, int format);
int64_t TimeCodeToMs(const TimeCode& code, int format);
// One quarter frame on (oddFrame flips with each frame).
void TimeCodeAdvanceQuarter(TimeCode& code, int format);
// The next whole frame (quarter 0).
void TimeCodeAdvanceFrame(TimeCode& code, int format);
// The data byte of the quarter-frame message (F1 dd) for this quarter.
uint8_t QuarterFrameData(const TimeCode& code, int format);
// F0 7F 7F 01 01 hh mm ss ff F7.
std::array<uint8_t, 10> FullFrameMessage(const TimeCode& code, int format);

// ---- Output lead ----

// Upper bound of a port's whole lead (its set lead and its device's latency).
inline constexpr int kMaxEffectiveLeadMs = 1000;
using OutputLeads = std::array<uint16_t, 8>;

// How much earlier than due each output port's events leave: the lead set for
// the port plus the latency its device adds on its own (a software
// synthesizer's audio buffer), at most kMaxEffectiveLeadMs.
OutputLeads EffectiveOutputLeads(const OutputLeads& configured, const OutputLeads& deviceLatency);

// ---- The scheduler's state ----

// The settings the scheduler reads while it plays, published by the window
// thread when playback starts and whenever one of them changes while playing.
struct PlaybackSettings {
  std::atomic<bool> metronomeOn{false};
  std::atomic<uint8_t> metronomeChannel{9};
  std::atomic<uint16_t> metronomePort{0};
  std::atomic<uint8_t> downbeatNote{75};
  std::atomic<uint8_t> downbeatVelocity{127};
  std::atomic<uint8_t> beatNote{75};
  std::atomic<uint8_t> beatVelocity{100};
  std::atomic<bool> syncOn{false};
  std::atomic<uint16_t> syncType{0};  // 0 MIDI clock, 1 MIDI Time Code
  std::atomic<uint16_t> frameRate{kTimeCode30};
  std::atomic<uint16_t> syncPort{0};
  std::atomic<bool> sysexOn{true};
  std::atomic<uint16_t> sysexMode{0};
  std::atomic<uint16_t> sysexPort{0};
  std::atomic<bool> loopMode{false};
  std::atomic<int32_t> loopEnd{0};
  std::atomic<bool> restartLoop{true};
  std::atomic<uint16_t> restartDelay{3};
  std::atomic<uint16_t> masterVolume{256};
  std::atomic<int16_t> masterTranspose{0};
  // What is followed and how a recorded performance plays: the scheduler's
  // stream list and play rules read them while it runs.
  std::atomic<uint16_t> followSource{0};
  std::atomic<uint16_t> performancePlayback{0};
  std::atomic<bool> playTappedNotes{false};
  // The first following track: Play Performance's recording plays in its place.
  std::atomic<int16_t> followTrack1{0};
  // Each output port's effective lead in ms, and the largest of them: the
  // scheduler runs that much ahead and holds back each port's messages by the
  // difference to its own lead.
  std::array<std::atomic<uint16_t>, 8> outputLead{};
  std::atomic<uint16_t> maxOutputLead{0};
};

// MIDI clock and time code state: used by the scheduler while it plays and set
// by locating while it is halted.
struct SyncState {
  int32_t nextSyncPosition = kNoSyncPosition;
  int32_t clocksSent = 0;
  int32_t clocksDue = 24;
  int32_t clockInterval = 1;
  TimeCode timeCode;
  uint16_t songPositionPointer = 0;  // sixteenths
};

struct SchedulerRec {
  // Kept sorted by StreamPrecedes; capacity reserved when it is built so that
  // the timer thread never allocates. Touched only by whoever holds busy.
  std::vector<StreamEntry> streams;
  // The tracks the list was built with, exhausted or not: what the start state
  // sounds and the stop silences.
  std::vector<int32_t> listedTracks;
  SyncState sync;
  // Only one pass at a time; the window thread takes it too while it changes
  // tracks during playback (the hold).
  std::atomic<bool> busy{false};
  // Someone asked for a re-arm while a pass ran; the pass re-arms once more.
  std::atomic<bool> rescheduleWanted{false};
  // The generation of the armed timer; a timer whose value differs is stale.
  std::atomic<uint32_t> generation{0};
  std::atomic<TimerId> timer{kNoTimer};
  // The loop end or the end of the list was reached: nothing more is armed
  // until the list is built again. Guarded by busy.
  bool ended = false;
  // What the displays show: bar, beat and tempo in beats per minute.
  std::atomic<int32_t> shownMeasure{1};
  std::atomic<int32_t> shownBeat{1};
  std::atomic<int32_t> shownBpm{0};
  PlaybackSettings settings;
};

// The timer callback's work: sends everything due at the first stream's
// position and re-arms. Returns at once when another pass runs.
void SchedulerRun(EngineRec& engine);
// Re-arms the timer for the next event or sync message (runs at once when due).
void ScheduleNext(EngineRec& engine);
// Makes every armed timer stale.
void SchedulerInvalidate(EngineRec& engine);
// Stops the scheduler for good: stale timers, the running pass finished, the
// stream list emptied, and the messages it held back for a port's lead sent
// (note-ons dropped). Window thread.
void SchedulerHalt(EngineRec& engine);
// Keeps the scheduler off the tracks while the window thread changes them;
// SchedulerRelease lets it go on (and re-arms).
void SchedulerHold(EngineRec& engine);
void SchedulerRelease(EngineRec& engine);
// Copies the settings above from the system and piece settings (EnginePublish
// calls it with the rest of what the real-time threads read).
void SchedulerTakeSettings(EngineRec& engine, const SystemSettings& system,
                           const PieceSettings& live);
// Builds the stream list from the current cursors: every track that plays
// (the following tracks only with includeFollowingTracks, or when a recorded
// performance replaces them), the performance track, the SysEx and the
// measure streams. False when nothing is left to play. Window thread, before
// the clock runs.
bool SchedulerBuildStreams(EngineRec& engine, const PieceSettings& live,
                           bool includeFollowingTracks);
// Whether the scheduler and the start state play this track now.
bool TrackPlayable(EngineRec& engine, int track);

}  // namespace tuttiro
