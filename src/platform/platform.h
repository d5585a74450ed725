// The Platform interface: everything the core needs from the machine (clock,
// timers, MIDI devices, key state). The real implementation lives in
// tuttiro_platform; the simulated one drives tests and headless runs.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tuttiro {

// System time in milliseconds since the platform started. Kept 64-bit inside
// so that nothing wraps after weeks of uptime.
using SystemTime = int64_t;

// Results of the MIDI device operations. The numbers are the ones the rest of
// the system compares against (0 is success, 65 asks the caller to close again).
enum MidiResult : uint32_t {
  kMidiOk = 0,
  kMidiError = 1,          // the device refused the message (for instance its buffer is full)
  kMidiBadDevice = 2,      // there is no device with this index
  kMidiAllocated = 4,      // the device cannot be opened: it is in use or its back end refused
  kMidiInvalidHandle = 5,  // the device is not open
  kMidiInvalidParam = 11,  // a malformed message
  kMidiStillPlaying = 65,  // the device still has output pending: close it again
};

// Where a MIDI device comes from.
enum class MidiBackend : uint8_t {
  kSynth,     // the built-in synthesizer
  kAlsa,      // an ALSA sequencer port
  kJack,      // a JACK MIDI port
  kLoopback,  // a simulated device
};

// A short lower-case name of the back end, for lists.
const char* MidiBackendName(MidiBackend backend);

struct MidiDeviceInfo {
  std::string name;
  MidiBackend backend = MidiBackend::kLoopback;
  // False once the device has gone (unplugged, its program ended); its index
  // stays reserved for it, and it is present again when it comes back.
  bool present = true;
  // The built-in synthesizer is open but found no audio output: it takes
  // every message and nobody hears it.
  bool silent = false;
  // The latency of the synthesizer's audio output in ms; 0 when unknown.
  int latencyMs = 0;
};

// Whether a back end contributed devices, and if not, why.
struct MidiBackendStatus {
  MidiBackend backend = MidiBackend::kLoopback;
  bool available = false;
  std::string reason;  // empty when available
};

// An open device. Handles stay valid (sends to a closed one fail) until the
// platform itself goes away.
using MidiHandle = int32_t;
inline constexpr MidiHandle kNoMidiHandle = -1;

// One message from an input device. A short message is packed as
// status | data1 << 8 | data2 << 16; a system exclusive message comes whole
// (F0 ... F7) in sysex and shortMessage is 0.
struct MidiInputMessage {
  SystemTime time = 0;
  uint32_t shortMessage = 0;
  const uint8_t* sysex = nullptr;
  size_t sysexLength = 0;
};

// Called on the back end's input thread; instance is the value given at open.
using MidiInputCallback = void (*)(void* context, uint32_t instance,
                                   const MidiInputMessage& message);

using TimerId = uint64_t;
inline constexpr TimerId kNoTimer = 0;
// Called on the timer thread; user is the value given when the timer was set
// (the scheduler's generation number, for instance).
using TimerCallback = void (*)(void* context, uint32_t user);

// The keys that tapped beats read from the 2 ms poll.
enum class KeyId : uint8_t { kSpaceBar, kRightButton };

class Platform {
 public:
  virtual ~Platform() = default;

  // The millisecond clock (steady, never goes back).
  virtual SystemTime ClockNow() const = 0;

  // One-shot timers: the callback runs once, on the timer thread, when the
  // clock reaches due (at once if due has passed). Timers due at the same
  // time fire in the order they were set.
  virtual TimerId TimerSet(SystemTime due, TimerCallback callback, void* context,
                           uint32_t user) = 0;
  // Cancels a timer that has not fired. If its callback is running on another
  // thread, waits until it has returned, so that its context may be released.
  virtual void TimerKill(TimerId id) = 0;
  // The granularity of timers in milliseconds.
  virtual int TimerResolution() const { return 1; }
  // Blocks the calling thread for ms milliseconds.
  virtual void Sleep(int ms) = 0;

  // The device lists, indices from 0. A device keeps its index for the
  // platform's lifetime; MidiRefreshDevices adds the devices that appeared.
  virtual int MidiInDeviceCount() const = 0;
  virtual int MidiOutDeviceCount() const = 0;
  virtual std::optional<MidiDeviceInfo> MidiInDevice(int device) const = 0;
  virtual std::optional<MidiDeviceInfo> MidiOutDevice(int device) const = 0;
  virtual std::vector<MidiBackendStatus> MidiBackends() const = 0;
  // Asks the back ends again which devices there are: new ones are added at
  // the end of the lists, gone ones are marked not present. With
  // probeMissing, back ends that were missing are looked for too (a JACK
  // server started since), which takes milliseconds when there is none.
  // Window thread only. True when a list or a device's presence changed.
  virtual bool MidiRefreshDevices(bool probeMissing) {
    (void)probeMissing;
    return false;
  }

  // The built-in synthesizer's audio output latency in ms: 0 when it is
  // silent, not open or has no synthesizer.
  virtual int SynthOutputLatencyMs() const { return 0; }
  // Loads a soundfont (.sf2/.sf3) into the built-in synthesizer; empty means
  // the General MIDI soundfont installed. False, with the soundfont in use
  // kept, when it cannot be loaded; true when there is no synthesizer to load
  // it into.
  virtual bool SynthSetSoundfont(const std::string& path) {
    (void)path;
    return true;
  }

  // Input devices deliver to the callback between start and stop.
  virtual MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context,
                                uint32_t instance, MidiHandle* handle) = 0;
  virtual MidiResult MidiInStart(MidiHandle handle) = 0;
  virtual MidiResult MidiInStop(MidiHandle handle) = 0;
  virtual MidiResult MidiInClose(MidiHandle handle) = 0;

  // Output devices; every call is safe from any thread at once.
  virtual MidiResult MidiOutOpen(int device, MidiHandle* handle) = 0;
  // A packed short message (status in the low byte); its length follows from the status.
  virtual MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) = 0;
  // A whole system exclusive message, F0 to F7.
  virtual MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) = 0;
  virtual MidiResult MidiOutClose(MidiHandle handle) = 0;

  // Key state: written by the user interface, read by the key poll.
  void SetKeyDown(KeyId key, bool down) {
    keys_[static_cast<size_t>(key)].store(down, std::memory_order_release);
  }
  bool KeyDown(KeyId key) const {
    return keys_[static_cast<size_t>(key)].load(std::memory_order_acquire);
  }

 private:
  std::array<std::atomic<bool>, 2> keys_{};
};

}  // namespace tuttiro
