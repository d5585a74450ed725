// OpenPiece speed on a large generated file (over 1 MB and 100,000 events):
// reports bytes and events per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "piece/piece_model.h"

namespace {

void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[5];
  int n = 0;
  do {
    bytes[n++] = static_cast<uint8_t>(v & 0x7F);
    v >>= 7;
  } while (v);
  while (n-- > 0) out.push_back(static_cast<uint8_t>(bytes[n] | (n ? 0x80 : 0)));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// A format-1 file: a conductor with tempo changes and 16 dense note tracks.
std::vector<uint8_t> LargePiece(int tracks, int notesPerTrack, size_t& events) {
  std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
  file.push_back(static_cast<uint8_t>((tracks + 1) >> 8));
  file.push_back(static_cast<uint8_t>(tracks + 1));
  file.push_back(0x01);
  file.push_back(0xE0);
  std::vector<uint8_t> conductor;
  for (int i = 0; i < 200; ++i) {
    PutVarLen(conductor, i ? 1920 : 0);
    uint32_t tempo = 400000 + static_cast<uint32_t>(i % 7) * 20000;
    conductor.insert(conductor.end(),
                     {0xFF, 0x51, 0x03, static_cast<uint8_t>(tempo >> 16),
                      static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)});
  }
  conductor.insert(conductor.end(), {0x00, 0xFF, 0x2F, 0x00});
  auto putTrack = [&file](const std::vector<uint8_t>& body) {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutU32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
  };
  putTrack(conductor);
  events = 0;
  for (int t = 0; t < tracks; ++t) {
    std::vector<uint8_t> body{0x00, static_cast<uint8_t>(0xC0 | t), static_cast<uint8_t>(t)};
    for (int n = 0; n < notesPerTrack; ++n) {
      uint8_t pitch = static_cast<uint8_t>(36 + (n * 7 + t) % 60);
      body.insert(body.end(), {0x00, static_cast<uint8_t>(0x90 | t), pitch, 90});
      PutVarLen(body, 60 + static_cast<uint32_t>(n % 3) * 30);
      body.insert(body.end(), {pitch, 0});  // running status, velocity 0
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    putTrack(body);
    events += 1 + 2 * static_cast<size_t>(notesPerTrack);
  }
  return file;
}

void BM_OpenPiece(benchmark::State& state) {
  size_t events = 0;
  tuttiro::PieceSourceState sources;
  sources.memoryImages["large"] = LargePiece(16, 12000, events);
  size_t bytes = sources.memoryImages["large"].size();
  for (auto _ : state) {
    tuttiro::PieceModel piece;
    if (tuttiro::OpenPiece(piece, sources, "large") != tuttiro::kLoadOk) {
      state.SkipWithError("the generated piece did not load");
      break;
    }
    benchmark::DoNotOptimize(piece.tracks.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * events));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(BM_OpenPiece)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
