// The controller reset table (resource 1001): the controllers sent back to a
// neutral value when the transport stops, for each one the piece touched.
// Stored as the resource is: a little-endian 16-bit count, then
// (controller, value) pairs.
#pragma once

#include <array>
#include <cstdint>

namespace tuttiro {

inline constexpr std::array<uint8_t, 50> kControllerResetTable = {
    24, 0,                                                  // count
    64, 0,   65, 0, 66, 0,  67, 0, 69, 0,                   // pedals, hold 2
    0,  0,   32, 0, 1,  0,  33, 0, 5,  0,   37, 0,          // bank, modulation, portamento
    7,  100, 39, 0, 10, 64, 42, 0, 11, 100, 43, 0,          // volume, pan, expression
    91, 0,   92, 0, 93, 0,  94, 0, 95, 0,   96, 0, 97, 0};  // effects depths, data steps

struct ControllerReset {
  uint8_t controller;
  uint8_t value;
};

// Pair i of the table.
constexpr ControllerReset ControllerResetAt(int i) {
  return {kControllerResetTable[static_cast<size_t>(2 + 2 * i)],
          kControllerResetTable[static_cast<size_t>(3 + 2 * i)]};
}
constexpr int ControllerResetCount() {
  return static_cast<int16_t>(kControllerResetTable[0] | kControllerResetTable[1] << 8);
}

}  // namespace tuttiro
