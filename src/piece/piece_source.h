// Piece sources: named byte images with file semantics (open, read, seek,
// close). The reader above uses only these four operations, so the built-in
// pieces, files on disk and in-memory images all load the same way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tuttiro {

inline constexpr uint32_t kInvalidPieceSource = 0xFFFFFFFF;
inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr int kBuiltinPieceCount = 5;
inline constexpr int kFirstOpenMenuItem = 15;  // File > Open items 15-19

// One source is open at a time.
struct PieceSourceState {
  uint32_t handle = kInvalidPieceSource;
  uint32_t readPosition = 0;
  std::vector<uint8_t> builtinImage;            // the open built-in piece, plain bytes
  const std::vector<uint8_t>* image = nullptr;  // the open in-memory or built-in image
  std::FILE* file = nullptr;                    // a file on disk
  uint32_t nextHandle = 1;
  int checkedOpenItem = -1;  // the File > Open item shown checked, or -1
  // Named in-memory images (tests, the fuzzer, pieces built in memory); a name
  // found here is opened from memory before the built-ins and the disk.
  std::map<std::string, std::vector<uint8_t>> memoryImages;
  // The open piece's file as it was read when the piece was loaded. Every later
  // read of that path (its settings, a save) is served from these bytes, never
  // from the file, which may have been changed, replaced or removed since.
  std::string loadedPath;
  std::vector<uint8_t> loadedImage;

  PieceSourceState() = default;
  PieceSourceState(const PieceSourceState&) = delete;
  PieceSourceState& operator=(const PieceSourceState&) = delete;
  ~PieceSourceState();
};

// The largest piece file read into memory (512 MiB).
inline constexpr uint64_t kMaxPieceFileBytes = uint64_t{512} << 20;

// Reads the file at `path` whole; false when it cannot be read or is larger than
// `limit` bytes (tooLarge then says which).
bool ReadWholeFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes,
                   bool& tooLarge);

// The name of built-in piece `index` (0-4), as the File > Open submenu shows it.
const char* BuiltinPieceName(int index);
// Index of the built-in piece called `name` (case-sensitive), or -1.
int FindBuiltinPiece(const std::string& name);
// The plain bytes of a built-in piece; empty if its checksum test fails.
std::vector<uint8_t> BuiltinPieceImage(int index);

uint32_t OpenPieceSource(PieceSourceState& state, const std::string& name, uint32_t access,
                         uint32_t disposition);
bool ReadPieceSource(PieceSourceState& state, uint32_t handle, uint8_t* destination, uint32_t count,
                     uint32_t& countRead);
uint32_t SeekPieceSource(PieceSourceState& state, uint32_t handle, int32_t distance,
                         uint32_t origin);
bool ClosePieceSource(PieceSourceState& state, uint32_t handle);

}  // namespace tuttiro
