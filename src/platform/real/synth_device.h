// The built-in synthesizer: FluidSynth with a General MIDI soundfont, as an
// output device. It is the default device of every output port, so a
// musician without MIDI hardware still hears the accompaniment.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/real/midi_devices.h"

namespace tuttiro {

struct SynthOptions {
  std::string soundfont;  // empty: FindSoundfont()
  // Play through the desktop's audio. Without it (or when no audio output can
  // be opened) the synthesizer still takes every message; RenderOffline then
  // produces its sound.
  bool audio = true;
  bool jackRunning = false;  // JACK is only tried as an audio output when a server runs
};

// The first General MIDI soundfont installed, or empty.
std::string FindSoundfont();

class SynthDevice : public OutputDevice {
 public:
  explicit SynthDevice(SynthOptions options);
  ~SynthDevice() override;

  MidiResult Open() override;
  void Close() override;
  MidiResult Send(const uint8_t* bytes, size_t length) override;

  // Renders frames of stereo audio when no audio output plays the synthesizer.
  bool RenderOffline(float* left, float* right, int frames);

 private:
  struct Fluid;
  SynthOptions options_;
  std::unique_ptr<Fluid> fluid_;
};

}  // namespace tuttiro
