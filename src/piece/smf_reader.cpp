// The buffered reader and the integer forms of the Standard MIDI File format.
#include "piece/smf_reader.h"

#include <algorithm>
#include <cstring>

namespace tuttiro {

void SmfReaderReset(SmfReader& reader) {
  reader.blockSize = kSmfBlockSize;
  reader.position = kSmfBlockSize;
  reader.count = kSmfBlockSize;
}

namespace {

// Makes at least one unread byte available, refilling the buffer when it is used up.
int SmfFill(SmfReader& reader) {
  if (reader.position >= kSmfBlockSize) {
    if (!ReadPieceSource(*reader.source, reader.handle, reader.buffer.data(), reader.blockSize,
                         reader.count)) {
      return kSmfSourceFailed;
    }
    reader.position = 0;
  }
  return reader.position >= reader.count ? kSmfDataEnded : kSmfDone;
}

// Copies n bytes (any count) from the buffer, refilling as needed.
int SmfCopy(SmfReader& reader, uint8_t* destination, uint32_t n) {
  while (n > 0) {
    if (int r = SmfFill(reader); r != kSmfDone) return r;
    uint32_t chunk = std::min(n, reader.count - reader.position);
    if (destination) {
      std::memcpy(destination, reader.buffer.data() + reader.position, chunk);
      destination += chunk;
    }
    reader.position += chunk;
    n -= chunk;
  }
  return kSmfDone;
}

}  // namespace

int SmfRead(SmfReader& reader, void* destination, int16_t n, bool raw) {
  if (n <= 0) return kSmfDone;
  auto* bytes = static_cast<uint8_t*>(destination);
  if (int r = SmfCopy(reader, bytes, static_cast<uint32_t>(n)); r != kSmfDone) return r;
  if (!raw && n == 2) {
    uint16_t v = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    std::memcpy(destination, &v, 2);
  } else if (!raw && n == 4) {
    uint32_t v = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                 static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    std::memcpy(destination, &v, 4);
  }
  return kSmfDone;
}

int SmfReadByteSlow(SmfReader& reader, uint8_t& value) {
  return SmfRead(reader, &value, 1, true);
}

int SmfReadU16(SmfReader& reader, uint16_t& value) {
  return SmfRead(reader, &value, 2, false);
}

int SmfReadU32(SmfReader& reader, uint32_t& value) {
  return SmfRead(reader, &value, 4, false);
}

int SmfReadBigEndian(SmfReader& reader, int n, uint32_t& value) {
  value = 0;
  for (int i = 0; i < n; ++i) {
    uint8_t b;
    if (int r = SmfReadByte(reader, b); r != kSmfDone) return r;
    value = value << 8 | b;
  }
  return kSmfDone;
}

int SmfReadVarLen(SmfReader& reader, uint32_t& value) {
  value = 0;
  uint8_t b;
  do {
    if (int r = SmfReadByte(reader, b); r != kSmfDone) return r;
    value = value * 128 + (b & 0x7F);
  } while (b >= 0x80);
  return kSmfDone;
}

int SmfReadBlock(SmfReader& reader, uint32_t length, std::vector<uint8_t>& out) {
  while (length > 0) {
    if (int r = SmfFill(reader); r != kSmfDone) return r;
    uint32_t chunk = std::min(length, reader.count - reader.position);
    out.insert(out.end(), reader.buffer.begin() + reader.position,
               reader.buffer.begin() + reader.position + chunk);
    reader.position += chunk;
    length -= chunk;
  }
  return kSmfDone;
}

int SmfSkip(SmfReader& reader, uint32_t length) {
  return SmfCopy(reader, nullptr, length);
}

}  // namespace tuttiro
