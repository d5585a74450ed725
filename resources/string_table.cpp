// The string table's texts. Ids are fixed: the dialogs, menus and messages
// refer to texts by number.
#include "string_table.h"

#include <algorithm>
#include <iterator>

namespace tuttiro {
namespace {

struct StringEntry {
  int id;
  const char* text;
};

constexpr StringEntry kStrings[] = {
    {1001, "Tuttiro"},
    {2001,
     "Tuttiro is unable to locate the Help file.  Please check and make sure that it is "
     "properly installed in the same directory as Tuttiro."},
    {2002,
     "This file is in the wrong format or has been damaged.  You may want to try selecting "
     "another file."},
    {2004,
     "An error occurred while trying to load this file.  You may want to try selecting "
     "another file."},
    {2005,
     "The file was not found.  Perhaps you tried to open a bad alias or otherwise damaged "
     "file.  You may want to try selecting another file."},
    {2006,
     "This file contains no MIDI data except for system messages.  Since Tuttiro can't do "
     "anything with such a file, please open a different file."},
    {2007, "Tuttiro is unable to load the settings."},
    {2008, "Tuttiro is unable to save the settings."},
    {2009, "Tuttiro is unable to revert the settings to their previous values."},
    {2012,
     "Tuttiro has run out of memory for recording the performance.  Recording has "
     "stopped; following goes on."},
    {2015, "Tuttiro has encountered a serious problem, and will have to quit."},
    {2016,
     "Tuttiro is unable to save the current settings, so it will not be possible to revert to "
     "them."},
    {2017, "Tuttiro is unable to save the file."},
    {2020, "Tuttiro can only run with a monitor that displays at least 256 colors or grays."},
    {2030,
     "This file is too large for Tuttiro: a piece can have at most 32767 bars and 32767 "
     "tracks, and its file at most 512 MB.  The file itself may well be sound; it cannot be "
     "opened here."},
    {2031,
     "The piece's file has been changed, replaced or removed since Tuttiro opened it.  Write "
     "the piece as Tuttiro opened it, with these settings, in its place?"},
    {3001, "&Help Topics...\tF1"},
    {6001, "Are you sure you want to replace the settings '"},
    {6002, "'?"},
    {6003, "Are you sure you want to remove the settings '"},
    {6004, "'?"},
    {6010, "Perf_"},
    {6011, "Standard MIDI Files (*.mid, *.smf)"},
    {6012, "*.mid;*.smf"},
    {6014, "(no settings saved)"},
    {6020, " bars"},
    {6021, "/"},
    {6030,
     "This piece is built into Tuttiro, so its settings cannot be saved in it.  Would you "
     "like to save a copy of the piece as a file, with its settings?"},
    {6031, "Do you want to save the changes you made to the settings of '"},
    {6032, "'?"},
    {6040,
     "Warning: the Special Signal has not been defined, so the Wait-for-Special-Signal "
     "marker(s) you have set will be ignored.  To define the Special Signal, select Remote "
     "Control... from the Settings menu."},
    {7000, "none"},
    {7001, "C-flat major (seven flats)"},
    {7002, "G-flat major (six flats)"},
    {7003, "D-flat major (five flats)"},
    {7004, "A-flat major (four flats)"},
    {7005, "E-flat major (three flats)"},
    {7006, "B-flat major (two flats)"},
    {7007, "F major (one flat)"},
    {7008, "C major (no sharps or flats)"},
    {7009, "G major (one sharp)"},
    {7010, "D major (two sharps)"},
    {7011, "A major (three sharps)"},
    {7012, "E major (four sharps)"},
    {7013, "B major (five sharps)"},
    {7014, "F-sharp major (six sharps)"},
    {7015, "C-sharp major (seven sharps)"},
    {7016, "A-flat minor (seven flats)"},
    {7017, "E-flat minor (six flats)"},
    {7018, "B-flat minor (five flats)"},
    {7019, "F minor (four flats)"},
    {7020, "C minor (three flats)"},
    {7021, "G minor (two flats)"},
    {7022, "D minor (one flat)"},
    {7023, "A minor (no sharps or flats)"},
    {7024, "E minor (one sharp)"},
    {7025, "B minor (two sharps)"},
    {7026, "F-sharp minor (three sharps)"},
    {7027, "C-sharp minor (four sharps)"},
    {7028, "G-sharp minor (five sharps)"},
    {7029, "D-sharp minor (six sharps)"},
    {7030, "A-sharp minor (seven sharps)"},
    {8002, "(no MIDI input device)"},
};

}  // namespace

const char* StringText(int id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringEntry& e, int wanted) { return e.id < wanted; });
  return it != std::end(kStrings) && it->id == id ? it->text : nullptr;
}

}  // namespace tuttiro
