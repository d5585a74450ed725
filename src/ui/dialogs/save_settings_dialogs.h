// The Save Settings dialog in Qt: asks for the name settings are saved under.
#pragma once

#include "dialogs/dialog_call.h"

namespace tuttiro {

struct DialogEnv;

// True for OK, with the name in `call`.
bool RunSaveSettings(DialogEnv& env, DialogCall& call);

}  // namespace tuttiro
