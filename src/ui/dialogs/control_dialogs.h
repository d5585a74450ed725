// The Remote Control, MIDI Metronome, Master Transpose and Tempo dialogs in Qt,
// run by RunSettingsDialog for their templates.
#pragma once

#include "ui/dialogs/settings_dialogs.h"

namespace tuttiro {

bool RunRemoteControl(DialogEnv& env);
bool RunMetronome(DialogEnv& env);
bool RunMasterTranspose(DialogEnv& env);
bool RunTempo(DialogEnv& env);

}  // namespace tuttiro
