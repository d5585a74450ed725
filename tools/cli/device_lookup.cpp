// Finding a MIDI device named on the command line.
#include "device_lookup.h"

#include <cstdlib>
#include <string>

namespace tuttiro::cli {

int FindDevice(const Platform& platform, const char* wanted, bool input) {
  const int count = input ? platform.MidiInDeviceCount() : platform.MidiOutDeviceCount();
  char* end = nullptr;
  const long index = std::strtol(wanted, &end, 10);
  if (end != wanted && *end == 0 && index >= 0 && index < count) return static_cast<int>(index);
  for (int d = 0; d < count; ++d) {
    const auto info = input ? platform.MidiInDevice(d) : platform.MidiOutDevice(d);
    if (info && info->name.find(wanted) != std::string::npos) return d;
  }
  return -1;
}

}  // namespace tuttiro::cli
