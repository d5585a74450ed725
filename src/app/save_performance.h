// File > Save Performance As... and the headless run's --save-performance:
// the recorded performance written as a Standard MIDI File that plays back as
// the musician heard it, replacing the file in one step.
#pragma once

#include <string>

namespace tuttiro {

struct AppRec;
struct ShellRec;

// Writes the open piece's recorded performance to `path`. False, with any
// file already at `path` untouched, when there is no performance or it could
// not be written.
bool WritePerformanceFile(AppRec& app, const std::string& path);

// "Perf_" followed by the piece's name, as the save dialog proposes it.
std::string ProposedPerformanceName(const AppRec& app);

// Command 11: a save dialog, then the file; message 2017 when it fails.
void SavePerformanceCommand(ShellRec& shell);

}  // namespace tuttiro
