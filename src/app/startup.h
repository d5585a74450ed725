// Start-up and shutdown of the program, the settings and piece hooks the shell
// fills in, and the pace of the idle pass. The toolkit does the window work
// through ShellUi; the order of the steps and their failures live here.
#pragma once

#include <string>
#include <vector>

#include "app/shell.h"

namespace tuttiro {

struct SystemSettings;
struct ViewsMenuState;
class Host;

inline constexpr int kDisplayDepthNeeded = 8;
inline constexpr int kTimerPeriodAllowed = 50;
inline constexpr int kIdleFastMs = 5;
inline constexpr int kIdleSlowMs = 50;

// The start-up steps in their order: basics (the program title), single
// instance, main window, menus and accelerators (with the help items), the
// display and timer checks, the follower's set-up, the help pages, the system
// defaults followed by the saved system settings and the recent files, and
// the first piece: `file` when one is named (its load result is shown if it
// fails and the first built-in piece opens instead), else the first built-in
// piece. False when a step failed; its message, if it has one, was shown.
bool AppStartup(ShellRec& shell, const std::string& file,
                const std::vector<std::string>& helpFolderCandidates);

// The shutdown sequence, after the main loop or a failed start-up: stops the
// transport, sends the closing SysEx, keeps the system settings (after a
// complete start-up), closes every port and releases the piece.
void ShellShutdown(ShellRec& shell);

// The main window is going away (closed, or the session ends): the transport
// stops, flashing the Stop button if it ran.
void MainWindowClosing(AppRec& app);

// Menu resource 1000 with the help items inserted at the top of the Help menu;
// false when a help item's text is missing from the string table.
bool MenuWithHelpItems(std::vector<MenuRow>& rows);

// System Default Settings as the menu command and start-up run it.
void ApplySystemDefaults(ShellRec& shell);
// Takes over system settings read from storage: ports reopened when their
// devices or channels differ (or always, with openPorts), follower and
// scheduler told, buttons shown.
void ApplySystemSettings(ShellRec& shell, const SystemSettings& settings, bool openPorts = false);

// The Views menu: check marks of the eight views, Show All and Hide All.
void ShowViewsMenu(Host& host, const ViewsMenuState& state);

// Milliseconds until the next idle pass: 5 while the transport runs, rewinds,
// previews or a loop restart is armed, 50 otherwise.
int IdleIntervalMs(AppRec& app);

}  // namespace tuttiro
