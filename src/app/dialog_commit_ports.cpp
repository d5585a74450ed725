// Committing the MIDI Ports & Devices dialog, and keeping the device lists
// and the built-in synthesizer's soundfont in step with the system settings.
#include "app/dialog_commit_ports.h"

#include "app/app.h"
#include "midi/settings_ports.h"

namespace tuttiro {
namespace {

constexpr SystemTime kDeviceCheckMs = 2000;

PortsDevice DeviceOf(const MidiDeviceInfo& info) {
  return PortsDevice{info.name, info.present, info.backend == MidiBackend::kSynth, info.silent,
                     info.latencyMs};
}

void Tell(AppRec& app, const std::string& text) {
  if (app.portHost != nullptr) app.portHost->ShowMessage(text);
}

// Opens the ports as the settings say. Without any input device only the
// outputs are opened: there is nothing to report for the inputs.
bool OpenPorts(AppRec& app) {
  if (app.platform.MidiInDeviceCount() > 0) {
    return OpenSettingsPorts(app.system, app.engine.ports, app.portHost);
  }
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    app.engine.ports.outputDevice[p] = static_cast<int16_t>(app.system.outputDevice[p]);
  }
  return MidiOpenOutputs(app.engine.ports, app.portHost);
}

std::string DeviceName(const AppRec& app, int device, bool input) {
  const auto info = input ? app.platform.MidiInDevice(device) : app.platform.MidiOutDevice(device);
  return info ? info->name : std::string();
}

}  // namespace

PortsDeviceLists PortsDevicesOf(const Platform& platform) {
  PortsDeviceLists lists;
  for (int d = 0; d < platform.MidiInDeviceCount(); ++d) {
    if (const auto info = platform.MidiInDevice(d)) lists.inputs.push_back(DeviceOf(*info));
  }
  for (int d = 0; d < platform.MidiOutDeviceCount(); ++d) {
    if (const auto info = platform.MidiOutDevice(d)) lists.outputs.push_back(DeviceOf(*info));
  }
  return lists;
}

PortsDeviceLists RefreshPortsDevices(AppRec& app) {
  CheckDevicesNow(app);
  return PortsDevicesOf(app.platform);
}

PortsValues PortsValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  PortsValues values;
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    values.inputDevice[p] = s.inputDevice[p];
    values.outputDevice[p] = s.outputDevice[p];
  }
  values.outputLeadMs = s.outputLeadMs;
  values.soundfont = s.soundfont;
  return values;
}

bool CommitPorts(AppRec& app, const PortsValues& values) {
  SystemSettings& s = app.system;
  if (values.soundfont != s.soundfont) {
    if (!app.platform.SynthSetSoundfont(values.soundfont)) {
      Tell(app, "The soundfont '" + values.soundfont +
                    "' could not be loaded.  The built-in synthesizer keeps the soundfont it has.");
      return false;
    }
    s.soundfont = values.soundfont;
  }
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    s.inputDevice[p] = static_cast<uint16_t>(values.inputDevice[p]);
    s.outputDevice[p] = static_cast<uint16_t>(values.outputDevice[p]);
    s.inputDeviceName[p] = DeviceName(app, values.inputDevice[p], true);
    s.outputDeviceName[p] = DeviceName(app, values.outputDevice[p], false);
  }
  s.outputLeadMs = values.outputLeadMs;
  const bool open = OpenPorts(app);
  MidiReportSilentSynth(app.engine.ports, app.portHost);
  PublishSystemSettings(app);
  return open;
}

void PortsDialogClosed(AppRec& app) {
  if (TransportRunning(app)) {
    SetRunningMenus(app);
  } else {
    SetStoppedMenus(app);
  }
}

void UseSettingsSoundfont(AppRec& app) {
  if (app.platform.SynthSetSoundfont(app.system.soundfont) || app.system.soundfont.empty()) return;
  Tell(app, "The soundfont '" + app.system.soundfont +
                "' could not be loaded.  The built-in synthesizer uses the General MIDI "
                "soundfont installed instead.");
  app.system.soundfont.clear();
  app.platform.SynthSetSoundfont({});
}

void CheckDevicesNow(AppRec& app) {
  app.nextDeviceCheck = app.platform.ClockNow() + kDeviceCheckMs;
  MidiCheckDevices(app.engine.ports, app.portHost, true);
}

void CheckDevicesFromIdle(AppRec& app) {
  if (app.platform.ClockNow() < app.nextDeviceCheck) return;
  app.nextDeviceCheck = app.platform.ClockNow() + kDeviceCheckMs;
  // Only the back ends already there: looking for a missing JACK server
  // would stall the window for milliseconds every time.
  MidiCheckDevices(app.engine.ports, app.portHost, false);
  MidiReportRefusedSends(app.engine.ports, app.portHost);
}

}  // namespace tuttiro
