// System Default Settings: every system setting back to its default, the
// ports reopened, and the follower given its score and options again.
#include "piece/system_settings.h"

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
  if (context.follower.setOptions) context.follower.setOptions(context.system);
}

}  // namespace tuttiro
