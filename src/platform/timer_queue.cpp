// A small sorted vector: the handful of pending timers makes a linear insert
// cheaper than a heap with cancellation, and it allocates only while it grows.
#include "platform/timer_queue.h"

#include <algorithm>

namespace tuttiro {

namespace {

// Latest first; among equal due times the later-set timer comes first, so the
// back of the vector is always the one to fire next.
bool FiresLater(const TimerEntry& a, const TimerEntry& b) {
  return a.due != b.due ? a.due > b.due : a.id > b.id;
}

}  // namespace

TimerId TimerQueue::Add(SystemTime due, TimerCallback callback, void* context, uint32_t user) {
  const TimerEntry entry{due, nextId_++, callback, context, user};
  entries_.insert(std::upper_bound(entries_.begin(), entries_.end(), entry, FiresLater), entry);
  return entry.id;
}

bool TimerQueue::Remove(TimerId id) {
  const auto it = std::find_if(entries_.begin(), entries_.end(),
                               [id](const TimerEntry& e) { return e.id == id; });
  if (it == entries_.end()) return false;
  entries_.erase(it);
  return true;
}

TimerEntry TimerQueue::PopNext() {
  const TimerEntry next = entries_.back();
  entries_.pop_back();
  return next;
}

}  // namespace tuttiro
