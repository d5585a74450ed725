// The options of `tuttiro-cli follow`, shared by its simulated run and its
// real-time run on the MIDI devices.
#pragma once

#include <string>

namespace tuttiro::cli {

struct FollowOptions {
  const char* piece = nullptr;
  const char* solo = nullptr;
  int track = -1;
  int track2 = -1;
  bool taps = false;
  int level = 4;
  bool waitForSolo = false;
  std::string render;
  std::string report;
  std::string replay;
  bool realtime = false;
  const char* in = nullptr;
  const char* out = nullptr;
};

// Play and Follow on the real platform: the soloist plays into input device
// `in`, the accompaniment goes to output device `out`. Returns the exit status.
int RunFollowRealtime(const FollowOptions& options);

}  // namespace tuttiro::cli
