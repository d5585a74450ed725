// Menu resource 1000 and accelerator table 1000 as plain data. The Qt layer
// builds its menu bar and shortcuts from these rows, so the ids, texts and
// shortcut texts are checked by tests without a toolkit.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tuttiro {

// Command ids shared by the menus, the accelerators and the command table.
enum MenuCommandId : int {
  kIdOpenFile = 10,
  kIdSavePerformanceAs = 11,
  kIdGetFileInfo = 12,
  kIdExit = 13,
  kIdOpenBuiltinFirst = 15,  // File > Open items 15-19
  kIdSystemRevert = 22,
  kIdSystemDefaults = 23,
  kIdRecentFileFirst = 24,  // File > the recently opened files, 24-27
  kIdPieceRevert = 62,
  kIdPieceDefaults = 63,
  kIdViewFirst = 100,  // 100-107: show or hide view (id - 100)
  kIdShowAllViews = 108,
  kIdHideAllViews = 109,
  kIdCenterAllViews = 110,
  kIdPerformanceTempo = 112,
  kIdPlayAndFollow = 120,
  kIdPlayFile = 121,
  kIdPlayPerformance = 122,
  kIdFastForward = 123,
  kIdRewind = 124,
  kIdStop = 125,
  kIdPreview = 126,
  kIdJumpTo = 127,
  kIdJumpAhead = 128,
  kIdJumpBack = 129,
  kIdJumpAgain = 130,
  kIdResetVolumes = 131,
  kIdAllNotesOff = 132,
  kIdMidiReset = 133,
  kIdOutputPortFirst = 140,  // 140-147: Change All Tracks to Output on port A-H
  kIdFollowing = 150,
  kIdMidiPortsAndDevices = 162,
  kIdIncomingFirst = 200,  // port p: All 200 + 20p, None 201 + 20p, channels 202 + 20p ...
  kIdHelpTopics = 360,
  kIdHelpContents = 361,
  kIdHelpSearch = 362,
  kIdHelpOnHelp = 363,
  kIdAbout = 364,
};

inline constexpr int kRecentFileCount = 4;
// Each input port's Incoming MIDI items: All, None, then channels 1-16.
inline constexpr int kIncomingPortStride = 20;
inline constexpr int kIncomingItemCount = 18;

enum class MenuRowKind { kItem, kSubmenu, kSeparator };

// Submenus that the program relabels have a tag; the others have none.
enum MenuTag : int {
  kMenuNoTag = 0,
  kMenuIncomingPortFirst = 1,  // the Incoming MIDI submenu of input port p is 1 + p
};

// One row of a menu tree in depth-first order: a row at depth d belongs to the
// nearest submenu row above it at depth d - 1 (depth 0: the menu bar).
struct MenuRow {
  int depth = 0;
  MenuRowKind kind = MenuRowKind::kItem;
  int id = 0;        // command id of an item, tag of a submenu
  std::string text;  // "\t" separates the shortcut text shown at the right
};

// Menu resource 1000 as the program ships it, without the help items that
// start-up inserts at the top of the Help menu.
const std::vector<MenuRow>& MainMenuRows();

// String ids of the help items start-up inserts into the Help menu, with
// their commands. The help window offers contents and search together, so one
// item opens it.
struct HelpMenuItem {
  int stringId;
  int command;
};
inline constexpr HelpMenuItem kHelpMenuItems[] = {{3001, kIdHelpTopics}};

struct Accelerator {
  char key;  // with Ctrl
  int command;
};

// Accelerator table 1000.
std::span<const Accelerator> AcceleratorTable();

// Items enabled and greyed together with another item: the transport greys
// the built-in pieces of File > Open while it runs, and opening any other
// file follows the first of them.
std::span<const int> ItemsFollowing(int commandId);

}  // namespace tuttiro
