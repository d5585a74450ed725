// `tuttiro-cli devices`: lists the MIDI devices the program can use, with the
// index that the port settings refer to, and says which back ends are missing.
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "midi/midi_ports.h"

#ifdef TUTTIRO_HAVE_PLATFORM
#include "platform/real/real_platform.h"
#endif

namespace tuttiro::cli {
namespace {

constexpr const char* kDevicesHelp =
    "usage: tuttiro-cli devices\n"
    "\n"
    "Lists every MIDI output and input device: its index (as the port settings\n"
    "use it), its back end (synth, alsa, jack) and its name; the output device\n"
    "every port starts on is marked 'default'. Then says which back ends were\n"
    "unavailable and why. Own ports are ports of Tuttiro's that other programs\n"
    "connect to (with a JACK patchbay or aconnect).\n"
    "\n"
    "Exit status 0, or 1 when this build has no real MIDI back ends.\n";

#ifdef TUTTIRO_HAVE_PLATFORM
void PrintDevices(const Platform& platform, bool input) {
  const int count = input ? platform.MidiInDeviceCount() : platform.MidiOutDeviceCount();
  const int preferred = input ? -1 : MidiDefaultOutputDevice(platform);
  std::printf("%s devices: %d\n", input ? "input" : "output", count);
  for (int d = 0; d < count; ++d) {
    const auto info = input ? platform.MidiInDevice(d) : platform.MidiOutDevice(d);
    if (!info) continue;
    std::printf("  %3d  %-5s %s%s\n", d, MidiBackendName(info->backend), info->name.c_str(),
                d == preferred ? "  (default)" : "");
  }
}
#endif

}  // namespace

int RunDevices(int argc, char** argv) {
  if (argc > 0 && (!std::strcmp(argv[0], "--help") || !std::strcmp(argv[0], "-h"))) {
    std::fputs(kDevicesHelp, stdout);
    return 0;
  }
#ifdef TUTTIRO_HAVE_PLATFORM
  RealPlatformOptions options;
  options.synthAudio = false;  // listing opens nothing
  const RealPlatform platform(options);
  PrintDevices(platform, false);
  PrintDevices(platform, true);
  std::printf("back ends:\n");
  for (const MidiBackendStatus& status : platform.MidiBackends()) {
    std::printf("  %-5s %s%s\n", MidiBackendName(status.backend),
                status.available ? "available" : "unavailable: ", status.reason.c_str());
  }
  return 0;
#else
  std::fprintf(stderr, "tuttiro-cli devices: this build has no real MIDI back ends (core only)\n");
  return 1;
#endif
}

}  // namespace tuttiro::cli
