// A follower on a simulated clock with a host that records every report, and small
// builders for hand-made scores, so each test states only what it plays.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/follower.h"
#include "platform/simulated_platform.h"

namespace tuttiro::test {

struct ReportRec {
  int code;
  int64_t a;
  int64_t b;
  int64_t c;
  bool operator==(const ReportRec&) const = default;
};

inline uint32_t NoteOn(uint8_t pitch, uint8_t velocity = 64) {
  return 0x90u | uint32_t{pitch} << 8 | uint32_t{velocity} << 16;
}

// Note-ons (with their note-offs) of a one-track score: (time, pitch) pairs.
inline std::vector<PieceEvent> Notes(std::initializer_list<std::pair<uint32_t, uint8_t>> notes,
                                     uint8_t velocity = 64) {
  std::vector<PieceEvent> events;
  for (const auto& [time, pitch] : notes) {
    events.push_back(PieceEvent{time, 0x90, pitch, velocity, 0});
    events.push_back(PieceEvent{time + 10, 0x80, pitch, 0, 0});
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const PieceEvent& a, const PieceEvent& b) { return a.time < b.time; });
  return events;
}

// `count` beats `length` apart, the first of every `perBar` marked as a bar start.
inline std::vector<uint32_t> Beats(int count, uint32_t length, int perBar) {
  std::vector<uint32_t> beats;
  for (int i = 0; i < count; ++i) {
    beats.push_back(static_cast<uint32_t>(i) * length | (i % perBar == 0 ? 0x80000000u : 0));
  }
  return beats;
}

struct FollowerHarness {
  SimulatedPlatform platform;
  FollowerState f;
  std::vector<ReportRec> reports;

  FollowerHarness() {
    reports.reserve(1 << 16);
    FollowerInit(f, platform, [this](int code, int64_t a, int64_t b, int64_t c) -> int64_t {
      if (reports.size() < reports.capacity()) reports.push_back(ReportRec{code, a, b, c});
      return 0;
    });
  }
  ~FollowerHarness() { FollowerFreeAll(f); }

  bool SetScore(const std::vector<PieceEvent>& events, const std::vector<uint32_t>& beats) {
    return FollowerSetScore(f, events, {}, beats);
  }
  // Starts following at `position` at time `t`, as the scheduler would, with its
  // first query fixing the start.
  bool Start(SystemTime t, int32_t position = 0, int32_t rate = kFixOne) {
    platform.SetNow(t);
    const bool ok = FollowerStart(f, position, rate);
    FollowerTimeUntil(f, position + 1);
    return ok;
  }
  // A note played at t and handed to the follower `lateMs` later.
  bool Play(SystemTime t, uint8_t pitch, uint8_t velocity = 64, SystemTime lateMs = 0) {
    platform.SetNow(t + lateMs);
    return FollowerNoteInput(f, NoteOn(pitch, velocity), t);
  }
  void Tap(SystemTime t, int32_t strength = 0) {
    platform.SetNow(t);
    FollowerTapInput(f, strength, t);
  }
  int32_t Position() const { return FollowerPosition(f); }
  int32_t Rate() const { return FollowerClockRead(f.clock).rate; }
  int32_t WaitLimit() const { return FollowerClockRead(f.clock).waitLimit; }
  int Count(int code) const {
    int n = 0;
    for (const ReportRec& r : reports) n += r.code == code;
    return n;
  }
  const ReportRec* Last(int code) const {
    for (auto it = reports.rbegin(); it != reports.rend(); ++it) {
      if (it->code == code) return &*it;
    }
    return nullptr;
  }
  // The matched position reported for the latest note (-1 when it matched nothing).
  int64_t LastMatched() const {
    const ReportRec* r = Last(kReportNote);
    return r ? r->b : -2;
  }
};

}  // namespace tuttiro::test
