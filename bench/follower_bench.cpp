// Speed of the score follower: microseconds per soloist note through the queue and
// matching on a long score (median and 99th percentile of single notes), and the
// worst jump search: the whole piece with the hypothesis list full.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "engine/follower.h"
#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

constexpr int kChords = 2400;
constexpr uint32_t kSpacing = 250;

uint8_t Pitch(int i) {
  return static_cast<uint8_t>(48 + (i * 7) % 36);
}

struct BenchFollower {
  SimulatedPlatform platform;
  FollowerState f;
  std::vector<uint32_t> beats;

  // A score of kChords two-note chords, a beat every two chords. With the same
  // pitch everywhere the opening still differs, so that a soloist playing it is
  // not simply starting at the top.
  explicit BenchFollower(bool samePitchEverywhere) {
    FollowerInit(f, platform, [](int, int64_t, int64_t, int64_t) -> int64_t { return 0; });
    std::vector<PieceEvent> score;
    for (int i = 0; i < kChords; ++i) {
      const uint32_t time = static_cast<uint32_t>(i) * kSpacing;
      const uint8_t pitch = samePitchEverywhere ? (i < 4 ? 50 : 60) : Pitch(i);
      score.push_back(PieceEvent{time, 0x90, pitch, 64, 0});
      score.push_back(PieceEvent{time, 0x90, static_cast<uint8_t>(pitch + 12), 64, 0});
    }
    for (int i = 0; i < kChords / 2 + 2; ++i) {
      beats.push_back(static_cast<uint32_t>(i) * 2 * kSpacing | (i % 4 == 0 ? 0x80000000u : 0));
    }
    FollowerSetScore(f, score, {}, beats);
  }
  ~BenchFollower() { FollowerFreeAll(f); }
};

double Percentile(std::vector<double>& v, double share) {
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(share * static_cast<double>(v.size() - 1))];
}

// Each iteration follows the whole score, one timed note at a time (chord notes 10
// ms apart, a little off the written tempo, every 20th note wrong).
void BM_NoteThroughQueueAndMatching(benchmark::State& state) {
  BenchFollower b(false);
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(kChords) * 2 * 8);
  for (auto _ : state) {
    b.platform.SetNow(1000);
    FollowerStart(b.f, 0, kFixOne);
    for (int i = 0; i < kChords; ++i) {
      const SystemTime t = 1000 + i * 260;
      for (int n = 0; n < 2; ++n) {
        b.platform.SetNow(t + n * 10);
        const uint8_t pitch = (i % 20 == 7) ? 30 : static_cast<uint8_t>(Pitch(i) + 12 * n);
        const uint32_t message = 0x90u | uint32_t{pitch} << 8 | 64u << 16;
        const auto start = std::chrono::steady_clock::now();
        FollowerNoteInput(b.f, message, b.platform.ClockNow());
        const auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
      }
    }
    FollowerStop(b.f);
  }
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
  state.counters["notes"] = static_cast<double>(micros.size());
}
BENCHMARK(BM_NoteThroughQueueAndMatching)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every chord holds the played pitch, so a fresh search over the whole piece fills
// the hypothesis list (500) and extends each one at every new chord.
void BM_WorstCaseJumpSearch(benchmark::State& state) {
  BenchFollower b(true);
  FollowerSetOptions(b.f, 4, true, true, false, false);
  SystemTime t = 1000;
  for (auto _ : state) {
    state.PauseTiming();
    FollowerStop(b.f);  // empties the performed chords and the hypotheses
    for (int i = 0; i < 6; ++i) {
      b.platform.SetNow(t);
      t += 250;
      FollowerNoteInput(b.f, 0x90u | 60u << 8 | 64u << 16, t - 250);
    }
    b.platform.SetNow(t);
    t += 250;
    state.ResumeTiming();
    FollowerNoteInput(b.f, 0x90u | 60u << 8 | 64u << 16, t - 250);
  }
  state.counters["hypotheses"] = b.f.hypothesisCount;
}
BENCHMARK(BM_WorstCaseJumpSearch)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tuttiro

BENCHMARK_MAIN();
