// How fast a soloist's note moves the accompaniment on the real platform:
// during Play and Follow of "Folk Dance" (its solo and guitar parts followed,
// played at three times the written tempo: a pass of 12 s gives some 700
// note-ons, of which about 150 move the follower's clock), the time from a
// note-on entering the input callback to the scheduler's timer being armed
// for the re-based clock. A platform that forwards to the
// real one (steady clock, timer thread, JACK) stamps both moments on the
// input thread. The argument is the number of passes through the piece.
//   BM_NoteToRearmDirect: a thread of its own calls the input callback, as a
//     back end's input thread does; the accompaniment goes to a device that
//     takes everything.
//   BM_NoteToRearmJack: a second JACK client plays into Tuttiro's own JACK
//     input port; the accompaniment goes to its own JACK output port. Needs a
//     server: scripts/jack_server.sh start bench && JACK_DEFAULT_SERVER=bench
//     build/bench/follow_latency_bench (stop it with scripts/jack_server.sh
//     stop bench).
// Counters: notes (note-ons taken), rearmed (those whose callback armed the
// timer; the others moved no clock, or left the re-arm to a scheduler pass
// that was running), median_us, p99_us and max_us of the re-armed ones, and
// callback_p99_us, the whole callback of every note-on.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/app.h"
#include "platform/forwarding_platform.h"
#include "platform/real/real_platform.h"

namespace tuttiro {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kStretch = 1.0 / 3;  // the soloist plays at three times the written tempo
constexpr auto kLead = std::chrono::milliseconds(100);
constexpr int kIdlePassMs = 5;
constexpr MidiHandle kVirtualHandle = 1 << 20;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

bool IsNoteOn(uint32_t m) {
  return (m & 0xF0) == 0x90 && ((m >> 16) & 0x7F) != 0;
}

// What the input thread's current callback has seen.
struct InputStamp {
  bool noteOn = false;
  int64_t armed = 0;  // when the first timer was armed, 0 before
};
thread_local InputStamp inputStamp;

// One note-on: from callback entry to the timer armed (-1: none), and to the
// callback's return, in nanoseconds.
struct NoteTiming {
  int64_t rearm;
  int64_t callback;
};

// Forwards to the real platform, wraps the input callback to stamp each
// note-on, and stamps the first timer armed while one is being taken. Adds a
// virtual input device, fed by Inject, and a virtual output device that
// takes every message.
class LatencyProbe : public ForwardingPlatform {
 public:
  explicit LatencyProbe(Platform& inner) : ForwardingPlatform(inner) { timings_.reserve(1 << 16); }

  TimerId TimerSet(SystemTime due, TimerCallback callback, void* context, uint32_t user) override {
    const TimerId id = inner_.TimerSet(due, callback, context, user);
    if (inputStamp.noteOn && inputStamp.armed == 0) inputStamp.armed = NowNs();
    return id;
  }
  int MidiInDeviceCount() const override { return inner_.MidiInDeviceCount() + 1; }
  int MidiOutDeviceCount() const override { return inner_.MidiOutDeviceCount() + 1; }
  std::optional<MidiDeviceInfo> MidiInDevice(int d) const override {
    if (d == inner_.MidiInDeviceCount()) return MidiDeviceInfo{"Injected soloist"};
    return inner_.MidiInDevice(d);
  }
  std::optional<MidiDeviceInfo> MidiOutDevice(int d) const override {
    if (d == inner_.MidiOutDeviceCount()) return MidiDeviceInfo{"Nowhere"};
    return inner_.MidiOutDevice(d);
  }
  // One input device is opened, so one forwarding target is enough.
  MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context, uint32_t instance,
                        MidiHandle* handle) override {
    callback_ = callback;
    context_ = context;
    instance_ = instance;
    if (device == inner_.MidiInDeviceCount()) {
      *handle = kVirtualHandle;
      return kMidiOk;
    }
    return inner_.MidiInOpen(device, Stamp, this, instance, handle);
  }
  MidiResult MidiInStart(MidiHandle h) override {
    if (h != kVirtualHandle) return inner_.MidiInStart(h);
    injecting_.store(true);
    return kMidiOk;
  }
  MidiResult MidiInStop(MidiHandle h) override {
    if (h != kVirtualHandle) return inner_.MidiInStop(h);
    injecting_.store(false);
    return kMidiOk;
  }
  MidiResult MidiInClose(MidiHandle h) override {
    return h == kVirtualHandle ? MidiInStop(h) : inner_.MidiInClose(h);
  }
  MidiResult MidiOutOpen(int device, MidiHandle* handle) override {
    if (device != inner_.MidiOutDeviceCount()) return inner_.MidiOutOpen(device, handle);
    *handle = kVirtualHandle;
    return kMidiOk;
  }
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override {
    return handle == kVirtualHandle ? kMidiOk : inner_.MidiOutShortMsg(handle, message);
  }
  MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) override {
    return handle == kVirtualHandle ? kMidiOk : inner_.MidiOutLongMsg(handle, data, length);
  }
  MidiResult MidiOutClose(MidiHandle handle) override {
    return handle == kVirtualHandle ? kMidiOk : inner_.MidiOutClose(handle);
  }

  // A message from the virtual input device, on the calling thread.
  void Inject(uint32_t message) {
    if (!injecting_.load()) return;
    MidiInputMessage m;
    m.time = ClockNow();
    m.shortMessage = message;
    Stamp(this, instance_, m);
  }

  std::vector<NoteTiming> Timings() {
    std::lock_guard guard(lock_);
    return timings_;
  }

 private:
  static void Stamp(void* context, uint32_t instance, const MidiInputMessage& m) {
    auto* self = static_cast<LatencyProbe*>(context);
    const bool noteOn = m.sysex == nullptr && IsNoteOn(m.shortMessage);
    inputStamp = {noteOn, 0};
    const int64_t entry = NowNs();
    self->callback_(self->context_, instance, m);
    const int64_t done = NowNs();
    inputStamp.noteOn = false;
    if (!noteOn) return;
    std::lock_guard guard(self->lock_);
    self->timings_.push_back({inputStamp.armed != 0 ? inputStamp.armed - entry : -1, done - entry});
  }

  MidiInputCallback callback_ = nullptr;
  void* context_ = nullptr;
  uint32_t instance_ = 0;
  std::atomic<bool> injecting_{false};
  std::mutex lock_;
  std::vector<NoteTiming> timings_;
};

struct SoloMessage {
  Clock::duration at;  // from the start of the pass
  uint32_t message;
};

// The note messages of the followed tracks, at the soloist's tempo.
std::vector<SoloMessage> SoloPart(const PieceModel& piece, std::initializer_list<int> tracks) {
  std::vector<SoloMessage> out;
  for (int t : tracks) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    for (const PieceEvent& e : track.events) {
      if (e.status != 0x90 && e.status != 0x80) continue;
      const auto ms = std::chrono::duration<double, std::milli>(e.time * kStretch);
      out.push_back({kLead + std::chrono::duration_cast<Clock::duration>(ms),
                     static_cast<uint32_t>(e.status | track.fileChannel) |
                         static_cast<uint32_t>(e.data1) << 8 |
                         static_cast<uint32_t>(e.data2) << 16});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const SoloMessage& a, const SoloMessage& b) { return a.at < b.at; });
  return out;
}

// The application on the probe, following tracks 0 and 1 of Folk Dance with
// the soloist on device `in` and the accompaniment on device `out`.
bool Prepare(AppRec& app, int in, int out) {
  app.engine.ports.outputDevice.fill(static_cast<int16_t>(out));
  app.engine.ports.inputDevice.fill(static_cast<int16_t>(in));
  if (!MidiOpenOutputs(app.engine.ports, nullptr)) return false;
  if (AppOpenPiece(app, "Folk Dance") != kLoadOk) return false;
  app.live.followTrack1 = 0;
  app.live.followTrack2 = 1;
  app.live.followTwoTracks = 1;
  app.system.timingSensitivity = 4;
  GiveFollowerOptions(app.settings);
  GiveFollowerScore(app.settings);
  return MidiOpenInputs(app.engine.ports, nullptr);
}

// Play and Follow from the start, `passes` times, while `send` plays the
// soloist on a thread of its own; the idle pass runs here every 5 ms.
void RunPasses(AppRec& app, int passes, const std::function<void(uint32_t)>& send) {
  const std::vector<SoloMessage> solo = SoloPart(app.piece, {0, 1});
  for (int pass = 0; pass < passes; ++pass) {
    SetPosition(app, 0);
    Locate(app);
    QueueCommand(app.engine.commands, kCmdPlayAndFollow);
    IdlePass(app);
    std::atomic<bool> done{false};
    const Clock::time_point start = Clock::now();
    std::thread soloist([&] {
      for (const SoloMessage& m : solo) {
        std::this_thread::sleep_until(start + m.at);
        send(m.message);
      }
      done.store(true);
    });
    while (!done.load()) {
      app.platform.Sleep(kIdlePassMs);
      IdlePass(app);
    }
    soloist.join();
    if (TransportRunning(app)) StopTransport(app);
  }
}

double Micros(int64_t ns) {
  return static_cast<double>(ns) / 1000.0;
}

int64_t At(const std::vector<int64_t>& sorted, double q) {
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
}

void Report(benchmark::State& state, const std::vector<NoteTiming>& timings) {
  std::vector<int64_t> rearm;
  std::vector<int64_t> callback;
  for (const NoteTiming& t : timings) {
    if (t.rearm >= 0) rearm.push_back(t.rearm);
    callback.push_back(t.callback);
  }
  state.counters["notes"] = static_cast<double>(timings.size());
  state.counters["rearmed"] = static_cast<double>(rearm.size());
  if (rearm.empty()) {
    state.SkipWithError("no note-on re-armed the scheduler");
    return;
  }
  std::sort(rearm.begin(), rearm.end());
  std::sort(callback.begin(), callback.end());
  state.counters["median_us"] = Micros(At(rearm, 0.5));
  state.counters["p99_us"] = Micros(At(rearm, 0.99));
  state.counters["max_us"] = Micros(rearm.back());
  state.counters["callback_p99_us"] = Micros(At(callback, 0.99));
}

void BM_NoteToRearmDirect(benchmark::State& state) {
  RealPlatformOptions options;
  options.synth = false;
  options.alsa = false;
  options.jack = false;
  RealPlatform real(options);
  LatencyProbe probe(real);
  QuietHost host;
  AppRec app(probe, host);
  if (!Prepare(app, real.MidiInDeviceCount(), real.MidiOutDeviceCount())) {
    state.SkipWithError("the piece or the virtual devices did not open");
    return;
  }
  for (auto _ : state) {
    RunPasses(app, static_cast<int>(state.range(0)), [&](uint32_t m) { probe.Inject(m); });
  }
  MidiCloseAll(app.engine.ports);
  Report(state, probe.Timings());
}
BENCHMARK(BM_NoteToRearmDirect)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_NoteToRearmJack(benchmark::State& state) {
  RealPlatformOptions options;
  options.synth = false;
  options.alsa = false;
  options.clientName = "tuttiro-latency";
  RealPlatform real(options);
  LatencyProbe probe(real);
  QuietHost host;
  AppRec app(probe, host);
  const int in = MidiDeviceNamed(probe, "Own JACK port tuttiro-latency-in:in", true);
  const int out = MidiDeviceNamed(probe, "Own JACK port tuttiro-latency-out:out", false);
  if (in < 0 || out < 0) {
    state.SkipWithError("no JACK server: see the comment at the top of follow_latency_bench.cpp");
    return;
  }
  if (!Prepare(app, in, out)) {
    state.SkipWithError("the piece or the JACK ports did not open");
    return;
  }
  // The soloist's own client, which lists our input port now that it is open.
  RealPlatformOptions soloOptions = options;
  soloOptions.clientName = "tuttiro-latency-soloist";
  RealPlatform soloist(soloOptions);
  MidiHandle handle = kNoMidiHandle;
  const int target = MidiDeviceNamed(soloist, "tuttiro-latency-in:in", false);
  if (target < 0 || soloist.MidiOutOpen(target, &handle) != kMidiOk) {
    state.SkipWithError("the soloist could not connect to our input port");
    return;
  }
  for (auto _ : state) {
    RunPasses(app, static_cast<int>(state.range(0)),
              [&](uint32_t m) { soloist.MidiOutShortMsg(handle, m); });
  }
  MidiCloseAll(app.engine.ports);
  Report(state, probe.Timings());
}
BENCHMARK(BM_NoteToRearmJack)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace tuttiro

BENCHMARK_MAIN();
