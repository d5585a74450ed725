// The dialogs' commit steps.
#include "app/dialog_commit.h"

#include "app/app.h"
#include "engine/follower.h"
#include "engine/follower_settings.h"
#include "piece/piece_info.h"
#include "string_table.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

constexpr size_t kPortPrefix = 4;  // "&A--"

bool FollowedPartChanged(const AppRec& app, const FollowingValues& v) {
  return v.followSource != app.system.followSource || v.followTrack1 != app.live.followTrack1 ||
         v.followTrack2 != app.live.followTrack2 || v.followTwoTracks != app.live.followTwoTracks;
}

void RedrawFollowingStrips(AppRec& app, const FollowingValues& v) {
  for (int16_t track :
       {app.live.followTrack1, app.live.followTrack2, v.followTrack1, v.followTrack2}) {
    app.host.InvalidateTrackStrip(track);
  }
}

// The menus follow the transport's state (Play Performance, the loop's playable end).
void TellTransportMenus(AppRec& app) {
  if (TransportRunning(app)) {
    SetRunningMenus(app);
  } else {
    SetStoppedMenus(app);
  }
}

// Hands the follower what `what` names now, or leaves it for the idle pass
// while following runs.
void HandFollower(AppRec& app, uint8_t what) {
  app.followerPending |= what;
  if (!TransportFollowing(app)) HandFollowerPending(app);
}

}  // namespace

void HandFollowerPending(AppRec& app) {
  const uint8_t what = app.followerPending;
  app.followerPending = 0;
  if (what & kPendingScore) GiveFollowerScore(app.settings);
  if (!app.engine.followerReady.load()) return;
  if (what & kPendingOptions) FollowerTakeOptions(app.engine.follower, app.system);
  if (what & kPendingMarkers) FollowerTakeMarkers(app.engine.follower, app.live);
}

CaptureRec CaptureOpen(AppRec& app) {
  app.engine.input.learningDialogOpen.store(true);
  return CaptureRec{app.engine.mode.followerInputMode.load()};
}

void CaptureSwitch(AppRec& app, const CaptureRec& capture, bool on) {
  app.engine.mode.followerInputMode.store(on ? uint16_t{kInputLearning} : capture.savedMode);
}

void CaptureClose(AppRec& app, const CaptureRec& capture) {
  if (!TransportRunning(app)) {
    app.engine.mode.followerInputMode.store(IdleFollowerInputMode(app.system));
  } else if (app.engine.mode.followerInputMode.load() == kInputLearning) {
    app.engine.mode.followerInputMode.store(capture.savedMode);
  }
  app.engine.input.learningDialogOpen.store(false);
}

std::vector<std::string> OutputPortNames(const AppRec& app) {
  std::vector<std::string> names;
  for (int port = 0; port < kMidiPortCount; ++port) {
    const std::string name = MidiPortName(app.engine.ports, port);
    names.push_back(name.size() > kPortPrefix ? name.substr(kPortPrefix) : std::string());
  }
  return names;
}

FollowingValues FollowingValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  const PieceSettings& live = app.live;
  return FollowingValues{s.followSource,       live.followTwoTracks, live.followTrack1,
                         live.followTrack2,    s.tapSource,          s.tapNote,
                         s.tapController,      s.waitForSolo,        s.previewBeforeStarting,
                         s.startAutomatically, s.stopAutomatically,  s.stopDelay,
                         s.autoJump,           s.localJumps,         s.timingSensitivity,
                         s.volumeSensitivity,  s.strictTime};
}

void CommitFollowing(AppRec& app, const FollowingValues& v) {
  RedrawFollowingStrips(app, v);
  if (FollowedPartChanged(app, v)) {
    // Following stops first: it silenced the old following tracks and gives
    // them back when it stops, which it could not do once they changed.
    if (TransportFollowing(app)) StopTransport(app);
    app.transport.performanceAvailable = false;
    TellTransportMenus(app);
  }
  SystemSettings& s = app.system;
  s.followSource = v.followSource;
  s.tapSource = v.tapSource;
  s.tapNote = v.tapNote;
  s.tapController = v.tapController;
  s.waitForSolo = v.waitForSolo;
  s.previewBeforeStarting = v.previewBeforeStarting;
  s.startAutomatically = v.startAutomatically;
  s.stopAutomatically = v.stopAutomatically;
  s.stopDelay = v.stopDelay;
  s.autoJump = v.autoJump;
  s.localJumps = v.localJumps;
  s.timingSensitivity = v.timingSensitivity;
  s.volumeSensitivity = v.volumeSensitivity;
  s.strictTime = v.strictTime;
  app.live.followTrack1 = v.followTrack1;
  app.live.followTrack2 = v.followTrack2;
  app.live.followTwoTracks = v.followTwoTracks;
  // Also sets the follower input mode while stopped: listening when the
  // soloist's playing is followed and Start Automatically is on, else none.
  PublishSystemSettings(app);
  HandFollower(app, kPendingScore | kPendingOptions);
}

MarkerLists MarkerListsOf(const AppRec& app) {
  const PieceSettings& live = app.live;
  return MarkerLists{live.rehearsalPoints, live.waitForSoloistMarkers, live.waitForSignalMarkers,
                     live.restoreTempoMarkers, live.ignoreSoloistRanges};
}

void CommitSpecialMarkers(AppRec& app, const MarkerLists& lists) {
  PieceSettings& live = app.live;
  live.rehearsalPoints = lists.rehearsalPoints;
  live.waitForSoloistMarkers = lists.waitForSoloist;
  live.waitForSignalMarkers = lists.waitForSignal;
  live.restoreTempoMarkers = lists.restoreTempo;
  if (!lists.waitForSignal.empty() && app.system.followSource == 0 &&
      app.system.remoteControl[kRemoteControlEntries - 1] == kRemoteNone) {
    app.host.ShowMessage(kStringSpecialSignalUndefined);
  }
  live.ignoreSoloistRanges = MergeIgnoreRanges(lists.ignoreSoloist);
  HandFollower(app, kPendingMarkers);
  RefreshPositionDisplays(app);
  app.host.InvalidateBox(kBoxSongBar);
}

LoopValues LoopValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  return LoopValues{s.loopMode,       app.live.loopStart,
                    app.live.loopEnd, s.restartLoopAutomatically,
                    s.restartDelay,   s.setLoopPointsAutomatically};
}

void CommitLoopMode(AppRec& app, const LoopValues& v) {
  app.live.loopStart = v.loopStart;
  app.live.loopEnd = v.loopEnd;
  SystemSettings& s = app.system;
  s.restartDelay = v.restartDelay;
  s.loopMode = v.loopMode;
  s.restartLoopAutomatically = v.restartLoopAutomatically;
  s.setLoopPointsAutomatically = v.setLoopPointsAutomatically;
  PublishSystemSettings(app);
  SetBoxImage(app, kBoxLoopMode, v.loopMode ? kImageOn : kImageNormal);
  app.host.InvalidateBox(kBoxLoopStart);
  app.host.InvalidateBox(kBoxLoopEnd);
  RefreshPositionDisplays(app);
  TellTransportMenus(app);
}

FileFacts FileFactsOf(const AppRec& app) {
  const PieceModel& piece = app.piece;
  // The dialog names the file as the title does, so that typing the name the
  // title shows clears the display name instead of setting one.
  return FileFacts{PieceShownFileName(piece),     piece.pieceDisplayName,
                   PieceLengthBars(piece),        piece.initialKey,
                   piece.initialTimeSigNumerator, piece.initialTimeSigDenominator};
}

void CommitDisplayName(AppRec& app, const std::optional<std::string>& displayName) {
  app.piece.pieceDisplayName = displayName;
  ViewsUpdateTitle(app);
}

DisplayValues DisplayValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  return DisplayValues{s.viewsMovable, s.requireShiftDrag, s.rememberViewLocations};
}

void CommitDisplayPreferences(AppRec& app, const DisplayValues& v) {
  app.system.viewsMovable = v.viewsMovable;
  app.system.requireShiftDrag = v.requireShiftDrag;
  app.system.rememberViewLocations = v.rememberViewLocations;
  PublishSystemSettings(app);
}

}  // namespace tuttiro
