// The soloist's performance: messages appended as they arrive on the input
// thread, room made ahead of time on the window thread, and every message
// placed in the score when following stops. A follower jump ends one take and
// following starts the next; a take replaces whatever the earlier takes held
// from its start on, so the performance track stays in score order.
#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <utility>

#include "engine/engine.h"
#include "engine/input_path.h"
#include "engine/time_base.h"

namespace tuttiro {
namespace {

constexpr uint8_t kNoteOff = 0x80;

// Notes that the events from index `from` on leave sounding end at `position`.
void CloseHeldNotes(std::vector<PieceEvent>& events, size_t from, uint32_t position) {
  std::array<uint16_t, 128> held{};
  for (size_t i = from; i < events.size(); ++i) {
    const PieceEvent& e = events[i];
    uint16_t& count = held[e.data1 & 0x7F];
    if (IsNoteOn(e)) {
      ++count;
    } else if (IsNoteOff(e) && count > 0) {
      --count;
    }
  }
  for (size_t note = 0; note < held.size(); ++note) {
    for (uint16_t i = 0; i < held[note]; ++i) {
      events.push_back(PieceEvent{position, kNoteOff, static_cast<uint8_t>(note), 0, 1});
    }
  }
}

// Holding the lock, follower stopped: places the take's messages and tempo
// anchors after what the earlier takes hold before its start.
void EndTake(EngineRec& engine, PerformanceRecordingRec& r, int32_t startingRate,
             int32_t endPosition) {
  r.recording = false;
  const int32_t start = r.startPosition;
  const auto from = [start](int32_t position) { return position >= start; };
  std::erase_if(r.placed, [&](const PieceEvent& e) { return from(static_cast<int32_t>(e.time)); });
  std::erase_if(r.anchors, [&](const TempoPair& p) { return from(p.position); });
  CloseHeldNotes(r.placed, 0, static_cast<uint32_t>(std::max(0, start)));
  r.sectionStart = std::min(r.sectionStart, start);
  for (const TempoPair& pair : TempoMapExport(engine.follower.clock, startingRate)) {
    if (from(pair.position)) r.anchors.push_back(pair);
  }
  int32_t last = start;
  const size_t first = r.placed.size();
  for (size_t i = 0; i < r.messages.size(); ++i) {
    const RecordedMessage& m = r.messages[i];
    const int32_t position = std::max(start, PerformancePosition(engine.follower.clock, m.time));
    r.placed.push_back(PieceEvent{static_cast<uint32_t>(position), static_cast<uint8_t>(m.message),
                                  static_cast<uint8_t>(m.message >> 8),
                                  static_cast<uint8_t>(m.message >> 16), 1});
    last = std::max(last, position);
  }
  // A note held when the take ended ends there.
  CloseHeldNotes(r.placed, first, static_cast<uint32_t>(std::max(last, endPosition)));
  r.messages.clear();
}

// The tempo list: the first anchor at time 0, each further one after the time
// the step from the previous anchor takes at that anchor's rate.
void BuildTempoList(PerformanceRecordingRec& r) {
  r.tempoList.clear();
  if (r.anchors.size() <= 2) return;
  r.tempoList.push_back({0, r.anchors.front().position});
  for (size_t i = 1; i < r.anchors.size(); ++i) {
    const TempoPair& previous = r.anchors[i - 1];
    const int32_t span = r.anchors[i].position - previous.position;
    // A stretch without a forward rate takes no time rather than dividing by zero.
    const int32_t ms = previous.rate > 0 && span > 0 ? FixDiv(span, previous.rate) : 0;
    r.tempoList.push_back({r.tempoList.back()[0] + ms, r.anchors[i].position});
  }
}

// A chunk table with its first chunk, or an empty one when memory ran out.
RecordedMessages FreshMessages() {
  RecordedMessages fresh;
  try {
    fresh.chunks.reserve(kRecordingMaxChunks);
    fresh.chunks.push_back(std::make_unique<RecordedChunk>());
  } catch (const std::bad_alloc&) {
    fresh.chunks.clear();
  }
  return fresh;
}

}  // namespace

void RecordingStart(InputPathRec& input, int32_t startPosition) {
  PerformanceRecordingRec& r = input.recording;
  RecordedMessages fresh = FreshMessages();  // each run starts with room for 4096
  std::lock_guard lock(r.lock);
  std::swap(r.messages, fresh);
  r.placed.clear();
  r.anchors.clear();
  r.tempoList.clear();
  r.startPosition = startPosition;
  r.sectionStart = startPosition;
  r.betweenTakes = false;
  r.outOfMemory = r.messages.chunks.empty();
  r.outOfMemorySaid = false;
  r.recording = !r.outOfMemory;
}

void RecordingTakeEnd(EngineRec& engine, int32_t startingRate, int32_t endPosition) {
  InputPathRec& input = engine.input;
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  EndTake(engine, r, startingRate, endPosition);
  r.betweenTakes = true;
}

bool RecordingResume(InputPathRec& input, int32_t position) {
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  if (!r.betweenTakes) return false;
  r.betweenTakes = false;
  r.messages.clear();
  r.startPosition = position;
  r.recording = !r.outOfMemory;
  return true;
}

void RecordInput(EngineRec& engine, uint32_t message, SystemTime t) {
  InputPathRec& input = engine.input;
  const uint16_t mode = engine.mode.followerInputMode;
  const bool tapping = mode == kInputMidiTaps || mode == kInputKeyTaps;
  if (mode != kInputSoloistNotes && !tapping) return;
  if (tapping && !input.settings.playTappedNotes) return;
  if (mode == kInputMidiTaps && IsTapMessage(input, message)) return;
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  // Never grows here: the window thread makes room ahead of time.
  if (!r.recording || r.outOfMemory || r.messages.size() == r.messages.capacity()) return;
  r.messages.Append(RecordedMessage{t, message});
}

bool RecordingGrow(InputPathRec& input) {
  PerformanceRecordingRec& r = input.recording;
  {
    std::lock_guard lock(r.lock);
    if (r.outOfMemory) {
      const bool said = r.outOfMemorySaid;
      r.outOfMemorySaid = true;
      return said;
    }
    if (!r.recording) return true;
    if (r.messages.capacity() - r.messages.size() >= kRecordingMinimumFree) return true;
  }
  // Only this thread adds chunks, so the room cannot shrink meanwhile.
  std::unique_ptr<RecordedChunk> chunk;
  try {
    chunk = std::make_unique<RecordedChunk>();
  } catch (const std::bad_alloc&) {
  }
  std::lock_guard lock(r.lock);
  if (!chunk || r.messages.chunks.size() == kRecordingMaxChunks) {
    r.outOfMemory = true;
    r.outOfMemorySaid = true;
    return false;
  }
  r.messages.chunks.push_back(std::move(chunk));  // within the reserved table: no allocation
  return true;
}

int RecordingFinish(EngineRec& engine, int32_t startingRate, int32_t endPosition) {
  InputPathRec& input = engine.input;
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  EndTake(engine, r, startingRate, endPosition);
  r.betweenTakes = false;
  BuildTempoList(r);
  r.anchors.clear();
  TrackRec& track = engine.piece.performanceTrack();
  track.events = std::move(r.placed);
  r.placed.clear();
  track.playCursor = 0;
  return static_cast<int>(track.events.size());
}

}  // namespace tuttiro
