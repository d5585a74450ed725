// Piece sources: the built-in pieces (unscrambled and checksum-tested at each
// open), named in-memory images and files on disk, behind one set of
// file-like operations with a single read position.
#include "piece/piece_source.h"

#include <cstring>

#include "builtin_images.h"

namespace tuttiro {
namespace {

constexpr const char* kBuiltinNames[kBuiltinPieceCount] = {"Ecossaise", "Eine Kleine Nachtmusik",
                                                           "Folk Dance", "Longing", "Raggedy Rag"};

void CloseCurrent(PieceSourceState& state) {
  if (state.file) std::fclose(state.file);
  state.file = nullptr;
  state.image = nullptr;
  state.builtinImage.clear();
  state.handle = kInvalidPieceSource;
}

uint32_t NewHandle(PieceSourceState& state) {
  state.handle = state.nextHandle++;
  if (state.nextHandle == kInvalidPieceSource) state.nextHandle = 1;
  return state.handle;
}

}  // namespace

PieceSourceState::~PieceSourceState() {
  if (file) std::fclose(file);
}

const char* BuiltinPieceName(int index) {
  return index >= 0 && index < kBuiltinPieceCount ? kBuiltinNames[index] : "";
}

int FindBuiltinPiece(const std::string& name) {
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    if (name == kBuiltinNames[i]) return i;
  }
  return -1;
}

std::vector<uint8_t> BuiltinPieceImage(int index) {
  if (index < 0 || index >= kBuiltinPieceCount) return {};
  const BuiltinImage& stored = kBuiltinImages[index];
  std::vector<uint8_t> plain(stored.scrambled, stored.scrambled + stored.length);
  // A first-time image is scrambled; one that already reads "MThd" is plain.
  if (plain.size() < 4 || std::memcmp(plain.data(), "MThd", 4) != 0) {
    for (uint32_t i = 0; i < stored.length; ++i) plain[i] ^= BuiltinScrambleKey(i);
  }
  uint32_t sum = 0;
  for (uint8_t b : plain) sum += b;
  if (sum != stored.checksum) return {};
  return plain;
}

// A name equal to a built-in piece's opens that piece (and checks its item in
// File > Open); a registered in-memory name opens that image; anything else
// is a path on disk, and a file that cannot be opened is the invalid handle.
bool ReadWholeFile(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes,
                   bool& tooLarge) {
  bytes.clear();
  tooLarge = false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bool ok = true;
  for (;;) {
    constexpr size_t kStep = 65536;
    if (bytes.size() >= limit) {
      tooLarge = std::fgetc(file) != EOF;
      ok = !tooLarge;
      break;
    }
    const size_t at = bytes.size();
    bytes.resize(at + kStep);
    const size_t got = std::fread(bytes.data() + at, 1, kStep, file);
    bytes.resize(at + got);
    if (got < kStep) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  if (!ok) bytes.clear();
  return ok;
}

uint32_t OpenPieceSource(PieceSourceState& state, const std::string& name, uint32_t /*access*/,
                         uint32_t /*disposition*/) {
  CloseCurrent(state);
  state.readPosition = 0;
  if (auto it = state.memoryImages.find(name); it != state.memoryImages.end()) {
    state.image = &it->second;
    return NewHandle(state);
  }
  if (!state.loadedPath.empty() && name == state.loadedPath) {
    state.checkedOpenItem = -1;
    state.image = &state.loadedImage;
    return NewHandle(state);
  }
  if (int index = FindBuiltinPiece(name); index >= 0) {
    state.checkedOpenItem = kFirstOpenMenuItem + index;
    state.builtinImage = BuiltinPieceImage(index);
    if (state.builtinImage.empty()) return kInvalidPieceSource;
    state.image = &state.builtinImage;
    return NewHandle(state);
  }
  state.checkedOpenItem = -1;
  state.file = std::fopen(name.c_str(), "rb");
  return state.file ? NewHandle(state) : kInvalidPieceSource;
}

bool ReadPieceSource(PieceSourceState& state, uint32_t handle, uint8_t* destination, uint32_t count,
                     uint32_t& countRead) {
  countRead = 0;
  if (handle == kInvalidPieceSource || handle != state.handle) return false;
  if (state.file) {
    size_t got = std::fread(destination, 1, count, state.file);
    if (got < count && std::ferror(state.file)) return false;
    countRead = static_cast<uint32_t>(got);
  } else {
    const std::vector<uint8_t>& image = *state.image;
    uint64_t available = state.readPosition < image.size() ? image.size() - state.readPosition : 0;
    countRead = static_cast<uint32_t>(available < count ? available : count);
    if (countRead > 0) std::memcpy(destination, image.data() + state.readPosition, countRead);
  }
  state.readPosition += countRead;
  return true;
}

uint32_t SeekPieceSource(PieceSourceState& state, uint32_t handle, int32_t distance,
                         uint32_t origin) {
  if (handle == kInvalidPieceSource || handle != state.handle) return kInvalidPieceSource;
  int64_t target = origin == 0   ? distance
                   : origin == 1 ? static_cast<int64_t>(state.readPosition) + distance
                                 : -1;
  if (target < 0 || target >= kInvalidPieceSource) return kInvalidPieceSource;
  if (state.file && std::fseek(state.file, static_cast<long>(target), SEEK_SET) != 0) {
    return kInvalidPieceSource;
  }
  state.readPosition = static_cast<uint32_t>(target);
  return state.readPosition;
}

bool ClosePieceSource(PieceSourceState& state, uint32_t handle) {
  if (handle == kInvalidPieceSource || handle != state.handle) return false;
  bool ok = !state.file || std::fclose(state.file) == 0;
  state.file = nullptr;
  CloseCurrent(state);
  return ok;
}

}  // namespace tuttiro
