// A platform that hands every call to another one. Probes and recorders derive
// from it and override only the calls they watch or change.
#pragma once

#include "platform/platform.h"

namespace tuttiro {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  SystemTime ClockNow() const override { return inner_.ClockNow(); }
  TimerId TimerSet(SystemTime due, TimerCallback callback, void* context, uint32_t user) override {
    return inner_.TimerSet(due, callback, context, user);
  }
  void TimerKill(TimerId id) override { inner_.TimerKill(id); }
  int TimerResolution() const override { return inner_.TimerResolution(); }
  void Sleep(int ms) override { inner_.Sleep(ms); }
  int MidiInDeviceCount() const override { return inner_.MidiInDeviceCount(); }
  int MidiOutDeviceCount() const override { return inner_.MidiOutDeviceCount(); }
  std::optional<MidiDeviceInfo> MidiInDevice(int d) const override {
    return inner_.MidiInDevice(d);
  }
  std::optional<MidiDeviceInfo> MidiOutDevice(int d) const override {
    return inner_.MidiOutDevice(d);
  }
  std::vector<MidiBackendStatus> MidiBackends() const override { return inner_.MidiBackends(); }
  bool MidiRefreshDevices(bool probeMissing) override {
    return inner_.MidiRefreshDevices(probeMissing);
  }
  int SynthOutputLatencyMs() const override { return inner_.SynthOutputLatencyMs(); }
  bool SynthSetSoundfont(const std::string& path) override {
    return inner_.SynthSetSoundfont(path);
  }
  MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context, uint32_t instance,
                        MidiHandle* handle) override {
    return inner_.MidiInOpen(device, callback, context, instance, handle);
  }
  MidiResult MidiInStart(MidiHandle h) override { return inner_.MidiInStart(h); }
  MidiResult MidiInStop(MidiHandle h) override { return inner_.MidiInStop(h); }
  MidiResult MidiInClose(MidiHandle h) override { return inner_.MidiInClose(h); }
  MidiResult MidiOutOpen(int device, MidiHandle* handle) override {
    return inner_.MidiOutOpen(device, handle);
  }
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override {
    return inner_.MidiOutShortMsg(handle, message);
  }
  MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) override {
    return inner_.MidiOutLongMsg(handle, data, length);
  }
  MidiResult MidiOutClose(MidiHandle handle) override { return inner_.MidiOutClose(handle); }

 protected:
  Platform& inner_;
};

}  // namespace tuttiro
