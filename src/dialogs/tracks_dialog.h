// The Tracks dialog's rules: one track at a time out of a working copy of every
// track (which the Tracks view shows while the dialog is open), its name, play
// or mute, port, channel, transposition and volume with their validation, the
// resets, switching tracks, and the copy handed back on OK.
#pragma once

#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/track_values.h"

namespace tuttiro {

struct TracksDialog {
  DialogModel model;
  std::vector<TrackValues> working;    // what OK commits
  std::vector<TrackValues> committed;  // what Undo Changes goes back to
  int current = 0;
};

// Opens on `track` (0 from the menu, the double-clicked strip from the view);
// `portNames` are the output devices of ports A-H.
TracksDialog OpenTracks(const std::vector<TrackValues>& tracks,
                        const std::vector<std::string>& portNames, int track);
// After control `id` changed: its action, the validation, and a valid entry
// stored into the working copy at once. True when the dialog must beep.
bool TracksCommand(TracksDialog& dialog, int id);

// Volume percent as shown, and the volume a percent stores (256 = 100 %).
int VolumePercentOf(int volume);
uint16_t VolumeOfPercent(int percent);

}  // namespace tuttiro
