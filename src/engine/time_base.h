// The time base: fixed-point arithmetic, the transport and follower clocks that turn
// the system time into a score position, and the follower's tempo map of anchors.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace tuttiro {

inline constexpr int32_t kFixOne = 0x10000;   // 1.0 in 16.16: the piece's own tempo
inline constexpr int32_t kMaxRate = 0x40000;  // 4.0: no rate is ever faster
inline constexpr int32_t kNoLimit = 0x7FFFFFFF;
inline constexpr SystemTime kUnsetTime = -1;

// Product of two 16.16 numbers, rounded to nearest, built from 16-bit halves.
int32_t FixMul(int32_t a, int32_t b);
// a / b as 16.16, rounded to nearest, for a >= 0 and b > 0 (callers check b).
int32_t FixDiv(int32_t a, int32_t b);

// A time difference cut to what a 16.16 product at up to 4.0 can carry (about three
// days), so that a stale anchor never overflows a position.
int32_t ElapsedForFix(SystemTime difference);

// One consistent view of the follower clock: the anchor, the rate, the wait limit,
// the hold and the flags are always read and written together.
//
// The hold is the soloist's next written onset not yet heard: the clock runs up to
// it and stands just before it for holdSpan milliseconds, then goes on at its rate.
// Accompaniment written before the onset plays on time; what is written at or after
// it waits for the soloist's note (or for the hold to end, when the note never
// comes). A hold at or before the anchor does nothing.
struct FollowerClock {
  int32_t anchorPosition = 0;
  SystemTime anchorTime = 0;
  int32_t rate = kFixOne;
  int32_t waitLimit = kNoLimit;
  bool running = false;
  bool startPending = false;
  int32_t holdPosition = kNoLimit;
  int32_t holdSpan = 0;
};

struct TempoMapEntry {
  SystemTime time;
  int32_t position;
  int32_t rate;  // to the next entry; filled in when following stops
};

// The anchors the follower fixed during one run. Storage is reserved at set-up so
// that pushing while following never allocates.
struct TempoMapRec {
  std::vector<TempoMapEntry> entries;
  int32_t count = 0;
  int32_t capacity = 0;
  int32_t cursor = 0;                    // PerformancePosition's walk
  SystemTime previousTime = kUnsetTime;  // the time of PerformancePosition's previous call
};

struct TempoPair {
  int32_t position;
  int32_t rate;
};

// The follower clock as the other threads see it. Readers never lock: the fields
// are published under a sequence counter (odd while a write is in progress). Writers
// take writeMutex, which is never held while anything outside is called.
struct FollowerClockRec {
  const Platform* platform = nullptr;
  mutable std::mutex writeMutex;
  std::atomic<uint32_t> sequence{0};
  std::atomic<int32_t> anchorPosition{0};
  std::atomic<SystemTime> anchorTime{0};
  std::atomic<int32_t> rate{kFixOne};
  std::atomic<int32_t> waitLimit{kNoLimit};
  std::atomic<int32_t> holdPosition{kNoLimit};
  std::atomic<int32_t> holdSpan{0};
  std::atomic<bool> running{false};
  std::atomic<bool> startPending{false};
  TempoMapRec tempoMap;  // guarded by writeMutex
};

FollowerClock FollowerClockRead(const FollowerClockRec& clock);
// The caller holds clock.writeMutex.
void FollowerClockWrite(FollowerClockRec& clock, const FollowerClock& value);

// Where the follower clock is now: extrapolated from the anchor while running,
// standing before the hold while it lasts, never at or past the wait limit.
int32_t FollowerPosition(const FollowerClockRec& clock);
int32_t FollowerPositionAt(const FollowerClock& value, SystemTime now);
// When the running clock reaches its hold; kUnsetTime when it has none that applies.
SystemTime FollowerHoldReached(const FollowerClock& value);
// Milliseconds from now until the follower clock reaches p; -1 when it never will.
// The first call after a start re-anchors the clock at the current time.
int64_t FollowerTimeUntil(FollowerClockRec& clock, int32_t p);

// Tempo map operations; the caller holds clock.writeMutex while following.
void TempoMapReserve(TempoMapRec& map, int32_t capacity);
void TempoMapClear(TempoMapRec& map);
void AnchorPush(TempoMapRec& map, SystemTime anchorTime, int32_t anchorPosition);
void TempoMapFinish(TempoMapRec& map, int32_t currentRate);
// Score position the recorded performance had reached at time t; -1 while the
// follower runs or nothing was recorded.
int32_t PerformancePosition(FollowerClockRec& clock, SystemTime t);
// (position, rate) pairs of the last run, empty while following or when nothing was
// recorded.
std::vector<TempoPair> TempoMapExport(const FollowerClockRec& clock, int32_t startingRate);

// The transport clock: where playback is, written by the transport, read anywhere.
struct TransportClock {
  int32_t basePosition = 0;
  SystemTime baseTime = 0;
  int32_t tempoFactor = 4096;  // 4.12
  bool running = false;
  bool rewinding = false;
  bool following = false;
  bool fastForward = false;
  int32_t endPosition = kNoLimit;
};

struct TransportClockRec {
  std::mutex writeMutex;
  std::atomic<uint32_t> sequence{0};
  std::atomic<int32_t> basePosition{0};
  std::atomic<SystemTime> baseTime{0};
  std::atomic<int32_t> tempoFactor{4096};
  std::atomic<bool> running{false};
  std::atomic<bool> rewinding{false};
  std::atomic<bool> following{false};
  std::atomic<bool> fastForward{false};
  std::atomic<int32_t> endPosition{kNoLimit};
};

TransportClock TransportClockRead(const TransportClockRec& clock);
void TransportClockWrite(TransportClockRec& clock, const TransportClock& value);
int32_t TransportPosition(const TransportClockRec& transport, const FollowerClockRec& follower,
                          const Platform& platform);

}  // namespace tuttiro
