// The timer thread's loop. Callbacks run without the lock held, so they may
// set new timers (the scheduler re-arms itself from its own callback).
#include "platform/real/timer_thread.h"

#include <pthread.h>
#include <sched.h>

namespace tuttiro {

TimerThread::TimerThread(std::chrono::steady_clock::time_point epoch)
    : epoch_(epoch), thread_([this] { Run(); }) {}

TimerThread::~TimerThread() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

TimerId TimerThread::Set(SystemTime due, TimerCallback callback, void* context, uint32_t user) {
  TimerId id = kNoTimer;
  {
    std::lock_guard guard(lock_);
    id = queue_.Add(due, callback, context, user);
  }
  wake_.notify_all();
  return id;
}

void TimerThread::Kill(TimerId id) {
  std::unique_lock guard(lock_);
  if (queue_.Remove(id)) return;
  if (std::this_thread::get_id() == thread_.get_id()) return;
  callbackDone_.wait(guard, [&] { return running_ != id; });
}

void TimerThread::Run() {
  // Playback timing is only as good as this thread's wake-ups: ask for a
  // modest real-time priority (above normal threads, below audio servers).
  // Where the system does not allow it the thread keeps normal scheduling.
  const sched_param priority{10};
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);

  std::unique_lock guard(lock_);
  while (!stop_) {
    if (queue_.Empty()) {
      wake_.wait(guard);
      continue;
    }
    const auto deadline = epoch_ + std::chrono::milliseconds(queue_.NextDue());
    if (std::chrono::steady_clock::now() < deadline) {
      wake_.wait_until(guard, deadline);
      continue;
    }
    const TimerEntry next = queue_.PopNext();
    running_ = next.id;
    guard.unlock();
    next.callback(next.context, next.user);
    guard.lock();
    running_ = kNoTimer;
    callbackDone_.notify_all();
  }
}

}  // namespace tuttiro
