// A MIDI file of messages as an output received them: format 0, one tick per
// millisecond, for the headless player's and follower's renders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tuttiro::cli {

struct TimedMessage {
  SystemTime time;
  std::vector<uint8_t> bytes;
};

// Writes `messages` (in time order) with their times relative to `origin`.
// False when the file could not be written.
bool WriteMidiFile(const std::string& path, const std::vector<TimedMessage>& messages,
                   SystemTime origin);

}  // namespace tuttiro::cli
