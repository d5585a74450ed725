// Writes what an output received as a Standard MIDI File.
#include "timed_midi_file.h"

#include <algorithm>
#include <fstream>

namespace tuttiro::cli {
namespace {

void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t buffer[5];
  int n = 0;
  buffer[n++] = value & 0x7F;
  while (value >>= 7) buffer[n++] = static_cast<uint8_t>(0x80 | (value & 0x7F));
  while (n > 0) out.push_back(buffer[--n]);
}

}  // namespace

// Format 0, division 500 at 500000 us per quarter: one tick is one millisecond.
// Channel messages are stored as they are, SysEx as F0 events, and clock, time
// code and song position messages as F7 escapes.
bool WriteMidiFile(const std::string& path, const std::vector<TimedMessage>& messages,
                   SystemTime origin) {
  std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  SystemTime previous = origin;
  for (const TimedMessage& m : messages) {
    PutVarLen(track, static_cast<uint32_t>(std::max<SystemTime>(0, m.time - previous)));
    previous = std::max(previous, m.time);
    if (m.bytes[0] < 0xF0) {
      track.insert(track.end(), m.bytes.begin(), m.bytes.end());
    } else if (m.bytes[0] == 0xF0) {
      track.push_back(0xF0);
      PutVarLen(track, static_cast<uint32_t>(m.bytes.size() - 1));
      track.insert(track.end(), m.bytes.begin() + 1, m.bytes.end());
    } else {
      track.push_back(0xF7);
      PutVarLen(track, static_cast<uint32_t>(m.bytes.size()));
      track.insert(track.end(), m.bytes.begin(), m.bytes.end());
    }
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd',  0,    0,   0,   6,   0,
                               0,   0,   1,   0x01, 0xF4, 'M', 'T', 'r', 'k'};
  const uint32_t length = static_cast<uint32_t>(track.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    file.push_back(static_cast<uint8_t>(length >> shift));
  file.insert(file.end(), track.begin(), track.end());
  std::ofstream stream(path, std::ios::binary);
  stream.write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(stream);
}

}  // namespace tuttiro::cli
