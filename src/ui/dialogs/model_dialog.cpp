// The Qt binding shared by the settings dialogs.
#include "ui/dialogs/model_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "app/dialog_table.h"
#include "dialogs/dialog_frame.h"
#include "dialogs/dialogs.h"
#include "ui/dialogs/zoom_trail.h"

namespace tuttiro {

ModelDialog::ModelDialog(QWidget* parent, const QString& title, DialogModel& model,
                         std::function<bool(int)> command, std::function<void()> help)
    : QDialog(parent), model_(model), command_(std::move(command)), help_(std::move(help)) {
  setWindowTitle(title);
  setObjectName(title);
}

void ModelDialog::ZoomFrom(QWidget* canvas) {
  zoomCanvas_ = canvas;
  if (canvas) zoomPointer_ = canvas->mapFromGlobal(QCursor::pos());
}

namespace {

// A list's entries are replaced only when they changed, so that an open
// drop-down is not rebuilt under the user.
bool SameItems(const QComboBox* combo, const std::vector<std::string>& items) {
  if (combo->count() != static_cast<int>(items.size())) return false;
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).toStdString() != items[static_cast<size_t>(i)]) return false;
  }
  return true;
}

FrameRect ToFrame(const QRect& r) {
  return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

}  // namespace

void ModelDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
    const FrameRect at = CentreDialog(ToFrame(main->frameGeometry()), frameGeometry().width(),
                                      frameGeometry().height());
    move(at.left, at.top);
  }
  if (!zoomCanvas_) return;
  const QRect dialog(zoomCanvas_->mapFromGlobal(frameGeometry().topLeft()), frameGeometry().size());
  const FrameRect pointer{zoomPointer_.x(), zoomPointer_.y(), zoomPointer_.x(), zoomPointer_.y()};
  ZoomTrail::Play(zoomCanvas_, ZoomFrames(pointer, ToFrame(dialog), true));
}

void ModelDialog::accept() {
  if (acceptCheck_ && !acceptCheck_()) return;
  QDialog::accept();
}

void ModelDialog::done(int result) {
  QDialog::done(result);
  if (!zoomCanvas_) return;
  const QRect dialog(zoomCanvas_->mapFromGlobal(frameGeometry().topLeft()), frameGeometry().size());
  const FrameRect pointer{zoomPointer_.x(), zoomPointer_.y(), zoomPointer_.x(), zoomPointer_.y()};
  ZoomTrail::Play(zoomCanvas_, ZoomFrames(pointer, ToFrame(dialog), false));
}

void ModelDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    help_();
    return;
  }
  QDialog::keyPressEvent(event);
}

QLineEdit* ModelDialog::Field(int id, int width) {
  auto* edit = new QLineEdit(this);
  edit->setMaxLength(static_cast<int>(kFieldTextLimit));
  edit->setFixedWidth(width);
  widgets_[id] = edit;
  connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
    model_[id].text = text.toStdString();
    Changed(id);
  });
  return edit;
}

QLabel* ModelDialog::Label(int id, const QString& text, QWidget* buddy) {
  auto* label = new QLabel(text, this);
  if (buddy) label->setBuddy(buddy);
  if (id) widgets_[id] = label;
  return label;
}

QLabel* ModelDialog::Text(int id) {
  auto* label = new QLabel(this);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  widgets_[id] = label;
  modelTexts_.insert(id);
  return label;
}

QAbstractButton* ModelDialog::Radio(int id, const QString& text, QButtonGroup* group) {
  auto* radio = new QRadioButton(text, this);
  group->addButton(radio, id);
  widgets_[id] = radio;
  connect(radio, &QRadioButton::clicked, this, [this, id, group] {
    for (QAbstractButton* b : group->buttons()) model_[group->id(b)].checked = b->isChecked();
    Changed(id);
  });
  return radio;
}

QAbstractButton* ModelDialog::Check(int id, const QString& text) {
  auto* check = new QCheckBox(text, this);
  widgets_[id] = check;
  connect(check, &QCheckBox::clicked, this, [this, id](bool on) {
    model_[id].checked = on;
    Changed(id);
  });
  return check;
}

QComboBox* ModelDialog::Combo(int id) {
  auto* combo = new QComboBox(this);
  widgets_[id] = combo;
  connect(combo, &QComboBox::activated, this, [this, id](int index) {
    model_[id].selection = index;
    Changed(id);
  });
  return combo;
}

QListWidget* ModelDialog::List(int id) {
  auto* list = new QListWidget(this);
  widgets_[id] = list;
  connect(list, &QListWidget::currentRowChanged, this, [this, id](int row) {
    if (refreshing_) return;
    model_[id].selection = row;
    Changed(id);
  });
  return list;
}

QPushButton* ModelDialog::Button(int id, const QString& text, std::function<void()> action) {
  auto* button = new QPushButton(text, this);
  button->setAutoDefault(false);
  widgets_[id] = button;
  connect(button, &QPushButton::clicked, this, [this, id, action = std::move(action)] {
    action();
    Changed(id);
  });
  return button;
}

QButtonGroup* ModelDialog::Group() {
  return new QButtonGroup(this);
}

QBoxLayout* ModelDialog::ButtonRow() {
  auto* rows = new QVBoxLayout;
  // What holds OK back, said above it.
  why_ = new QLabel(this);
  why_->setWordWrap(true);
  why_->setTextFormat(Qt::PlainText);
  why_->setStyleSheet(QStringLiteral("color: #a00000"));
  rows->addWidget(why_);
  auto* row = new QHBoxLayout;
  rows->addLayout(row);
  row->addStretch();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setAutoDefault(false);
  auto* help = new QPushButton(QStringLiteral("Help"), this);
  help->setAutoDefault(false);
  widgets_[dialogs::kOk] = ok_;
  widgets_[dialogs::kCancel] = cancel;
  widgets_[dialogs::kHelp] = help;
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { help_(); });
  row->addWidget(ok_);
  row->addWidget(cancel);
  row->addWidget(help);
  return rows;
}

QWidget* ModelDialog::Control(int id) const {
  auto it = widgets_.find(id);
  return it == widgets_.end() ? nullptr : it->second;
}

void ModelDialog::Changed(int id) {
  if (refreshing_) return;
  if (command_(id)) QApplication::beep();
  Refresh();
}

void ModelDialog::Refresh() {
  refreshing_ = true;
  for (auto& [id, widget] : widgets_) {
    if (id == dialogs::kOk || id == dialogs::kCancel || id == dialogs::kHelp) continue;
    auto it = model_.controls.find(id);
    if (it == model_.controls.end()) continue;
    const ControlState& state = it->second;
    const QSignalBlocker blocker(widget);
    widget->setEnabled(state.enabled);
    if (widget->isHidden() == state.visible) widget->setVisible(state.visible);
    const QString text = QString::fromStdString(state.text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      if (edit->text() != text) edit->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      if (button->isCheckable()) button->setChecked(state.checked);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      if (!SameItems(combo, state.items)) {
        combo->clear();
        for (const std::string& item : state.items) combo->addItem(QString::fromStdString(item));
      }
      combo->setCurrentIndex(state.selection);
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
      list->clear();
      for (const std::string& item : state.items) list->addItem(QString::fromStdString(item));
      list->setCurrentRow(state.selection);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      if (!state.text.empty() || modelTexts_.contains(id)) label->setText(text);
    }
  }
  if (ok_) ok_->setEnabled(model_.ok.enabled());
  if (why_) why_->setText(QString::fromStdString(model_.ok.why));
  refreshing_ = false;
}

QString DialogTitle(int templateId) {
  const DialogInfo* info = DialogForTemplate(templateId);
  return QString::fromUtf8(info ? info->title : "");
}

QGroupBox* GroupBox(QWidget* parent, const QString& title, QLayout* layout) {
  auto* box = new QGroupBox(title, parent);
  box->setLayout(layout);
  return box;
}

}  // namespace tuttiro
