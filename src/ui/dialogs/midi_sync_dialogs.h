// The MIDI & Sync Setup dialog in Qt.
#pragma once

namespace tuttiro {

struct DialogEnv;

// True for OK. OK and Cancel both end in the commit step's refreshes.
bool RunMidiSyncSetup(DialogEnv& env);

}  // namespace tuttiro
