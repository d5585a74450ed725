// Menu resource 1000 and accelerator table 1000: unique ids, shortcut texts that
// match the accelerators, the submenus and the help items start-up inserts.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/startup.h"
#include "menu_table.h"
#include "piece/piece_source.h"

namespace tuttiro {
namespace {

std::map<int, std::string> ItemTexts(const std::vector<MenuRow>& rows) {
  std::map<int, std::string> texts;
  for (const MenuRow& row : rows) {
    if (row.kind != MenuRowKind::kItem) continue;
    EXPECT_TRUE(texts.emplace(row.id, row.text).second) << "id " << row.id << " twice";
  }
  return texts;
}

// The path of submenu titles leading to the item `id`.
std::vector<std::string> PathOf(const std::vector<MenuRow>& rows, int id) {
  std::vector<std::string> path;
  for (const MenuRow& row : rows) {
    path.resize(static_cast<size_t>(row.depth));
    if (row.kind == MenuRowKind::kSubmenu) path.push_back(row.text);
    if (row.kind == MenuRowKind::kItem && row.id == id) return path;
  }
  return {};
}

// Every accelerator's item shows its shortcut, and the items the program relabels
// or fills in later start empty in their submenus.
TEST(MenuTable, ShortcutTextsMatchTheAcceleratorsAndLaterItemsStartEmpty) {
  const std::map<int, std::string> texts = ItemTexts(MainMenuRows());
  ASSERT_EQ(AcceleratorTable().size(), 17u);
  for (const Accelerator& a : AcceleratorTable()) {
    ASSERT_TRUE(texts.count(a.command)) << a.command;
    const std::string shortcut = std::string("\tCtrl + ") + a.key;
    const std::string& text = texts.at(a.command);
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), shortcut.size())), shortcut)
        << a.command;
  }
  EXPECT_EQ(texts.at(13), "E&xit\tAlt + F4");
  EXPECT_EQ(texts.at(364), "&About Tuttiro...");
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    EXPECT_EQ(texts.at(kIdOpenBuiltinFirst + i), BuiltinPieceName(i));
    EXPECT_EQ(PathOf(MainMenuRows(), kIdOpenBuiltinFirst + i),
              (std::vector<std::string>{"&File", "&Open"}));
  }
  // The saved-settings entries and the recent files have no text until used.
  for (int id : {30, 33, 41, 44, 50, 53, 70, 73, 81, 84, 90, 93, 24, 27}) {
    EXPECT_EQ(texts.at(id), "") << id;
  }
  EXPECT_EQ(PathOf(MainMenuRows(), 44),
            (std::vector<std::string>{"&File", "S&ystem Settings", "&Save Settings"}));
  EXPECT_EQ(PathOf(MainMenuRows(), 93),
            (std::vector<std::string>{"&File", "&Piece Settings", "Re&move Saved Settings"}));
}

TEST(MenuTable, IncomingMidiHasASubmenuPerPortWithChannelItems) {
  const std::vector<MenuRow>& rows = MainMenuRows();
  const std::map<int, std::string> texts = ItemTexts(rows);
  for (int p = 0; p < 8; ++p) {
    const int base = 200 + 20 * p;
    const std::string port = std::string("&") + static_cast<char>('A' + p) + "--";
    EXPECT_EQ(PathOf(rows, base + 17),
              (std::vector<std::string>{"&Settings", "&Incoming MIDI", port}));
    EXPECT_EQ(texts.at(base), "&All");
    EXPECT_EQ(texts.at(base + 1), "&None");
    EXPECT_EQ(texts.at(base + 2), "Channel &1");
    EXPECT_EQ(texts.at(base + 17), "Channel 16");
    EXPECT_FALSE(texts.count(base + 18));
    EXPECT_EQ(PathOf(rows, 140 + p),
              (std::vector<std::string>{"&Controls", "&Change All Tracks to Output on"}));
  }
  const auto tagged = std::count_if(rows.begin(), rows.end(), [](const MenuRow& row) {
    return row.kind == MenuRowKind::kSubmenu && row.id >= kMenuIncomingPortFirst;
  });
  EXPECT_EQ(tagged, 8);
}

TEST(MenuTable, TheMenuBarAndTheHelpItemsStartUpInserts) {
  std::vector<MenuRow> rows;
  ASSERT_TRUE(MenuWithHelpItems(rows));
  std::vector<std::string> bar;
  for (const MenuRow& row : rows) {
    if (row.depth == 0) bar.push_back(row.text);
  }
  EXPECT_EQ(bar, (std::vector<std::string>{"&File", "&Views", "&Controls", "&Settings", "&Help"}));
  const auto help = std::find_if(rows.begin(), rows.end(),
                                 [](const MenuRow& row) { return row.text == "&Help"; });
  ASSERT_GE(rows.end() - help, 4);
  EXPECT_EQ(help[1].id, kIdHelpTopics);
  EXPECT_EQ(help[1].text, "&Help Topics...\tF1");
  EXPECT_EQ(help[2].kind, MenuRowKind::kSeparator);
  EXPECT_EQ(help[3].id, kIdAbout);
}

TEST(MenuTable, OpeningOtherFilesFollowsTheBuiltinPieces) {
  const auto followers = ItemsFollowing(kIdOpenBuiltinFirst);
  EXPECT_EQ(std::vector<int>(followers.begin(), followers.end()),
            (std::vector<int>{10, 24, 25, 26, 27}));
  EXPECT_TRUE(ItemsFollowing(16).empty());
}

}  // namespace
}  // namespace tuttiro
