// The commit step of each settings dialog: the values a dialog opens with are
// read from the application here, and its OK applies the stored copy, publishes
// what the timer and input threads read, and tells the follower, the transport
// and the views what changed, in that order. The dialogs themselves never touch
// the application record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/following_dialog.h"
#include "dialogs/location_dialogs.h"
#include "dialogs/markers_dialog.h"
#include "piece/system_settings.h"

namespace tuttiro {

struct AppRec;

// What the follower has still to be handed: it takes no new score, options or
// markers while it follows, so a dialog committed during Play and Follow leaves
// them here and the idle pass hands them over once following stops.
enum FollowerPending : uint8_t {
  kPendingScore = 1,
  kPendingOptions = 2,
  kPendingMarkers = 4,
};
void HandFollowerPending(AppRec& app);

// A dialog that takes values from MIDI: while it is open the input path acts on
// no message (no thru, remote control or following); while its capture is on
// the follower input mode is "learning" and the input path hands it every
// message. Closing puts the saved mode back (the stopped mode if the transport
// stopped meanwhile).
struct CaptureRec {
  uint16_t savedMode = kInputNone;
};
CaptureRec CaptureOpen(AppRec& app);
void CaptureSwitch(AppRec& app, const CaptureRec& capture, bool on);
void CaptureClose(AppRec& app, const CaptureRec& capture);

// The output ports' names as the dialogs' port lists show them (the device
// name without the "&A--" menu prefix; empty for a port without a device).
std::vector<std::string> OutputPortNames(const AppRec& app);

FollowingValues FollowingValuesOf(const AppRec& app);
void CommitFollowing(AppRec& app, const FollowingValues& values);

MarkerLists MarkerListsOf(const AppRec& app);
void CommitSpecialMarkers(AppRec& app, const MarkerLists& lists);

LoopValues LoopValuesOf(const AppRec& app);
void CommitLoopMode(AppRec& app, const LoopValues& values);

FileFacts FileFactsOf(const AppRec& app);
void CommitDisplayName(AppRec& app, const std::optional<std::string>& displayName);

DisplayValues DisplayValuesOf(const AppRec& app);
void CommitDisplayPreferences(AppRec& app, const DisplayValues& values);

}  // namespace tuttiro
