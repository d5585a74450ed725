// The application shell: the state the start-up sequence, the command table and
// the help commands share, and what they ask of the toolkit beyond the Host
// (the main window, the menus, file and help windows). The Qt layer implements
// ShellUi; the tests use a recording fake, so every rule here runs headless.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/named_settings.h"
#include "dialogs/dialog_call.h"
#include "menu_table.h"

namespace tuttiro {

struct AppRec;
struct DialogInfo;
class MidiPortHost;

// The answers to "save the changes?" when a piece with changed settings closes.
enum class SaveChoice { kSave, kDontSave, kCancel };

class ShellUi {
 public:
  virtual ~ShellUi() = default;

  // False when another instance of the program runs; that instance has been
  // asked to come to the front.
  virtual bool ClaimSingleInstance() = 0;
  // Creates the main window and shows it; false when it could not be created.
  virtual bool CreateMainWindow() = 0;
  // Gives the main window its menu bar and the accelerators; false on failure.
  virtual bool BuildMenus(const std::vector<MenuRow>& rows,
                          std::span<const Accelerator> accelerators) = 0;
  // Bits per pixel of the display the main window is on.
  virtual int DisplayDepth() = 0;

  virtual void CloseMainWindow() = 0;
  // The file the user picked in a file dialog with the given filter, or none.
  virtual std::optional<std::string> ChooseMidiFile(const std::string& filter) = 0;
  // The file the user named in a save dialog proposing `proposedName`, or none.
  virtual std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                                    const std::string& proposedName) = 0;
  // Save, Don't Save or Cancel for `question`.
  virtual SaveChoice AskSaveChanges(const std::string& question) = 0;
  // Shows a help page (a path), or the help search when `search` is set.
  virtual void ShowHelpPage(const std::string& path, bool search) = 0;
  virtual void ShowAbout() = 0;
  // The Performance Tempo window, opened or brought to the front.
  virtual void ShowPerformanceTempo() = 0;
  // A message box with the program title and a text that is not in the string table.
  virtual void ShowText(const std::string& text) = 0;
};

struct ShellRec {
  ShellRec(AppRec& appRef, ShellUi& uiRef, MidiPortHost& portHostRef)
      : app(appRef), ui(uiRef), portHost(portHostRef) {}
  ShellRec(const ShellRec&) = delete;
  ShellRec& operator=(const ShellRec&) = delete;

  AppRec& app;
  ShellUi& ui;
  MidiPortHost& portHost;
  // Where the system settings and the recent files are kept; empty: nowhere.
  std::string settingsFolder;
  // The folder of the help pages; empty when they were not found.
  std::string helpFolder;
  // Help context of the open dialog (0: none); F1 opens its page.
  uint32_t helpContext = 0;
  std::vector<std::string> recentFiles;  // newest first
  NamedSettingsRec named;                // saved settings' names and revert points
  bool started = false;                  // every start-up step succeeded
};

}  // namespace tuttiro
