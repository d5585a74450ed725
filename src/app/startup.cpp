// The start-up sequence, the shutdown sequence and the hooks through which the
// settings operations reach the ports, the menus and the buttons.
#include "app/startup.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/app.h"
#include "app/dialog_commit_ports.h"
#include "app/dialog_table.h"
#include "app/help.h"
#include "app/open_file.h"
#include "app/recent_files.h"
#include "midi/settings_ports.h"
#include "piece/settings_store.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro {
namespace {

void CheckIncomingChannels(Host& host, const SystemSettings& system) {
  for (int p = 0; p < kSettingsPortCount; ++p) {
    for (int c = 0; c < 16; ++c) {
      host.CheckMenuItem(kCmdIncomingChannel + kIncomingPortStride * p + c,
                         system.incomingChannels[static_cast<size_t>(p * 16 + c)] != 0);
    }
  }
}

// Opens the ports' devices as the settings assign them. A machine without any
// MIDI input (only the built-in synthesizer, say) has no input device to open:
// its input ports are labelled as having none instead of reporting device 0
// as in use at every start.
bool OpenShellPorts(ShellRec& shell, const SystemSettings& system) {
  AppRec& app = shell.app;
  if (app.platform.MidiInDeviceCount() > 0) {
    return OpenSettingsPorts(system, app.engine.ports, &shell.portHost);
  }
  for (size_t p = 0; p < kSettingsPortCount; ++p) {
    app.engine.ports.inputDevice[p] = static_cast<int16_t>(system.inputDevice[p]);
    app.engine.ports.outputDevice[p] = static_cast<int16_t>(system.outputDevice[p]);
    shell.portHost.SetInputPortMenuLabel(
        static_cast<int>(p),
        std::string("&") + static_cast<char>('A' + p) + "--" + StringText(kStringNoInputDevice));
  }
  for (size_t i = 0; i < system.incomingChannels.size(); ++i) {
    app.engine.ports.channelEnable[i].store(system.incomingChannels[i] ? 1 : 0);
  }
  return MidiOpenOutputs(app.engine.ports, &shell.portHost);
}

void ShowSystemButtons(AppRec& app) {
  SetBoxImage(app, kBoxLoopMode, app.system.loopMode ? kImageOn : kImageNormal);
  SetBoxImage(app, kBoxMetronome, app.system.metronomeOn ? kImageOn : kImageNormal);
}

void InstallShellHooks(ShellRec& shell) {
  AppRec& app = shell.app;
  app.portHost = &shell.portHost;
  SystemSettingsHooks& system = app.settings.systemHooks;
  system.defaultOutputDevice = [&app] { return MidiDefaultOutputDevice(app.platform); };
  system.openPorts = [&shell](const SystemSettings& s) { return OpenShellPorts(shell, s); };
  system.showPortsDialog = [&app] { app.host.RunDialog(kDialogPortsAndDevices); };
  system.checkIncomingChannels = [&app](const SystemSettings& s) {
    CheckIncomingChannels(app.host, s);
  };
  system.showSystemDefaults = [&app] { ShowSystemButtons(app); };
  SettingsHooks& piece = app.settings.hooks;
  piece.setViewsMenu = [&app](const ViewsMenuState& state) { ShowViewsMenu(app.host, state); };
  piece.refreshPosition = [&app] {
    Locate(app);
    RefreshPositionDisplays(app);
  };
  piece.showLoopPoints = [&app] { RefreshPositionDisplays(app); };
}

// The system settings at start-up: the defaults, then what the last run kept.
// With settings kept, the ports open once, for them: opening the defaults'
// devices first would report a busy default device (or open the Ports dialog)
// for ports that were never meant to use it.
void StartSystemSettings(ShellRec& shell) {
  AppRec& app = shell.app;
  std::error_code error;
  const bool kept =
      !shell.settingsFolder.empty() &&
      std::filesystem::exists(std::filesystem::path(shell.settingsFolder) / kSystemSettingsFileName,
                              error);
  if (!kept) {
    ApplySystemDefaults(shell);
    return;
  }
  auto openPorts =
      std::exchange(app.settings.systemHooks.openPorts, [](const SystemSettings&) { return true; });
  ApplySystemDefaults(shell);
  app.settings.systemHooks.openPorts = std::move(openPorts);
  std::string message;
  const SystemSettings saved = LoadSystemSettings(shell.settingsFolder, app.system, message);
  if (!message.empty()) shell.ui.ShowText(message);
  ApplySystemSettings(shell, saved, true);
}

// The text of the menu item `id` in the rows (the first built-in piece's name
// for command 15).
std::string MenuText(const std::vector<MenuRow>& rows, int id) {
  auto it = std::find_if(rows.begin(), rows.end(), [id](const MenuRow& row) {
    return row.kind == MenuRowKind::kItem && row.id == id;
  });
  return it == rows.end() ? std::string() : it->text;
}

}  // namespace

bool MenuWithHelpItems(std::vector<MenuRow>& rows) {
  rows = MainMenuRows();
  auto help = std::find_if(rows.begin(), rows.end(), [](const MenuRow& row) {
    return row.depth == 0 && row.kind == MenuRowKind::kSubmenu && row.text == "&Help";
  });
  if (help == rows.end()) return false;
  std::vector<MenuRow> items;
  for (const HelpMenuItem& item : kHelpMenuItems) {
    const char* text = StringText(item.stringId);
    if (!text) return false;
    items.push_back({1, MenuRowKind::kItem, item.command, text});
  }
  rows.insert(help + 1, items.begin(), items.end());
  return true;
}

bool AppStartup(ShellRec& shell, const std::string& file,
                const std::vector<std::string>& helpFolderCandidates) {
  AppRec& app = shell.app;
  // 1. The program title names the window and every message box.
  if (!StringText(kStringProgramTitle)) {
    app.host.ShowMessage(kStringSeriousProblem);
    return false;
  }
  // 2. One instance at a time; a second start hands over to the first.
  if (!shell.ui.ClaimSingleInstance()) return false;
  // 3. The main window, shown.
  if (!shell.ui.CreateMainWindow()) return false;
  // 4. Menus and accelerators.
  std::vector<MenuRow> rows;
  if (!MenuWithHelpItems(rows) || !shell.ui.BuildMenus(rows, AcceleratorTable())) {
    app.host.ShowMessage(kStringSeriousProblem);
    return false;
  }
  // 5. Display, timer, follower and help pages.
  if (shell.ui.DisplayDepth() < kDisplayDepthNeeded) {
    app.host.ShowMessage(kStringDisplayColours);
    return false;
  }
  if (app.platform.TimerResolution() > kTimerPeriodAllowed) return false;
  AppOpenPiece(app, "");  // sets up the follower: 256 queued notes, time scale 1000
  shell.helpFolder = FindHelpFolder(helpFolderCandidates);
  // 6. System settings: the defaults, then what was kept from the last run.
  InstallShellHooks(shell);
  StartSystemSettings(shell);
  shell.recentFiles = LoadRecentFiles(shell.settingsFolder);
  ShowRecentFiles(shell);
  // 7. The first piece. A file named on the command line that cannot be
  // opened is reported, and the first built-in piece opens instead.
  if (!file.empty() && OpenUserFile(shell, file) == kLoadOk) {
    shell.started = true;
    return true;
  }
  if (OpenPieceKeepingCurrent(shell, MenuText(rows, kIdOpenBuiltinFirst)) != kLoadOk) {
    return false;
  }
  shell.started = true;
  return true;
}

void ShellShutdown(ShellRec& shell) {
  AppRec& app = shell.app;
  AppShutdown(app);
  if (shell.started && !shell.settingsFolder.empty()) {
    NameAssignedDevices(app.system, app.platform);
    SaveSystemSettings(shell.settingsFolder, app.system);
  }
  MidiCloseAll(app.engine.ports);
  ReleasePiece(app.piece);
}

void MainWindowClosing(AppRec& app) {
  if (StopIfRunning(app)) FlashButton(app, kViewMainTransport, kBoxStop);
}

void ApplySystemDefaults(ShellRec& shell) {
  AppRec& app = shell.app;
  if (!app.system.soundfont.empty()) app.platform.SynthSetSoundfont({});
  SystemDefaultSettings(app.settings);
  MidiReportSilentSynth(app.engine.ports, app.portHost);
  PublishSystemSettings(app);
}

void ApplySystemSettings(ShellRec& shell, const SystemSettings& given, bool openPorts) {
  AppRec& app = shell.app;
  // Remembered devices are found by name first: the lists' order may have changed.
  SystemSettings settings = given;
  FindDevicesByName(settings, app.platform);
  const bool portsChanged = settings.inputDevice != app.system.inputDevice ||
                            settings.outputDevice != app.system.outputDevice ||
                            settings.incomingChannels != app.system.incomingChannels;
  const bool soundfontChanged = settings.soundfont != app.system.soundfont;
  app.system = settings;
  if (soundfontChanged) UseSettingsSoundfont(app);
  if (portsChanged || openPorts) {
    if (!OpenShellPorts(shell, app.system)) app.host.RunDialog(kDialogPortsAndDevices);
    CheckIncomingChannels(app.host, app.system);
  }
  MidiReportSilentSynth(app.engine.ports, app.portHost);
  ShowSystemButtons(app);
  GiveFollowerScore(app.settings);
  GiveFollowerOptions(app.settings);
  PublishSystemSettings(app);
}

void ShowViewsMenu(Host& host, const ViewsMenuState& state) {
  for (int p = 0; p < kViewCount; ++p) {
    host.CheckMenuItem(kIdViewFirst + kViewAtMenuPosition[static_cast<size_t>(p)],
                       state.checked[static_cast<size_t>(p)]);
  }
  host.EnableMenuItem(kIdShowAllViews, state.showAllEnabled);
  host.EnableMenuItem(kIdHideAllViews, state.hideAllEnabled);
}

int IdleIntervalMs(AppRec& app) {
  const bool busy = TransportRunning(app) || TransportRewinding(app) ||
                    LoopRestartArmed(app.engine) ||
                    app.transport.previewStage != PreviewStage::kNone;
  return busy ? kIdleFastMs : kIdleSlowMs;
}

}  // namespace tuttiro
