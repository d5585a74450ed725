// Finding a MIDI device named on the command line.
#include "device_lookup.h"
#include "dialogs/field_rules.h"

#include <cstdlib>
#include <string>

namespace tuttiro::cli {

int FindDevice(const Platform& platform, const char* wanted, bool input) {
  const int count = input ? platform.MidiInDeviceCount() : platform.MidiOutDeviceCount();
  if (const std::optional<int32_t> index = ReadNumber(wanted, 0, count - 1)) return *index;
  for (int d = 0; d < count; ++d) {
    const auto info = input ? platform.MidiInDevice(d) : platform.MidiOutDevice(d);
    if (info && info->name.find(wanted) != std::string::npos) return d;
  }
  return -1;
}

}  // namespace tuttiro::cli
