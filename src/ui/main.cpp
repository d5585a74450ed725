// The tuttiro program: the Qt application on the real platform (the timer
// thread, RtMidi devices and the built-in synthesizer), the start-up sequence,
// the event loop, and the shutdown sequence in every case.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>

#include "menu_table.h"
#include "piece/settings_store.h"
#include "platform/real/real_platform.h"
#include "platform/stop_signals.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"
#include "ui/tuttiro_app.h"

namespace {

// The stop signals (Ctrl+C, a kill, a hang-up, Ctrl+\) close the main window
// as the window manager would, so
// that the transport stops and the ports are closed before the program ends;
// without asking about unsaved settings, which nobody may be there to answer.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
}

void CloseOnSignals(tuttiro::TuttiroApp& program) {
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &program);
  QObject::connect(notifier, &QSocketNotifier::activated, &program, [&program] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(signalPipe[0], &byte, 1);
    program.CloseWithoutQuestions();
  });
  tuttiro::HandleStopSignals(OnSignal);
}

std::vector<std::string> HelpFolders() {
  const QDir programDir(QCoreApplication::applicationDirPath());
  return {programDir.filePath(QStringLiteral("../share/tuttiro/help")).toStdString(),
          programDir.filePath(QStringLiteral("help")).toStdString(), TUTTIRO_SOURCE_HELP_DIR};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tuttiro"));
  QApplication::setApplicationVersion(QStringLiteral(TUTTIRO_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tuttiro"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("An accompaniment player that follows a live soloist."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption play(QStringLiteral("play"),
                                QStringLiteral("Start Play File as soon as the piece is open."));
  parser.addOption(play);
  parser.addPositionalArgument(QStringLiteral("file"),
                               QStringLiteral("A Standard MIDI File to open instead of the "
                                              "first built-in piece."),
                               QStringLiteral("[file]"));
  parser.process(application);

  tuttiro::TuttiroOptions options;
  if (!parser.positionalArguments().isEmpty()) {
    options.file = parser.positionalArguments().constFirst().toStdString();
  }
  options.instanceKey = QStringLiteral("tuttiro-") + QString::number(getuid());
  options.settingsFolder = tuttiro::SettingsFolder();
  options.helpFolders = HelpFolders();
  options.startupPictureMs = 4000;

  int status = 0;
  {
    tuttiro::RealPlatform platform;
    tuttiro::QtHost host;
    tuttiro::TuttiroApp program(platform, host, std::move(options));
    CloseOnSignals(program);
    if (program.Start() && !program.Stopping()) {
      if (parser.isSet(play)) program.Command(tuttiro::kIdPlayFile);
      status = application.exec();
    }
    program.Shutdown();
  }
  return status;
}
