// The program in Qt: the shell's toolkit services and the idle pass's timer.
#include "ui/tuttiro_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <utility>

#include "app/dialog_table.h"
#include "app/dispatch.h"
#include "app/help.h"
#include "app/named_settings.h"
#include "app/startup.h"
#include "string_table.h"
#include "ui/about_box.h"
#include "ui/dialogs/settings_dialogs.h"
#include "ui/help_window.h"
#include "ui/main_window.h"
#include "ui/performance_tempo_window.h"
#include "ui/qt_host.h"
#include "ui/single_instance.h"
#include "ui/views/views_widget.h"

namespace tuttiro {

TuttiroApp::TuttiroApp(Platform& platform, QtHost& host, TuttiroOptions options)
    : host_(host), options_(std::move(options)), app_(platform, host), shell_(app_, *this, host) {
  shell_.settingsFolder = options_.settingsFolder;
  host_.SetDialogRunner(
      [this](const DialogInfo& dialog, DialogCall& call) { return RunDialog(dialog, call); });
  // The input thread hands a captured message to the window thread, where the
  // dialog taking values from MIDI (if one still is) fills its fields.
  app_.engine.input.learn = [this](uint32_t message) {
    QMetaObject::invokeMethod(
        this,
        [this, message] {
          if (captureTarget_) captureTarget_(message);
        },
        Qt::QueuedConnection);
  };
  // Both paces of the idle pass are short enough to want a precise timer.
  idle_.setTimerType(Qt::PreciseTimer);
  connect(&idle_, &QTimer::timeout, this, &TuttiroApp::IdleTick);
}

TuttiroApp::~TuttiroApp() {
  Shutdown();
  host_.SetDialogRunner({});
  host_.SetCanvas(nullptr);
  host_.SetWindow(nullptr);
}

bool TuttiroApp::Start() {
  const bool started = AppStartup(shell_, options_.file, options_.helpFolders);
  if (started) Reschedule();
  return started;
}

void TuttiroApp::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  idle_.stop();
  ShellShutdown(shell_);
}

void TuttiroApp::CloseWithoutQuestions() {
  askOnClose_ = false;
  stopping_ = true;
  // A message box or dialog open now (the one at start-up, say) is closed as
  // well, so that nothing waits for an answer nobody may be there to give.
  for (int open = 0; open < 16; ++open) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->close()) break;
  }
  if (window_) window_->close();
}

void TuttiroApp::Command(int id) {
  const bool wasBusy = std::exchange(busy_, true);
  DispatchCommand(shell_, id);
  busy_ = wasBusy;
  host_.RestoreCheck(id);
  Reschedule();
}

void TuttiroApp::IdleTick() {
  if (busy_) return;
  busy_ = true;
  inIdle_ = true;
  IdlePass(app_);
  inIdle_ = false;
  busy_ = false;
  Reschedule();
}

void TuttiroApp::Reschedule() {
  if (shutDown_) return;
  const int interval = IdleIntervalMs(app_);
  if (!idle_.isActive() || idle_.interval() != interval) idle_.start(interval);
}

bool TuttiroApp::ClaimSingleInstance() {
  instance_ = std::make_unique<SingleInstance>(options_.instanceKey);
  connect(instance_.get(), &SingleInstance::activationRequested, this, [this] {
    if (window_) window_->BringToFront();
  });
  return instance_->Claim();
}

bool TuttiroApp::CreateMainWindow() {
  MainWindow::Handlers handlers;
  handlers.command = [this](int id) { Command(id); };
  handlers.spaceBar = [this](bool autoRepeat) {
    const bool wasBusy = std::exchange(busy_, true);
    SpaceBarDown(app_, autoRepeat);
    busy_ = wasBusy;
    Reschedule();
  };
  handlers.help = [this] { HelpRequest(shell_); };
  handlers.run = [this](const std::function<void()>& action) {
    const bool wasBusy = std::exchange(busy_, true);
    const bool wasInView = std::exchange(inView_, true);
    action();
    inView_ = wasInView;
    busy_ = wasBusy;
    Reschedule();
  };
  handlers.closing = [this] {
    const bool wasBusy = std::exchange(busy_, true);
    const bool close = !askOnClose_ || PieceMayClose(shell_);
    busy_ = wasBusy;
    if (!close) return false;
    window_->SavePlacement(shell_.settingsFolder);
    MainWindowClosing(app_);
    QCoreApplication::quit();
    return true;
  };
  handlers.noticeHelp = [this] { ShowHelpFile(shell_, kConnectHelpPage); };
  handlers.noticeNeverAgain = [this] { ConnectNoticeNeverAgain(app_); };
  handlers.noticeClose = [this] { ConnectNoticeDismiss(app_); };
  window_ = std::make_unique<MainWindow>(app_, host_, std::move(handlers));
  host_.SetWindow(window_.get());
  host_.SetNoticeShower([this](const QString& text) { window_->ShowNotice(text); });
  host_.SetCanvas(window_->Views());
  // The end of the user's session stops the music as closing the window does.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { MainWindowClosing(app_); });
  if (options_.startupPictureMs > 0)
    window_->Views()->ShowStartupPicture(options_.startupPictureMs);
  window_->show();
  window_->PlaceOnScreen(shell_.settingsFolder);
  host_.UpdateNow();
  return true;
}

bool TuttiroApp::BuildMenus(const std::vector<MenuRow>& rows,
                            std::span<const Accelerator> accelerators) {
  window_->BuildMenus(rows, accelerators);
  return true;
}

int TuttiroApp::DisplayDepth() {
  const QScreen* screen = window_->screen();
  return screen ? screen->depth() : 0;
}

void TuttiroApp::CloseMainWindow() {
  if (window_) window_->close();
}

std::optional<std::string> TuttiroApp::ChooseMidiFile(const std::string& filter) {
  const QString path = QFileDialog::getOpenFileName(window_.get(), QStringLiteral("Open File"),
                                                    QString(), QString::fromStdString(filter),
                                                    nullptr, QFileDialog::HideNameFilterDetails);
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> TuttiroApp::ChooseSaveFile(const std::string& filter,
                                                      const std::string& proposedName) {
  QString path = QFileDialog::getSaveFileName(
      window_.get(), QStringLiteral("Save As"), QString::fromStdString(proposedName),
      QString::fromStdString(filter), nullptr, QFileDialog::HideNameFilterDetails);
  if (path.isEmpty()) return std::nullopt;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".mid");
  return path.toStdString();
}

SaveChoice TuttiroApp::AskSaveChanges(const std::string& question) {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(StringText(kStringProgramTitle)),
                  QString::fromStdString(question),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_.get());
  box.setDefaultButton(QMessageBox::Save);
  box.button(QMessageBox::Discard)->setText(QStringLiteral("Do&n't Save"));
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveChoice::kSave;
    case QMessageBox::Discard:
      return SaveChoice::kDontSave;
    default:
      return SaveChoice::kCancel;
  }
}

bool TuttiroApp::RunDialog(const DialogInfo& dialog, DialogCall& call) {
  const uint32_t parentContext = shell_.helpContext;
  shell_.helpContext = static_cast<uint32_t>(dialog.helpContext);
  // The idle pass runs in the dialog's event loop: displays, queued commands,
  // the loop end and restart go on. A pass already on the stack is not entered again.
  const bool wasBusy = std::exchange(busy_, inIdle_);
  const bool fromView = std::exchange(inView_, false);
  Reschedule();
  DialogEnv env{
      app_,
      window_.get(),
      fromView ? window_->Views() : nullptr,
      [this] { HelpRequest(shell_); },
      [this](int templateId, DialogCall& child) {
        const DialogInfo* info = DialogForTemplate(templateId);
        return info && RunDialog(*info, child);
      },
      [this](std::function<void(uint32_t)> target) { captureTarget_ = std::move(target); }};
  SettingsBefore before = SettingsBeforeDialog(shell_);
  const bool ok = RunSettingsDialog(dialog.templateId, env, call);
  if (ok) SettingsAfterDialog(shell_, std::move(before));
  inView_ = fromView;
  busy_ = wasBusy;
  shell_.helpContext = parentContext;
  host_.UpdateNow();
  return ok;
}

void TuttiroApp::ShowHelpPage(const std::string& path, bool search) {
  if (!help_) help_ = std::make_unique<HelpWindow>(shell_.helpFolder);
  help_->ShowPage(QString::fromStdString(path), search);
}

void TuttiroApp::ShowAbout() {
  ShowAboutBox(window_.get());
}

void TuttiroApp::ShowPerformanceTempo() {
  if (!tempo_) tempo_ = std::make_unique<PerformanceTempoWindow>(app_, window_.get());
  tempo_->Refresh();
  tempo_->show();
  tempo_->raise();
  tempo_->activateWindow();
}

void TuttiroApp::ShowText(const std::string& text) {
  host_.ShowMessage(text);
}

}  // namespace tuttiro
