// The MIDI input path: every message from an input port passes through
// ProcessInput on the input thread. It is filtered by port and channel,
// cleaned up (velocity-0 note-ons, key bounces), echoed through MIDI Thru,
// checked against remote control, recorded, and given to tapped-beat following
// or the score follower. Also the tap detectors and the performance recording.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/time_base.h"
#include "piece/piece_model.h"
#include "piece/system_settings.h"
#include "platform/platform.h"

namespace tuttiro {

struct EngineRec;

inline constexpr int kInputPortCount = 8;
inline constexpr SystemTime kBounceMs = 50;
inline constexpr int kTapControllers = 122;
inline constexpr int kKeyPollMs = 2;
inline constexpr size_t kRecordingChunkEvents = 4096;
inline constexpr size_t kRecordingMinimumFree = 1024;
// The chunk table is reserved for this many chunks (some 67 million
// messages), so that adding a chunk never moves the table either.
inline constexpr size_t kRecordingMaxChunks = 16384;

// The settings the input thread reads, published by the window thread whenever
// they change (InputTakeSettings), so that no thread reads a record another
// thread is writing.
struct InputSettingsRec {
  std::atomic<bool> thruOn{false};
  std::atomic<bool> thruProcessFirst{false};
  std::atomic<uint16_t> thruPort{0};
  std::atomic<uint16_t> thruChannel{kThruSameChannel};
  std::array<std::atomic<uint16_t>, kRemoteControlEntries> remote{};
  std::atomic<uint16_t> tapSource{0};
  std::atomic<uint8_t> tapNote{kNoNoteOrController};
  std::atomic<uint8_t> tapController{kNoNoteOrController};
  std::atomic<bool> playTappedNotes{false};
  std::atomic<int16_t> masterTranspose{0};
  std::atomic<int16_t> volumeSensitivity{2};  // the follower's loudness reports use it
};

// The soloist's messages as they arrive during Play and Follow, and the tempo
// they were played at once following stops.
struct RecordedMessage {
  SystemTime time;   // when it was played
  uint32_t message;  // status without channel, data 1, data 2
};

// The messages of a take, in fixed chunks that never move: the input thread
// appends into the room there is, and the window thread adds a chunk ahead of
// time, allocated outside the lock and only linked in under it, so growing
// never keeps the input thread waiting.
struct RecordedChunk {
  std::array<RecordedMessage, kRecordingChunkEvents> messages;
};

struct RecordedMessages {
  std::vector<std::unique_ptr<RecordedChunk>> chunks;
  size_t count = 0;

  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  size_t capacity() const { return chunks.size() * kRecordingChunkEvents; }
  const RecordedMessage& operator[](size_t i) const {
    return chunks[i / kRecordingChunkEvents]->messages[i % kRecordingChunkEvents];
  }
  // Only into the room there is (count < capacity()).
  void Append(const RecordedMessage& m) {
    chunks[count / kRecordingChunkEvents]->messages[count % kRecordingChunkEvents] = m;
    ++count;
  }
  void clear() { count = 0; }
};

struct PerformanceRecordingRec {
  // Held by the input thread to append and by the window thread only to link
  // a chunk in or to end a take.
  std::mutex lock;
  RecordedMessages messages;
  bool recording = false;
  bool outOfMemory = false;
  bool outOfMemorySaid = false;  // RecordingGrow has told its caller, once a run
  int32_t startPosition = 0;     // of the take being recorded
  // What the finished takes placed in the score, their follower tempo anchors
  // and where the first of them starts.
  std::vector<PieceEvent> placed;
  std::vector<TempoPair> anchors;
  int32_t sectionStart = 0;
  bool betweenTakes = false;  // a jump ended a take; following resumes with the next
  // (performance time in ms from the first anchor, score position); at least
  // three pairs or none.
  std::vector<std::array<int32_t, 2>> tempoList;
};

struct InputPathRec {
  InputSettingsRec settings;
  std::atomic<bool> inputBlocked{true};
  std::atomic<bool> learningDialogOpen{false};
  std::atomic<bool> metronomeDialogLearning{false};
  // Hands a message (status without channel) to the dialog that learns values
  // from MIDI. Set once when the application is wired, before input starts.
  std::function<void(uint32_t)> learn;
  // Per (port, channel, note): the time of the last accepted note-off, or 0
  // after an accepted note-on. Each port's entries belong to one input thread.
  std::array<uint32_t, kInputPortCount * 16 * 128> noteRelease{};
  std::array<std::atomic<uint8_t>, kTapControllers> controllerTap{};
  std::atomic<uint8_t> keyTapHeld{1};
  // Note-ons come in from every input port since start-up (the window's notice
  // of what to connect asks whether any came).
  std::atomic<uint32_t> notesHeard{0};
  std::atomic<uint32_t> keyPollGeneration{0};
  EngineRec* pollEngine = nullptr;  // set by KeyPollStart before the first poll is armed
  PerformanceRecordingRec recording;
};

// Copies the input-related system and piece settings into the atomics the
// input thread reads. Window thread.
void InputTakeSettings(InputPathRec& input, const SystemSettings& system, int16_t masterTranspose);

// Input thread: one short message (status in the low byte) from input port `port`.
void ProcessInput(EngineRec& engine, uint32_t message, SystemTime t, int port);
void MidiThru(EngineRec& engine, uint32_t message);
// True when the message is a remote-control message (consumed).
bool RemoteControl(EngineRec& engine, uint32_t message);
// Follower input mode 1: a note or controller that may be a tap.
void MidiTapDetector(EngineRec& engine, uint32_t message, SystemTime t);
// True when the message is the tap note or tap controller of the tap source.
bool IsTapMessage(const InputPathRec& input, uint32_t message);

// Tapped beats from the space bar or the right mouse button: a poll every 2 ms
// on the timer thread, ended by advancing the generation.
void KeyPollStart(EngineRec& engine);
void KeyPollStop(InputPathRec& input);
// Clears the controller tap states (Play and Follow with MIDI taps).
void ClearControllerTaps(InputPathRec& input);

// Recording the performance.
void RecordingStart(InputPathRec& input, int32_t startPosition);
void RecordInput(EngineRec& engine, uint32_t message, SystemTime t);
// Window thread (idle pass): adds a chunk when fewer than 1024 entries are
// free. False once a run, when room could not be had: recording then stops
// for this run, what it holds is kept and following goes on.
bool RecordingGrow(InputPathRec& input);
// Following stopped for a jump: the take recorded so far is placed in the
// score with the follower's tempo map; notes still held end at `endPosition`.
// RecordingResume starts the next take where following resumes; false when no
// take ended (following starts afresh, as Start Automatically does).
void RecordingTakeEnd(EngineRec& engine, int32_t startingRate, int32_t endPosition);
bool RecordingResume(InputPathRec& input, int32_t position);
// Following stopped: ends the last take, builds the tempo list from the takes'
// anchors and moves the placed messages into the piece's performance track.
// Returns the number of events.
int RecordingFinish(EngineRec& engine, int32_t startingRate, int32_t endPosition);

}  // namespace tuttiro
