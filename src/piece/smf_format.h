// The byte layout of Standard MIDI Files that the reader and the writers share:
// the chunk ids, the meta event types and the big-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tuttiro {

inline constexpr uint32_t kMThd = 0x4D546864;
inline constexpr uint32_t kMTrk = 0x4D54726B;

inline constexpr uint8_t kMetaTrackName = 0x03;
inline constexpr uint8_t kMetaPortName = 0x21;
inline constexpr uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr uint8_t kMetaTempo = 0x51;
inline constexpr uint8_t kMetaTimeSignature = 0x58;
inline constexpr uint8_t kMetaKeySignature = 0x59;
inline constexpr uint8_t kMetaSequencerSpecific = 0x7F;

// The big-endian 32-bit number at `at`; the caller has checked the four bytes exist.
inline uint32_t Big32At(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 |
         bytes[at + 3];
}

}  // namespace tuttiro
