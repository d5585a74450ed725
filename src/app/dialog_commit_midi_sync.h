// The MIDI & Sync Setup dialog's commit step: the values it opens with, and
// what OK and Cancel both do after it closes, so that new sync and thru
// settings take effect at once, even while the transport runs.
#pragma once

#include <string>
#include <vector>

#include "dialogs/midi_sync_dialog.h"

namespace tuttiro {

struct AppRec;

MidiSyncValues MidiSyncValuesOf(const AppRec& app);
// Stores the values, publishes them to the timer and input threads and
// refreshes the location: stopped, the receiver of the sync output is told
// where the piece stands; running, a change of sync output switches over
// (MIDI clock stops with Stop, starts with its Song Position Pointer and
// Continue; time code starts with a full frame) without a restart.
void CommitMidiSync(AppRec& app, const MidiSyncValues& values);
// Cancel: the same refreshes with the settings unchanged.
void CancelMidiSync(AppRec& app);

}  // namespace tuttiro
