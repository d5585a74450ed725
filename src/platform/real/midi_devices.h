// The devices behind the real platform's device lists. Each one wraps a back
// end (an RtMidi port, the FluidSynth synthesizer); the platform serialises
// the calls to each device, so a device needs no locking of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace tuttiro {

class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  virtual MidiResult Open() = 0;
  virtual void Close() = 0;
  // A complete message: a short message of its proper length, or F0 ... F7.
  virtual MidiResult Send(const uint8_t* bytes, size_t length) = 0;
};

class InputDevice {
 public:
  // Called on the back end's thread with one complete message and the seconds
  // since the previous one by the back end's clock (negative when unknown).
  using Deliver = void (*)(void* sink, const uint8_t* bytes, size_t length,
                           double sinceLastSeconds);

  virtual ~InputDevice() = default;
  virtual MidiResult Open(Deliver deliver, void* sink) = 0;
  // When Close returns, deliver is no longer called.
  virtual void Close() = 0;
};

}  // namespace tuttiro
