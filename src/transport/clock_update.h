// Read-modify-write of the transport clock. The window thread, the follower's
// reports on the input thread and Play Performance's tempo changes on the timer
// thread all change it; the lock keeps one change from undoing another.
#pragma once

#include <mutex>

#include "app/app.h"

namespace tuttiro {

template <typename Change>
void UpdateClock(AppRec& app, Change change) {
  std::lock_guard guard(app.transport.clockUpdate);
  TransportClock clock = TransportClockRead(app.clock);
  change(clock);
  TransportClockWrite(app.clock, clock);
}

}  // namespace tuttiro
