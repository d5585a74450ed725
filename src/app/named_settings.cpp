// The File > System Settings and File > Piece Settings commands, Revert and
// the question on closing a piece with changed settings.
#include "app/named_settings.h"

#include <algorithm>
#include <filesystem>

#include "app/app.h"
#include "app/dialog_table.h"
#include "app/open_file.h"
#include "app/recent_files.h"
#include "app/shell.h"
#include "app/startup.h"
#include "piece/settings_store.h"
#include "piece/settings_writer.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro {
namespace {

std::string Text(int id) {
  const char* text = StringText(id);
  return text ? text : "";
}

// A name as a menu item shows it: an ampersand is not a mnemonic.
std::string MenuText(const std::string& name) {
  std::string text;
  for (char c : name) {
    text += c;
    if (c == '&') text += '&';
  }
  return text;
}

bool Confirm(ShellRec& shell, int first, const std::string& name, int last) {
  return shell.app.host.AskOkCancel(Text(first) + name + Text(last));
}

std::vector<std::string> SystemNames(ShellRec& shell) {
  std::string message;
  if (shell.settingsFolder.empty()) return {};
  return NamedSettingsList(shell.settingsFolder, message);
}

std::array<std::string, kNamedEntries> PieceNames(AppRec& app) {
  std::array<std::string, kNamedEntries> names;
  if (!app.piece.pieceLoaded) return names;
  const std::optional<PieceSettingsRecord> record =
      ReadPieceSettings(app.sources, app.piece.piecePath);
  if (!record) return names;
  for (int k = 0; k < kNamedEntries; ++k)
    names[static_cast<size_t>(k)] = SettingsSlotName(*record, k + 1);
  return names;
}

// One list of four entries: the names given, the others without text.
void ShowList(Host& host, int first, const std::vector<std::string>& names, bool enable) {
  for (int k = 0; k < kNamedEntries; ++k) {
    const size_t i = static_cast<size_t>(k);
    const std::string name = i < names.size() ? names[i] : std::string();
    host.SetMenuLabel(first + k, MenuText(name));
    if (enable) host.EnableMenuItem(first + k, !name.empty());
  }
}

// ---- System settings ----

void KeepSystemRevert(ShellRec& shell) {
  shell.named.systemRevert = shell.app.system;
}

void LoadSystem(ShellRec& shell, int entry) {
  const std::vector<std::string> names = SystemNames(shell);
  if (entry >= static_cast<int>(names.size())) return;
  SystemSettings loaded;
  std::string message;
  if (LoadNamedSettings(shell.settingsFolder, names[static_cast<size_t>(entry)], shell.app.system,
                        loaded, message) != NamedSettingsResult::kOk) {
    shell.app.host.ShowMessage(kStringCannotLoadSettings);
    return;
  }
  if (!message.empty()) shell.ui.ShowText(message);
  KeepSystemRevert(shell);
  ApplySystemSettings(shell, loaded);
}

void SaveSystem(ShellRec& shell, const std::string& name, bool replace) {
  const NamedSettingsResult result =
      shell.settingsFolder.empty()
          ? NamedSettingsResult::kWriteFailed
          : SaveNamedSettings(shell.settingsFolder, name, shell.app.system, replace);
  if (result != NamedSettingsResult::kOk)
    ShowSaveFailure(shell.app.host, kStringCannotSaveSettings);
  ShowNamedSettings(shell);
}

// The name the Save Settings dialog gives back; none when it was cancelled.
std::optional<std::string> AskName(ShellRec& shell) {
  DialogCall call;
  if (!shell.app.host.RunDialog(kDialogSaveSettings, call) || call.name.empty())
    return std::nullopt;
  return call.name;
}

void SaveSystemAs(ShellRec& shell) {
  const std::optional<std::string> name = AskName(shell);
  if (!name) return;
  const std::vector<std::string> names = SystemNames(shell);
  const bool exists = std::find(names.begin(), names.end(), *name) != names.end();
  if (exists && !Confirm(shell, kStringReplaceSettings, *name, kStringReplaceSettingsEnd)) return;
  SaveSystem(shell, *name, exists);
}

void ReplaceSystem(ShellRec& shell, int entry) {
  const std::vector<std::string> names = SystemNames(shell);
  if (entry >= static_cast<int>(names.size())) return;
  const std::string& name = names[static_cast<size_t>(entry)];
  if (!Confirm(shell, kStringReplaceSettings, name, kStringReplaceSettingsEnd)) return;
  SaveSystem(shell, name, true);
}

void RemoveSystem(ShellRec& shell, int entry) {
  const std::vector<std::string> names = SystemNames(shell);
  if (entry >= static_cast<int>(names.size())) return;
  const std::string& name = names[static_cast<size_t>(entry)];
  if (!Confirm(shell, kStringRemoveSettings, name, kStringRemoveSettingsEnd)) return;
  if (RemoveNamedSettings(shell.settingsFolder, name) != NamedSettingsResult::kOk)
    ShowSaveFailure(shell.app.host, kStringCannotSaveSettings);
  ShowNamedSettings(shell);
}

void RevertSystem(ShellRec& shell) {
  if (!shell.named.systemRevert) {
    shell.app.host.ShowMessage(kStringCannotRevert);
    return;
  }
  const SystemSettings back = *shell.named.systemRevert;
  KeepSystemRevert(shell);
  ApplySystemSettings(shell, back);
}

void SystemDefaults(ShellRec& shell) {
  KeepSystemRevert(shell);
  ApplySystemDefaults(shell);
}

// ---- Piece settings ----

bool IsBuiltIn(AppRec& app) {
  const std::string& path = app.piece.piecePath;
  return FindBuiltinPiece(path) >= 0 || app.sources.memoryImages.count(path) > 0;
}

// The name slot 0 is saved under: the one it has, else the piece's.
std::string Slot0Name(AppRec& app, const PieceSettingsRecord& existing) {
  std::string name = SettingsSlotName(existing, 0);
  if (name.empty()) {
    name = app.piece.pieceDisplayName.value_or(
        std::filesystem::path(app.piece.pieceFileName).filename().string());
  }
  if (name.empty()) name = "Settings";
  return name.substr(0, kMaxSettingsNameLength);
}

// A built-in piece cannot be written: the musician may save a copy of it as a
// file, with the live settings in slot 0 as well; the copy then opens when
// `openCopy` is set.
bool SaveCopy(ShellRec& shell, PieceSettingsRecord record, bool openCopy) {
  AppRec& app = shell.app;
  if (!app.host.AskOkCancel(Text(kStringBuiltinCopy))) return false;
  const std::string proposed =
      std::filesystem::path(app.piece.pieceFileName).filename().string() + ".mid";
  const std::optional<std::string> path = shell.ui.ChooseSaveFile(MidiFileDialogFilter(), proposed);
  if (!path) return false;
  record = BuildPieceSettingsRecord(record, 0, Slot0Name(app, record), app.live, app.piece);
  if (WritePieceWithSettings(app.sources, app.piece.piecePath, *path, record) !=
      SettingsWriteResult::kOk) {
    ShowSaveFailure(app.host, kStringCannotSaveFile);
    return false;
  }
  if (openCopy) {
    OpenUserFile(shell, *path);
  } else {  // closing: the copy is found again among the recent files
    RecentFilesAdd(shell.recentFiles, *path);
    SaveRecentFiles(shell.settingsFolder, shell.recentFiles);
    ShowRecentFiles(shell);
  }
  return true;
}

// Writes `record` into the open piece's file (or offers a copy of a built-in
// piece). True when it was written.
bool WritePieceRecord(ShellRec& shell, const PieceSettingsRecord& record, bool openCopy) {
  AppRec& app = shell.app;
  if (IsBuiltIn(app)) return SaveCopy(shell, record, openCopy);
  const std::string& path = app.piece.piecePath;
  SettingsWriteResult result = WritePieceWithSettings(app.sources, path, path, record);
  if (result == SettingsWriteResult::kPieceChanged) {
    // Another program changed the file: overwriting it is the musician's choice.
    if (!app.host.AskOkCancel(Text(kStringPieceChanged))) return false;
    result = WritePieceWithSettings(app.sources, path, path, record, true);
  }
  if (result != SettingsWriteResult::kOk) {
    ShowSaveFailure(app.host, kStringCannotSaveSettings);
    return false;
  }
  return true;
}

// Saves the live settings into slot `slot` (0-4) of the piece under `name`
// (slot 0: under its own name).
bool SavePieceSlot(ShellRec& shell, int slot, const std::string& name, bool openCopy) {
  AppRec& app = shell.app;
  if (!app.piece.pieceLoaded) return false;
  const std::optional<PieceSettingsRecord> existing =
      ReadPieceSettings(app.sources, app.piece.piecePath);
  if (!existing) {
    ShowSaveFailure(app.host, kStringCannotSaveSettings);
    return false;
  }
  if (app.settings.hooks.storeViewPositions) app.settings.hooks.storeViewPositions();
  const std::string slotName = slot == 0 ? Slot0Name(app, *existing) : name;
  const PieceSettingsRecord record =
      BuildPieceSettingsRecord(*existing, slot, slotName, app.live, app.piece);
  const bool builtIn = IsBuiltIn(app);
  if (!WritePieceRecord(shell, record, openCopy)) return false;
  if (!builtIn) {
    if (slot == 0) shell.named.pieceBaseline = PieceSettingsSnapshot(shell);
    ShowNamedSettings(shell);
  }
  return true;
}

void SavePieceAs(ShellRec& shell) {
  const std::optional<std::string> name = AskName(shell);
  if (!name) return;
  const auto names = PieceNames(shell.app);
  auto same = std::find(names.begin(), names.end(), *name);
  if (same != names.end() &&
      !Confirm(shell, kStringReplaceSettings, *name, kStringReplaceSettingsEnd))
    return;
  if (same == names.end()) same = std::find(names.begin(), names.end(), std::string());
  if (same == names.end()) {
    ShowSaveFailure(shell.app.host, kStringCannotSaveSettings);
    return;
  }
  SavePieceSlot(shell, static_cast<int>(same - names.begin()) + 1, *name, true);
}

void ReplacePiece(ShellRec& shell, int entry) {
  const std::string name = PieceNames(shell.app)[static_cast<size_t>(entry)];
  if (name.empty() || !Confirm(shell, kStringReplaceSettings, name, kStringReplaceSettingsEnd))
    return;
  SavePieceSlot(shell, entry + 1, name, true);
}

void RemovePiece(ShellRec& shell, int entry) {
  AppRec& app = shell.app;
  const std::string name = PieceNames(app)[static_cast<size_t>(entry)];
  if (name.empty() || !Confirm(shell, kStringRemoveSettings, name, kStringRemoveSettingsEnd))
    return;
  const std::optional<PieceSettingsRecord> existing =
      ReadPieceSettings(app.sources, app.piece.piecePath);
  if (!existing) {
    ShowSaveFailure(app.host, kStringCannotSaveSettings);
    return;
  }
  const bool builtIn = IsBuiltIn(app);
  if (WritePieceRecord(shell, RemoveSettingsSlot(*existing, entry + 1), true) && !builtIn)
    ShowNamedSettings(shell);
}

void LoadPiece(ShellRec& shell, int entry) {
  PieceSettingsRecord before = PieceSettingsSnapshot(shell);
  if (!ApplySettingsSlot(shell.app.settings, entry + 1)) {
    shell.app.host.ShowMessage(kStringCannotLoadSettings);
    return;
  }
  TakeMasterSettings(shell.app);
  shell.named.pieceRevert = std::move(before);
}

void RevertPiece(ShellRec& shell) {
  if (!shell.named.pieceRevert) {
    shell.app.host.ShowMessage(kStringCannotRevert);
    return;
  }
  PieceSettingsRecord now = PieceSettingsSnapshot(shell);
  if (!ApplySettingsRecord(shell.app.settings, *shell.named.pieceRevert, 0)) {
    shell.app.host.ShowMessage(kStringCannotRevert);
    return;
  }
  TakeMasterSettings(shell.app);
  shell.named.pieceRevert = std::move(now);
}

void PieceDefaults(ShellRec& shell) {
  PieceSettingsRecord before = PieceSettingsSnapshot(shell);
  DefaultPieceSettings(shell.app.settings);
  TakeMasterSettings(shell.app);
  shell.named.pieceRevert = std::move(before);
}

// Which entry of a four-entry list starting at `first` is `id`; -1: none.
int EntryOf(int id, int first) {
  return id >= first && id < first + kNamedEntries ? id - first : -1;
}

}  // namespace

bool NamedSettingsCommand(ShellRec& shell, int id) {
  if (int k = EntryOf(id, kIdSystemLoadFirst); k >= 0) {
    LoadSystem(shell, k);
  } else if (id == kIdSystemSaveAs) {
    SaveSystemAs(shell);
  } else if (int k = EntryOf(id, kIdSystemSaveAs + 1); k >= 0) {
    ReplaceSystem(shell, k);
  } else if (int k = EntryOf(id, kIdSystemRemoveFirst); k >= 0) {
    RemoveSystem(shell, k);
  } else if (id == kIdSystemRevert) {
    RevertSystem(shell);
  } else if (id == kIdSystemDefaults) {
    SystemDefaults(shell);
  } else if (!shell.app.piece.pieceLoaded) {
    return id == kIdPieceRevert || id == kIdPieceDefaults || EntryOf(id, kIdPieceLoadFirst) >= 0 ||
           (id >= kIdPieceSaveAs && id <= kIdPieceSaveAs + kNamedEntries) ||
           EntryOf(id, kIdPieceRemoveFirst) >= 0;
  } else if (int k = EntryOf(id, kIdPieceLoadFirst); k >= 0) {
    LoadPiece(shell, k);
  } else if (id == kIdPieceSaveAs) {
    SavePieceAs(shell);
  } else if (int k = EntryOf(id, kIdPieceSaveAs + 1); k >= 0) {
    ReplacePiece(shell, k);
  } else if (int k = EntryOf(id, kIdPieceRemoveFirst); k >= 0) {
    RemovePiece(shell, k);
  } else if (id == kIdPieceRevert) {
    RevertPiece(shell);
  } else if (id == kIdPieceDefaults) {
    PieceDefaults(shell);
  } else {
    return false;
  }
  return true;
}

void ShowNamedSettings(ShellRec& shell) {
  AppRec& app = shell.app;
  const std::vector<std::string> system = SystemNames(shell);
  const auto pieceArray = PieceNames(app);
  const std::vector<std::string> piece(pieceArray.begin(), pieceArray.end());
  const bool stopped = !TransportRunning(app);
  app.transport.savedSystemSettings = static_cast<int>(system.size());
  for (size_t k = 0; k < kNamedEntries; ++k)
    app.transport.pieceSettingsSaved[k] = !pieceArray[k].empty();
  ShowList(app.host, kIdSystemLoadFirst, system, stopped);
  ShowList(app.host, kIdSystemSaveAs + 1, system, true);
  ShowList(app.host, kIdSystemRemoveFirst, system, true);
  ShowList(app.host, kIdPieceLoadFirst, piece, stopped);
  ShowList(app.host, kIdPieceSaveAs + 1, piece, true);
  ShowList(app.host, kIdPieceRemoveFirst, piece, true);
  // Save As... asks for a new name while a list has room for one.
  app.host.EnableMenuItem(kIdSystemSaveAs, system.size() < kNamedEntries);
  app.host.EnableMenuItem(
      kIdPieceSaveAs,
      app.piece.pieceLoaded && std::count(piece.begin(), piece.end(), std::string()) > 0);
}

void PieceSettingsOpened(ShellRec& shell) {
  shell.named.pieceRevert.reset();
  shell.named.pieceBaseline = PieceSettingsSnapshot(shell);
  ShowNamedSettings(shell);
}

bool PieceMayClose(ShellRec& shell) {
  AppRec& app = shell.app;
  if (!app.piece.pieceLoaded) return true;
  if (PieceSettingsSnapshot(shell).bytes == shell.named.pieceBaseline.bytes) return true;
  const std::string name = app.piece.pieceDisplayName.value_or(
      std::filesystem::path(app.piece.pieceFileName).filename().string());
  switch (shell.ui.AskSaveChanges(Text(kStringSaveChanges) + name + Text(kStringSaveChangesEnd))) {
    case SaveChoice::kSave:
      return SavePieceSlot(shell, 0, {}, false);
    case SaveChoice::kDontSave:
      return true;
    case SaveChoice::kCancel:
      return false;
  }
  return false;
}

PieceSettingsRecord PieceSettingsSnapshot(ShellRec& shell) {
  AppRec& app = shell.app;
  if (!app.piece.pieceLoaded) return {};
  if (app.settings.hooks.storeViewPositions) app.settings.hooks.storeViewPositions();
  return BuildPieceSettingsRecord(DefaultSettingsRecord(), 0, "Settings", app.live, app.piece);
}

SettingsBefore SettingsBeforeDialog(ShellRec& shell) {
  return {shell.app.system, PieceSettingsSnapshot(shell)};
}

void SettingsAfterDialog(ShellRec& shell, SettingsBefore before) {
  if (!(before.system == shell.app.system)) shell.named.systemRevert = std::move(before.system);
  if (PieceSettingsSnapshot(shell).bytes != before.piece.bytes)
    shell.named.pieceRevert = std::move(before.piece);
}

}  // namespace tuttiro
