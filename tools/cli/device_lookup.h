// Finding a MIDI device named on the command line.
#pragma once

#include "platform/platform.h"

namespace tuttiro::cli {

// An input or output device by index or by part of its name; -1 when none.
int FindDevice(const Platform& platform, const char* wanted, bool input);

}  // namespace tuttiro::cli
