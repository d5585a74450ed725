// The real timer service: one thread that sleeps until the absolute deadline
// of the earliest pending timer and runs its callback. Absolute deadlines keep
// timing from drifting however long the callbacks take.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/timer_queue.h"

namespace tuttiro {

class TimerThread {
 public:
  // Due times are milliseconds after epoch.
  explicit TimerThread(std::chrono::steady_clock::time_point epoch);
  // Stops the thread; timers still pending never fire.
  ~TimerThread();
  TimerThread(const TimerThread&) = delete;
  TimerThread& operator=(const TimerThread&) = delete;

  TimerId Set(SystemTime due, TimerCallback callback, void* context, uint32_t user);
  void Kill(TimerId id);

 private:
  void Run();

  const std::chrono::steady_clock::time_point epoch_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable callbackDone_;
  TimerQueue queue_;
  TimerId running_ = kNoTimer;
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace tuttiro
