// The simulated platform: a virtual clock that a test or a headless run
// advances by hand, so that timing is exact and independent of machine speed.
// Its timers fire in time order as the clock passes them, and its loopback
// MIDI devices record what is sent and let a test play input in.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/timer_queue.h"

namespace tuttiro {

class SimulatedPlatform : public Platform {
 public:
  // One message that reached a loopback output device.
  struct SentMessage {
    SystemTime time = 0;
    std::vector<uint8_t> bytes;
  };

  SystemTime ClockNow() const override { return now_.load(std::memory_order_acquire); }
  // Set or move the clock without firing timers.
  void SetNow(SystemTime t) { now_.store(t, std::memory_order_release); }
  void Advance(SystemTime ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }
  // Moves the clock forward to t, firing every timer due on the way (and any
  // due before now) in time order, each with the clock at its due time; timers
  // set by a callback fire in the same run when they fall due by t. Returns
  // how many fired.
  int RunUntil(SystemTime t);
  int RunFor(SystemTime ms) { return RunUntil(ClockNow() + ms); }
  size_t PendingTimers() const;

  TimerId TimerSet(SystemTime due, TimerCallback callback, void* context, uint32_t user) override;
  void TimerKill(TimerId id) override;
  // Moves the virtual clock on by ms; timers due meanwhile wait for RunUntil.
  void Sleep(int ms) override { Advance(ms); }

  // Loopback devices; add them before handing the platform to the ports.
  int AddOutputDevice(std::string name, MidiBackend backend = MidiBackend::kLoopback);
  int AddInputDevice(std::string name);

  int MidiInDeviceCount() const override;
  int MidiOutDeviceCount() const override;
  std::optional<MidiDeviceInfo> MidiInDevice(int device) const override;
  std::optional<MidiDeviceInfo> MidiOutDevice(int device) const override;
  std::vector<MidiBackendStatus> MidiBackends() const override;
  MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context, uint32_t instance,
                        MidiHandle* handle) override;
  MidiResult MidiInStart(MidiHandle handle) override;
  MidiResult MidiInStop(MidiHandle handle) override;
  MidiResult MidiInClose(MidiHandle handle) override;
  MidiResult MidiOutOpen(int device, MidiHandle* handle) override;
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override;
  MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) override;
  MidiResult MidiOutClose(MidiHandle handle) override;

  // What reached an output device, with the virtual time of each message.
  std::vector<SentMessage> Sent(int device) const;
  // Delivers a message from an input device now, on the calling thread.
  // False when the device is not open and started (the message is dropped).
  bool InjectInput(int device, const std::vector<uint8_t>& bytes);
  // Delivers it when the clock reaches at, in time order with the timers.
  void ScheduleInput(int device, SystemTime at, std::vector<uint8_t> bytes);

  // Faults a test can provoke.
  void SetRefuseOpen(bool input, int device, bool refuse);
  void FailNextSends(int device, int count);
  void SetStillPlayingCloses(int device, int count);

  // What a test can observe of the devices.
  int OutOpenCount(int device) const;
  bool OutIsOpen(int device) const;
  bool InIsOpen(int device) const;

 private:
  struct OutDevice {
    MidiDeviceInfo info;
    bool open = false;
    bool refuseOpen = false;
    int openCount = 0;
    int failSends = 0;
    int stillPlayingCloses = 0;
    std::vector<SentMessage> sent;
  };
  struct InDevice {
    MidiDeviceInfo info;
    bool open = false;
    bool started = false;
    bool refuseOpen = false;
    MidiInputCallback callback = nullptr;
    void* context = nullptr;
    uint32_t instance = 0;
  };
  struct PendingInput {
    int device = 0;
    std::vector<uint8_t> bytes;
  };

  static void DeliverScheduledInput(void* context, uint32_t token);
  MidiResult Record(MidiHandle handle, std::vector<uint8_t> bytes);

  std::atomic<SystemTime> now_{0};

  mutable std::mutex lock_;
  std::condition_variable callbackDone_;
  TimerQueue timers_;
  TimerId runningTimer_ = kNoTimer;
  std::thread::id runningThread_;
  std::vector<OutDevice> outputs_;
  std::vector<InDevice> inputs_;
  std::map<uint32_t, PendingInput> pendingInputs_;
  uint32_t nextInputToken_ = 1;
};

}  // namespace tuttiro
