// Tapped-beat following: each tap is placed on the nearest beat of the piece, the
// clock moves onto it, and at the higher levels the tempo is measured tap to tap.
#include <algorithm>

#include "engine/follower_internal.h"

namespace tuttiro {
namespace {

int32_t Beat(const FollowerState& f, int32_t i) {
  return f.tapBeats[static_cast<size_t>(i)];
}

// The beat a tap at clock position p stands for: the nearer of the beats around it.
int32_t TargetBeat(const FollowerState& f, int32_t p) {
  const int32_t count = static_cast<int32_t>(f.tapBeats.size());
  if (f.beatCursor == 0) return 0;
  if (f.beatCursor >= count) return count - 1;
  const int32_t previous = Beat(f, f.beatCursor - 1);
  return 2 * int64_t{p} <= int64_t{previous} + Beat(f, f.beatCursor) ? f.beatCursor - 1
                                                                     : f.beatCursor;
}

// The length of beat i (the last beat is as long as the one before it).
int32_t BeatLength(const FollowerState& f, int32_t i) {
  const int32_t count = static_cast<int32_t>(f.tapBeats.size());
  if (i + 1 < count) return Beat(f, i + 1) - Beat(f, i);
  return i > 0 ? Beat(f, i) - Beat(f, i - 1) : 0;
}

void TakeLoudness(FollowerState& f, int32_t strength) {
  if (strength == 0) return;
  f.velocityRatio = static_cast<int32_t>((int64_t{f.velocityRatio} + strength) >> 1);
  FollowerReportLoudness(f);
}

// True when the next Restore Tempo point lies exactly at `position` (and passes it).
bool RestoreTempoAt(FollowerState& f, int32_t position) {
  MarkerList& list = f.restoreTempo;
  const int32_t count = static_cast<int32_t>(list.positions.size());
  while (list.cursor < count && list.positions[static_cast<size_t>(list.cursor)] < position)
    ++list.cursor;
  if (list.cursor < count && list.positions[static_cast<size_t>(list.cursor)] == position) {
    ++list.cursor;
    return true;
  }
  return false;
}

// The rate measured from the clock's anchor to beat k, or the current rate.
int32_t TapRate(FollowerState& f, const FollowerClock& clock, int32_t k, SystemTime t) {
  if (RestoreTempoAt(f, Beat(f, k))) return f.startingRate;
  const SystemTime duration = t - clock.anchorTime;
  if (duration <= 0) return clock.rate;  // two taps in one millisecond carry no tempo
  int64_t measured =
      ((int64_t{Beat(f, k)} - clock.anchorPosition) * kFixOne + duration / 2) / duration;
  if (measured <= 0) return clock.rate;
  if (f.options.level == 3) measured = (clock.rate + measured) >> 1;
  return static_cast<int32_t>(std::min<int64_t>(measured, kMaxRate));
}

// A tap on a beat at or past the wait limit releases the wait; returns the anchor.
int32_t ReleaseWait(FollowerState& f, const FollowerClock& clock, int32_t k, int32_t& rate) {
  const int32_t limit = clock.waitLimit;
  for (MarkerList* list : {&f.waitForSoloist, &f.waitForSignal}) {
    if (list->pending >= 0 && list->positions[static_cast<size_t>(list->pending)] == limit)
      list->cursor = list->pending + 1;
  }
  if (f.startWaitPoint == limit) {
    f.startWaitPoint = kNoLimit;
    FollowerDropStartAnchor(f);
  }
  if (RestoreTempoAt(f, limit)) rate = f.startingRate;
  ComputeWaitLimit(f);
  const int32_t newLimit = FollowerClockNow(f).waitLimit;
  if (Beat(f, k) == limit || Beat(f, k) == newLimit) {
    f.lastTappedBeat = k;
    return Beat(f, k);
  }
  return limit;
}

}  // namespace

void ProcessTap(FollowerState& f, int32_t strength, SystemTime t) {
  const FollowerClock clock = FollowerClockNow(f);
  if (f.tapBeats.empty() || !clock.running || f.options.level == 0) return;
  const int32_t p = FollowerPositionAt(clock, t);
  const int32_t count = static_cast<int32_t>(f.tapBeats.size());
  while (f.beatCursor < count && Beat(f, f.beatCursor) < p) ++f.beatCursor;
  // Taps before the first beat do nothing unless following waits for the first tap.
  if (f.beatCursor == 0 && f.startWaitPoint != Beat(f, 0)) return;
  const int32_t k = TargetBeat(f, p);
  const int32_t last = f.lastTappedBeat;
  int32_t rate = clock.rate;
  int32_t anchor;
  if (last >= 0 &&
      (k == last || (k == last + 1 && 3 * int64_t{p} < 2 * int64_t{Beat(f, k)} + Beat(f, last)))) {
    // A second tap on the beat just tapped: a bounce early in the beat, otherwise
    // the middle of that beat.
    const int32_t length = BeatLength(f, last);
    if (length <= 0 || 3 * (int64_t{p} - Beat(f, last)) < length) return;
    anchor = Beat(f, last) + length / 2;
    if (anchor >= clock.waitLimit) return;  // the clock already waits before it
  } else if (Beat(f, k) < clock.waitLimit) {
    if (f.options.level == 1) {
      TakeLoudness(f, strength);
      return;
    }
    if (f.options.level >= 3 && k > 0) rate = TapRate(f, clock, k, t);
    f.lastTappedBeat = k;
    anchor = Beat(f, k);
  } else {
    anchor = ReleaseWait(f, clock, k, rate);
  }
  FollowerSetAnchor(f, anchor, t, rate, true);
  FollowerReportClock(f);
  TakeLoudness(f, strength);
  f.report(kReportNote, t, anchor, 0);
}

}  // namespace tuttiro
