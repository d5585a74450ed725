// The Tracks, Banks & Programs and Performance Settings dialogs in Qt, thin
// bindings of their models committed through the track dialogs' commit steps.
#pragma once

#include "ui/dialogs/settings_dialogs.h"

namespace tuttiro {

// Opens on call.track.
bool RunTracks(DialogEnv& env, const DialogCall& call);
bool RunBanksAndPrograms(DialogEnv& env);
bool RunPerformanceSettings(DialogEnv& env);

}  // namespace tuttiro
