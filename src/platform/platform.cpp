// Names of the MIDI back ends, shared by device lists and messages.
#include "platform/platform.h"

namespace tuttiro {

const char* MidiBackendName(MidiBackend backend) {
  switch (backend) {
    case MidiBackend::kSynth:
      return "synth";
    case MidiBackend::kAlsa:
      return "alsa";
    case MidiBackend::kJack:
      return "jack";
    case MidiBackend::kLoopback:
      return "loopback";
  }
  return "unknown";
}

}  // namespace tuttiro
