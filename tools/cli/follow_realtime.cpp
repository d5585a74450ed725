// `tuttiro-cli follow --realtime`: Play and Follow on the real MIDI devices.
#include <cstdio>

#include "follow_options.h"

namespace tuttiro::cli {

int RunFollowRealtime(const FollowOptions&) {
  std::fputs("tuttiro-cli follow: --realtime is not available in this build\n", stderr);
  return 2;
}

}  // namespace tuttiro::cli
