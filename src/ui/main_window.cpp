// The main window.
#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app.h"
#include "shell_strings.h"
#include "string_table.h"
#include "ui/notice_bar.h"
#include "ui/qt_host.h"
#include "ui/views/views_widget.h"
#include "views/views.h"

namespace tuttiro {
namespace {

// A list whose entries have no text until something is saved shows a greyed
// line saying so while every entry is hidden.
void AddEmptyListText(QMenu* menu) {
  auto* placeholder = new QAction(QString::fromUtf8(StringText(kStringNoSettingsSaved)), menu);
  placeholder->setEnabled(false);
  menu->addAction(placeholder);
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, placeholder] {
    const QList<QAction*> actions = menu->actions();
    placeholder->setVisible(std::none_of(actions.begin(), actions.end(), [&](QAction* a) {
      return a != placeholder && a->isVisible() && !a->isSeparator();
    }));
  });
}

bool IsEmptyList(const std::vector<MenuRow>& rows, size_t submenu) {
  bool anyItem = false;
  for (size_t i = submenu + 1; i < rows.size() && rows[i].depth > rows[submenu].depth; ++i) {
    if (rows[i].kind != MenuRowKind::kItem) return false;
    if (!rows[i].text.empty()) return false;
    anyItem = true;
  }
  return anyItem;
}

}  // namespace

MainWindow::MainWindow(AppRec& app, QtHost& host, Handlers handlers)
    : app_(app),
      host_(host),
      handlers_(std::move(handlers)),
      views_(new ViewsWidget(app, host, handlers_.run)),
      notice_(new NoticeBar({[this] { handlers_.noticeHelp(); },
                             [this] { handlers_.noticeNeverAgain(); },
                             [this] { handlers_.noticeClose(); }})) {
  setWindowTitle(QString::fromUtf8(StringText(kStringProgramTitle)));
  setWindowIcon(QIcon(QStringLiteral(":/tuttiro.png")));
  auto* client = new QWidget(this);
  auto* column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(notice_);
  column->addWidget(views_, 1);
  setCentralWidget(client);
  setFocusPolicy(Qt::StrongFocus);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] { handlers_.help(); });
}

void MainWindow::BuildMenus(const std::vector<MenuRow>& rows,
                            std::span<const Accelerator> accelerators) {
  std::vector<QMenu*> open;  // open[d]: the submenu that rows at depth d + 1 go into
  for (size_t i = 0; i < rows.size(); ++i) {
    const MenuRow& row = rows[i];
    open.resize(static_cast<size_t>(row.depth));
    QMenu* parent = row.depth == 0 ? nullptr : open.back();
    const QString text = QString::fromStdString(row.text);
    switch (row.kind) {
      case MenuRowKind::kSubmenu: {
        QMenu* menu = parent ? parent->addMenu(text) : menuBar()->addMenu(text);
        if (row.id >= kMenuIncomingPortFirst)
          host_.AddInputPortMenu(row.id - kMenuIncomingPortFirst, menu);
        if (IsEmptyList(rows, i)) AddEmptyListText(menu);
        open.push_back(menu);
        break;
      }
      case MenuRowKind::kSeparator:
        if (parent) parent->addSeparator();
        break;
      case MenuRowKind::kItem: {
        if (!parent) break;
        // The shortcut text after the tab is shown as it is; the accelerators
        // below are the keys.
        QAction* action = parent->addAction(text);
        action->setVisible(!row.text.empty());
        action->setData(row.id);
        const int id = row.id;
        connect(action, &QAction::triggered, this, [this, id] { handlers_.command(id); });
        host_.AddAction(id, action);
        break;
      }
    }
  }
  for (const Accelerator& accelerator : accelerators) {
    auto* action = new QAction(this);
    action->setShortcut(
        QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_A + (accelerator.key - 'A'))));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setData(accelerator.command);
    addAction(action);
    const int id = accelerator.command;
    connect(action, &QAction::triggered, this, [this, id] { handlers_.command(id); });
    host_.AddAction(id, action);
  }
}

namespace {

QString PlacementFile(const std::string& folder) {
  return QString::fromStdString(folder) + QStringLiteral("/window.ini");
}

}  // namespace

void MainWindow::PlaceOnScreen(const std::string& folder) {
  if (!folder.empty()) {
    const QSettings placement(PlacementFile(folder), QSettings::IniFormat);
    // restoreGeometry moves a window whose screen is gone onto one that is
    // there; one partly off its screen is moved (or shrunk) onto it here.
    if (restoreGeometry(placement.value(QStringLiteral("geometry")).toByteArray())) {
      KeepOnScreen();
      return;
    }
  }
  const QRect area = screen()->availableGeometry();
  move(area.topLeft());
  const QSize frame = frameGeometry().size() - size();
  resize(area.size() - frame);
}

void MainWindow::ShowNotice(const QString& text) {
  notice_->Show(text);
}

void MainWindow::KeepOnScreen() {
  const QRect frame = frameGeometry();
  const QScreen* shown = QGuiApplication::screenAt(frame.center());
  const QRect area = (shown ? shown : screen())->availableGeometry();
  const LayoutBox kept =
      KeptOnArea({frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1},
                 {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
  if (kept.Width() != frame.width() || kept.Height() != frame.height())
    resize(size() - QSize(frame.width() - kept.Width(), frame.height() - kept.Height()));
  move(kept.left, kept.top);
}

void MainWindow::SavePlacement(const std::string& folder) const {
  if (folder.empty()) return;
  QSettings placement(PlacementFile(folder), QSettings::IniFormat);
  placement.setValue(QStringLiteral("geometry"), saveGeometry());
}

void MainWindow::BringToFront() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  if (!event->isAutoRepeat()) app_.platform.SetKeyDown(KeyId::kSpaceBar, true);
  handlers_.spaceBar(event->isAutoRepeat());
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    app_.platform.SetKeyDown(KeyId::kSpaceBar, false);
    return;
  }
  QMainWindow::keyReleaseEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) app_.platform.SetKeyDown(KeyId::kRightButton, true);
  QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) app_.platform.SetKeyDown(KeyId::kRightButton, false);
  QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
  // A key or button let go while another window had the input never reports
  // its release here; it is up as far as the tap poll is concerned.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
    app_.platform.SetKeyDown(KeyId::kSpaceBar, false);
    app_.platform.SetKeyDown(KeyId::kRightButton, false);
    views_->CancelGesture();
  }
  QMainWindow::changeEvent(event);
}

bool MainWindow::event(QEvent* event) {
  // A modal box took the input: a press on a view never sees its release.
  if (event->type() == QEvent::WindowBlocked) views_->CancelGesture();
  return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (handlers_.closing()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace tuttiro
