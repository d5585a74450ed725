// The shapes of MIDI messages as the platform carries them: packed short
// messages and system exclusive byte strings. Shared by every back end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tuttiro {

// The number of bytes a short message with this status carries (1 to 3), or
// 0 when the byte is not a status that a short message can start with (a data
// byte, or the F0 / F7 of system exclusive).
int ShortMessageLength(uint8_t status);

// Unpacks status | data1 << 8 | data2 << 16 into bytes; returns the length
// (0 for an invalid status, then nothing is written).
int UnpackShortMessage(uint32_t message, uint8_t bytes[3]);

// Packs the first bytes of a short message; missing data bytes count as 0.
uint32_t PackShortMessage(const uint8_t* bytes, size_t length);

// The length of a system exclusive message that starts with F0: up to and
// including the first F7 at or after its second byte. 0 when there is no F7.
size_t SysexLength(std::span<const uint8_t> bytes);

}  // namespace tuttiro
