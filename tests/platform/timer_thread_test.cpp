// The real timer thread: timers fire in due order, never before their due
// time, a killed timer never fires, and a callback may re-arm itself (as the
// scheduler and the key poll do). Only the order is checked, never how late.
#include "platform/real/timer_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace tuttiro {
namespace {

using Clock = std::chrono::steady_clock;

struct Firings {
  Clock::time_point epoch;
  TimerThread* timers = nullptr;
  std::mutex lock;
  std::condition_variable changed;
  std::vector<uint32_t> order;
  bool early = false;
  std::vector<SystemTime> due;  // indexed by user value

  void Record(uint32_t user) {
    std::lock_guard guard(lock);
    if (Clock::now() < epoch + std::chrono::milliseconds(due[user])) early = true;
    order.push_back(user);
    changed.notify_all();
  }
  std::vector<uint32_t> WaitFor(size_t count) {
    std::unique_lock guard(lock);
    changed.wait_for(guard, std::chrono::seconds(10), [&] { return order.size() >= count; });
    return order;
  }
};

void Fire(void* context, uint32_t user) {
  static_cast<Firings*>(context)->Record(user);
}

SystemTime NowMs(Clock::time_point epoch) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch).count();
}

TEST(TimerThread, FiresInDueOrderNeverEarlyAndKilledTimersNever) {
  const auto epoch = Clock::now();
  TimerThread timers(epoch);
  Firings firings;
  firings.epoch = epoch;
  const SystemTime now = NowMs(epoch);
  firings.due = {now + 30, now + 10, now + 20, now + 20, now + 15, now + 40};
  timers.Set(firings.due[0], Fire, &firings, 0);
  timers.Set(firings.due[1], Fire, &firings, 1);
  timers.Set(firings.due[2], Fire, &firings, 2);
  timers.Set(firings.due[3], Fire, &firings, 3);
  const TimerId killed = timers.Set(firings.due[4], Fire, &firings, 4);
  timers.Set(firings.due[5], Fire, &firings, 5);
  timers.Kill(killed);

  EXPECT_EQ(firings.WaitFor(5), (std::vector<uint32_t>{1, 2, 3, 0, 5}));
  EXPECT_FALSE(firings.early);
}

struct Poll {
  TimerThread* timers;
  Clock::time_point epoch;
  std::mutex lock;
  std::condition_variable done;
  std::vector<SystemTime> dues;
  int left = 5;
};

// Re-arms itself 2 ms after its own due time, like the key poll.
void PollOnce(void* context, uint32_t) {
  auto* poll = static_cast<Poll*>(context);
  std::lock_guard guard(poll->lock);
  const SystemTime due = poll->dues.back();
  if (--poll->left > 0) {
    poll->dues.push_back(due + 2);
    poll->timers->Set(due + 2, PollOnce, poll, 0);
  } else {
    poll->done.notify_all();
  }
}

TEST(TimerThread, ACallbackCanSetTheNextTimer) {
  const auto epoch = Clock::now();
  TimerThread timers(epoch);
  Poll poll{&timers, epoch, {}, {}, {NowMs(epoch) + 2}};
  {
    std::lock_guard guard(poll.lock);
    timers.Set(poll.dues.back(), PollOnce, &poll, 0);
  }
  std::unique_lock guard(poll.lock);
  poll.done.wait_for(guard, std::chrono::seconds(10), [&] { return poll.left == 0; });
  EXPECT_EQ(poll.left, 0);
  EXPECT_EQ(poll.dues.size(), 5u);
}

}  // namespace
}  // namespace tuttiro
