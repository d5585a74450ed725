// The simulated platform: a virtual clock that a test or a headless run
// advances by hand, so that timing is exact and independent of machine speed.
#pragma once

#include <atomic>

#include "platform/platform.h"

namespace tuttiro {

class SimulatedPlatform : public Platform {
 public:
  SystemTime ClockNow() const override { return now_.load(std::memory_order_acquire); }
  void SetNow(SystemTime t) { now_.store(t, std::memory_order_release); }
  void Advance(SystemTime ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }

 private:
  std::atomic<SystemTime> now_{0};
};

}  // namespace tuttiro
