// System Default Settings: every system setting back to its default, the
// ports reopened, and the follower given its score and options again.
#include "piece/system_settings.h"

#include "engine/follower.h"
#include "midi/midi_ports.h"
#include "piece/piece_settings.h"

namespace tuttiro {

uint16_t IdleFollowerInputMode(const SystemSettings& system) {
  return system.startAutomatically && system.followSource == 0 ? kInputListening : kInputNone;
}

void SystemDefaultSettings(SettingsContext& context) {
  const SystemSettingsHooks& hooks = context.systemHooks;
  SystemSettings& system = context.system;
  system = SystemSettings{};
  if (hooks.defaultOutputDevice)
    system.outputDevice.fill(static_cast<uint16_t>(hooks.defaultOutputDevice()));
  if (hooks.openPorts && !hooks.openPorts(system) && hooks.showPortsDialog) hooks.showPortsDialog();
  if (hooks.checkIncomingChannels) hooks.checkIncomingChannels(system);
  if (hooks.showSystemDefaults) hooks.showSystemDefaults();
  GiveFollowerScore(context);
  GiveFollowerOptions(context);
}

void GiveFollowerOptions(SettingsContext& context) {
  if (!context.follower) return;
  const SystemSettings& system = context.system;
  FollowerSetOptions(*context.follower, system.timingSensitivity, system.startAutomatically != 0,
                     system.autoJump != 0, system.localJumps != 0, system.waitForSolo != 0);
  FollowerSetSpecialSignal(*context.follower, system.remoteControl[kRemoteControlEntries - 1]);
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
