// The score follower: set-up, the input queue, starting and stopping, and matching
// each soloist note against the written chords near where the soloist should be.
#include "engine/follower.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "engine/follower_internal.h"

namespace tuttiro {
namespace {

constexpr uint8_t kNoteOn = 0x90;
constexpr size_t kListStep = 256;

int32_t ChordPosition(const FollowerState& f, int32_t i) {
  return f.chords[static_cast<size_t>(i)].position;
}

int32_t ChordCount(const FollowerState& f) {
  return static_cast<int32_t>(f.chords.size());
}

bool TapMode(const FollowerState& f) {
  return !f.tapBeats.empty();
}

// ---- the input queue -------------------------------------------------------------

// Takes the busy flag for a set-up operation. A report handler that calls back
// into set-up on the draining thread is refused instead of waiting for itself.
bool AcquireBusy(FollowerState& f) {
  std::unique_lock lock(f.queueMutex);
  if (f.busy && f.busyThread == std::this_thread::get_id()) return false;
  f.queueIdle.wait(lock, [&f] { return !f.busy; });
  f.busy = true;
  f.busyThread = std::this_thread::get_id();
  return true;
}

void ProcessNote(FollowerState& f, uint32_t message, SystemTime t);

// Runs every queued entry, including those appended meanwhile, then gives up the
// busy flag. No lock is held while an entry is processed (it calls the report).
void DrainQueue(FollowerState& f) {
  for (;;) {
    FollowerQueueEntry entry;
    {
      std::lock_guard lock(f.queueMutex);
      if (f.queueCount == 0) {
        f.busy = false;
        f.busyThread = std::thread::id();
        f.queueIdle.notify_all();
        return;
      }
      entry = f.queue[f.queueHead];
      f.queueHead = (f.queueHead + 1) % f.queue.size();
      --f.queueCount;
    }
    if (entry.tap) {
      ProcessTap(f, static_cast<int32_t>(entry.value), entry.time);
    } else {
      ProcessNote(f, entry.value, entry.time);
    }
  }
}

bool Enqueue(FollowerState& f, FollowerQueueEntry entry) {
  bool drain = false;
  {
    std::lock_guard lock(f.queueMutex);
    if (f.queue.empty() || f.queueCount == f.queue.size()) return false;
    f.queue[(f.queueHead + f.queueCount) % f.queue.size()] = entry;
    ++f.queueCount;
    if (!f.busy) {
      f.busy = true;
      f.busyThread = std::this_thread::get_id();
      drain = true;
    }
  }
  if (drain) DrainQueue(f);
  return true;
}

// Runs a set-up operation under the busy flag; refused while following runs.
template <typename Work>
bool SetUp(FollowerState& f, Work work) {
  if (!AcquireBusy(f)) return false;
  const bool ok = !FollowerClockNow(f).running && work();
  DrainQueue(f);
  return ok;
}

// ---- building the score ----------------------------------------------------------

void BuildChords(FollowerState& f, std::span<const PieceEvent> a, std::span<const PieceEvent> b) {
  const auto keep = [](const PieceEvent& e) { return e.status == kNoteOn && e.data2 > 0; };
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() || j < b.size()) {
    const bool fromA = j >= b.size() || (i < a.size() && a[i].time <= b[j].time);
    const PieceEvent& e = fromA ? a[i++] : b[j++];
    if (!keep(e)) continue;
    const int32_t position = static_cast<int32_t>(std::min<uint32_t>(e.time, kNoLimit - 1));
    if (f.notes.size() == f.notes.capacity()) f.notes.reserve(f.notes.size() + kListStep);
    if (!f.chords.empty() && position - f.distances.chordWindow <= f.chords.back().position) {
      if (f.chords.back().noteCount == UINT8_MAX) continue;  // a chord holds at most 255 notes
      ++f.chords.back().noteCount;
    } else {
      if (f.chords.size() == f.chords.capacity()) f.chords.reserve(f.chords.size() + kListStep);
      f.chords.push_back(ScoreChord{position, static_cast<int32_t>(f.notes.size()), 1, 0, 0, 0});
    }
    f.notes.push_back(ScoreNote{static_cast<uint8_t>(e.data1 & 0x7F), e.data2});
  }
  f.notes.shrink_to_fit();
  f.chords.shrink_to_fit();
}

// For each pitch the chords holding it, in chord order, each chord once.
void BuildPitchIndex(FollowerState& f) {
  std::array<int32_t, 128> lastChord;
  lastChord.fill(-1);
  f.pitchRuns.fill(PitchRun{0, 0});
  for (int32_t c = 0; c < ChordCount(f); ++c) {
    const ScoreChord& chord = f.chords[static_cast<size_t>(c)];
    for (int32_t n = 0; n < chord.noteCount; ++n) {
      const uint8_t pitch = f.notes[static_cast<size_t>(chord.firstNote + n)].pitch;
      if (lastChord[pitch] == c) continue;
      lastChord[pitch] = c;
      ++f.pitchRuns[pitch].count;
    }
  }
  int32_t start = 0;
  for (PitchRun& run : f.pitchRuns) {
    run.start = start;
    start += run.count;
    run.count = 0;
  }
  f.pitchChords.assign(static_cast<size_t>(start), 0);
  lastChord.fill(-1);
  for (int32_t c = 0; c < ChordCount(f); ++c) {
    const ScoreChord& chord = f.chords[static_cast<size_t>(c)];
    for (int32_t n = 0; n < chord.noteCount; ++n) {
      const uint8_t pitch = f.notes[static_cast<size_t>(chord.firstNote + n)].pitch;
      if (lastChord[pitch] == c) continue;
      lastChord[pitch] = c;
      PitchRun& run = f.pitchRuns[pitch];
      f.pitchChords[static_cast<size_t>(run.start + run.count++)] = c;
    }
  }
}

constexpr uint32_t kBarStart = 0x80000000u;

// Gives each chord its flags from where it falls among the beats: bar starts carry
// the strongest tempo estimates, other beats weaker ones, off-beat notes none.
void ClassifyChords(FollowerState& f, std::span<const uint32_t> beats) {
  const auto beatAt = [&beats](size_t i) { return static_cast<int32_t>(beats[i] & ~kBarStart); };
  size_t beat = 0;
  int32_t bar = 0;
  int32_t numberInBar = 1;
  int64_t lastFullBeat = -1;
  int32_t lastFullBar = 0;
  int32_t lastBarStartFlagBar = 0;
  bool halfBeatUsed = false;
  for (int32_t c = 0; c < ChordCount(f); ++c) {
    ScoreChord& chord = f.chords[static_cast<size_t>(c)];
    while (beat + 1 < beats.size() && beatAt(beat + 1) <= chord.position) {
      ++beat;
      if (beats[beat] & kBarStart) {
        ++bar;
        numberInBar = 1;
      } else {
        ++numberInBar;
      }
    }
    const bool haveBeat = !beats.empty() && beatAt(beat) <= chord.position;
    const bool barStart = haveBeat && numberInBar == 1;
    const uint8_t beatFlags = static_cast<uint8_t>(20 + std::min(numberInBar - 2, 2));
    const auto fullyFlag = [&](uint8_t flags) {
      chord.flags = flags;
      lastFullBeat = static_cast<int64_t>(beat);
      lastFullBar = bar;
      halfBeatUsed = false;
    };
    if (c == 0 || (haveBeat && bar >= lastFullBar + 2)) {
      fullyFlag(12);
      if (barStart) lastBarStartFlagBar = bar;
    } else if (!haveBeat) {
      chord.flags = 0;
    } else if (beatAt(beat) == chord.position) {
      if (barStart) {
        fullyFlag(31);
        lastBarStartFlagBar = bar;
      } else {
        fullyFlag(beatFlags);
      }
    } else if (!barStart && static_cast<int64_t>(beat) - lastFullBeat > 1) {
      chord.flags = beatFlags;
      halfBeatUsed = false;
    } else if (barStart && bar - lastBarStartFlagBar > 1) {
      chord.flags = 31;
      halfBeatUsed = false;
    } else if (beat + 1 < beats.size() && !halfBeatUsed &&
               beatAt(beat + 1) - beatAt(beat) > f.distances.windowMaximum &&
               std::abs(2 * int64_t{chord.position} - beatAt(beat) - beatAt(beat + 1)) <
                   2 * int64_t{f.distances.halfBeatTolerance}) {
      chord.flags = 20;
      halfBeatUsed = true;
    } else {
      chord.flags = 0;
    }
  }
  // Every chord may move the clock (an off-beat chord when the clock has drifted
  // from it), some twice (a new rate starts where the clock is, then the clock
  // moves onto the chord), so the map has room for two anchors a chord.
  f.tempoMapCapacity = 1 + 2 * ChordCount(f);
}

void ReserveTempoMap(FollowerState& f, int32_t capacity) {
  std::lock_guard lock(f.clock.writeMutex);
  TempoMapReserve(f.clock.tempoMap, capacity);
}

void ReleaseScore(FollowerState& f) {
  f.beats = {};
  f.notes = {};
  f.chords = {};
  f.pitchChords = {};
  f.pitchRuns.fill(PitchRun{0, 0});
  f.chordCursor = 0;
}

// ---- cursors and the wait limit --------------------------------------------------

int32_t FirstAtOrAfter(const std::vector<int32_t>& list, int32_t p) {
  return static_cast<int32_t>(std::lower_bound(list.begin(), list.end(), p) - list.begin());
}

void RepositionCursors(FollowerState& f, int32_t p) {
  f.chordCursor = FirstChordAtOrAfter(f, p);
  f.beatCursor = FirstAtOrAfter(f.tapBeats, p);
  for (MarkerList* list : {&f.waitForSoloist, &f.waitForSignal, &f.restoreTempo}) {
    list->cursor = FirstAtOrAfter(list->positions, p);
    list->pending = -1;
  }
  const auto& ranges = f.ignoreRanges;
  int32_t i = static_cast<int32_t>(
      std::lower_bound(ranges.begin(), ranges.end(), p,
                       [](const IgnoreRange& r, int32_t v) { return r.start < v; }) -
      ranges.begin());
  if (i > 0 && ranges[static_cast<size_t>(i - 1)].end >= p) --i;
  f.ignoreCursor = i;
}

// The written chord a wait-for-soloist point stands for, or -1 when none is close.
int32_t ChordForMarker(const FollowerState& f, int32_t point) {
  if (f.chords.empty()) return -1;
  int32_t c = FirstChordAtOrAfter(f, point);
  if (c == ChordCount(f) ||
      (c > 0 && point - ChordPosition(f, c - 1) < ChordPosition(f, c) - point)) {
    --c;
  }
  return std::abs(int64_t{ChordPosition(f, c)} - point) <= f.distances.markerTolerance ? c : -1;
}

void SetWaitLimit(FollowerState& f, int32_t limit) {
  std::lock_guard lock(f.clock.writeMutex);
  FollowerClock clock = FollowerClockRead(f.clock);
  clock.waitLimit = limit;
  FollowerClockWrite(f.clock, clock);
}

// ---- the hold at the soloist's next note -----------------------------------------

// The written length of the beat at p (half a second without beats).
int32_t BeatLengthAt(const FollowerState& f, int32_t p) {
  const auto next = std::upper_bound(f.beats.begin(), f.beats.end(), p);
  if (next != f.beats.begin() && next != f.beats.end()) return *next - *(next - 1);
  if (f.beats.size() >= 2)
    return next == f.beats.end() ? f.beats.back() - f.beats.end()[-2] : f.beats[1] - f.beats[0];
  return 500;
}

// The first chord the soloist has not reached that lies ahead of both the last
// match and the clock, outside the ranges where the soloist is ignored.
int32_t NextUnheardChord(const FollowerState& f, int32_t clockPosition) {
  const int32_t after =
      std::max(clockPosition, f.lastMatchChord >= 0 ? ChordPosition(f, f.lastMatchChord) : -1);
  int32_t c = std::max(f.chordCursor, FirstChordAtOrAfter(f, after));
  while (c < ChordCount(f) &&
         (ChordPosition(f, c) <= after || InIgnoreRange(f, ChordPosition(f, c))))
    ++c;
  return c;
}

// Moves the hold to the soloist's next unheard note, as of time t. A clock that
// stood at the old hold (or had gone on from it) is first anchored where it is at
// t, so that it goes on from the soloist's note, not from where it would have run.
// The hold lasts a beat and the written length of the note before it (up to three
// beats more), at the clock's rate: a soloist may hold a note twice as long as
// written and a beat more (a fermata, a breath) before the accompaniment goes on
// alone. True when it moved.
bool MoveHold(FollowerState& f, SystemTime t) {
  std::lock_guard lock(f.clock.writeMutex);
  FollowerClock clock = FollowerClockRead(f.clock);
  if (!clock.running) return false;
  int32_t hold = kNoLimit;
  int32_t span = 0;
  // Before the soloist is first heard the accompaniment plays alone.
  if (!f.options.strictTime && f.options.level >= 2 && !TapMode(f) && !f.chords.empty() &&
      f.soloistHeard) {
    const int32_t c = NextUnheardChord(f, FollowerPositionAt(clock, t));
    if (c < ChordCount(f)) {
      hold = ChordPosition(f, c);
      const int32_t before = c > 0 ? ChordPosition(f, c - 1) : hold;
      const int32_t beat = BeatLengthAt(f, hold);
      const int32_t written = beat + std::min(hold - before, 3 * beat);
      span = clock.rate > 0 ? FixDiv(written, clock.rate) : 0;
    }
  }
  if (hold == clock.holdPosition && span == clock.holdSpan) return false;
  const SystemTime reached = FollowerHoldReached(clock);
  if (reached != kUnsetTime && t >= reached) {
    const bool heardThere = f.lastMatchChord >= 0 && f.lastMatchTime == t &&
                            ChordPosition(f, f.lastMatchChord) == clock.holdPosition;
    const int32_t position = heardThere ? clock.holdPosition : FollowerPositionAt(clock, t);
    clock.anchorPosition = position;
    clock.anchorTime = t;
    AnchorPush(f.clock.tempoMap, t, clock.anchorPosition);
  }
  clock.holdPosition = hold;
  clock.holdSpan = span;
  FollowerClockWrite(f.clock, clock);
  return true;
}

// The scheduler times the accompaniment from the clock, so a moved hold is reported.
void UpdateHold(FollowerState& f, SystemTime t) {
  if (MoveHold(f, t)) FollowerReportClock(f);
}

// ---- matching --------------------------------------------------------------------

struct MatchWindow {
  int32_t expected;
  int32_t start;
  int32_t end;
  int32_t nearest;
  bool atSignal;
};

// The chord nearest to e, walking from the chord cursor; a later chord must be
// twice as close as an earlier one to be taken.
int32_t NearestChord(const FollowerState& f, int32_t e) {
  const int32_t count = ChordCount(f);
  int32_t i = std::clamp(f.chordCursor, 0, count - 1);
  const auto pos = [&f](int32_t c) { return int64_t{ChordPosition(f, c)}; };
  if (pos(i) > e) {
    while (i > 0 && pos(i) > e) --i;
    if (i + 1 < count && pos(i + 1) - e < 2 * (e - pos(i))) ++i;
  } else {
    while (i + 1 < count && pos(i) < e) ++i;
    if (i > 0 && 2 * (e - pos(i - 1)) < pos(i) - e) --i;
  }
  return i;
}

int32_t PendingSignal(const FollowerState& f) {
  return f.waitForSignal.pending >= 0
             ? f.waitForSignal.positions[static_cast<size_t>(f.waitForSignal.pending)]
             : kNoLimit;
}

MatchWindow NewNoteWindow(FollowerState& f, const FollowerClock& clock, int32_t position,
                          SystemTime t) {
  const FollowerDistances& d = f.distances;
  MatchWindow w{};
  int64_t e = position;
  int32_t width = (d.windowMinimum + d.windowMaximum) / 2;
  if (f.lastMatchChord >= 0) {
    const int32_t elapsed = FixMul(ElapsedForFix(t - f.lastMatchTime), clock.rate);
    e = int64_t{ChordPosition(f, f.lastMatchChord)} + elapsed;
    width = std::clamp(elapsed, d.windowMinimum, d.windowMaximum);
  }
  w.expected =
      static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(e, clock.waitLimit - 1), 0));
  w.start = std::max(w.expected - width / 2, 0);
  // A soloist who lingers is still at the chord after the last match, however far
  // the clock has run on: the window always reaches back to it.
  if (f.lastMatchChord >= 0 && f.chordCursor < ChordCount(f)) {
    w.start = std::min(w.start, ChordPosition(f, f.chordCursor));
  }
  w.end = static_cast<int32_t>(std::min<int64_t>(int64_t{w.expected} + width, kNoLimit));
  w.nearest = NearestChord(f, w.expected);
  const int32_t signal = PendingSignal(f);
  const int32_t n = ChordPosition(f, w.nearest);
  w.atSignal = signal != kNoLimit && ((n > w.expected && n >= signal) ||
                                      (n < w.expected && w.nearest + 1 < ChordCount(f) &&
                                       ChordPosition(f, w.nearest + 1) >= signal));
  f.jumpOnMatch = f.options.autoJump;
  if (f.jumpOnMatch) {
    if (n > w.end) {
      w.end = n;
    } else if (n < w.start && w.nearest + 1 < ChordCount(f)) {
      ++w.nearest;
      w.end = ChordPosition(f, w.nearest);
    } else {
      f.jumpOnMatch = false;
    }
  }
  return w;
}

struct MatchUndo {
  int32_t note;
  int32_t cursor;
  uint8_t matchedCount;
  uint8_t done;
};

bool HoldsUnmatchedPitch(const FollowerState& f, const ScoreChord& chord, uint8_t pitch) {
  for (int32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; ++n) {
    if (f.notes[static_cast<size_t>(n)].pitch == pitch) return true;
  }
  return false;
}

// A measured tempo that is much faster than the current one while the match skipped
// a chord holding the same pitch is more likely an early note of the skipped chord.
bool SkippedSamePitch(const FollowerState& f, int32_t from, int32_t to, uint8_t pitch) {
  for (int32_t c = std::max(from, 0); c < to; ++c) {
    const ScoreChord& chord = f.chords[static_cast<size_t>(c)];
    if (!chord.done && HoldsUnmatchedPitch(f, chord, pitch)) return true;
  }
  return false;
}

void RememberMatch(FollowerState& f, int32_t c, SystemTime t) {
  f.lastMatchChord = c;
  f.lastMatchTime = t;
  f.soloistHeard = true;
}

// Releases the wait the chord stands for; true when it released one.
bool ReleaseWaitAtChord(FollowerState& f, const ScoreChord& chord, int32_t waitLimit) {
  bool released = false;
  MarkerList& soloist = f.waitForSoloist;
  if (chord.position == waitLimit && soloist.pending >= 0 &&
      std::abs(int64_t{soloist.positions[static_cast<size_t>(soloist.pending)]} - chord.position) <=
          f.distances.markerTolerance) {
    soloist.cursor = soloist.pending + 1;
    released = true;
  }
  if (chord.position == f.startWaitPoint) {
    f.startWaitPoint = kNoLimit;
    FollowerDropStartAnchor(f);
    released = true;
  }
  if (released) ComputeWaitLimit(f);
  return released;
}

// True when a Restore Tempo point lies at the chord (and passes it).
bool PassRestoreTempo(FollowerState& f, int32_t position) {
  MarkerList& list = f.restoreTempo;
  const int32_t tolerance = f.distances.markerTolerance;
  const int32_t count = static_cast<int32_t>(list.positions.size());
  while (list.cursor < count &&
         list.positions[static_cast<size_t>(list.cursor)] < int64_t{position} - tolerance) {
    ++list.cursor;
  }
  if (list.cursor < count &&
      list.positions[static_cast<size_t>(list.cursor)] <= int64_t{position} + tolerance) {
    ++list.cursor;
    return true;
  }
  return false;
}

// An off-beat chord carries no tempo, but when the clock has drifted more than a
// chord's width from it, the clock moves onto it at the same rate: on slow pieces
// with few beats the clock would otherwise drift by seconds between them.
void ReanchorIfDrifted(FollowerState& f, const FollowerClock& clock, int32_t position,
                       SystemTime t) {
  if (f.options.level < 2) return;
  const int32_t now = FollowerPositionAt(clock, t);
  if (std::abs(int64_t{now} - position) <= f.distances.chordWindow) return;
  FollowerSetAnchor(f, position, t, clock.rate, true);
  FollowerReportClock(f);
}

// Whether the soloist's note at chord c comes after the clock held for it longer
// than the note before it was expected to last: a fermata or a breath, which is
// no tempo. The note then restarts the tempo measurement instead of slowing it.
bool AfterLongHold(const FollowerState& f, const FollowerClock& clock, int32_t c, SystemTime t) {
  const int32_t position = ChordPosition(f, c);
  if (c == 0 || clock.holdPosition != position || clock.rate <= 0) return false;
  const SystemTime reached = FollowerHoldReached(clock);
  if (reached == kUnsetTime || t < reached) return false;
  return t - reached > FixDiv(position - ChordPosition(f, c - 1), clock.rate);
}

// Tries to match the note against chord c; on success the clock and the tempo follow.
bool TryChord(FollowerState& f, int32_t c, uint8_t pitch, uint8_t velocity, SystemTime t) {
  ScoreChord& chord = f.chords[static_cast<size_t>(c)];
  if (chord.done || chord.position >= PendingSignal(f) || chord.noteCount == 0) return false;
  const int32_t note = MarkNote(f, chord, pitch);
  if (note < 0) return false;
  const MatchUndo undo{note, f.chordCursor, chord.matchedCount, chord.done};
  f.chordCursor = c;
  if (++chord.matchedCount == chord.noteCount) {
    chord.done = 1;
    f.chordCursor = c + 1;
  }
  const uint8_t written = f.notes[static_cast<size_t>(note)].velocity;
  f.velocityRatio = (3 * f.velocityRatio + FixDiv(velocity, written)) >> 2;
  FollowerReportLoudness(f);

  if (chord.matchedCount > 1 || f.jumpOnMatch) {
    RememberMatch(f, c, t);
    return true;
  }
  const FollowerClock clock = FollowerClockNow(f);
  const bool afterHold = AfterLongHold(f, clock, c, t);
  if (chord.flags == 0 && !afterHold && chord.position != clock.waitLimit &&
      f.measureTime != kUnsetTime) {
    ReanchorIfDrifted(f, clock, chord.position, t);
    RememberMatch(f, c, t);
    return true;
  }
  int flags = f.options.level == 1 ? 0 : chord.flags;
  if (afterHold) flags = (flags | kFlagAnchor | kFlagMeasure) & ~kFlagEstimate;
  const int32_t p = FollowerPositionAt(clock, t);
  if (ReleaseWaitAtChord(f, chord, clock.waitLimit)) flags = (flags | kFlagAnchor) & ~kFlagEstimate;

  int32_t rate = clock.rate;
  bool rateChanged = false;
  const bool restored = PassRestoreTempo(f, chord.position);
  if (restored) {
    rate = f.startingRate;
    rateChanged = true;
  } else {
    const int64_t distance = int64_t{chord.position} - f.measurePosition;
    const SystemTime duration = t - f.measureTime;
    // An estimate needs the chord after the measurement anchor and time between
    // them; otherwise the rate stays as it is.
    if ((flags & kFlagEstimate) && f.options.level >= 3 && f.measureTime != kUnsetTime &&
        distance > 0 && duration > 0 && duration <= kNoLimit) {
      const int64_t measured =
          FixDiv(static_cast<int32_t>(distance), static_cast<int32_t>(duration));
      if (c > undo.cursor && measured * 4 > int64_t{rate} * 5 &&
          SkippedSamePitch(f, undo.cursor, c, pitch)) {
        f.notes[static_cast<size_t>(note)].pitch = pitch;
        chord.matchedCount = undo.matchedCount;
        chord.done = undo.done;
        f.chordCursor = undo.cursor;
        return false;
      }
      const int64_t divisor = f.options.level == 4 ? 4 : 8;
      const int64_t weight = (flags & kFlagWeight) + 1;
      rate = static_cast<int32_t>(std::min<int64_t>(
          ((divisor - weight) * rate + weight * measured + divisor / 2) / divisor, kMaxRate));
      rateChanged = true;
    }
    if (c == undo.cursor && f.missCount == 0) f.lastGoodRate = rate;
  }
  // A new rate always starts from where the clock is, so the position never jumps.
  if (!(flags & kFlagAnchor) && ((!restored && f.options.level >= 2) || rateChanged)) {
    FollowerSetAnchor(f, p, t, rate, true);
  }
  if ((flags & kFlagMeasure) || f.measureTime == kUnsetTime) {
    f.measurePosition = chord.position;
    f.measureTime = t;
  }
  if (flags & kFlagAnchor) FollowerSetAnchor(f, chord.position, t, rate, true);
  FollowerReportClock(f);
  RememberMatch(f, c, t);
  return true;
}

bool IsSignalNote(const FollowerState& f, uint8_t pitch) {
  const uint16_t signal = f.specialSignal.load(std::memory_order_relaxed);
  return pitch == kSignalPitch || (signal < 128 && pitch == signal);
}

// When nothing in the window matched: the signal, a lost note, a note absorbed by
// a waiting clock, or a miss.
bool Unmatched(FollowerState& f, const MatchWindow& w, uint8_t pitch, SystemTime t,
               int32_t waitLimit, int32_t& matchedPosition) {
  if (IsSignalNote(f, pitch) && w.atSignal) {
    const int32_t signal = PendingSignal(f);
    matchedPosition = signal;
    f.waitForSignal.cursor = f.waitForSignal.pending + 1;
    ComputeWaitLimit(f);
    FollowerSetAnchor(f, signal, t, FollowerClockNow(f).rate, true);
    FollowerReportClock(f);
    return true;
  }
  if (w.atSignal || InIgnoreRange(f, w.expected)) {
    f.lost = true;
    return false;
  }
  if (w.end == waitLimit) {
    matchedPosition = f.lastMatchChord >= 0 ? ChordPosition(f, f.lastMatchChord) : -1;
    f.missCount = 0;
    ClearHypotheses(f);
    return true;
  }
  ++f.missCount;
  return false;
}

// Matches the note near the expected position; matchedPosition tells the chord (or
// signal) it stood for.
bool MatchNote(FollowerState& f, uint8_t pitch, uint8_t velocity, SystemTime t,
               int32_t& matchedPosition) {
  if (f.options.level == 0 || f.chords.empty()) return false;
  f.lost = false;
  const FollowerClock clock = FollowerClockNow(f);
  const int32_t position = FollowerPositionAt(clock, t);
  const auto& ranges = f.ignoreRanges;
  while (f.ignoreCursor < static_cast<int32_t>(ranges.size())) {
    const IgnoreRange& r = ranges[static_cast<size_t>(f.ignoreCursor)];
    if (r.end > position && !(r.end == clock.waitLimit && position == clock.waitLimit - 1)) break;
    ++f.ignoreCursor;
  }
  MatchWindow w;
  if (f.lastMatchChord < 0 || t - f.lastMatchTime >= f.distances.chordWindow) {
    w = NewNoteWindow(f, clock, position, t);
  } else {
    // A further note of the chord just matched.
    const int32_t e = ChordPosition(f, f.lastMatchChord);
    w = MatchWindow{e, e - f.distances.chordWindow, e + f.distances.chordWindow, f.lastMatchChord,
                    false};
    f.jumpOnMatch = false;
  }
  if (w.end > clock.waitLimit) {
    w.end = clock.waitLimit;
    w.start = std::min(w.start, w.end);
    while (w.nearest > 0 && ChordPosition(f, w.nearest) > clock.waitLimit) --w.nearest;
  }
  const bool skipIgnored = f.startWaitPoint == kNoLimit;
  const auto succeed = [&](int32_t c) {
    matchedPosition = ChordPosition(f, c);
    if (f.jumpOnMatch) {
      JumpToChord(f, c, t, FollowerClockNow(f).rate);
    } else if (f.missCount > 0) {
      --f.missCount;
    }
    ClearHypotheses(f);
    return true;
  };
  // The soloist plays in order: the unfinished chords from the one after the last
  // match up to the nearest one are tried first, earliest first. A later chord that
  // holds the same pitch must not take the note of the chord the soloist is at.
  if (f.lastMatchChord >= 0) {
    const int32_t last = std::min(std::max(w.nearest, f.chordCursor), ChordCount(f) - 1);
    for (int32_t c = f.chordCursor; c <= last; ++c) {
      const int32_t position = ChordPosition(f, c);
      if (position < w.start || position > w.end) continue;
      if (skipIgnored && InIgnoreRange(f, position)) continue;
      if (TryChord(f, c, pitch, velocity, t)) return succeed(c);
    }
  }
  // Then outward from the nearest chord, preferring earlier chords unless a later
  // one is less than twice as far.
  int32_t earlier = w.nearest;
  int32_t later = w.nearest + 1;
  for (;;) {
    const bool earlierDone = earlier < 0 || ChordPosition(f, earlier) < w.start;
    const bool laterDone = later >= ChordCount(f) || ChordPosition(f, later) > w.end;
    if (earlierDone && laterDone) break;
    const bool takeLater =
        earlierDone || (!laterDone && int64_t{ChordPosition(f, later)} - w.expected <=
                                          2 * (int64_t{w.expected} - ChordPosition(f, earlier)));
    const int32_t c = takeLater ? later++ : earlier--;
    if (skipIgnored && InIgnoreRange(f, ChordPosition(f, c))) continue;
    if (!TryChord(f, c, pitch, velocity, t)) continue;
    return succeed(c);
  }
  return Unmatched(f, w, pitch, t, clock.waitLimit, matchedPosition);
}

void ProcessNote(FollowerState& f, uint32_t message, SystemTime t) {
  const uint8_t data1 = static_cast<uint8_t>(message >> 8);
  const uint8_t pitch = data1 == kSignalPitch ? kSignalPitch : data1 & 0x7F;
  const uint8_t velocity = static_cast<uint8_t>((message >> 16) & 0x7F);
  if (pitch != kSignalPitch) RecordPerformedNote(f, pitch, velocity, t);
  if (f.jumpPending) return;
  const bool running = FollowerClockNow(f).running;
  if (running) {
    int32_t matched = -1;
    const bool found = MatchNote(f, pitch, velocity, t, matched);
    if (!f.jumpPending) UpdateHold(f, t);
    if (found) {
      f.report(kReportNote, t, matched, message);
      return;
    }
    f.report(kReportNote, t, -1, message);
    if (f.chords.empty() || f.lost || f.options.level < 2) return;
  }
  if (pitch == kSignalPitch || f.chords.empty()) return;
  if (running ? !f.options.autoJump : !f.options.startAutomatically) return;
  // The search looks for the soloist around where they would be had they played on:
  // a clock held for them is no guide to where a soloist who skipped has gone.
  FollowerClock unheld = FollowerClockNow(f);
  unheld.holdPosition = kNoLimit;
  JumpSearch(f, FollowerPositionAt(unheld, t), message, t);
}

void UnmarkChord(FollowerState& f, ScoreChord& chord) {
  for (int32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; ++n) {
    f.notes[static_cast<size_t>(n)].pitch &= 0x7F;
  }
  chord.matchedCount = 0;
  chord.done = 0;
}

bool StartRunning(FollowerState& f, int32_t position, int32_t rate) {
  if (FollowerClockNow(f).running || rate <= 0 || (f.chords.empty() && f.tapBeats.empty())) {
    return false;
  }
  rate = std::min(rate, kMaxRate);
  const SystemTime now = FollowerNow(f);
  {
    std::lock_guard lock(f.clock.writeMutex);
    TempoMapClear(f.clock.tempoMap);
  }
  FollowerSetAnchor(f, position, now, rate, true);
  f.velocityRatio = kFixOne;
  f.lastGoodRate = rate;
  RepositionCursors(f, position);
  f.startWaitPoint = kNoLimit;
  if (f.options.waitForStart && !f.jumpPending && f.options.level != 0) {
    if (TapMode(f)) {
      if (f.beatCursor < static_cast<int32_t>(f.tapBeats.size()))
        f.startWaitPoint = f.tapBeats[static_cast<size_t>(f.beatCursor)];
    } else if (f.chordCursor < ChordCount(f)) {
      f.startWaitPoint = ChordPosition(f, f.chordCursor);
    }
  }
  SetWaitLimit(f, kNoLimit);
  if (f.options.level != 0) ComputeWaitLimit(f);
  if (!f.jumpPending) {
    f.startingRate = rate;
    f.soloistHeard = false;
  }
  f.measureTime = kUnsetTime;
  f.lastMatchChord = -1;
  f.lastMatchTime = kUnsetTime;
  f.lastTappedBeat = -1;
  f.missCount = 0;
  FollowerReportLoudness(f);
  {
    std::lock_guard lock(f.clock.writeMutex);
    FollowerClock clock = FollowerClockRead(f.clock);
    clock.running = true;
    clock.holdPosition = kNoLimit;
    clock.holdSpan = 0;
    if (!f.jumpPending) {
      clock.anchorTime = now;
      clock.startPending = true;
    }
    FollowerClockWrite(f.clock, clock);
  }
  f.jumpPending = false;
  MoveHold(f, now);
  return true;
}

}  // namespace

// ---- helpers shared with the jump search and tapped beats ------------------------

int32_t FirstChordAtOrAfter(const FollowerState& f, int32_t p) {
  return static_cast<int32_t>(
      std::lower_bound(f.chords.begin(), f.chords.end(), p,
                       [](const ScoreChord& c, int32_t v) { return c.position < v; }) -
      f.chords.begin());
}

int32_t MarkNote(FollowerState& f, const ScoreChord& chord, uint8_t pitch) {
  for (int32_t n = chord.firstNote; n < chord.firstNote + chord.noteCount; ++n) {
    ScoreNote& note = f.notes[static_cast<size_t>(n)];
    if (note.pitch == pitch) {
      note.pitch |= kNoteMatched;
      return n;
    }
  }
  return -1;
}

SystemTime FollowerNow(FollowerState& f) {
  return f.clock.platform->ClockNow();
}

FollowerClock FollowerClockNow(const FollowerState& f) {
  return FollowerClockRead(f.clock);
}

void FollowerSetAnchor(FollowerState& f, int32_t position, SystemTime time, int32_t rate,
                       bool push) {
  std::lock_guard lock(f.clock.writeMutex);
  FollowerClock clock = FollowerClockRead(f.clock);
  clock.anchorPosition = position;
  clock.anchorTime = time;
  clock.rate = rate;
  // The clock now stands on a real event: the first scheduler query must not move it.
  clock.startPending = false;
  FollowerClockWrite(f.clock, clock);
  if (push) AnchorPush(f.clock.tempoMap, time, position);
}

void FollowerReportClock(FollowerState& f) {
  // The hold moves with the anchor before anyone times the accompaniment from it.
  MoveHold(f, FollowerClockNow(f).anchorTime);
  const FollowerClock clock = FollowerClockNow(f);
  f.report(kReportClock, clock.anchorPosition, clock.anchorTime, clock.rate);
}

void FollowerReportLoudness(FollowerState& f) {
  f.report(kReportLoudness, f.velocityRatio, 0, 0);
}

void FollowerDropStartAnchor(FollowerState& f) {
  std::lock_guard lock(f.clock.writeMutex);
  if (f.clock.tempoMap.count == 1) TempoMapClear(f.clock.tempoMap);
}

bool InIgnoreRange(const FollowerState& f, int32_t p) {
  for (size_t i = static_cast<size_t>(f.ignoreCursor); i < f.ignoreRanges.size(); ++i) {
    const IgnoreRange& r = f.ignoreRanges[i];
    if (r.start > p) return false;
    if (p < r.end) return true;
  }
  return false;
}

void ComputeWaitLimit(FollowerState& f) {
  int32_t limit = kNoLimit;
  MarkerList& soloist = f.waitForSoloist;
  soloist.pending = -1;
  for (int32_t i = soloist.cursor; i < static_cast<int32_t>(soloist.positions.size()); ++i) {
    const int32_t point = soloist.positions[static_cast<size_t>(i)];
    if (InIgnoreRange(f, point)) continue;
    if (TapMode(f)) {
      limit = point;
    } else {
      const int32_t chord = ChordForMarker(f, point);
      if (chord < 0) continue;
      limit = ChordPosition(f, chord);
    }
    soloist.pending = i;
    break;
  }
  MarkerList& signal = f.waitForSignal;
  signal.pending = -1;
  const int32_t signalCount = static_cast<int32_t>(signal.positions.size());
  for (int32_t i = signal.cursor; i < signalCount; ++i) {
    const int32_t point = signal.positions[static_cast<size_t>(i)];
    if (InIgnoreRange(f, point)) continue;
    if (f.specialSignal.load(std::memory_order_relaxed) != kNoSpecialSignal || TapMode(f)) {
      limit = std::min(limit, point);
      signal.pending = i;
    } else {
      signal.cursor = signalCount;  // without a signal these points can never be released
    }
    break;
  }
  SetWaitLimit(f, std::min(limit, f.startWaitPoint));
}

void JumpToChord(FollowerState& f, int32_t c, SystemTime t, int32_t rate) {
  ScoreChord& chord = f.chords[static_cast<size_t>(c)];
  const FollowerClock clock = FollowerClockNow(f);
  const int32_t position = FollowerPositionAt(clock, t);
  if (!clock.running || std::abs(int64_t{chord.position} - position) >= f.distances.jumpThreshold) {
    f.jumpPending = true;
    f.jumpPosition = chord.position;
    f.jumpTime = t;
    f.jumpRate = rate;
    f.report(kReportJump, chord.position, t, rate);
    return;
  }
  int32_t newRate = clock.rate;
  if (chord.flags & kFlagEstimate) {
    const int64_t weight = (chord.flags & kFlagWeight) + 1;
    newRate = static_cast<int32_t>(
        std::min<int64_t>(((8 - weight) * clock.rate + weight * rate + 4) >> 3, kMaxRate));
  }
  FollowerSetAnchor(f, chord.position, t, newRate, true);
  // The measurement anchor stays: it is a real match, and a run of corrections
  // must not keep the tempo from learning the soloist's speed.
  ++f.correctionCount;
  // The clock was wrong about the soloist: it holds for them again once a note
  // confirms the new place.
  f.soloistHeard = false;
  f.lastMatchChord = -1;
  f.lastMatchTime = kUnsetTime;
  f.missCount = 0;
  const int32_t last = std::min(std::max(c, f.chordCursor), ChordCount(f) - 1);
  for (int32_t i = c; i <= last; ++i) UnmarkChord(f, f.chords[static_cast<size_t>(i)]);
  f.chordCursor = c;
  const int32_t played =
      f.performedChordCount > 0
          ? f.performedChords[static_cast<size_t>(f.performedChordCount - 1)].noteCount
          : 0;
  chord.matchedCount = static_cast<uint8_t>(std::min<int32_t>(played, chord.noteCount));
  if (chord.matchedCount == chord.noteCount) {
    chord.done = 1;
    f.chordCursor = c + 1;
  }
  FollowerReportClock(f);
}

// ---- operations ------------------------------------------------------------------

bool FollowerInit(FollowerState& f, const Platform& platform, FollowerReport report,
                  int32_t queueCapacity, int32_t timeScale) {
  if (queueCapacity < 1 || timeScale < 1 || !report) return false;
  try {
    f.queue.assign(static_cast<size_t>(queueCapacity), FollowerQueueEntry{0, 0, false});
  } catch (const std::bad_alloc&) {
    return false;
  }
  f.queueHead = 0;
  f.queueCount = 0;
  f.report = std::move(report);
  f.clock.platform = &platform;
  const auto scaled = [timeScale](int32_t fraction) { return FixMul(timeScale, fraction); };
  f.distances = FollowerDistances{scaled(3277),  scaled(13107), scaled(65536),  scaled(3277),
                                  scaled(13107), scaled(98304), scaled(196608), scaled(32768),
                                  scaled(6554),  scaled(32768), scaled(16384)};
  ReleaseScore(f);
  f.tapBeats = {};
  for (MarkerList* list : {&f.waitForSoloist, &f.waitForSignal, &f.restoreTempo}) *list = {};
  f.ignoreRanges = {};
  f.ignoreCursor = 0;
  f.options = FollowerOptions{};
  f.specialSignal.store(kNoSpecialSignal);
  f.startWaitPoint = kNoLimit;
  ReserveTempoMap(f, 1);
  std::lock_guard lock(f.clock.writeMutex);
  FollowerClockWrite(f.clock, FollowerClock{});
  return true;
}

bool FollowerSetOptions(FollowerState& f, int level, bool startAutomatically, bool autoJump,
                        bool localJumpsOnly, bool waitForStart, bool strictTime) {
  return SetUp(f, [&] {
    if (level >= 0 && level <= 4) f.options.level = level;
    f.options.startAutomatically = startAutomatically;
    f.options.autoJump = autoJump;
    f.options.localJumpsOnly = localJumpsOnly;
    f.options.waitForStart = waitForStart;
    f.options.strictTime = strictTime;
    return true;
  });
}

void FollowerSetSpecialSignal(FollowerState& f, uint16_t value) {
  f.specialSignal.store(value, std::memory_order_relaxed);
}

bool FollowerSetScore(FollowerState& f, std::span<const PieceEvent> eventsA,
                      std::span<const PieceEvent> eventsB, std::span<const uint32_t> beats) {
  return SetUp(f, [&] {
    try {
      ReleaseScore(f);
      f.tapBeats = {};
      BuildChords(f, eventsA, eventsB);
      BuildPitchIndex(f);
      ClassifyChords(f, beats);
      f.beats.resize(beats.size());
      for (size_t i = 0; i < beats.size(); ++i)
        f.beats[i] = static_cast<int32_t>(beats[i] & ~kBarStart);
      ReserveTempoMap(f, f.tempoMapCapacity);
    } catch (const std::bad_alloc&) {
      ReleaseScore(f);
      return false;
    }
    f.performedChordCount = 0;
    f.performedNoteCount = 0;
    ClearHypotheses(f);
    std::lock_guard lock(f.clock.writeMutex);
    FollowerClock clock = FollowerClockRead(f.clock);
    clock.anchorPosition = 0;
    FollowerClockWrite(f.clock, clock);
    return true;
  });
}

bool FollowerSetTapBeats(FollowerState& f, std::span<const uint32_t> beats) {
  return SetUp(f, [&] {
    try {
      ReleaseScore(f);
      f.tapBeats.resize(beats.size());
      for (size_t i = 0; i < beats.size(); ++i)
        f.tapBeats[i] = static_cast<int32_t>(beats[i] & ~kBarStart);
      f.tapBeats.shrink_to_fit();
      f.tempoMapCapacity = static_cast<int32_t>(beats.size()) + 1;
      ReserveTempoMap(f, f.tempoMapCapacity);
    } catch (const std::bad_alloc&) {
      f.tapBeats = {};
      return false;
    }
    f.beatCursor = 0;
    f.lastTappedBeat = -1;
    return true;
  });
}

namespace {

bool SetMarkers(FollowerState& f, MarkerList& list, std::span<const int32_t> positions) {
  return SetUp(f, [&] {
    try {
      list.positions.assign(positions.begin(), positions.end());
    } catch (const std::bad_alloc&) {
      list.positions = {};
      return false;
    }
    std::sort(list.positions.begin(), list.positions.end());
    list.cursor = 0;
    list.pending = -1;
    return true;
  });
}

}  // namespace

bool FollowerSetWaitForSoloist(FollowerState& f, std::span<const int32_t> positions) {
  return SetMarkers(f, f.waitForSoloist, positions);
}

bool FollowerSetWaitForSignal(FollowerState& f, std::span<const int32_t> positions) {
  return SetMarkers(f, f.waitForSignal, positions);
}

bool FollowerSetRestoreTempo(FollowerState& f, std::span<const int32_t> positions) {
  return SetMarkers(f, f.restoreTempo, positions);
}

bool FollowerSetIgnoreRanges(FollowerState& f, std::span<const IgnoreRange> ranges) {
  return SetUp(f, [&] {
    try {
      f.ignoreRanges.assign(ranges.begin(), ranges.end());
    } catch (const std::bad_alloc&) {
      f.ignoreRanges = {};
      return false;
    }
    std::sort(f.ignoreRanges.begin(), f.ignoreRanges.end(),
              [](const IgnoreRange& a, const IgnoreRange& b) { return a.start < b.start; });
    f.ignoreCursor = 0;
    return true;
  });
}

bool FollowerStart(FollowerState& f, int32_t position, int32_t rate) {
  if (!AcquireBusy(f)) return false;
  const bool ok = StartRunning(f, position, rate);
  DrainQueue(f);
  return ok;
}

bool FollowerResumeAfterJump(FollowerState& f, int32_t rate) {
  if (!AcquireBusy(f)) return false;
  bool ok = false;
  if (f.jumpPending && rate > 0) {
    f.startingRate = std::min(rate, kMaxRate);
    const int32_t elapsed = ElapsedForFix(FollowerNow(f) - f.jumpTime);
    const int32_t position = f.jumpPosition + FixMul(elapsed, f.jumpRate);
    ok = StartRunning(f, position, f.options.level > 2 ? f.jumpRate : rate);
  }
  DrainQueue(f);
  return ok;
}

bool FollowerStop(FollowerState& f) {
  if (!AcquireBusy(f)) return false;
  const SystemTime now = FollowerNow(f);
  {
    std::lock_guard lock(f.clock.writeMutex);
    FollowerClock clock = FollowerClockRead(f.clock);
    if (clock.running) {
      // A clock still holding for the soloist stopped moving when it reached the
      // hold: the wait is no part of the performance's tempo.
      const SystemTime reached = FollowerHoldReached(clock);
      const bool holding =
          reached != kUnsetTime && now >= reached && now < reached + clock.holdSpan;
      clock.anchorPosition = FollowerPositionAt(clock, now);
      clock.anchorTime = now;
      clock.running = false;
      clock.startPending = false;
      AnchorPush(f.clock.tempoMap, holding ? reached : now, clock.anchorPosition);
      TempoMapFinish(f.clock.tempoMap, clock.rate);
    }
    clock.waitLimit = kNoLimit;
    clock.holdPosition = kNoLimit;
    clock.holdSpan = 0;
    FollowerClockWrite(f.clock, clock);
  }
  for (ScoreChord& chord : f.chords) UnmarkChord(f, chord);
  if (!f.jumpPending) {
    f.performedChordCount = 0;
    f.performedNoteCount = 0;
    ClearHypotheses(f);
  }
  DrainQueue(f);
  return true;
}

bool FollowerNoteInput(FollowerState& f, uint32_t message, SystemTime time) {
  return Enqueue(f, FollowerQueueEntry{message, time, false});
}

bool FollowerTapInput(FollowerState& f, int32_t strength, SystemTime time) {
  if (!FollowerClockNow(f).running) return true;
  return Enqueue(f, FollowerQueueEntry{static_cast<uint32_t>(strength), time, true});
}

int32_t FollowerPosition(const FollowerState& f) {
  return FollowerPosition(f.clock);
}

int64_t FollowerTimeUntil(FollowerState& f, int32_t p) {
  return FollowerTimeUntil(f.clock, p);
}

int32_t FollowerLastEventAtOrBefore(const FollowerState& f, int32_t p) {
  if (TapMode(f)) {
    const auto it = std::upper_bound(f.tapBeats.begin(), f.tapBeats.end(), p);
    return it == f.tapBeats.begin() ? -1 : *(it - 1);
  }
  const int32_t next = static_cast<int32_t>(
      std::upper_bound(f.chords.begin(), f.chords.end(), p,
                       [](int32_t v, const ScoreChord& c) { return v < c.position; }) -
      f.chords.begin());
  return next == 0 ? -1 : ChordPosition(f, next - 1);
}

void FollowerFreeAll(FollowerState& f) {
  if (!AcquireBusy(f)) return;
  ReleaseScore(f);
  f.tapBeats = {};
  for (MarkerList* list : {&f.waitForSoloist, &f.waitForSignal, &f.restoreTempo}) *list = {};
  f.ignoreRanges = {};
  {
    std::lock_guard lock(f.clock.writeMutex);
    f.clock.tempoMap = {};
  }
  std::lock_guard lock(f.queueMutex);
  f.queueCount = 0;
  f.busy = false;
  f.busyThread = std::thread::id();
  f.queueIdle.notify_all();
}

std::vector<uint32_t> FollowerBeatList(const std::vector<BeatMapEntry>& beatMap) {
  std::vector<uint32_t> beats;
  beats.reserve(beatMap.size());
  for (size_t i = 0; i < beatMap.size(); ++i) {
    const bool barStart = i == 0 || beatMap[i].measure != beatMap[i - 1].measure;
    beats.push_back((beatMap[i].time & ~kBarStart) | (barStart ? kBarStart : 0));
  }
  return beats;
}

}  // namespace tuttiro
