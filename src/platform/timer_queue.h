// The pending one-shot timers, earliest first. Both the real timer thread and
// the simulated platform keep their timers here; the owner guards it.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace tuttiro {

struct TimerEntry {
  SystemTime due = 0;
  TimerId id = kNoTimer;
  TimerCallback callback = nullptr;
  void* context = nullptr;
  uint32_t user = 0;
};

class TimerQueue {
 public:
  // Ids grow with every timer, so equal due times keep the order they were set in.
  TimerId Add(SystemTime due, TimerCallback callback, void* context, uint32_t user);
  // False when the timer has already fired or was never set.
  bool Remove(TimerId id);
  bool Empty() const { return entries_.empty(); }
  size_t Size() const { return entries_.size(); }
  // Only when not empty.
  SystemTime NextDue() const { return entries_.back().due; }
  TimerEntry PopNext();

 private:
  // Sorted latest first, so the next timer is taken from the back.
  std::vector<TimerEntry> entries_;
  TimerId nextId_ = 1;
};

}  // namespace tuttiro
