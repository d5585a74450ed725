// The Host in Qt.
#include "ui/qt_host.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "app/dialog_table.h"
#include "menu_table.h"
#include "shell_strings.h"
#include "string_table.h"
#include "ui/views/views_widget.h"

namespace tuttiro {

QtHost::QtHost(QObject* parent) : QObject(parent) {}

void QtHost::ShowMessage(int stringId, std::span<const std::string> pieces) {
  QString text = QString::fromUtf8(StringText(stringId) ? StringText(stringId) : "");
  for (const std::string& piece : pieces) text += QString::fromStdString(piece);
  UpdateNow();
  Present(BoxKind::kMessage, text);
  UpdateNow();
}

void QtHost::ShowMessage(const std::string& text) {
  UpdateNow();
  Present(BoxKind::kMessage, QString::fromStdString(text));
  UpdateNow();
}

bool QtHost::AskOkCancel(const std::string& question) {
  return Present(BoxKind::kQuestion, QString::fromStdString(question)) == QMessageBox::Ok;
}

QtHost::ItemState& QtHost::Item(int commandId) {
  return items_[commandId];
}

void QtHost::Apply(const ItemState& item, QAction* action) const {
  action->setEnabled(item.enabled);
  if (item.checked) {
    action->setCheckable(true);
    action->setChecked(*item.checked);
  }
  // Entries of a list (saved settings, recent files) without a text are not shown.
  if (item.label) {
    action->setText(*item.label);
    action->setVisible(!item.label->isEmpty());
  }
}

void QtHost::EnableMenuItem(int commandId, bool enabled) {
  auto set = [&](int id) {
    ItemState& item = Item(id);
    item.enabled = enabled;
    for (const QPointer<QAction>& action : item.actions) {
      if (action) action->setEnabled(enabled);
    }
  };
  set(commandId);
  for (int follower : ItemsFollowing(commandId)) set(follower);
}

void QtHost::CheckMenuItem(int commandId, bool checked) {
  ItemState& item = Item(commandId);
  item.checked = checked;
  for (const QPointer<QAction>& action : item.actions) {
    if (action) Apply(item, action);
  }
}

void QtHost::SetMenuLabel(int commandId, const std::string& text) {
  ItemState& item = Item(commandId);
  item.label = QString::fromStdString(text);
  for (const QPointer<QAction>& action : item.actions) {
    if (action) Apply(item, action);
  }
}

void QtHost::SetInputPortMenuLabel(int port, const std::string& text) {
  inputPortLabels_[port] = QString::fromStdString(text);
  if (QMenu* menu = inputPortMenus_[port]) menu->setTitle(inputPortLabels_[port]);
}

void QtHost::InvalidateBox(int box) {
  if (canvas_) canvas_->InvalidateBox(box);
}

void QtHost::InvalidateTrackStrip(int track) {
  if (canvas_) canvas_->InvalidateTrackStrip(track);
}

void QtHost::InvalidateViews() {
  if (canvas_) canvas_->InvalidateViews();
}

void QtHost::UpdateNow() {
  if (canvas_) canvas_->PaintNowIfDirty();
}

void QtHost::FlashButton(int, int box, int holdMs) {
  ++flashing_[box];
  InvalidateBox(box);
  UpdateNow();
  // The window goes on while the button is shown pressed.
  QTimer::singleShot(holdMs, this, [this, box] {
    if (--flashing_[box] <= 0) flashing_.erase(box);
    InvalidateBox(box);
  });
}

bool QtHost::Flashing(int box) const {
  return flashing_.count(box) != 0;
}

bool QtHost::RunDialog(int templateId, DialogCall& call) {
  const DialogInfo* dialog = DialogForTemplate(templateId);
  return dialogRunner_ && dialog && dialogRunner_(*dialog, call);
}

void QtHost::Beep() {
  QApplication::beep();
}

void QtHost::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtHost::ShowNotice(const std::string& text) {
  if (noticeShower_) noticeShower_(QString::fromStdString(text));
}

void QtHost::SetNoticeShower(std::function<void(const QString&)> shower) {
  noticeShower_ = std::move(shower);
}

void QtHost::SetWindow(QWidget* window) {
  window_ = window;
}

void QtHost::SetCanvas(ViewsWidget* canvas) {
  canvas_ = canvas;
}

void QtHost::SetDialogRunner(std::function<bool(const DialogInfo&, DialogCall&)> runner) {
  dialogRunner_ = std::move(runner);
}

void QtHost::AddAction(int commandId, QAction* action) {
  ItemState& item = Item(commandId);
  item.actions.emplace_back(action);
  Apply(item, action);
}

void QtHost::AddInputPortMenu(int port, QMenu* menu) {
  inputPortMenus_[port] = menu;
  if (auto it = inputPortLabels_.find(port); it != inputPortLabels_.end()) {
    menu->setTitle(it->second);
  }
}

void QtHost::RestoreCheck(int commandId) {
  auto it = items_.find(commandId);
  if (it == items_.end()) return;
  for (const QPointer<QAction>& action : it->second.actions) {
    if (!action) continue;
    action->setChecked(it->second.checked.value_or(false));
  }
}

QMessageBox::StandardButton QtHost::Present(BoxKind kind, const QString& text) {
  QMessageBox box(window_);
  box.setWindowTitle(QString::fromUtf8(StringText(kStringProgramTitle)));
  box.setText(text);
  switch (kind) {
    case BoxKind::kMessage:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxKind::kQuestion:
      box.setIcon(QMessageBox::Question);
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace tuttiro
