// The thin Qt side of every settings dialog: widgets built in code, each named
// by its control id, that write what the user does into the dialog's model and
// show the model again after every command (texts, checks, selections, enabled
// controls, the OK button and what holds it back). OK, Cancel and Help are
// buttons 1, 2 and 3; Enter is OK, Escape is Cancel and F1 opens the dialog's
// help page.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <set>

#include "dialogs/dialog_model.h"

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tuttiro {

// A dialog's title from the dialog table, by template id.
QString DialogTitle(int templateId);
// A titled frame around `layout`.
QGroupBox* GroupBox(QWidget* parent, const QString& title, QLayout* layout);

class ModelDialog : public QDialog {
  Q_OBJECT

 public:
  // `command` runs the dialog's rules after control `id` changed and answers
  // whether to beep; `help` opens the help page.
  ModelDialog(QWidget* parent, const QString& title, DialogModel& model,
              std::function<bool(int id)> command, std::function<void()> help);

  // Widgets bound to control ids.
  QLineEdit* Field(int id, int width = 60);
  QLabel* Label(int id, const QString& text, QWidget* buddy = nullptr);
  QLabel* Text(int id);  // a read-only text the model fills
  QAbstractButton* Radio(int id, const QString& text, QButtonGroup* group);
  QAbstractButton* Check(int id, const QString& text);
  QComboBox* Combo(int id);
  QListWidget* List(int id);
  // A push button whose click runs `action` (the model's command follows).
  QPushButton* Button(int id, const QString& text, std::function<void()> action);
  QButtonGroup* Group();
  // OK, Cancel and Help in a row at the bottom right, below the line that
  // says what holds OK back.
  QBoxLayout* ButtonRow();

  // Runs on OK before the dialog closes; it stays open when this answers false
  // (a device that could not be opened, say).
  void SetAcceptCheck(std::function<bool()> check) { acceptCheck_ = std::move(check); }

  // Centred on the main window; opened from a view, a zoom trail runs between
  // the pointer and the dialog on `canvas` when it opens and when it closes.
  void ZoomFrom(QWidget* canvas);

  QWidget* Control(int id) const;
  // Shows the model in every bound widget.
  void Refresh();
  // Runs the model's command for `id`, beeps if it says so, and shows the model.
  void Changed(int id);

 protected:
  // F1 opens the help page from any control of the dialog.
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  void accept() override;

 private:
  DialogModel& model_;
  std::function<bool(int)> command_;
  std::function<void()> help_;
  std::function<bool()> acceptCheck_;
  std::map<int, QWidget*> widgets_;
  QPushButton* ok_ = nullptr;
  QLabel* why_ = nullptr;
  std::set<int> modelTexts_;  // the labels the model fills, emptied with it
  bool refreshing_ = false;
  QPointer<QWidget> zoomCanvas_;
  QPoint zoomPointer_;
};

}  // namespace tuttiro
