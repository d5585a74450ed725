// The running program in Qt: the application record and the shell on a given
// platform, the main window, the help window and the single-instance lock, with
// the idle pass on a timer. main() makes one on the real platform; the widget
// tests make one on the simulated platform.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/shell.h"

namespace tuttiro {

class HelpWindow;
class MainWindow;
class PerformanceTempoWindow;
class QtHost;
class SingleInstance;

struct TuttiroOptions {
  std::string file;     // a piece named on the command line
  QString instanceKey;  // names the single-instance lock and socket
  std::string settingsFolder;
  std::vector<std::string> helpFolders;  // where to look for the help pages
  int startupPictureMs = 0;              // how long the startup picture shows
};

class TuttiroApp : public QObject, public ShellUi {
  Q_OBJECT

 public:
  TuttiroApp(Platform& platform, QtHost& host, TuttiroOptions options);
  ~TuttiroApp() override;

  // The start-up sequence; false when the program is to end at once.
  bool Start();
  // The shutdown sequence; runs once.
  void Shutdown();

  // Closes the main window without asking to save changed piece settings.
  void CloseWithoutQuestions();
  // A stop signal has arrived: the program ends without running on.
  bool Stopping() const { return stopping_; }

  // A command from a menu item or an accelerator.
  void Command(int id);
  // One idle pass, then the next is timed by what the transport does.
  void IdleTick();

  AppRec& App() { return app_; }
  ShellRec& Shell() { return shell_; }
  MainWindow* Window() const { return window_.get(); }
  HelpWindow* Help() const { return help_.get(); }
  int IdleInterval() const { return idle_.interval(); }

  // ShellUi
  bool ClaimSingleInstance() override;
  bool CreateMainWindow() override;
  bool BuildMenus(const std::vector<MenuRow>& rows,
                  std::span<const Accelerator> accelerators) override;
  int DisplayDepth() override;
  void CloseMainWindow() override;
  std::optional<std::string> ChooseMidiFile(const std::string& filter) override;
  std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                            const std::string& proposedName) override;
  SaveChoice AskSaveChanges(const std::string& question) override;
  void ShowHelpPage(const std::string& path, bool search) override;
  void ShowAbout() override;
  void ShowPerformanceTempo() override;
  PerformanceTempoWindow* TempoWindow() const { return tempo_.get(); }
  // The one dialog runner (the host's RunDialog ends here): runs a settings
  // dialog modally while the help context is its own; `call` carries what the
  // dialog is opened with and gives back. True for OK.
  bool RunDialog(const DialogInfo& dialog, DialogCall& call);
  void ShowText(const std::string& text) override;

 private:
  void Reschedule();

  QtHost& host_;
  // A command or an idle pass is running. A message box it shows runs an event
  // loop of its own, in which the idle timer must not start another pass. A
  // settings dialog lifts this while it is open (the transport goes on as if it
  // were closed) unless it was opened from within the idle pass itself.
  bool busy_ = false;
  bool inIdle_ = false;
  // A press, move or release in a view is being handled: a dialog it opens
  // zooms out of the pointer.
  bool inView_ = false;
  // Where messages taken from MIDI go while a dialog captures them.
  std::function<void(uint32_t)> captureTarget_;
  TuttiroOptions options_;
  AppRec app_;
  ShellRec shell_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<HelpWindow> help_;
  std::unique_ptr<PerformanceTempoWindow> tempo_;
  QTimer idle_;
  bool shutDown_ = false;
  bool askOnClose_ = true;
  bool stopping_ = false;
};

}  // namespace tuttiro
