// A whole program without a toolkit for the shell's tests: the simulated
// platform with one loopback output, a host that records what the shell and
// the transport asked of the window, and a shell UI that records the window
// work (and can be told to fail a start-up step).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/dialog_table.h"
#include "app/shell.h"
#include "app/startup.h"
#include "platform/simulated_platform.h"

namespace tuttiro::test {

class ShellHost : public Host, public MidiPortHost {
 public:
  void ShowMessage(int stringId, std::span<const std::string>) override {
    messages.push_back(stringId);
  }
  void ShowMessage(const std::string& text) override { texts.push_back(text); }
  bool AskOkCancel(const std::string& question) override {
    questions.push_back(question);
    return answerOk;
  }
  void EnableMenuItem(int id, bool enabled) override { enabled_[id] = enabled; }
  void CheckMenuItem(int id, bool checked) override { checked_[id] = checked; }
  void SetMenuLabel(int id, const std::string& text) override { labels[id] = text; }
  void SetInputPortMenuLabel(int port, const std::string& text) override {
    portLabels[port] = text;
  }
  void InvalidateBox(int) override {}
  void InvalidateTrackStrip(int track) override { ++stripsRedrawn[track]; }
  void UpdateNow() override { ++updates; }
  void FlashButton(int, int box, int) override { flashes.push_back(box); }
  void InvalidateViews() override {}
  using Host::RunDialog;
  bool RunDialog(int templateId, DialogCall& call) override {
    dialogs.push_back(templateId);
    if (templateId == kDialogSaveSettings && settingsName) {
      call.name = *settingsName;
      return true;
    }
    locationDialogs += templateId == kDialogLocation;
    portsDialogs += templateId == kDialogPortsAndDevices;
    return false;
  }
  void Beep() override {}
  void SetWaitCursor(bool) override {}
  void ShowNotice(const std::string& text) override { notice = text; }
  std::string notice;

  bool Enabled(int id) const { return !enabled_.count(id) || enabled_.at(id); }
  bool Checked(int id) const { return checked_.count(id) && checked_.at(id); }

  std::vector<int> messages;
  std::vector<int> dialogs;
  std::vector<std::string> texts;
  std::vector<std::string> questions;
  bool answerOk = true;
  std::optional<std::string> settingsName;  // what the Save Settings dialog answers
  std::map<int, std::string> labels;
  std::map<int, std::string> portLabels;
  std::map<int, int> stripsRedrawn;
  int updates = 0;
  std::vector<int> flashes;
  int locationDialogs = 0;
  int portsDialogs = 0;

 private:
  std::map<int, bool> enabled_;
  std::map<int, bool> checked_;
};

class FakeShellUi : public ShellUi {
 public:
  bool ClaimSingleInstance() override {
    steps.push_back("claim");
    return claimSucceeds;
  }
  bool CreateMainWindow() override {
    steps.push_back("window");
    return windowSucceeds;
  }
  bool BuildMenus(const std::vector<MenuRow>& rows, std::span<const Accelerator>) override {
    steps.push_back("menus");
    menuRows = rows;
    return true;
  }
  int DisplayDepth() override {
    steps.push_back("display");
    return depth;
  }
  void CloseMainWindow() override { ++closes; }
  std::optional<std::string> ChooseMidiFile(const std::string& filter) override {
    dialogFilter = filter;
    return chosenFile;
  }
  void ShowHelpPage(const std::string& path, bool search) override {
    helpPages.push_back(std::filesystem::path(path).filename().string());
    helpSearch = search;
  }
  std::optional<std::string> ChooseSaveFile(const std::string&,
                                            const std::string& proposed) override {
    proposedNames.push_back(proposed);
    return savePath;
  }
  SaveChoice AskSaveChanges(const std::string& question) override {
    saveQuestions.push_back(question);
    return saveChoice;
  }
  void ShowAbout() override { ++abouts; }
  void ShowPerformanceTempo() override { ++tempoWindows; }
  void ShowText(const std::string& text) override { texts.push_back(text); }

  bool claimSucceeds = true;
  bool windowSucceeds = true;
  int depth = 24;
  std::vector<std::string> steps;
  std::vector<MenuRow> menuRows;
  int closes = 0;
  std::optional<std::string> chosenFile;
  std::string dialogFilter;
  std::vector<std::string> helpPages;
  bool helpSearch = false;
  int abouts = 0;
  int tempoWindows = 0;
  std::optional<std::string> savePath;
  std::vector<std::string> proposedNames;
  SaveChoice saveChoice = SaveChoice::kDontSave;
  std::vector<std::string> saveQuestions;
  std::vector<std::string> texts;
};

// A platform whose timers cannot go below a given period.
class CoarseTimerPlatform : public SimulatedPlatform {
 public:
  int TimerResolution() const override { return resolution; }
  int resolution = 1;
};

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int count = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tuttiro-app-test-" + std::to_string(getpid()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  std::string Str() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string SourcePath(const std::string& relative) {
  return std::string(TUTTIRO_SOURCE_DIR) + "/" + relative;
}

class ShellTest : public ::testing::Test {
 protected:
  explicit ShellTest(int inputDevices = 0) {
    for (int i = 0; i < inputDevices; ++i) platform.AddInputDevice("In " + std::to_string(i + 1));
    platform.AddOutputDevice("Out");
    platform.SetNow(1000);
    app = std::make_unique<AppRec>(platform, host);
    shell = std::make_unique<ShellRec>(*app, ui, host);
    shell->settingsFolder = settings.Str();
  }

  // The start-up sequence with the help pages of the source tree.
  bool Start(const std::string& file = {}) {
    return AppStartup(*shell, file, {SourcePath("resources/help")});
  }

  CoarseTimerPlatform platform;
  ShellHost host;
  FakeShellUi ui;
  TempFolder settings;
  std::unique_ptr<AppRec> app;
  std::unique_ptr<ShellRec> shell;
};

}  // namespace tuttiro::test
