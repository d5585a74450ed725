// The Host and the ports' host in Qt: message boxes captioned with the program
// title, menu items enabled, checked and relabelled by command id, the views
// repainted and their buttons flashed; every dialog goes through the one runner.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/host.h"
#include "dialogs/dialog_call.h"
#include "midi/midi_ports.h"

class QAction;
class QMenu;
class QWidget;

namespace tuttiro {

struct DialogInfo;
class ViewsWidget;

class QtHost : public QObject, public Host, public MidiPortHost {
  Q_OBJECT

 public:
  enum class BoxKind { kMessage, kQuestion };

  explicit QtHost(QObject* parent = nullptr);

  // Host
  void ShowMessage(int stringId, std::span<const std::string> pieces = {}) override;
  bool AskOkCancel(const std::string& question) override;
  void EnableMenuItem(int commandId, bool enabled) override;
  void CheckMenuItem(int commandId, bool checked) override;
  void SetMenuLabel(int commandId, const std::string& text) override;
  void InvalidateBox(int box) override;
  void InvalidateTrackStrip(int track) override;
  void InvalidateViews() override;
  void UpdateNow() override;
  void FlashButton(int view, int box, int holdMs) override;
  using Host::RunDialog;
  bool RunDialog(int templateId, DialogCall& call) override;
  void Beep() override;
  void SetWaitCursor(bool on) override;
  void ShowNotice(const std::string& text) override;

  // MidiPortHost
  void ShowMessage(const std::string& text) override;
  void SetInputPortMenuLabel(int port, const std::string& text) override;

  // The bindings the main window and the application make.
  void SetWindow(QWidget* window);      // owner of the message boxes
  void SetCanvas(ViewsWidget* canvas);  // the client area with the views
  void SetDialogRunner(std::function<bool(const DialogInfo&, DialogCall&)> runner);
  void SetNoticeShower(std::function<void(const QString&)> shower);
  // A menu item or accelerator carrying `commandId`; it takes the item's state.
  void AddAction(int commandId, QAction* action);
  void AddInputPortMenu(int port, QMenu* menu);
  // Puts the check marks of `commandId` back as the program set them (a
  // checkable action toggles itself when chosen).
  void RestoreCheck(int commandId);

  // A box shown pressed by FlashButton right now.
  bool Flashing(int box) const;

 protected:
  // Shows a box with the program title and returns the button chosen. Tests
  // override it to answer without a window.
  virtual QMessageBox::StandardButton Present(BoxKind kind, const QString& text);

 private:
  struct ItemState {
    bool enabled = true;
    std::optional<bool> checked;
    std::optional<QString> label;
    std::vector<QPointer<QAction>> actions;
  };
  void Apply(const ItemState& item, QAction* action) const;
  ItemState& Item(int commandId);

  std::map<int, ItemState> items_;
  std::map<int, QPointer<QMenu>> inputPortMenus_;
  std::map<int, QString> inputPortLabels_;
  std::map<int, int> flashing_;  // box -> flashes in progress
  QPointer<QWidget> window_;
  QPointer<ViewsWidget> canvas_;
  std::function<bool(const DialogInfo&, DialogCall&)> dialogRunner_;
  std::function<void(const QString&)> noticeShower_;
};

}  // namespace tuttiro
