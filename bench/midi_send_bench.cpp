// MidiSend to a JACK port: messages per second through the ports, the
// platform's device lock and RtMidi's buffer to the JACK server. Needs a
// server: scripts/jack_server.sh start bench && JACK_DEFAULT_SERVER=bench
// build/bench/midi_send_bench (stop it with scripts/jack_server.sh stop bench).
// "refused" counts sends turned away even after the retry; "delivered" counts
// the messages that came back through our own input port.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "midi/midi_ports.h"
#include "platform/real/real_platform.h"

namespace tuttiro {
namespace {

struct Delivered {
  std::atomic<int64_t> count{0};
  static void Count(void* context, uint32_t, const MidiInputMessage&) {
    static_cast<Delivered*>(context)->count.fetch_add(1, std::memory_order_relaxed);
  }
};

// The JACK setup both benchmarks share: our own output port connected to
// our own input port, which counts what arrives.
struct JackLoop {
  RealPlatform platform{[] {
    RealPlatformOptions options;
    options.synth = false;
    options.alsa = false;
    options.clientName = "tuttiro-bench";
    return options;
  }()};
  Delivered delivered;
  MidiPortsRec ports{platform};

  bool Open() {
    const int out = MidiDeviceNamed(platform, "Own JACK port tuttiro-bench-out:out", false);
    const int in = MidiDeviceNamed(platform, "Own JACK port tuttiro-bench-in:in", true);
    if (out < 0 || in < 0) return false;
    ports.inputCallback = Delivered::Count;
    ports.inputContext = &delivered;
    ports.outputDevice.fill(static_cast<int16_t>(out));
    ports.inputDevice.fill(static_cast<int16_t>(in));
    return MidiOpenOutputs(ports, nullptr) && MidiOpenInputs(ports, nullptr) &&
           std::system("jack_connect tuttiro-bench-out:out tuttiro-bench-in:in") == 0;
  }
};

// Flat out: what one thread can push through MidiSend.
void BM_MidiSendToJack(benchmark::State& state) {
  JackLoop loop;
  if (!loop.Open()) {
    state.SkipWithError("no JACK server: see the comment at the top of midi_send_bench.cpp");
    return;
  }
  int64_t refused = 0;
  uint32_t note = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const uint32_t message = (note & 1) ? 0x003C80u : 0x643C90u;
    ++note;
    if (MidiSend(loop.ports, message, 0, 0) != kMidiOk) ++refused;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetItemsProcessed(state.iterations());
  state.counters["refused"] = static_cast<double>(refused);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last JACK cycles
  state.counters["delivered_per_s"] = static_cast<double>(loop.delivered.count.load()) / seconds;
}
BENCHMARK(BM_MidiSendToJack)->MinTime(3.0);

// Paced: bursts of range(0) messages every millisecond, as a dense piece
// sends them; "lost" is what was sent but never arrived.
void BM_MidiSendToJackPaced(benchmark::State& state) {
  JackLoop loop;
  if (!loop.Open()) {
    state.SkipWithError("no JACK server: see the comment at the top of midi_send_bench.cpp");
    return;
  }
  int64_t sent = 0;
  for (auto _ : state) {
    for (int64_t i = 0; i < state.range(0); ++i, ++sent) {
      MidiSend(loop.ports, (sent & 1) ? 0x003C80u : 0x643C90u, 0, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  state.SetItemsProcessed(sent);
  state.counters["lost"] = static_cast<double>(sent - loop.delivered.count.load());
}
BENCHMARK(BM_MidiSendToJackPaced)->Arg(16)->Arg(64)->Arg(256)->Iterations(2000)->UseRealTime();

}  // namespace
}  // namespace tuttiro

BENCHMARK_MAIN();
