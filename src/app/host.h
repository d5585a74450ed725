// The Host: what the engine and the transport ask of the user interface. The Qt
// layer implements it, tests use a recording fake, and the headless player a
// quiet one, so the core never touches a toolkit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "dialogs/dialog_call.h"
#include "piece/atomic_file.h"

namespace tuttiro {

class Host {
 public:
  virtual ~Host() = default;
  // A message box with the program title: string `stringId` followed by up to
  // four pieces of text, joined end to end.
  virtual void ShowMessage(int stringId, std::span<const std::string> pieces = {}) = 0;
  // A question with OK and Cancel; true for OK.
  virtual bool AskOkCancel(const std::string& question) = 0;
  virtual void EnableMenuItem(int commandId, bool enabled) = 0;
  virtual void CheckMenuItem(int commandId, bool checked) = 0;
  virtual void SetMenuLabel(int commandId, const std::string& text) = 0;
  // Layout box `box` must be drawn again (its image state or value changed);
  // a view's frame box stands for the whole view.
  virtual void InvalidateBox(int box) = 0;
  // The strip of track `track` in the Tracks view must be drawn again.
  virtual void InvalidateTrackStrip(int track) = 0;
  // The views moved, appeared, disappeared or changed order: the client area
  // must be painted again (from the views' images, which did not change).
  virtual void InvalidateViews() = 0;
  // Repaint what is invalid at once rather than at the next paint.
  virtual void UpdateNow() = 0;
  // Shows box `box` of view `view` pressed for `holdMs` milliseconds (0: one
  // frame), then as it was; the host does not block while it waits.
  virtual void FlashButton(int view, int box, int holdMs) = 0;
  // Runs the dialog of template `templateId` through the one dialog runner:
  // `call` brings the values it opens with (the Location dialog's measure:beat)
  // and takes its answer. True when it ended with OK.
  virtual bool RunDialog(int templateId, DialogCall& call) = 0;
  bool RunDialog(int templateId) {
    DialogCall call;
    return RunDialog(templateId, call);
  }
  virtual void Beep() = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // A notice in the window, not a box, that the music goes on under; an empty
  // text takes it away.
  virtual void ShowNotice(const std::string& text) = 0;
};

// A failed save: message `stringId` and, on a second line, why the file could not
// be written, when a write failed ("No space left on device: /path").
inline void ShowSaveFailure(Host& host, int stringId) {
  const std::string& why = LastWriteFailure();
  if (why.empty()) {
    host.ShowMessage(stringId);
    return;
  }
  const std::string pieces[] = {"\n" + why};
  host.ShowMessage(stringId, pieces);
}

// A host that shows nothing and answers every question with OK; used by
// headless runs.
class QuietHost : public Host {
 public:
  void ShowMessage(int, std::span<const std::string>) override {}
  bool AskOkCancel(const std::string&) override { return true; }
  void EnableMenuItem(int, bool) override {}
  void CheckMenuItem(int, bool) override {}
  void SetMenuLabel(int, const std::string&) override {}
  void InvalidateBox(int) override {}
  void InvalidateTrackStrip(int) override {}
  void InvalidateViews() override {}
  void UpdateNow() override {}
  void FlashButton(int, int, int) override {}
  using Host::RunDialog;
  bool RunDialog(int, DialogCall&) override { return false; }
  void Beep() override {}
  void SetWaitCursor(bool) override {}
  void ShowNotice(const std::string&) override {}
};

}  // namespace tuttiro
