// The main window: the menu bar built from the menu table, the accelerators,
// the views as its client area, and the keyboard and mouse input the shell
// needs (the space bar's rule, the keys the tap poll reads, F1, closing).
#pragma once

#include <QMainWindow>
#include <functional>
#include <span>
#include <vector>

#include "menu_table.h"

namespace tuttiro {

struct AppRec;
class QtHost;
class NoticeBar;
class ViewsWidget;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  struct Handlers {
    std::function<void(int)> command;    // a menu item or accelerator, by command id
    std::function<void(bool)> spaceBar;  // the space bar went down; true for auto-repeat
    std::function<void()> help;          // F1
    std::function<bool()> closing;       // the window may close: false keeps it open
    // Runs an action of the views on the application, as a command runs.
    std::function<void(const std::function<void()>&)> run;
    // The connect notice's link, "Don't Show Again" and Close.
    std::function<void()> noticeHelp, noticeNeverAgain, noticeClose;
  };

  MainWindow(AppRec& app, QtHost& host, Handlers handlers);

  // Builds the menu bar from the rows; each item and accelerator is an action
  // carrying its command id, registered with the host.
  void BuildMenus(const std::vector<MenuRow>& rows, std::span<const Accelerator> accelerators);
  // Where the window was when the musician last closed it (the placement file
  // in `folder`), when that still fits a screen; else the top-left corner of
  // the screen's work area, filling it.
  void PlaceOnScreen(const std::string& folder);
  // Writes the window's placement for the next session; nothing without a folder.
  void SavePlacement(const std::string& folder) const;
  // Shown, restored if minimised, in front and active.
  void BringToFront();
  ViewsWidget* Views() const { return views_; }
  // The notice above the views; an empty text hides it.
  void ShowNotice(const QString& text);
  NoticeBar* Notice() const { return notice_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Moves the window onto the screen its middle is on, shrunk if it must be.
  void KeepOnScreen();

  AppRec& app_;
  QtHost& host_;
  Handlers handlers_;
  ViewsWidget* views_;
  NoticeBar* notice_;
};

}  // namespace tuttiro
