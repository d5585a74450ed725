// Lengths, packing and framing of MIDI messages.
#include "platform/midi_message.h"

namespace tuttiro {

int ShortMessageLength(uint8_t status) {
  if (status < 0x80) return 0;
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 2;
    case 0xF0:
      break;
    default:
      return 3;
  }
  switch (status) {
    case 0xF1:  // time code quarter frame
    case 0xF3:  // song select
      return 2;
    case 0xF2:  // song position pointer
      return 3;
    case 0xF0:  // system exclusive is never a short message
    case 0xF7:
      return 0;
    default:  // tune request, real-time messages and the undefined F4, F5, F9, FD
      return 1;
  }
}

int UnpackShortMessage(uint32_t message, uint8_t bytes[3]) {
  const int length = ShortMessageLength(static_cast<uint8_t>(message));
  for (int i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(message >> (8 * i));
  return length;
}

uint32_t PackShortMessage(const uint8_t* bytes, size_t length) {
  uint32_t message = 0;
  for (size_t i = 0; i < length && i < 3; ++i)
    message |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  return message;
}

size_t SysexLength(std::span<const uint8_t> bytes) {
  for (size_t i = 1; i < bytes.size(); ++i) {
    if (bytes[i] == 0xF7) return i + 1;
  }
  return 0;
}

}  // namespace tuttiro
