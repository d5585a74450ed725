// The commit steps of the Tracks, Banks & Programs and Performance Settings
// dialogs: the values they open with, read from the application, and their OK
// applied to the tracks with the scheduler held off each track while it
// changes, so that a running transport neither sounds a wrong note nor leaves
// one hanging.
#pragma once

#include <string>
#include <vector>

#include "dialogs/performance_dialog.h"
#include "piece/track_values.h"

namespace tuttiro {

struct AppRec;

// While the Tracks dialog is open the Tracks view draws `working` (none: the
// tracks themselves again).
void ShowWorkingTracks(AppRec& app, const std::vector<TrackValues>* working);
void RedrawTrackStrip(AppRec& app, int track);
// Every track takes its values; a track that sounds now is silenced under the
// old routing and brought to its state at the current position under the new.
void CommitTracks(AppRec& app, const std::vector<TrackValues>& tracks);

PerformanceValues PerformanceValuesOf(const AppRec& app);
void CommitPerformance(AppRec& app, const PerformanceValues& values);

}  // namespace tuttiro
