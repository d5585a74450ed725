// The program on the simulated platform for the widget tests: a Qt host that
// answers every box at once, a program whose file dialog is scripted, and a
// fixture that starts it with its own settings folder and instance key, and
// one that works an open dialog with the keyboard.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "dialogs/dialogs.h"
#include "platform/simulated_platform.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_host.h"
#include "ui/tuttiro_app.h"

namespace tuttiro::test {

inline std::string SourcePath(const std::string& relative) {
  return std::string(TUTTIRO_SOURCE_DIR) + "/" + relative;
}

inline QString UniqueKey() {
  static int count = 0;
  return QStringLiteral("tuttiro-ui-test-%1-%2").arg(getpid()).arg(++count);
}

// Answers every box at once and remembers what it showed.
class RecordingQtHost : public QtHost {
 public:
  struct Shown {
    BoxKind kind;
    QString text;
  };
  std::vector<Shown> shown;

 protected:
  QMessageBox::StandardButton Present(BoxKind kind, const QString& text) override {
    shown.push_back({kind, text});
    return QMessageBox::Ok;
  }
};

class TestProgram : public TuttiroApp {
 public:
  using TuttiroApp::TuttiroApp;
  std::optional<std::string> ChooseMidiFile(const std::string&) override { return chosen; }
  std::optional<std::string> chosen;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    platform.AddOutputDevice("Out");
    platform.SetNow(1000);
    settingsFolder = std::filesystem::temp_directory_path() / UniqueKey().toStdString();
    program = std::make_unique<TestProgram>(platform, host, Options());
  }
  ~MainWindowTest() override {
    program.reset();
    std::filesystem::remove_all(settingsFolder);
  }
  TuttiroOptions Options() {
    TuttiroOptions options;
    options.instanceKey = key;
    options.settingsFolder = settingsFolder.string();
    options.helpFolders = {SourcePath("resources/help")};
    return options;
  }
  void SetUp() override { ASSERT_TRUE(program->Start()); }

  MainWindow& Window() { return *program->Window(); }
  AppRec& App() { return program->App(); }
  // The menu item carrying `id` (not the accelerator).
  QAction* Item(int id) {
    for (QAction* action : Window().menuBar()->findChildren<QAction*>()) {
      if (action->data().toInt() == id && qobject_cast<QMenu*>(action->parent())) return action;
    }
    return nullptr;
  }
  QAction* Accelerator(int id) {
    for (QAction* action : Window().actions()) {
      if (action->data().toInt() == id) return action;
    }
    return nullptr;
  }
  QMenu* Submenu(const QString& title) {
    for (QMenu* menu : Window().menuBar()->findChildren<QMenu*>()) {
      if (menu->title() == title) return menu;
    }
    return nullptr;
  }
  void Key(QEvent::Type type, bool autoRepeat) {
    QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), autoRepeat);
    QApplication::sendEvent(&Window(), &event);
  }

  SimulatedPlatform platform;
  RecordingQtHost host;
  QString key = UniqueKey();
  std::filesystem::path settingsFolder;
  std::unique_ptr<TestProgram> program;
};

class DialogTest : public MainWindowTest {
 protected:
  // Runs `act` on the dialog once it is open (a modal dialog runs its own loop).
  static void WhenOpen(std::function<void(ModelDialog&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
      auto* dialog = qobject_cast<ModelDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(*dialog);
    });
  }
  static QLineEdit* Edit(ModelDialog& d, int id) { return qobject_cast<QLineEdit*>(d.Control(id)); }
  static QComboBox* Combo(ModelDialog& d, int id) {
    return qobject_cast<QComboBox*>(d.Control(id));
  }
  // Presses a button with the space bar.
  static void Click(ModelDialog& d, int id) {
    auto* button = qobject_cast<QAbstractButton*>(d.Control(id));
    ASSERT_NE(button, nullptr) << id;
    QTest::keyClick(button, Qt::Key_Space);
  }
  // Replaces a field's text by typing, as a user selecting it all and typing.
  static void Type(ModelDialog& d, int id, const QString& text) {
    QLineEdit* edit = Edit(d, id);
    ASSERT_NE(edit, nullptr) << id;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  // Chooses a list entry with the keyboard, from the top.
  static void Choose(ModelDialog& d, int id, int entry) {
    QComboBox* combo = Combo(d, id);
    ASSERT_NE(combo, nullptr) << id;
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < entry; ++i) QTest::keyClick(combo, Qt::Key_Down);
  }
  static bool OkEnabled(ModelDialog& d) { return d.Control(dialogs::kOk)->isEnabled(); }
  static void PressEnter(ModelDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }
  static void PressEscape(ModelDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }
};

}  // namespace tuttiro::test
