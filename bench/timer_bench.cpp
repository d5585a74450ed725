// How late the real timer thread fires: 1000 one-shot timers, one after the
// other as the scheduler arms them, due 1 to 20 ms ahead. Lateness is the
// steady clock at the callback minus the due time; reported as median, p99
// and maximum in microseconds. Run on an idle machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/real/timer_thread.h"

namespace tuttiro {
namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
  std::mutex lock;
  std::condition_variable fired;
  bool done = false;
  Clock::time_point at;
};

void Record(void* context, uint32_t) {
  const auto now = Clock::now();
  auto* probe = static_cast<Probe*>(context);
  std::lock_guard guard(probe->lock);
  probe->at = now;
  probe->done = true;
  probe->fired.notify_all();
}

void BM_TimerLateness(benchmark::State& state) {
  constexpr int kTimers = 1000;
  const auto epoch = Clock::now();
  TimerThread timers(epoch);
  std::vector<double> lateness;
  for (auto _ : state) {
    lateness.clear();
    for (int i = 0; i < kTimers; ++i) {
      Probe probe;
      const SystemTime now =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch).count();
      const SystemTime due = now + 1 + i % 20;
      timers.Set(due, Record, &probe, 0);
      std::unique_lock guard(probe.lock);
      probe.fired.wait(guard, [&] { return probe.done; });
      const auto late = probe.at - (epoch + std::chrono::milliseconds(due));
      lateness.push_back(std::chrono::duration<double, std::micro>(late).count());
    }
  }
  std::sort(lateness.begin(), lateness.end());
  state.counters["median_us"] = lateness[lateness.size() / 2];
  state.counters["p99_us"] = lateness[lateness.size() * 99 / 100];
  state.counters["max_us"] = lateness.back();
  state.counters["timers"] = static_cast<double>(lateness.size());
}
BENCHMARK(BM_TimerLateness)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tuttiro

BENCHMARK_MAIN();
