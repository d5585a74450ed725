// The devices the system settings name and the ports they assign (see
// settings_ports.h).
#include "midi/settings_ports.h"

namespace tuttiro {

namespace {

// A device name without a trailing " client:port" pair of numbers.
std::string WithoutPortNumbers(const std::string& name) {
  const size_t blank = name.rfind(' ');
  if (blank == std::string::npos) return name;
  const std::string tail = name.substr(blank + 1);
  const size_t colon = tail.find(':');
  const auto digits = [](const std::string& t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
  };
  if (colon == std::string::npos || !digits(tail.substr(0, colon)) ||
      !digits(tail.substr(colon + 1)))
    return name;
  return name.substr(0, blank);
}

int DeviceByName(const Platform& platform, const std::string& name, bool input) {
  const int exact = MidiDeviceNamed(platform, name, input);
  if (exact >= 0 || name.empty()) return exact;
  const std::string wanted = WithoutPortNumbers(name);
  const int count = input ? platform.MidiInDeviceCount() : platform.MidiOutDeviceCount();
  for (int d = 0; d < count; ++d) {
    const auto info = input ? platform.MidiInDevice(d) : platform.MidiOutDevice(d);
    if (info && info->present && WithoutPortNumbers(info->name) == wanted) return d;
  }
  return -1;
}

}  // namespace

void FindDevicesByName(SystemSettings& system, const Platform& platform) {
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    const int in = DeviceByName(platform, system.inputDeviceName[p], true);
    if (in >= 0) system.inputDevice[p] = static_cast<uint16_t>(in);
    const int out = DeviceByName(platform, system.outputDeviceName[p], false);
    if (out >= 0) system.outputDevice[p] = static_cast<uint16_t>(out);
  }
}

void NameAssignedDevices(SystemSettings& system, const Platform& platform) {
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    if (system.inputDeviceName[p].empty()) {
      if (const auto info = platform.MidiInDevice(system.inputDevice[p]))
        system.inputDeviceName[p] = info->name;
    }
    if (system.outputDeviceName[p].empty()) {
      if (const auto info = platform.MidiOutDevice(system.outputDevice[p]))
        system.outputDeviceName[p] = info->name;
    }
  }
}

bool OpenSettingsPorts(const SystemSettings& system, MidiPortsRec& ports, MidiPortHost* host) {
  for (int p = 0; p < kSettingsPortCount; ++p) {
    ports.inputDevice[static_cast<size_t>(p)] =
        static_cast<int16_t>(system.inputDevice[static_cast<size_t>(p)]);
    ports.outputDevice[static_cast<size_t>(p)] =
        static_cast<int16_t>(system.outputDevice[static_cast<size_t>(p)]);
  }
  for (size_t i = 0; i < system.incomingChannels.size(); ++i)
    ports.channelEnable[i].store(system.incomingChannels[i] ? 1 : 0, std::memory_order_relaxed);
  bool inputs = MidiOpenInputs(ports, host);
  bool outputs = MidiOpenOutputs(ports, host);
  return inputs && outputs;
}

}  // namespace tuttiro
