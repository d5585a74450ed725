// Fuzz target: any bytes, opened as a piece from memory, must load or fail with
// a load result; never crash, overread, hang or allocate without bound.
#include <cstddef>
#include <cstdint>

#include "piece/piece_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tuttiro::PieceSourceState sources;
  sources.memoryImages["fuzz"] = std::vector<uint8_t>(data, data + size);
  tuttiro::PieceModel piece;
  int result = tuttiro::OpenPiece(piece, sources, "fuzz");
  if (result < 0 || result > 6) __builtin_trap();
  if (result == tuttiro::kLoadOk &&
      piece.tracks.size() != static_cast<size_t>(piece.trackCount) + 1) {
    __builtin_trap();
  }
  return 0;
}
