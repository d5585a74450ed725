// The rows of menu resource 1000 and accelerator table 1000.
#include "menu_table.h"

#include <array>

namespace tuttiro {
namespace {

constexpr const char* kBuiltinPieces[] = {"Ecossaise", "Eine Kleine Nachtmusik", "Folk Dance",
                                          "Longing", "Raggedy Rag"};

class MenuBuilder {
 public:
  explicit MenuBuilder(std::vector<MenuRow>& rows) : rows_(rows) {}
  void Item(int id, std::string text) {
    rows_.push_back({depth_, MenuRowKind::kItem, id, std::move(text)});
  }
  void Separator() { rows_.push_back({depth_, MenuRowKind::kSeparator, 0, {}}); }
  template <typename Body>
  void Submenu(std::string text, Body body, int tag = kMenuNoTag) {
    rows_.push_back({depth_, MenuRowKind::kSubmenu, tag, std::move(text)});
    ++depth_;
    body();
    --depth_;
  }

 private:
  std::vector<MenuRow>& rows_;
  int depth_ = 0;
};

// Load Settings, Save Settings, Revert, Default and Remove Saved Settings, the
// same shape under System Settings and Piece Settings. The entries of the
// saved-settings lists have no text until settings are saved under a name.
void SettingsSubmenu(MenuBuilder& m, int load, int saveAs, int revert, int defaults, int remove) {
  m.Submenu("&Load Settings", [&] {
    for (int i = 0; i < 4; ++i) m.Item(load + i, "");
  });
  m.Submenu("&Save Settings", [&] {
    m.Item(saveAs, "&Save As...");
    for (int i = 1; i <= 4; ++i) m.Item(saveAs + i, "");
  });
  m.Item(revert, "Re&vert Settings");
  m.Item(defaults, "&Default Settings");
  m.Submenu("Re&move Saved Settings", [&] {
    for (int i = 0; i < 4; ++i) m.Item(remove + i, "");
  });
}

std::vector<MenuRow> BuildMainMenu() {
  std::vector<MenuRow> rows;
  MenuBuilder m(rows);
  m.Submenu("&File", [&] {
    m.Submenu("&Open", [&] {
      for (int i = 0; i < 5; ++i) m.Item(kIdOpenBuiltinFirst + i, kBuiltinPieces[i]);
    });
    m.Item(kIdOpenFile, "Open File...\tCtrl + O");
    m.Separator();
    m.Item(kIdSavePerformanceAs, "&Save Performance As...\tCtrl + S");
    m.Separator();
    m.Item(kIdGetFileInfo, "&Get File Info...\tCtrl + I");
    m.Separator();
    m.Submenu("S&ystem Settings",
              [&] { SettingsSubmenu(m, 30, 40, kIdSystemRevert, kIdSystemDefaults, 50); });
    m.Submenu("&Piece Settings",
              [&] { SettingsSubmenu(m, 70, 80, kIdPieceRevert, kIdPieceDefaults, 90); });
    m.Separator();
    for (int i = 0; i < kRecentFileCount; ++i) m.Item(kIdRecentFileFirst + i, "");
    m.Separator();
    m.Item(kIdExit, "E&xit\tAlt + F4");
  });
  m.Submenu("&Views", [&] {
    m.Item(100, "T&itle");
    m.Item(101, "&Main Transport");
    m.Item(105, "Measure:&Beat");
    m.Item(102, "Song &Position && Looping");
    m.Item(103, "C&urrent Tempo");
    m.Item(104, "Master &Tempo");
    m.Item(106, "Master &Volume");
    m.Item(107, "T&racks");
    m.Separator();
    m.Item(kIdShowAllViews, "&Show All Views");
    m.Item(kIdHideAllViews, "&Hide All Views");
    m.Separator();
    m.Item(kIdCenterAllViews, "&Center All Views");
    m.Separator();
    m.Item(kIdPerformanceTempo, "Performance Tem&po...\tCtrl + K");
  });
  m.Submenu("&Controls", [&] {
    m.Item(kIdPlayAndFollow, "&Play and Follow\tCtrl + P");
    m.Item(kIdPlayFile, "Pla&y File\tCtrl + Y");
    m.Item(kIdPlayPerformance, "Play Performa&nce\tCtrl + N");
    m.Separator();
    m.Item(kIdFastForward, "&Fast Forward\tCtrl + F");
    m.Item(kIdRewind, "&Rewind\tCtrl + R");
    m.Item(kIdStop, "&Stop");
    m.Separator();
    m.Item(kIdPreview, "Pr&eview\tCtrl + E");
    m.Separator();
    m.Item(kIdJumpTo, "&Jump to...\tCtrl + J");
    m.Item(kIdJumpAhead, "Jump &Ahead\tCtrl + A");
    m.Item(kIdJumpBack, "Jump &Back\tCtrl + B");
    m.Item(kIdJumpAgain, "Jump A&gain\tCtrl + G");
    m.Separator();
    m.Item(kIdResetVolumes, "Reset &Volume on All Tracks");
    m.Submenu("&Change All Tracks to Output on", [&] {
      // The ports label these with their devices when they open them.
      for (int p = 0; p < 8; ++p) {
        m.Item(kIdOutputPortFirst + p, std::string("&") + static_cast<char>('A' + p) + "--");
      }
    });
    m.Separator();
    m.Item(kIdAllNotesOff, "All Notes &Off");
    m.Item(kIdMidiReset, "&MIDI Reset");
  });
  m.Submenu("&Settings", [&] {
    m.Item(150, "Fo&llowing...\tCtrl + L");
    m.Item(151, "&Performances...");
    m.Item(152, "&Special Markers...");
    m.Item(153, "&Remote Control...");
    m.Item(154, "MIDI M&etronome...");
    m.Item(155, "L&oop Mode...");
    m.Item(156, "&Display Preferences...");
    m.Item(157, "Trac&ks...\tCtrl + T");
    m.Item(158, "&Banks && Programs...");
    m.Separator();
    m.Item(159, "M&aster Transpose...");
    m.Item(160, "&Tempo...");
    m.Separator();
    m.Item(161, "&MIDI && Sync Setup...\tCtrl + M");
    m.Item(kIdMidiPortsAndDevices, "MIDI Ports and De&vices...");
    m.Separator();
    m.Submenu("&Incoming MIDI", [&] {
      for (int p = 0; p < 8; ++p) {
        const int base = kIdIncomingFirst + kIncomingPortStride * p;
        m.Submenu(
            std::string("&") + static_cast<char>('A' + p) + "--",
            [&] {
              m.Item(base, "&All");
              m.Item(base + 1, "&None");
              m.Separator();
              for (int c = 1; c <= 16; ++c) {
                m.Item(base + 1 + c,
                       c < 10 ? "Channel &" + std::to_string(c) : "Channel " + std::to_string(c));
              }
            },
            kMenuIncomingPortFirst + p);
      }
    });
  });
  m.Submenu("&Help", [&] {
    m.Separator();
    m.Item(kIdAbout, "&About Tuttiro...");
  });
  return rows;
}

constexpr Accelerator kAccelerators[] = {
    {'A', kIdJumpAhead},
    {'B', kIdJumpBack},
    {'E', kIdPreview},
    {'F', kIdFastForward},
    {'G', kIdJumpAgain},
    {'I', kIdGetFileInfo},
    {'J', kIdJumpTo},
    {'K', kIdPerformanceTempo},
    {'L', kIdFollowing},
    {'M', 161},
    {'N', kIdPlayPerformance},
    {'O', kIdOpenFile},
    {'P', kIdPlayAndFollow},
    {'R', kIdRewind},
    {'S', kIdSavePerformanceAs},
    {'T', 157},
    {'Y', kIdPlayFile},
};

constexpr std::array<int, 1 + kRecentFileCount> kOpenFollowers = {
    kIdOpenFile, kIdRecentFileFirst, kIdRecentFileFirst + 1, kIdRecentFileFirst + 2,
    kIdRecentFileFirst + 3};

}  // namespace

const std::vector<MenuRow>& MainMenuRows() {
  static const std::vector<MenuRow> rows = BuildMainMenu();
  return rows;
}

std::span<const Accelerator> AcceleratorTable() {
  return kAccelerators;
}

std::span<const int> ItemsFollowing(int commandId) {
  if (commandId == kIdOpenBuiltinFirst) return kOpenFollowers;
  return {};
}

}  // namespace tuttiro
