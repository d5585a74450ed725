// The transport's modes and transitions, the Stop handler, the menus and the
// transport buttons, and the host side of the follower's reports. Preview runs
// on the idle pass's clock instead of blocking the window thread: the same steps
// in the same order with the same durations.
#include "transport/transport.h"

#include <algorithm>

#include "app/app.h"
#include "transport/midi_state.h"

namespace tuttiro {
namespace {

constexpr int kRunningGreyed[] = {11,  15,  16,  17,  18,  19,  22,  23,  30,  31,
                                  32,  33,  62,  63,  70,  71,  72,  73,  132, 133,
                                  140, 141, 142, 143, 144, 145, 146, 147, 150, 151,
                                  152, 153, 154, 155, 157, 158, 159, 160, 161, 162};
constexpr int kStoppedEnabled[] = {15,  16,  17,  18,  19,  22,  23,  62,  63,  140, 141,
                                   142, 143, 144, 145, 146, 147, 150, 151, 152, 153, 154,
                                   155, 157, 158, 159, 160, 161, 162, 132, 133};

bool SoloistFollowed(const AppRec& app) {
  return app.engine.scheduler.settings.followSource.load() == 0;
}

void SetEnabled(AppRec& app, int item, bool enabled) {
  app.host.EnableMenuItem(item, enabled);
}

void SetCommandFlag(AppRec& app, int code, bool enabled) {
  app.engine.commands.enabled[static_cast<size_t>(code)].store(enabled);
}

// The box of the mode that runs, or 0.
int RunningModeBox(AppRec& app) {
  if (app.engine.clock.following.load()) return kBoxPlayAndFollow;
  if (app.engine.mode.playingFile.load()) return kBoxPlayFile;
  if (app.engine.mode.playingPerformance.load()) return kBoxPlayPerformance;
  if (app.engine.clock.rewinding.load()) return kBoxRewind;
  if (app.engine.mode.previewing.load()) return kBoxPreview;
  if (app.engine.clock.fastForward.load()) return kBoxFastForward;
  return 0;
}

// Restores a following track's play flag saved when the soloist took it over.
void RestoreFollowingTrack(AppRec& app, int index, uint8_t saved) {
  if (index < 0 || index >= app.piece.trackCount) return;
  TrackRec& track = app.piece.tracks[static_cast<size_t>(index)];
  if (track.play != saved) app.host.InvalidateTrackStrip(index);
  track.play = saved;
}

void TakeFollowingTrack(AppRec& app, int index, uint8_t& saved) {
  if (index < 0 || index >= app.piece.trackCount) return;
  TrackRec& track = app.piece.tracks[static_cast<size_t>(index)];
  saved = track.play;
  if (track.play) app.host.InvalidateTrackStrip(index);
  track.play = 0;
}

bool SecondFollowingTrack(const AppRec& app) {
  return app.live.followTwoTracks && app.live.followTrack2 != app.live.followTrack1;
}

// Play File plays the following tracks that following keeps silent.
void RedrawFollowingStrips(AppRec& app) {
  app.host.InvalidateTrackStrip(app.live.followTrack1);
  if (SecondFollowingTrack(app)) app.host.InvalidateTrackStrip(app.live.followTrack2);
}

// The rest of Play and Follow, after any preview and pause.
void PlayAndFollowContinue(AppRec& app) {
  TransportRec& t = app.transport;
  app.engine.mode.acceptFollowerTempo.store(false);
  const int32_t position = CurrentPosition(app);
  // A follower that no longer holds the jump (it was reset meanwhile) starts
  // afresh at the place the jump asked for.
  if (!t.resumingAfterJump ||
      !FollowerResumeAfterJump(app.engine.follower, t.savedTempoFactor * 16)) {
    FollowerStart(app.engine.follower, position, app.engine.clock.tempoFactor.load() * 16);
  }
  UpdateClock(app.engine, [](TransportClock& c) { c.following = true; });
  if (!StartTransport(app, !SoloistFollowed(app))) {
    // Nothing left to play: the follower stops with the transport, so that
    // its clock can never move the stopped transport.
    FollowerStop(app.engine.follower);
    UpdateClock(app.engine, [](TransportClock& c) { c.following = false; });
    return;
  }
  app.engine.mode.acceptFollowerTempo.store(true);
  EnginePublish(app.engine, app.system, app.live);
  if (!t.resumingAfterJump || !RecordingResume(app.engine.input, position)) {
    RecordingStart(app.engine.input, position);
    app.engine.performance.recordedTempoFactor = t.savedTempoFactor;
  }
  if (SoloistFollowed(app)) {
    app.engine.mode.followerInputMode.store(kInputSoloistNotes);
    TakeFollowingTrack(app, app.live.followTrack1, t.savedPlay1);
    if (SecondFollowingTrack(app)) TakeFollowingTrack(app, app.live.followTrack2, t.savedPlay2);
  } else if (app.system.tapSource >= 2) {
    ClearControllerTaps(app.engine.input);
    app.engine.mode.followerInputMode.store(kInputMidiTaps);
  } else {
    app.engine.mode.followerInputMode.store(kInputKeyTaps);
    KeyPollStart(app.engine);
  }
}

// Play and Follow, Play File and Play Performance start from the loop start when
// loop mode is on, the transport is stopped and that mode was not just stopped.
bool StartsFromLoop(AppRec& app, bool resumeFlag) {
  return app.system.loopMode && !TransportRunning(app) && !resumeFlag;
}

void GoToLoopStart(AppRec& app) {
  SetPosition(app, app.live.loopStart);
  Locate(app);
  RefreshPositionDisplays(app);
}

// The end of a preview: back to where it started.
void PreviewFinish(AppRec& app) {
  app.engine.mode.previewing.store(false);
  SetPosition(app, app.transport.previewReturnPosition);
  Locate(app);
  SetStoppedMenus(app);
}

bool InIgnoreRange(const std::vector<MarkerRange>& ranges, int32_t p) {
  auto after =
      std::upper_bound(ranges.begin(), ranges.end(), p,
                       [](int32_t value, const MarkerRange& r) { return value < r.begin; });
  return after != ranges.begin() && std::prev(after)->end > p;
}

}  // namespace

int32_t CurrentPosition(AppRec& app) {
  return TransportPosition(app.engine.clock, app.engine.follower.clock, app.platform);
}

void SetPosition(AppRec& app, int32_t position) {
  UpdateClock(app.engine, [&](TransportClock& c) { c.basePosition = position; });
}

bool TransportRunning(AppRec& app) {
  return app.engine.clock.running.load();
}
bool TransportFollowing(AppRec& app) {
  return app.engine.clock.following.load();
}
bool TransportFastForward(AppRec& app) {
  return app.engine.clock.fastForward.load();
}
bool TransportRewinding(AppRec& app) {
  return app.engine.clock.rewinding.load();
}

void SetBoxImage(AppRec& app, int box, uint16_t state) {
  uint16_t& image = app.views.boxImage[static_cast<size_t>(box)];
  if (image == state) return;
  image = state;
  app.host.InvalidateBox(box);
}

void FlashButton(AppRec& app, int view, int box) {
  app.host.FlashButton(view, box, CommandQueueEmpty(app.engine.commands) ? kFlashMs : 0);
}

bool StartTransport(AppRec& app, bool includeFollowingTracks) {
  LoopRestartCancel(app.engine);
  app.engine.mode.volumeFollowFactor.store(256);
  if (!SchedulerBuildStreams(app.engine, app.live, includeFollowingTracks)) return false;
  EnginePublish(app.engine, app.system, app.live);
  const int32_t position = CurrentPosition(app);
  if (app.system.setLoopPointsAutomatically && !app.system.loopMode &&
      !app.engine.mode.previewing.load()) {
    app.live.loopStart = position;
    EnginePublish(app.engine, app.system, app.live);
    RefreshPositionDisplays(app);
  }
  PrepareSync(app, position);
  SoundStartState(app, kAllTracks);
  const SystemTime now = app.platform.ClockNow();
  UpdateClock(app.engine, [&](TransportClock& c) {
    c.baseTime = now;
    c.running = true;
  });
  ScheduleNext(app.engine);
  SetRunningMenus(app);
  RecordStart(app, position);
  return true;
}

void StopTransport(AppRec& app) {
  TransportRec& t = app.transport;
  if (!TransportRunning(app)) {
    LoopRestartCancel(app.engine);
    SetEnabled(app, kItemStop, false);
    SetCommandFlag(app, kCmdStop, false);
    return;
  }
  const bool following = TransportFollowing(app);
  if (const int box = RunningModeBox(app)) app.host.InvalidateBox(box);
  if (following) {
    KeyPollStop(app.engine.input);
    FollowerStop(app.engine.follower);
  }
  if (app.engine.mode.playingFile.load() && SoloistFollowed(app)) RedrawFollowingStrips(app);
  if (TransportRewinding(app)) {
    const int64_t ticks = TickNow(app) - t.lastRewindTick;
    const int32_t position = static_cast<int32_t>(
        std::max<int64_t>(0, app.engine.clock.basePosition.load() - ticks * 66));
    UpdateClock(app.engine, [&](TransportClock& c) {
      c.basePosition = position;
      c.rewinding = false;
      c.running = false;
    });
    Locate(app);
    RefreshPositionDisplays(app);
    SetStoppedMenus(app);
    return;
  }
  SchedulerHalt(app.engine);
  SilenceTracks(app, kAllTracks);
  int32_t position = CurrentPosition(app);
  if (following) position = std::max(position, t.startHistory[0]);
  const SystemTime now = app.platform.ClockNow();
  UpdateClock(app.engine, [&](TransportClock& c) {
    c.basePosition = position;
    c.baseTime = now;
    c.running = false;
  });
  const bool previewing = app.engine.mode.previewing.load();
  if (!app.system.loopMode && app.system.setLoopPointsAutomatically && !previewing) {
    app.live.loopEnd = position >= app.piece.endPosition ? app.piece.endPosition - 1 : position;
    EnginePublish(app.engine, app.system, app.live);
  }
  if (following) {
    app.engine.mode.followerInputMode.store(IdleFollowerInputMode(app.system));
    app.engine.performance.end = position;
    // A stop for a follower jump ends a take: following resumes at once and
    // records the next one from the place it jumped to.
    if (app.engine.jump.pending.load()) {
      RecordingTakeEnd(app.engine, app.engine.follower.startingRate, position);
    } else {
      t.performanceAvailable =
          RecordingFinish(app.engine, app.engine.follower.startingRate, position) > 0;
      app.engine.performance.start = app.engine.input.recording.sectionStart;
      PerformanceTemposKeep(app.engine, app.engine.clock.tempoFactor.load());
    }
    UpdateClock(app.engine, [&](TransportClock& c) { c.tempoFactor = t.savedTempoFactor; });
  }
  const bool overwrite = app.engine.mode.playingPerformance.load() &&
                         app.engine.scheduler.settings.performancePlayback.load() == 2;
  if (SoloistFollowed(app) && (following || overwrite)) {
    RestoreFollowingTrack(app, app.live.followTrack1, t.savedPlay1);
    if (following && SecondFollowingTrack(app)) {
      RestoreFollowingTrack(app, app.live.followTrack2, t.savedPlay2);
    }
  }
  if (app.engine.mode.playingPerformance.load()) {
    UpdateClock(app.engine, [&](TransportClock& c) { c.tempoFactor = t.savedTempoFactor; });
    PerformanceRestoreOutput(app.engine);
  }
  if (!previewing) {
    Locate(app);
    RefreshPositionDisplays(app);
  }
  UpdateClock(app.engine, [](TransportClock& c) {
    c.following = false;
    c.fastForward = false;
  });
  app.engine.mode.playingFile.store(false);
  app.engine.mode.playingPerformance.store(false);
  app.engine.performance.replacesTrack.store(false);
  app.engine.mode.previewing.store(false);
  t.resumingAfterJump = false;
  SetStoppedMenus(app);
}

bool StopIfRunning(AppRec& app) {
  TransportRec& t = app.transport;
  // A preview in progress ends first, back at its start; a pending start after
  // Preview before Starting is dropped.
  if (t.previewStage != PreviewStage::kNone) {
    const bool previewRunning = t.previewStage != PreviewStage::kPauseBeforeStarting;
    t.previewStage = PreviewStage::kNone;
    if (previewRunning) {
      StopTransport(app);
      PreviewFinish(app);
    }
  }
  if (!t.keepResumeFlags) {
    t.resumeFollowing = TransportFollowing(app);
    t.resumePlayingFile = app.engine.mode.playingFile.load();
    t.resumePlayingPerformance = app.engine.mode.playingPerformance.load();
    t.resumeFastForward = TransportFastForward(app);
    t.resumeRewinding = TransportRewinding(app);
  }
  const bool running = TransportRunning(app);
  if (running) StopTransport(app);
  return running;
}

void ResumeSaved(AppRec& app) {
  TransportRec& t = app.transport;
  if (t.resumeFollowing) {
    PlayAndFollow(app);
    t.resumeFollowing = false;
    app.host.InvalidateBox(kBoxPlayAndFollow);
  } else if (t.resumePlayingFile) {
    PlayFile(app);
    t.resumePlayingFile = false;
    app.host.InvalidateBox(kBoxPlayFile);
  } else if (t.resumePlayingPerformance) {
    PlayPerformance(app);
    t.resumePlayingPerformance = false;
    app.host.InvalidateBox(kBoxPlayPerformance);
  } else if (t.resumeFastForward) {
    FastForward(app);
    t.resumeFastForward = false;
    app.host.InvalidateBox(kBoxFastForward);
  } else if (t.resumeRewinding) {
    Rewind(app);
    t.resumeRewinding = false;
    app.host.InvalidateBox(kBoxRewind);
  }
}

void PlayAndFollow(AppRec& app) {
  TransportRec& t = app.transport;
  if (TransportFollowing(app)) return;
  const bool fromLoop = StartsFromLoop(app, t.resumeFollowing || t.resumingAfterJump);
  if (!fromLoop && CurrentPosition(app) == app.piece.endPosition) return;
  StopIfRunning(app);
  if (fromLoop) GoToLoopStart(app);
  app.engine.mode.furthestMatched.store(CurrentPosition(app));
  t.savedTempoFactor = app.engine.clock.tempoFactor.load();
  if (t.resumingAfterJump && app.system.timingSensitivity >= 3) {
    const int32_t rate = app.engine.jump.rate.load();
    UpdateClock(app.engine, [&](TransportClock& c) { c.tempoFactor = rate; });
  }
  if (app.system.previewBeforeStarting && !t.resumingAfterJump) {
    FlashButton(app, kViewMainTransport, kBoxPreview);
    Preview(app);
    if (t.previewStage == PreviewStage::kPreview) {
      t.previewStage = PreviewStage::kPreviewBeforeStarting;
      return;
    }
    FlashButton(app, kViewMainTransport, kBoxPlayAndFollow);
    if (!app.system.waitForSolo) {
      t.previewStage = PreviewStage::kPauseBeforeStarting;
      t.previewDue = app.platform.ClockNow() + kPauseAfterPreviewMs;
      return;
    }
  }
  PlayAndFollowContinue(app);
}

void PlayFile(AppRec& app) {
  TransportRec& t = app.transport;
  if (app.engine.mode.playingFile.load()) return;
  const bool fromLoop = StartsFromLoop(app, t.resumePlayingFile);
  if (!fromLoop && CurrentPosition(app) == app.piece.endPosition) return;
  StopIfRunning(app);
  if (fromLoop) GoToLoopStart(app);
  app.engine.mode.playingFile.store(true);
  if (!StartTransport(app, true)) {
    app.engine.mode.playingFile.store(false);
    return;
  }
  if (SoloistFollowed(app)) {
    RedrawFollowingStrips(app);
  }
}

void PlayPerformance(AppRec& app) {
  TransportRec& t = app.transport;
  if (app.engine.mode.playingPerformance.load() || !t.performanceAvailable) return;
  const bool fromLoop = StartsFromLoop(app, t.resumePlayingPerformance);
  if (!fromLoop && CurrentPosition(app) == app.piece.endPosition) return;
  StopIfRunning(app);
  if (fromLoop) GoToLoopStart(app);
  const int32_t position = CurrentPosition(app);
  app.engine.mode.playingPerformance.store(true);
  app.engine.performance.replacesTrack.store(false);
  PerformanceSwitchTrack(app.engine, position);
  t.savedTempoFactor = app.engine.clock.tempoFactor.load();
  const int32_t tempo = PerformanceStartTempo(app.engine, app.system, t.savedTempoFactor);
  UpdateClock(app.engine, [&](TransportClock& c) { c.tempoFactor = tempo; });
  PerformanceTakeOutput(app.engine, app.live);
  if (!StartTransport(app, true)) {
    app.engine.mode.playingPerformance.store(false);
    app.engine.performance.replacesTrack.store(false);
    UpdateClock(app.engine, [&](TransportClock& c) { c.tempoFactor = t.savedTempoFactor; });
    PerformanceRestoreOutput(app.engine);
    return;
  }
  if (SoloistFollowed(app) && app.engine.scheduler.settings.performancePlayback.load() == 2) {
    TakeFollowingTrack(app, app.live.followTrack1, t.savedPlay1);
  }
}

void FastForward(AppRec& app) {
  if (TransportFastForward(app) || CurrentPosition(app) == app.piece.endPosition) return;
  StopIfRunning(app);
  UpdateClock(app.engine, [](TransportClock& c) { c.fastForward = true; });
  if (!StartTransport(app, true))
    UpdateClock(app.engine, [](TransportClock& c) { c.fastForward = false; });
}

void Rewind(AppRec& app) {
  if (TransportRewinding(app) || CurrentPosition(app) == 0) return;
  StopIfRunning(app);
  app.transport.lastRewindTick = TickNow(app);
  UpdateClock(app.engine, [](TransportClock& c) {
    c.rewinding = true;
    c.running = true;
  });
  SetRunningMenus(app);
}

void Preview(AppRec& app) {
  TransportRec& t = app.transport;
  if (CurrentPosition(app) >= app.piece.endPosition) return;
  StopIfRunning(app);
  t.previewReturnPosition = CurrentPosition(app);
  app.engine.mode.previewing.store(true);
  if (StartTransport(app, true)) {
    app.host.UpdateNow();
    t.previewStage = PreviewStage::kPreview;
    t.previewDue = app.platform.ClockNow() + kPreviewMs;
    return;
  }
  PreviewFinish(app);
}

void PreviewEnd(AppRec& app) {
  TransportRec& t = app.transport;
  if (t.previewStage != PreviewStage::kPreview &&
      t.previewStage != PreviewStage::kPreviewBeforeStarting) {
    return;
  }
  const bool beforeStarting = t.previewStage == PreviewStage::kPreviewBeforeStarting;
  t.previewStage = PreviewStage::kNone;
  StopTransport(app);
  PreviewFinish(app);
  if (!beforeStarting) return;
  FlashButton(app, kViewMainTransport, kBoxPlayAndFollow);
  if (app.system.waitForSolo) {
    PlayAndFollowContinue(app);
    return;
  }
  t.previewStage = PreviewStage::kPauseBeforeStarting;
  t.previewDue = app.platform.ClockNow() + kPauseAfterPreviewMs;
}

void PreviewPoll(AppRec& app) {
  TransportRec& t = app.transport;
  if (t.previewStage == PreviewStage::kNone) return;
  const bool due = app.platform.ClockNow() >= t.previewDue;
  if (t.previewStage == PreviewStage::kPauseBeforeStarting) {
    if (!due) return;
    t.previewStage = PreviewStage::kNone;
    PlayAndFollowContinue(app);
    return;
  }
  // A preview stopped from outside ends at once.
  if (due || !TransportRunning(app)) PreviewEnd(app);
}

void StopCommand(AppRec& app) {
  TransportRec& t = app.transport;
  if (app.engine.mode.previewing.load()) return;
  if (t.previewStage == PreviewStage::kPauseBeforeStarting) t.previewStage = PreviewStage::kNone;
  if (TransportRunning(app)) {
    StopTransport(app);
    FlashButton(app, kViewMainTransport, kBoxStop);
  }
  if (app.engine.jump.pending.load()) {
    const int64_t elapsed = app.platform.ClockNow() - app.engine.jump.time.load();
    const int64_t position =
        app.engine.jump.position.load() + ((elapsed * app.engine.jump.rate.load() + 2048) >> 12);
    SetPosition(app, static_cast<int32_t>(
                         std::clamp<int64_t>(position, 0, std::max(0, app.piece.endPosition - 1))));
    if (app.system.loopMode) {
      const int32_t p = CurrentPosition(app);
      if (p < app.live.loopStart || p >= app.live.loopEnd) {
        app.system.loopMode = 0;
        EnginePublish(app.engine, app.system, app.live);
        SetBoxImage(app, kBoxLoopMode, kImageNormal);
      }
    }
    SetCommandFlag(app, kCmdPlayAndFollow, true);
    QueueCommand(app.engine.commands, kCmdPlayAndFollow);
    app.engine.jump.pending.store(false);
    t.resumingAfterJump = true;
  } else {
    SetStoppedMenus(app);
  }
  Locate(app);
  RefreshPositionDisplays(app);
}

void ExecuteCommand(AppRec& app, uint16_t code) {
  if (code >= kTransportCommandCount) return;
  if (code != kCmdStop && !app.engine.commands.enabled[code].load()) return;
  switch (code) {
    case kCmdPlayAndFollow:
      PlayAndFollow(app);
      FlashButton(app, kViewMainTransport, kBoxPlayAndFollow);
      break;
    case kCmdPlayFile:
      PlayFile(app);
      FlashButton(app, kViewMainTransport, kBoxPlayFile);
      break;
    case kCmdPlayPerformance:
      PlayPerformance(app);
      FlashButton(app, kViewMainTransport, kBoxPlayPerformance);
      break;
    case kCmdFastForward:
      FastForward(app);
      FlashButton(app, kViewMainTransport, kBoxFastForward);
      break;
    case kCmdRewind:
      Rewind(app);
      FlashButton(app, kViewMainTransport, kBoxRewind);
      break;
    case kCmdStop:
      StopCommand(app);
      break;
    case kCmdPreview:
      Preview(app);
      FlashButton(app, kViewMainTransport, kBoxPreview);
      break;
    case kCmdJumpAhead:
      JumpAhead(app);
      ResumeSaved(app);
      break;
    case kCmdJumpBack:
      JumpBack(app);
      ResumeSaved(app);
      break;
    case kCmdJumpAgain:
      JumpAgain(app);
      break;
    case kCmdMetronome:
      ToggleMetronome(app);
      break;
    case kCmdLoopMode:
      ToggleLoopMode(app);
      break;
    case kCmdAllNotesOff:
      AllNotesOff(app);
      break;
    default:
      break;
  }
}

void SetRunningMenus(AppRec& app) {
  TransportRec& t = app.transport;
  for (int item : kRunningGreyed) SetEnabled(app, item, false);
  const bool following = TransportFollowing(app);
  const bool file = app.engine.mode.playingFile.load();
  const bool performance = app.engine.mode.playingPerformance.load();
  const bool fastForward = TransportFastForward(app);
  const bool rewinding = TransportRewinding(app);
  const bool items[9] = {!following,   !file,      t.performanceAvailable && !performance,
                         !fastForward, !rewinding, true,
                         true,         true,       true};
  constexpr int kItems[9] = {kItemPlayAndFollow, kItemPlayFile,  kItemPlayPerformance,
                             kItemFastForward,   kItemRewind,    kItemStop,
                             kItemPreview,       kItemJumpAhead, kItemJumpBack};
  for (int code = 0; code < 9; ++code) {
    SetEnabled(app, kItems[code], items[code]);
    SetCommandFlag(app, code, items[code]);
  }
  SetCommandFlag(app, kCmdLoopMode, false);
  SetCommandFlag(app, kCmdAllNotesOff, false);
  if (t.holdGestureActive) return;
  const int running = RunningModeBox(app);
  for (int box = kBoxRewind; box <= kBoxFastForward; ++box) {
    SetBoxImage(app, box, box == running ? kImageOn : kImageNormal);
  }
}

void SetStoppedMenus(AppRec& app) {
  TransportRec& t = app.transport;
  for (int item : kStoppedEnabled) SetEnabled(app, item, true);
  SetEnabled(app, kItemSavePerformance, t.performanceAvailable);
  for (int k = 0; k < 4; ++k) {
    SetEnabled(app, 30 + k, t.savedSystemSettings > k);
    SetEnabled(app, 70 + k, t.pieceSettingsSaved[static_cast<size_t>(k)]);
  }
  const bool armed = LoopRestartArmed(app.engine);
  SetEnabled(app, kItemStop, armed);
  SetCommandFlag(app, kCmdStop, armed);
  const int32_t p = CurrentPosition(app);
  const bool atEnd = p >= app.piece.endPosition;
  const bool playable = !atEnd || app.system.loopMode;
  const bool play[3] = {playable, playable, playable && t.performanceAvailable};
  constexpr int kPlayItems[3] = {kItemPlayAndFollow, kItemPlayFile, kItemPlayPerformance};
  for (int code = 0; code < 3; ++code) {
    SetEnabled(app, kPlayItems[code], play[code]);
    SetCommandFlag(app, code, play[code]);
  }
  const std::pair<int, int> moving[3] = {{kCmdFastForward, kItemFastForward},
                                         {kCmdPreview, kItemPreview},
                                         {kCmdJumpAhead, kItemJumpAhead}};
  for (const auto& [code, item] : moving) {
    SetEnabled(app, item, !atEnd);
    SetCommandFlag(app, code, !atEnd);
  }
  SetEnabled(app, kItemRewind, p > 0);
  SetCommandFlag(app, kCmdRewind, p > 0);
  SetEnabled(app, kItemJumpBack, p > 0);
  SetCommandFlag(app, kCmdJumpBack, p > 0);
  for (int code : {kCmdJumpAgain, kCmdMetronome, kCmdLoopMode, kCmdAllNotesOff}) {
    SetCommandFlag(app, code, true);
  }
  if (t.holdGestureActive) return;
  for (int box = kBoxRewind; box <= kBoxFastForward; ++box) SetBoxImage(app, box, kImageNormal);
}

void ToggleMetronome(AppRec& app) {
  app.system.metronomeOn = app.system.metronomeOn ? 0 : 1;
  EnginePublish(app.engine, app.system, app.live);
  FlashButton(app, kViewCurrentTempo, kBoxMetronome);
  SetBoxImage(app, kBoxMetronome, app.system.metronomeOn ? kImageOn : kImageNormal);
  SendMetronomePatchIfPlaying(app);
}

void SendMetronomePatchIfPlaying(AppRec& app) {
  const bool playing = TransportFollowing(app) || app.engine.mode.playingFile.load() ||
                       app.engine.mode.playingPerformance.load();
  if (!app.system.metronomeOn || !playing || app.system.metronomeChannel == kNone ||
      app.system.metronomePatch == kNone) {
    return;
  }
  const int port =
      app.system.metronomePort == kAllOutputPorts ? kMidiAllPorts : app.system.metronomePort;
  MidiSend(app.engine.ports,
           0xC0u | (app.system.metronomeChannel & 0x0Fu) |
               static_cast<uint32_t>(app.system.metronomePatch) << 8,
           port, 0);
}

void ToggleLoopMode(AppRec& app) {
  app.system.loopMode = app.system.loopMode ? 0 : 1;
  EnginePublish(app.engine, app.system, app.live);
  FlashButton(app, kViewSongPosition, kBoxLoopMode);
  SetBoxImage(app, kBoxLoopMode, app.system.loopMode ? kImageOn : kImageNormal);
  // The menus follow the new loop mode; while playing they stay the running ones.
  if (TransportRunning(app)) {
    SetRunningMenus(app);
  } else {
    SetStoppedMenus(app);
  }
}

void AutoStopCheck(AppRec& app) {
  if (!app.system.stopAutomatically || !TransportFollowing(app) ||
      app.system.timingSensitivity < 2) {
    return;
  }
  const int64_t s =
      (static_cast<int64_t>(app.engine.clock.tempoFactor.load()) * app.system.stopDelay + 2048) >>
      12;
  const int32_t p = CurrentPosition(app);
  const int64_t b = p - s;
  if (b < 0) return;
  const auto& ranges = app.live.ignoreSoloistRanges;
  if (InIgnoreRange(ranges, p) || InIgnoreRange(ranges, static_cast<int32_t>(b))) return;
  const int32_t r1 = FollowerLastEventAtOrBefore(app.engine.follower, static_cast<int32_t>(b));
  if (r1 <= app.engine.mode.furthestMatched.load() + 500 || r1 >= b) return;
  const int32_t r2 = FollowerLastEventAtOrBefore(app.engine.follower, p - 500);
  if (r2 > r1) QueueCommand(app.engine.commands, kCmdStop);
}

void SetTrackPlay(AppRec& app, int track, bool on) {
  if (track < 0 || track >= static_cast<int>(app.piece.tracks.size())) return;
  TrackRec& rec = app.piece.tracks[static_cast<size_t>(track)];
  const bool running = TransportRunning(app) && !TransportRewinding(app);
  if (!running) {
    rec.play = on ? 1 : 0;
    return;
  }
  SchedulerHold(app.engine);
  if (on) {
    rec.play = 1;
    SoundStartState(app, track);
  } else {
    SilenceTracks(app, track);
    rec.play = 0;
  }
  SchedulerRelease(app.engine);
}

void SetMasterTranspose(AppRec& app, int16_t semitones) {
  const bool running = TransportRunning(app) && !TransportRewinding(app);
  if (running) {
    SchedulerHold(app.engine);
    for (int32_t track : app.engine.scheduler.listedTracks) {
      if (app.piece.tracks[static_cast<size_t>(track)].play) ReleaseSoundingNotes(app, track);
    }
  }
  app.live.masterTranspose = semitones;
  EnginePublish(app.engine, app.system, app.live);
  if (running) SchedulerRelease(app.engine);
}

void SetMasterTempo(AppRec& app, uint16_t factor) {
  const uint16_t before = static_cast<uint16_t>(app.engine.clock.tempoFactor.load());
  app.live.tempoFactor = factor;
  if (factor == before) return;
  const bool running = TransportRunning(app) && !TransportRewinding(app);
  if (running) SchedulerInvalidate(app.engine);
  const SystemTime now = app.platform.ClockNow();
  const int32_t position = CurrentPosition(app);
  UpdateClock(app.engine, [&](TransportClock& c) {
    if (running) {
      c.basePosition = position;
      c.baseTime = now;
    }
    c.tempoFactor = factor;
  });
  if (running) ScheduleNext(app.engine);
  // The Current Tempo digits follow the new factor at once, not at the next beat.
  app.engine.scheduler.shownBpm.store(TempoAtPosition(app, position));
  app.host.InvalidateBox(kBoxMasterThumb);
  RefreshPositionDisplays(app);
}

void TakeMasterSettings(AppRec& app) {
  SetMasterTranspose(app, app.live.masterTranspose);
  SetMasterTempo(app, app.live.tempoFactor);
}

void SetMasterVolume(AppRec& app, uint16_t volume) {
  app.live.masterVolume = volume;
  EnginePublish(app.engine, app.system, app.live);
  app.host.InvalidateBox(kBoxVolumeThumb);
  app.host.InvalidateBox(kBoxVolumeDigits);
}

}  // namespace tuttiro
