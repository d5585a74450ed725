// The built-in synthesizer: FluidSynth with a General MIDI soundfont, as an
// output device. It is the default device of every output port, so a
// musician without MIDI hardware still hears the accompaniment.
#pragma once

#include <atomic>
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

  // Replaces the soundfont (open or not); false, keeping the one in use, when
  // the file cannot be loaded. Called with the device's lock held.
  bool SetSoundfont(const std::string& path);
  // The soundfont file in use or to be used.
  std::string SoundfontPath() const;

  // Safe from any thread: open with audio wanted but no audio output found;
  // and the audio output's latency in ms (0 when silent or closed).
  bool Silent() const { return silent_.load(std::memory_order_acquire); }
  int LatencyMs() const { return latencyMs_.load(std::memory_order_acquire); }

 private:
  struct Fluid;
  void OpenAudio(Fluid& fluid);
  SynthOptions options_;
  std::unique_ptr<Fluid> fluid_;
  std::atomic<bool> silent_{false};
  std::atomic<int> latencyMs_{0};
};

}  // namespace tuttiro
