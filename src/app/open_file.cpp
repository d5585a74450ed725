// Opening pieces without losing the open one, the file dialog and the recent files.
#include "app/open_file.h"

#include <filesystem>

#include "app/app.h"
#include "app/named_settings.h"
#include "app/recent_files.h"
#include "app/shell.h"
#include "piece/piece_info.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro {
namespace {

// Reads `name` into a model and sources of its own, leaving the application's
// untouched. The in-memory images are lent for the trial and given back.
int TrialLoad(AppRec& app, const std::string& name) {
  PieceModel trial;
  PieceSourceState trialSources;
  trialSources.memoryImages = std::move(app.sources.memoryImages);
  const int result = OpenPiece(trial, trialSources, name);
  app.sources.memoryImages = std::move(trialSources.memoryImages);
  return result;
}

void ShowOpenChecks(AppRec& app) {
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    const int item = kIdOpenBuiltinFirst + i;
    app.host.CheckMenuItem(item, item == app.sources.checkedOpenItem);
  }
}

void RememberRecentFiles(ShellRec& shell) {
  SaveRecentFiles(shell.settingsFolder, shell.recentFiles);
  ShowRecentFiles(shell);
}

}  // namespace

int OpenPieceKeepingCurrent(ShellRec& shell, const std::string& name) {
  AppRec& app = shell.app;
  const int trial = TrialLoad(app, name);
  if (trial != kLoadOk) return trial;
  const std::string previous = app.piece.pieceLoaded ? app.piece.piecePath : std::string();
  int result = AppOpenPiece(app, name);
  // The file changed between the two readings: the piece that was open comes back.
  if (result != kLoadOk && !previous.empty()) AppOpenPiece(app, previous);
  ShowOpenChecks(app);
  if (result == kLoadOk) PieceSettingsOpened(shell);
  return result;
}

int OpenUserFile(ShellRec& shell, const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  const std::string name = error ? path : absolute.lexically_normal().string();
  const int result = OpenPieceKeepingCurrent(shell, name);
  if (result == kLoadOk) {
    RecentFilesAdd(shell.recentFiles, name);
    RememberRecentFiles(shell);
    return result;
  }
  shell.app.host.ShowMessage(LoadResultStringId(result));
  if (result == kLoadNotOpened) {
    RecentFilesRemove(shell.recentFiles, name);
    RememberRecentFiles(shell);
  }
  return result;
}

void OpenFileCommand(ShellRec& shell) {
  if (const auto chosen = shell.ui.ChooseMidiFile(MidiFileDialogFilter())) {
    OpenUserFile(shell, *chosen);
  }
}

void ShowRecentFiles(ShellRec& shell) {
  for (int i = 0; i < kRecentFileCount; ++i) {
    const size_t index = static_cast<size_t>(i);
    shell.app.host.SetMenuLabel(kIdRecentFileFirst + i,
                                index < shell.recentFiles.size()
                                    ? RecentFileLabel(i, shell.recentFiles[index])
                                    : std::string());
  }
}

std::string MidiFileDialogFilter() {
  std::string patterns = StringText(kStringMidiFilesPattern);
  for (char& c : patterns) {
    if (c == ';') c = ' ';
  }
  return std::string(StringText(kStringMidiFilesFilter)) + " (" + patterns + ")";
}

}  // namespace tuttiro
