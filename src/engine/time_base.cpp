// The time base: 16.16 arithmetic in 32-bit words, the clocks read by every thread
// (published under a sequence counter so a reader sees one consistent anchor), and
// the tempo map that records how the soloist moved through the piece.
#include "engine/time_base.h"

#include <algorithm>
#include <limits>

namespace tuttiro {

int32_t FixMul(int32_t a, int32_t b) {
  // The halves are combined in wrapping 32-bit arithmetic, as the 16-bit products
  // would be in a 32-bit register.
  const uint32_t aHigh = static_cast<uint32_t>(a >> 16);
  const uint32_t bHigh = static_cast<uint32_t>(b >> 16);
  const uint32_t aLow = static_cast<uint32_t>(a) & 0xFFFF;
  const uint32_t bLow = static_cast<uint32_t>(b) & 0xFFFF;
  const uint32_t result =
      ((aHigh * bHigh) << 16) + aLow * bHigh + aHigh * bLow + ((aLow * bLow + 0x8000) >> 16);
  return static_cast<int32_t>(result);
}

int32_t FixDiv(int32_t a, int32_t b) {
  if (b <= 0 || a < 0) return kNoLimit;  // never reached: every caller checks
  const uint32_t ua = static_cast<uint32_t>(a);
  const uint32_t ub = static_cast<uint32_t>(b);
  if (ua < 0x10000) return static_cast<int32_t>(((ua << 16) + ub / 2) / ub);
  const uint32_t quotient = ua / ub;
  const uint32_t remainder = ua % ub;
  if (remainder < 0x10000) {
    return static_cast<int32_t>((quotient << 16) + ((remainder << 16) + ub / 2) / ub);
  }
  // The remainder no longer fits beside 16 fraction bits: shift it up until its top
  // bit is set and shrink the divisor by the bits still missing.
  int shift = 0;
  uint32_t shifted = remainder;
  while (!(shifted & 0x80000000u)) {
    shifted <<= 1;
    ++shift;
  }
  const uint32_t divisor = ((ub >> (15 - shift)) + 1) >> 1;
  // The rounding half is added in 64 bits: a remainder just below the divisor
  // would otherwise wrap past 2^32.
  const uint64_t fraction = (uint64_t{shifted} + divisor / 2) / divisor;
  return static_cast<int32_t>((quotient << 16) + static_cast<uint32_t>(fraction));
}

int32_t ElapsedForFix(SystemTime difference) {
  constexpr SystemTime kLimit = SystemTime{1} << 28;
  return static_cast<int32_t>(std::clamp(difference, -kLimit, kLimit));
}

// The fields are read with acquire and written with release, so no field read can
// move past the closing check of the counter and no field write ahead of the odd
// count that marks a write in progress.
FollowerClock FollowerClockRead(const FollowerClockRec& clock) {
  FollowerClock value;
  for (;;) {
    const uint32_t before = clock.sequence.load(std::memory_order_acquire);
    if (before & 1) continue;
    value.anchorPosition = clock.anchorPosition.load(std::memory_order_acquire);
    value.anchorTime = clock.anchorTime.load(std::memory_order_acquire);
    value.rate = clock.rate.load(std::memory_order_acquire);
    value.waitLimit = clock.waitLimit.load(std::memory_order_acquire);
    value.holdPosition = clock.holdPosition.load(std::memory_order_acquire);
    value.holdSpan = clock.holdSpan.load(std::memory_order_acquire);
    value.running = clock.running.load(std::memory_order_acquire);
    value.startPending = clock.startPending.load(std::memory_order_acquire);
    if (clock.sequence.load(std::memory_order_relaxed) == before) return value;
  }
}

void FollowerClockWrite(FollowerClockRec& clock, const FollowerClock& value) {
  const uint32_t sequence = clock.sequence.load(std::memory_order_relaxed);
  clock.sequence.store(sequence + 1, std::memory_order_relaxed);
  clock.anchorPosition.store(value.anchorPosition, std::memory_order_release);
  clock.anchorTime.store(value.anchorTime, std::memory_order_release);
  clock.rate.store(value.rate, std::memory_order_release);
  clock.waitLimit.store(value.waitLimit, std::memory_order_release);
  clock.holdPosition.store(value.holdPosition, std::memory_order_release);
  clock.holdSpan.store(value.holdSpan, std::memory_order_release);
  clock.running.store(value.running, std::memory_order_release);
  clock.startPending.store(value.startPending, std::memory_order_release);
  clock.sequence.store(sequence + 2, std::memory_order_release);
}

SystemTime FollowerHoldReached(const FollowerClock& value) {
  if (!value.running || value.holdPosition == kNoLimit || value.rate <= 0 ||
      value.holdPosition <= value.anchorPosition) {
    return kUnsetTime;
  }
  return value.anchorTime + FixDiv(value.holdPosition - value.anchorPosition, value.rate);
}

int32_t FollowerPositionAt(const FollowerClock& value, SystemTime now) {
  if (!value.running) return value.anchorPosition;
  int64_t position =
      int64_t{value.anchorPosition} + FixMul(ElapsedForFix(now - value.anchorTime), value.rate);
  const SystemTime reached = FollowerHoldReached(value);
  if (reached != kUnsetTime) {
    const SystemTime resume = reached + value.holdSpan;
    if (now >= resume) {
      position = int64_t{value.holdPosition} + FixMul(ElapsedForFix(now - resume), value.rate);
    } else {
      // Rounding may bring the clock to the hold a millisecond early: it never
      // stands on it before the hold ends.
      position = std::min<int64_t>(position, int64_t{value.holdPosition} - 1);
    }
  }
  return static_cast<int32_t>(
      std::clamp<int64_t>(position, std::numeric_limits<int32_t>::min(), value.waitLimit - 1));
}

int32_t FollowerPosition(const FollowerClockRec& clock) {
  return FollowerPositionAt(FollowerClockRead(clock), clock.platform->ClockNow());
}

int64_t FollowerTimeUntil(FollowerClockRec& clock, int32_t p) {
  const FollowerClock value = FollowerClockRead(clock);
  if (!value.running || p >= value.waitLimit) return -1;
  const SystemTime now = clock.platform->ClockNow();
  if (value.startPending) {
    // Following was started ahead of the first event: the clock starts now.
    std::lock_guard lock(clock.writeMutex);
    FollowerClock current = FollowerClockRead(clock);
    if (current.startPending) {
      current.startPending = false;
      current.anchorTime = now;
      FollowerClockWrite(clock, current);
      if (clock.tempoMap.count == 1) {
        TempoMapClear(clock.tempoMap);
        AnchorPush(clock.tempoMap, current.anchorTime, current.anchorPosition);
      }
    }
  }
  if (p <= value.anchorPosition || value.rate <= 0) return value.rate <= 0 ? -1 : 0;
  const SystemTime reached = FollowerHoldReached(value);
  const int64_t until =
      reached != kUnsetTime && p >= value.holdPosition
          ? reached + value.holdSpan + FixDiv(p - value.holdPosition, value.rate) - now
          : FixDiv(p - value.anchorPosition, value.rate) + value.anchorTime - now;
  return std::max<int64_t>(until, 0);
}

void TempoMapReserve(TempoMapRec& map, int32_t capacity) {
  map.entries.assign(static_cast<size_t>(std::max(capacity, 1)), TempoMapEntry{0, 0, 0});
  map.capacity = std::max(capacity, 1);
  TempoMapClear(map);
}

void TempoMapClear(TempoMapRec& map) {
  map.count = 0;
  map.cursor = 0;
  map.previousTime = kUnsetTime;
}

void AnchorPush(TempoMapRec& map, SystemTime anchorTime, int32_t anchorPosition) {
  while (map.count > 0 &&
         map.entries[static_cast<size_t>(map.count - 1)].position >= anchorPosition)
    --map.count;
  if (map.count >= map.capacity) return;
  map.entries[static_cast<size_t>(map.count)] = TempoMapEntry{anchorTime, anchorPosition, 0};
  ++map.count;
}

void TempoMapFinish(TempoMapRec& map, int32_t currentRate) {
  // The storage stays at its capacity so that the next run pushes without
  // allocating; only the count marks the recorded part.
  for (int32_t i = 0; i + 1 < map.count; ++i) {
    TempoMapEntry& entry = map.entries[static_cast<size_t>(i)];
    const TempoMapEntry& next = map.entries[static_cast<size_t>(i + 1)];
    const SystemTime duration = next.time - entry.time;
    const int32_t distance = next.position - entry.position;
    // Two anchors in the same millisecond carry no tempo: the previous rate holds.
    const int32_t previous = i > 0 ? map.entries[static_cast<size_t>(i - 1)].rate : currentRate;
    entry.rate = duration > 0 && duration <= kNoLimit && distance >= 0
                     ? FixDiv(distance, static_cast<int32_t>(duration))
                     : previous;
  }
  if (map.count > 0) map.entries[static_cast<size_t>(map.count - 1)].rate = currentRate;
  map.cursor = 0;
  map.previousTime = kUnsetTime;
}

int32_t PerformancePosition(FollowerClockRec& clock, SystemTime t) {
  std::lock_guard lock(clock.writeMutex);
  TempoMapRec& map = clock.tempoMap;
  if (clock.running.load(std::memory_order_acquire) || map.count == 0) return -1;
  const auto entry = [&map](int32_t i) -> const TempoMapEntry& {
    return map.entries[static_cast<size_t>(i)];
  };
  t = std::max(t, entry(0).time);
  if (map.previousTime == kUnsetTime || t < map.previousTime) map.cursor = 0;
  map.previousTime = t;
  while (map.cursor < map.count && entry(map.cursor).time < t) ++map.cursor;
  if (map.cursor < map.count && entry(map.cursor).time == t + 1) ++t;
  if (map.cursor == 0) return entry(0).position;
  if (map.cursor < map.count) {
    const TempoMapEntry& at = entry(map.cursor);
    return at.position - FixMul(ElapsedForFix(at.time - t), entry(map.cursor - 1).rate);
  }
  const TempoMapEntry& last = entry(map.count - 1);
  return last.position + FixMul(ElapsedForFix(t - last.time), last.rate);
}

std::vector<TempoPair> TempoMapExport(const FollowerClockRec& clock, int32_t startingRate) {
  std::lock_guard lock(clock.writeMutex);
  const TempoMapRec& map = clock.tempoMap;
  std::vector<TempoPair> pairs;
  if (clock.running.load(std::memory_order_acquire) || map.count == 0) return pairs;
  pairs.reserve(static_cast<size_t>(map.count) + 1);
  if (map.entries[0].position > 0) pairs.push_back(TempoPair{0, startingRate});
  for (int32_t i = 0; i + 1 < map.count; ++i) {
    const TempoMapEntry& entry = map.entries[static_cast<size_t>(i)];
    pairs.push_back(TempoPair{entry.position, entry.rate});
  }
  pairs.push_back(
      TempoPair{map.entries[static_cast<size_t>(map.count - 1)].position, startingRate});
  return pairs;
}

TransportClock TransportClockRead(const TransportClockRec& clock) {
  TransportClock value;
  for (;;) {
    const uint32_t before = clock.sequence.load(std::memory_order_acquire);
    if (before & 1) continue;
    value.basePosition = clock.basePosition.load(std::memory_order_acquire);
    value.baseTime = clock.baseTime.load(std::memory_order_acquire);
    value.tempoFactor = clock.tempoFactor.load(std::memory_order_acquire);
    value.running = clock.running.load(std::memory_order_acquire);
    value.rewinding = clock.rewinding.load(std::memory_order_acquire);
    value.following = clock.following.load(std::memory_order_acquire);
    value.fastForward = clock.fastForward.load(std::memory_order_acquire);
    value.endPosition = clock.endPosition.load(std::memory_order_acquire);
    if (clock.sequence.load(std::memory_order_relaxed) == before) return value;
  }
}

void TransportClockWrite(TransportClockRec& clock, const TransportClock& value) {
  std::lock_guard lock(clock.writeMutex);
  const uint32_t sequence = clock.sequence.load(std::memory_order_relaxed);
  clock.sequence.store(sequence + 1, std::memory_order_relaxed);
  clock.basePosition.store(value.basePosition, std::memory_order_release);
  clock.baseTime.store(value.baseTime, std::memory_order_release);
  clock.tempoFactor.store(value.tempoFactor, std::memory_order_release);
  clock.running.store(value.running, std::memory_order_release);
  clock.rewinding.store(value.rewinding, std::memory_order_release);
  clock.following.store(value.following, std::memory_order_release);
  clock.fastForward.store(value.fastForward, std::memory_order_release);
  clock.endPosition.store(value.endPosition, std::memory_order_release);
  clock.sequence.store(sequence + 2, std::memory_order_release);
}

int32_t TransportPosition(const TransportClockRec& transport, const FollowerClockRec& follower,
                          const Platform& platform) {
  const TransportClock clock = TransportClockRead(transport);
  if (!clock.running || clock.rewinding) return clock.basePosition;
  int64_t position;
  if (clock.following) {
    position = FollowerPositionAt(FollowerClockRead(follower), platform.ClockNow());
  } else {
    int64_t advance =
        FixMul(ElapsedForFix(platform.ClockNow() - clock.baseTime), clock.tempoFactor * 16);
    advance = std::max<int64_t>(advance, 0);
    if (clock.fastForward) advance *= 4;
    position = clock.basePosition + advance;
  }
  return static_cast<int32_t>(std::min<int64_t>(position, clock.endPosition));
}

}  // namespace tuttiro
