// The settings dialogs in Qt, each built in code over its model and committed
// through the application's commit step on OK. RunSettingsDialog is what the one
// dialog runner calls for a template.
#pragma once

#include <cstdint>
#include <functional>

#include "dialogs/dialog_call.h"

class QWidget;

namespace tuttiro {

struct AppRec;

struct DialogEnv {
  AppRec& app;
  QWidget* parent = nullptr;
  QWidget* zoomCanvas = nullptr;  // where the zoom trail runs; none: no zoom
  std::function<void()> help;     // the open dialog's help page
  // The one runner, for the dialogs another dialog opens.
  std::function<bool(int templateId, DialogCall& call)> run;
  // Where messages taken from MIDI go on the window thread; empty: nowhere.
  std::function<void(std::function<void(uint32_t)>)> setCaptureTarget;
};

// True for OK; false for Cancel or a template with no dialog.
bool RunSettingsDialog(int templateId, DialogEnv& env, DialogCall& call);

}  // namespace tuttiro
