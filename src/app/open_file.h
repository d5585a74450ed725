// Opening pieces from the menus: the built-in pieces, a musician's own files
// through a file dialog, and the recently opened files. A piece that fails to
// load never costs the one that is open.
#pragma once

#include <string>

namespace tuttiro {

struct ShellRec;

// Opens the built-in piece or file `name`. The file is read into a model of
// its own first; only when that succeeds does it replace the open piece. The
// result is OpenPiece's; on failure the open piece stays loaded and playable.
int OpenPieceKeepingCurrent(ShellRec& shell, const std::string& name);

// Opens a file the musician named: on success it heads the recent files, on
// failure its load result is shown (and a file that is gone leaves the list).
int OpenUserFile(ShellRec& shell, const std::string& path);

// File > Open File... (command 10): a file dialog, then OpenUserFile.
void OpenFileCommand(ShellRec& shell);

// The recent files in the File menu (an entry without a file has no text).
void ShowRecentFiles(ShellRec& shell);

// The file dialog's filter: the label "Standard MIDI Files (*.mid, *.smf)" followed
// by its patterns in parentheses, blank-separated, as a file dialog reads them.
std::string MidiFileDialogFilter();

}  // namespace tuttiro
