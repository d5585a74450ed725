// The buffered Standard MIDI File reader: reads a piece source through one
// 16384-byte block, with the format's big-endian and variable-length integers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "piece/piece_source.h"

namespace tuttiro {

// Results of the reader's operations (the matching load results).
enum SmfResult : int {
  kSmfDone = 0,
  kSmfDataEnded = 2,
  kSmfSourceFailed = 4,
};

inline constexpr uint32_t kSmfBlockSize = 16384;

struct SmfReader {
  PieceSourceState* source = nullptr;
  uint32_t blockSize = kSmfBlockSize;
  uint32_t position = kSmfBlockSize;
  uint32_t handle = kInvalidPieceSource;
  uint32_t count = kSmfBlockSize;
  std::array<uint8_t, kSmfBlockSize> buffer{};
};

// Empties the buffer so that the next read refills it (a fresh reader, or after a seek).
void SmfReaderReset(SmfReader& reader);

// Reads n bytes (n <= 0 reads nothing). Unless raw, a 2- or 4-byte read is
// converted in place from big-endian to a host uint16_t / uint32_t.
int SmfRead(SmfReader& reader, void* destination, int16_t n, bool raw);

// Typed forms of SmfRead. Reading one byte from the buffer is the loader's
// inner loop, so its common case is inline.
int SmfReadByteSlow(SmfReader& reader, uint8_t& value);
inline int SmfReadByte(SmfReader& reader, uint8_t& value) {
  if (reader.position < reader.count && reader.position < kSmfBlockSize) {
    value = reader.buffer[reader.position++];
    return kSmfDone;
  }
  return SmfReadByteSlow(reader, value);
}
int SmfReadU16(SmfReader& reader, uint16_t& value);
int SmfReadU32(SmfReader& reader, uint32_t& value);
// Big-endian integer of `n` (0-4) bytes.
int SmfReadBigEndian(SmfReader& reader, int n, uint32_t& value);

// A variable-length quantity: 7 bits a byte, high bit set on all but the last.
// No byte limit; the arithmetic is 32-bit and wraps.
int SmfReadVarLen(SmfReader& reader, uint32_t& value);

// Reads `length` bytes of any size, in blocks, appending them to `out`. Memory
// grows only as the data actually arrives, so a false length cannot make a
// huge allocation: it ends in kSmfDataEnded.
int SmfReadBlock(SmfReader& reader, uint32_t length, std::vector<uint8_t>& out);
// Passes over `length` bytes.
int SmfSkip(SmfReader& reader, uint32_t length);

}  // namespace tuttiro
