// Settings kept under a name, Revert and the question on closing a piece: the
// File > System Settings and File > Piece Settings commands. System settings
// are saved by name in the configuration folder; piece settings in slots 1-4
// of the piece's own file, and slot 0 when the musician saves on closing it.
// Revert goes back to the settings as they were before the last load,
// Default Settings or dialog OK (and a second Revert comes back again).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "piece/piece_settings.h"
#include "piece/system_settings.h"

namespace tuttiro {

struct ShellRec;

struct NamedSettingsRec {
  std::optional<SystemSettings> systemRevert;
  std::optional<PieceSettingsRecord> pieceRevert;
  // Slot 0 as the open piece was opened or last saved: closing asks to save
  // when the live settings differ from it.
  PieceSettingsRecord pieceBaseline;
};

// The menu command ids of the two settings menus.
inline constexpr int kIdSystemLoadFirst = 30;
inline constexpr int kIdSystemSaveAs = 40;
inline constexpr int kIdSystemRemoveFirst = 50;
inline constexpr int kIdPieceLoadFirst = 70;
inline constexpr int kIdPieceSaveAs = 80;
inline constexpr int kIdPieceRemoveFirst = 90;
inline constexpr int kNamedEntries = 4;

// Runs a settings command (30-33, 40-44, 50-53, 22, 23, 70-73, 80-84, 90-93,
// 62, 63); false when `id` is none of them.
bool NamedSettingsCommand(ShellRec& shell, int id);

// The names in the Load, Save and Remove lists of both menus, and what the
// stopped menus enable from them.
void ShowNamedSettings(ShellRec& shell);

// A piece was opened: its settings are the ones to compare with on closing,
// and there is nothing to revert to yet.
void PieceSettingsOpened(ShellRec& shell);

// The open piece is about to close. With changed settings the musician is
// asked to save them; false when they cancelled or saving failed (the piece
// stays open and nothing is lost).
bool PieceMayClose(ShellRec& shell);

// The live piece settings as a record whose slot 0 holds them, the views'
// places included.
PieceSettingsRecord PieceSettingsSnapshot(ShellRec& shell);

// Around a settings dialog: what the settings were, and after OK a revert
// point for each level the dialog changed.
struct SettingsBefore {
  SystemSettings system;
  PieceSettingsRecord piece;
};
SettingsBefore SettingsBeforeDialog(ShellRec& shell);
void SettingsAfterDialog(ShellRec& shell, SettingsBefore before);

}  // namespace tuttiro
