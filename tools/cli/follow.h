// `tuttiro-cli follow`: its options and what its simulated run and its
// real-time run on the MIDI devices share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/app.h"

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
  std::string savePerformance;
  bool realtime = false;
  const char* in = nullptr;
  const char* out = nullptr;
  int lead = 0;  // ms
};

// One message of a recorded performance, at its time in ms.
struct SoloMessage {
  SystemTime time;
  std::vector<uint8_t> bytes;
};

// Every channel message of the performance but program changes (whose data is
// a combination index, not the program), merged across its tracks in time
// order, with each track's channel put back.
std::vector<SoloMessage> SoloMessages(const PieceModel& performance);

// The following tracks, timing sensitivity, Wait for Solo and the tap source
// from the options, handed to the follower; the position goes to the start.
// False (with the reason on stderr) when a track does not exist.
bool ApplyFollowOptions(AppRec& app, const FollowOptions& options);

// Play and Follow on the real platform: the soloist plays into input device
// `in`, the accompaniment goes to output device `out`. Returns the exit status.
int RunFollowRealtime(const FollowOptions& options);

}  // namespace tuttiro::cli
