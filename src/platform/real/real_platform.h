// The platform of the running program: the steady clock, the timer thread,
// and MIDI devices from the built-in synthesizer, the ALSA sequencer and
// JACK. A back end that is missing contributes no devices; nothing fails.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/real/midi_devices.h"
#include "platform/real/timer_thread.h"

namespace tuttiro {

struct RealPlatformOptions {
  bool synth = true;
  bool alsa = true;
  bool jack = true;
  // The synthesizer plays through the desktop's audio output when it can.
  bool synthAudio = true;
  std::string soundfont;  // empty: the first General MIDI soundfont installed
  // Our ALSA client and JACK clients are named after this. Our own JACK ports,
  // which other programs connect to, are <name>-out:out and <name>-in:in, or
  // the names the server makes unique when those clients exist already.
  std::string clientName = "tuttiro";
};

class RealPlatform : public Platform {
 public:
  explicit RealPlatform(RealPlatformOptions options = {});
  ~RealPlatform() override;

  SystemTime ClockNow() const override;
  TimerId TimerSet(SystemTime due, TimerCallback callback, void* context, uint32_t user) override;
  void TimerKill(TimerId id) override;
  void Sleep(int ms) override;

  int MidiInDeviceCount() const override { return static_cast<int>(inputs_.size()); }
  int MidiOutDeviceCount() const override { return static_cast<int>(outputs_.size()); }
  std::optional<MidiDeviceInfo> MidiInDevice(int device) const override;
  std::optional<MidiDeviceInfo> MidiOutDevice(int device) const override;
  std::vector<MidiBackendStatus> MidiBackends() const override { return backends_; }
  // Our own JACK output and input ports as "client:port", with the client
  // names the server gave (not ours when another client had them); empty
  // without JACK.
  const std::string& OwnJackOutput() const { return ownJackOut_; }
  const std::string& OwnJackInput() const { return ownJackIn_; }
  MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context, uint32_t instance,
                        MidiHandle* handle) override;
  MidiResult MidiInStart(MidiHandle handle) override;
  MidiResult MidiInStop(MidiHandle handle) override;
  MidiResult MidiInClose(MidiHandle handle) override;
  MidiResult MidiOutOpen(int device, MidiHandle* handle) override;
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override;
  MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) override;
  MidiResult MidiOutClose(MidiHandle handle) override;

 private:
  struct OutSlot {
    MidiDeviceInfo info;
    std::unique_ptr<OutputDevice> device;
    std::mutex lock;  // serialises every call to the device
    bool open = false;
  };
  struct InSlot {
    const RealPlatform* platform = nullptr;
    MidiDeviceInfo info;
    std::unique_ptr<InputDevice> device;
    std::mutex lock;  // guards the fields below against the back end's thread
    bool open = false;
    bool started = false;
    MidiInputCallback callback = nullptr;
    void* context = nullptr;
    uint32_t instance = 0;
  };

  static void Deliver(void* slot, const uint8_t* bytes, size_t length);
  void AddRtMidiDevices(bool alsa);
  MidiResult SendTo(MidiHandle handle, const uint8_t* bytes, size_t length);

  const RealPlatformOptions options_;
  const std::chrono::steady_clock::time_point epoch_;
  std::vector<std::unique_ptr<OutSlot>> outputs_;
  std::vector<std::unique_ptr<InSlot>> inputs_;
  std::vector<MidiBackendStatus> backends_;
  std::string ownJackOut_;
  std::string ownJackIn_;
  TimerThread timers_;  // last: stopped first, before the devices go
};

}  // namespace tuttiro
