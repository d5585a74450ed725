// Stamping incoming messages with the time they were played (see input_stamp.h).
#include "platform/input_stamp.h"

#include <algorithm>
#include <cmath>

namespace tuttiro {

SystemTime InputStamp(InputStampRec& chain, SystemTime now, double sinceLastSeconds) {
  const double nowMs = static_cast<double>(now);
  double stamp = nowMs;
  if (chain.started && std::isfinite(sinceLastSeconds) && sinceLastSeconds >= 0) {
    stamp = std::clamp(chain.lastMs + sinceLastSeconds * 1000.0, nowMs - kMaxInputLagMs, nowMs);
    stamp = std::max(stamp, std::min(chain.lastMs, nowMs));
  }
  chain.started = true;
  chain.lastMs = stamp;
  return static_cast<SystemTime>(std::floor(stamp));
}

}  // namespace tuttiro
