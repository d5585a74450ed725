// Cost of playback on the scheduler alone, in simulated time: a whole piece
// played through the transport (every track, the measure stream, the start and
// stop state) with the wall-clock time per piece and per sent message. Covers the
// built-in pieces and a generated dense piece (16 tracks of 64th notes with a
// controller sweep). `playback_bench --write-dense PATH` writes that dense piece
// as a Standard MIDI File, for real-time runs of `tuttiro-cli play --lateness`.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t buffer[5];
  int n = 0;
  buffer[n++] = value & 0x7F;
  while (value >>= 7) buffer[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.push_back(buffer[--n]);
}

void PutChunk(std::vector<uint8_t>& file, const char* id, const std::vector<uint8_t>& body) {
  file.insert(file.end(), id, id + 4);
  const uint32_t length = static_cast<uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    file.push_back(static_cast<uint8_t>(length >> shift));
  file.insert(file.end(), body.begin(), body.end());
}

// 60 seconds at 120 beats per minute: 16 tracks on their own channels, each
// with a 64th note every 30 ticks (lasting 25) and a volume change every beat.
std::vector<uint8_t> DensePiece() {
  constexpr int kTracks = 16;
  constexpr int kBeats = 120;
  std::vector<uint8_t> file;
  PutChunk(file, "MThd", {0, 1, 0, kTracks + 1, 0x01, 0xE0});
  PutChunk(file, "MTrk",
           {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00,
            0xFF, 0x2F, 0x00});
  for (int t = 0; t < kTracks; ++t) {
    std::vector<uint8_t> track;
    const uint8_t channel = static_cast<uint8_t>(t);
    for (int step = 0; step < kBeats * 16; ++step) {
      const uint8_t note = static_cast<uint8_t>(36 + (step * 5 + t * 3) % 60);
      if (step % 16 == 0) {
        PutVarLen(track, step == 0 ? 0 : 5);
        track.insert(track.end(), {static_cast<uint8_t>(0xB0 | channel), 7,
                                   static_cast<uint8_t>(64 + step / 16 % 64)});
        PutVarLen(track, 0);
      } else {
        PutVarLen(track, 5);
      }
      track.insert(track.end(), {static_cast<uint8_t>(0x90 | channel), note, 90});
      PutVarLen(track, 25);
      track.insert(track.end(), {static_cast<uint8_t>(0x80 | channel), note, 0});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    PutChunk(file, "MTrk", track);
  }
  return file;
}

void PlayWhole(benchmark::State& state, const std::string& name,
               const std::vector<uint8_t>* image) {
  size_t messages = 0;
  for (auto _ : state) {
    SimulatedPlatform platform;
    platform.AddOutputDevice("Out");
    QuietHost host;
    AppRec app(platform, host);
    MidiOpenOutputs(app.engine.ports, nullptr);
    if (image) app.sources.memoryImages[name] = *image;
    if (AppOpenPiece(app, name) != kLoadOk) {
      state.SkipWithError("the piece did not load");
      return;
    }
    PlayFile(app);
    while (TransportRunning(app)) {
      platform.RunFor(5);
      IdlePass(app);
    }
    messages = platform.Sent(0).size();
  }
  state.counters["messages"] = static_cast<double>(messages);
  state.counters["time_per_message"] =
      benchmark::Counter(static_cast<double>(messages) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_PlayBuiltin(benchmark::State& state) {
  PlayWhole(state, BuiltinPieceName(static_cast<int>(state.range(0))), nullptr);
  state.SetLabel(BuiltinPieceName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_PlayBuiltin)->DenseRange(0, kBuiltinPieceCount - 1)->Unit(benchmark::kMillisecond);

void BM_PlayDense(benchmark::State& state) {
  const std::vector<uint8_t> image = DensePiece();
  PlayWhole(state, "dense.mid", &image);
}
BENCHMARK(BM_PlayDense)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tuttiro

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "--write-dense")) {
    const std::vector<uint8_t> image = tuttiro::DensePiece();
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    return out ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
