// The Platform interface: everything the core needs from the machine (clock,
// timers, MIDI devices, key state). The real implementation lives in
// tuttiro_platform; the simulated one drives tests and headless runs.
#pragma once

#include <cstdint>

namespace tuttiro {

// System time in milliseconds since the platform started. Kept 64-bit inside
// so that nothing wraps after weeks of uptime.
using SystemTime = int64_t;

class Platform {
 public:
  virtual ~Platform() = default;
  // The millisecond clock (steady, never goes back).
  virtual SystemTime ClockNow() const = 0;
};

}  // namespace tuttiro
