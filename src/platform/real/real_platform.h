// The platform of the running program: the steady clock, the timer thread,
// and MIDI devices from the built-in synthesizer, the ALSA sequencer and
// JACK. A back end that is missing contributes no devices; nothing fails.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input_stamp.h"
#include "platform/platform.h"
#include "platform/real/midi_devices.h"
#include "platform/real/timer_thread.h"

namespace tuttiro {

class AlsaPortLister;
class JackWatch;
class SynthDevice;

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

  int MidiInDeviceCount() const override { return inputCount_.load(std::memory_order_acquire); }
  int MidiOutDeviceCount() const override { return outputCount_.load(std::memory_order_acquire); }
  std::optional<MidiDeviceInfo> MidiInDevice(int device) const override;
  std::optional<MidiDeviceInfo> MidiOutDevice(int device) const override;
  std::vector<MidiBackendStatus> MidiBackends() const override { return backends_; }
  // Our own JACK output and input ports as "client:port", with the client
  // names the server gave (not ours when another client had them); empty
  // without JACK.
  const std::string& OwnJackOutput() const { return ownJackOut_; }
  const std::string& OwnJackInput() const { return ownJackIn_; }
  bool MidiRefreshDevices(bool probeMissing) override;
  int SynthOutputLatencyMs() const override;
  bool SynthSetSoundfont(const std::string& path) override;
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
  // Devices are never removed while the platform lives, so an index (and a
  // handle, which is the index) always means the same device; the lists have
  // room for this many of each.
  static constexpr int kMaxDevices = 256;

  struct OutSlot {
    MidiDeviceInfo info;
    std::string target;  // the back end's port name; empty for our own ports and the synth
    std::atomic<bool> present{true};
    std::unique_ptr<OutputDevice> device;
    SynthDevice* synth = nullptr;  // device, when it is the built-in synthesizer
    std::mutex lock;               // serialises every call to the device
    bool open = false;
  };
  struct InSlot {
    const RealPlatform* platform = nullptr;
    MidiDeviceInfo info;
    std::string target;
    std::atomic<bool> present{true};
    std::unique_ptr<InputDevice> device;
    std::mutex lock;  // guards the fields below against the back end's thread
    bool open = false;
    bool started = false;
    MidiInputCallback callback = nullptr;
    void* context = nullptr;
    uint32_t instance = 0;
    InputStampRec stamp;  // restarted at each open
  };

  static void Deliver(void* slot, const uint8_t* bytes, size_t length, double sinceLastSeconds);
  void AddRtMidiDevices(bool alsa);
  bool OwnPort(const std::string& port) const;
  bool AddOutputPort(bool alsa, const std::string& port);
  bool AddInputPort(bool alsa, const std::string& port);
  // Lists the back end's ports again: adds the new ones, marks presence.
  bool RefreshBackend(bool alsa, bool probeMissing);
  void SetBackendStatus(MidiBackend backend, bool available, std::string reason);
  bool AddOutput(std::unique_ptr<OutSlot> slot);
  bool AddInput(std::unique_ptr<InSlot> slot);
  MidiResult SendTo(MidiHandle handle, const uint8_t* bytes, size_t length);

  const RealPlatformOptions options_;
  const std::chrono::steady_clock::time_point epoch_;
  std::array<std::unique_ptr<OutSlot>, kMaxDevices> outputs_;
  std::array<std::unique_ptr<InSlot>, kMaxDevices> inputs_;
  // Published after the slot is in place, so that other threads see whole slots.
  std::atomic<int> outputCount_{0};
  std::atomic<int> inputCount_{0};
  std::vector<MidiBackendStatus> backends_;
  std::array<bool, 2> ownPortsAdded_{};   // ALSA, JACK
  SynthDevice* synth_ = nullptr;          // the built-in synthesizer's device, if any
  std::unique_ptr<AlsaPortLister> alsa_;  // lists ALSA ports
  std::unique_ptr<JackWatch> jack_;       // lists JACK ports, sees the server go
  std::string ownJackOut_;
  std::string ownJackIn_;
  TimerThread timers_;  // last: stopped first, before the devices go
};

}  // namespace tuttiro
