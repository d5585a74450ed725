// What the piece and system settings give the score follower: its markers and
// ignored ranges, the written part of the following tracks (or the piece's
// beats for tapped-beat following) and the Following options. Bound into the
// settings operations' follower hooks.
#pragma once

#include "engine/follower.h"
#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/system_settings.h"

namespace tuttiro {

// False when the follower cannot take the lists (while it follows, say).
bool FollowerTakeMarkers(FollowerState& f, const PieceSettings& live);
void FollowerTakeScore(FollowerState& f, const PieceModel& piece, const PieceSettings& live,
                       const SystemSettings& system);
// The Following options and the special signal.
void FollowerTakeOptions(FollowerState& f, const SystemSettings& system);

// The three steps above as the settings operations' hooks, for follower f.
FollowerHooks FollowerSettingsHooks(FollowerState& f);

}  // namespace tuttiro
