// The views' controls: gestures and per-view press handlers on the application.
#include "views/view_controls.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/app.h"
#include "app/dialog_table.h"
#include "app/startup.h"
#include "menu_table.h"
#include "piece/piece_info.h"

namespace tuttiro {
namespace {

constexpr uint16_t kFullVolume = 256;
constexpr uint16_t kFullTempo = 4096;
constexpr int32_t kHighestMaster = 512;
constexpr int32_t kHighestTrack = 384;

ViewStack Stack(AppRec& app) {
  return {app.live.viewVisible, app.live.viewOrder};
}

bool Stopped(AppRec& app) {
  return !TransportRunning(app);
}

bool SoloistFollowed(const AppRec& app) {
  return app.system.followSource == 0;
}

ViewPoint InView(const AppRec& app, int view, ViewPoint p) {
  const LayoutBox f = ViewFrame(app.views, view);
  return {p.x - f.left, p.y - f.top};
}

std::string PieceTitle(const PieceModel& piece) {
  if (!piece.pieceLoaded) return {};
  if (piece.pieceDisplayName && !piece.pieceDisplayName->empty()) return *piece.pieceDisplayName;
  return PieceShownFileName(piece);
}

void RedrawViews(AppRec& app) {
  app.host.InvalidateViews();
  app.host.UpdateNow();
}

void ShowMenu(AppRec& app) {
  ShowViewsMenu(app.host, ViewsMenuFromFlags(app.live.viewVisible));
}

// ---- Boxes and their image states ----

uint16_t& ImageOf(AppRec& app, const GestureRec& g) {
  if (g.button == ButtonKind::kViewBox) return app.views.boxImage[static_cast<size_t>(g.box)];
  return app.views
      .stripImage[static_cast<size_t>(g.track)][g.button == ButtonKind::kPlayStatus ? 0 : 1];
}

void RedrawButton(AppRec& app, const GestureRec& g) {
  if (g.button == ButtonKind::kViewBox) {
    app.host.InvalidateBox(g.box);
  } else {
    app.host.InvalidateTrackStrip(g.track);
  }
}

void ShowImage(AppRec& app, const GestureRec& g, uint16_t state) {
  ImageOf(app, g) = state;
  RedrawButton(app, g);
}

// The left edge of track `track`'s strip in the Tracks view.
int32_t StripLeft(const AppRec& app, int track) {
  return app.views.boxes[kBoxTracksLeft].right + (track - app.views.firstStripTrack) * StripPitch();
}

// Whether `p` (view-relative) is over the gesture's button.
bool OverButton(const AppRec& app, const GestureRec& g, ViewPoint p) {
  switch (g.button) {
    case ButtonKind::kViewBox:
      if (g.box == kBoxMoreTracksForward) {
        return app.views.boxes[kBoxMoreTracksForward]
            .Moved(app.views.boxes[kBoxTracksRight].left, 0)
            .Contains(p.x, p.y);
      }
      return ButtonHit(app.views, g.box, p);
    case ButtonKind::kPlayStatus:
      return kLayoutTable[kBoxPlayStatus].Moved(StripLeft(app, g.track), 0).Contains(p.x, p.y);
    case ButtonKind::kFollowStatus:
      return kLayoutTable[kBoxFollowStatus].Moved(StripLeft(app, g.track), 0).Contains(p.x, p.y);
  }
  return false;
}

bool HeldAction(int box) {
  return box == kBoxBackwardScroll || box == kBoxForwardScroll || box == kBoxPreview;
}

bool PreviewAllowed(AppRec& app) {
  return app.engine.commands.enabled[kCmdPreview].load() &&
         CurrentPosition(app) < app.piece.endPosition;
}

// A preview that lasts as long as the button is held.
void StartHeldPreview(AppRec& app) {
  StopIfRunning(app);
  app.transport.previewReturnPosition = CurrentPosition(app);
  app.engine.mode.previewing.store(true);
  if (!StartTransport(app, true)) app.engine.mode.previewing.store(false);
}

// Starts (or restarts) a held action; false when Preview may not start.
bool StartHeldAction(AppRec& app, int box, bool first) {
  TransportRec& t = app.transport;
  switch (box) {
    case kBoxBackwardScroll:
      if (first && TransportRewinding(app)) {
        t.resumeFollowing = t.resumePlayingFile = t.resumePlayingPerformance = false;
        t.resumeFastForward = false;
        t.resumeRewinding = true;
      } else {
        Rewind(app);
      }
      return true;
    case kBoxForwardScroll:
      if (first && TransportFastForward(app)) {
        t.resumeFollowing = t.resumePlayingFile = t.resumePlayingPerformance = false;
        t.resumeRewinding = false;
        t.resumeFastForward = true;
      } else {
        FastForward(app);
      }
      return true;
    default:
      if (!PreviewAllowed(app)) return false;
      if (first) {
        StartHeldPreview(app);
      } else {
        app.engine.mode.previewing.store(true);
        if (!StartTransport(app, true)) app.engine.mode.previewing.store(false);
      }
      return true;
  }
}

void StartButton(AppRec& app, int view, ButtonKind kind, int box, int track) {
  GestureRec& g = app.views.gesture;
  if (kind == ButtonKind::kViewBox && HeldAction(box)) {
    if (box == kBoxPreview && !PreviewAllowed(app)) return;
    app.transport.holdGestureActive = true;
    StartHeldAction(app, box, true);
    app.transport.keepResumeFlags = true;
  }
  g.kind = GestureKind::kButton;
  g.view = view;
  g.button = kind;
  g.box = box;
  g.track = track;
  g.savedImage = ImageOf(app, g);
  ShowImage(app, g, kImagePressed);
  app.host.UpdateNow();
}

void StartViewDrag(AppRec& app, int view, ViewPoint p) {
  GestureRec& g = app.views.gesture;
  if (!app.system.viewsMovable || (app.system.requireShiftDrag && !g.shift)) return;
  g.kind = GestureKind::kViewDrag;
  g.view = view;
  g.press = p;
  g.current = p;
  app.host.UpdateNow();
}

void StartSlider(AppRec& app, int view, SliderKind kind, const LayoutBox& thumb,
                 const LayoutBox& travel, ViewPoint p, bool outline, int track) {
  GestureRec& g = app.views.gesture;
  g.kind = GestureKind::kSlider;
  g.view = view;
  g.slider = SliderStart(kind, thumb, travel, p);
  g.outline = outline;
  g.track = track;
}

// ---- Actions ----

void Reposition(AppRec& app, int32_t position) {
  SetPosition(app, std::clamp(position, 0, app.piece.endPosition));
  Locate(app);
  RefreshPositionDisplays(app);
  if (Stopped(app)) SetStoppedMenus(app);
}

// A new song position from the song bar: a running transport stops there and
// resumes from the new place.
void LocateFromSongBar(AppRec& app, int32_t position) {
  StopIfRunning(app);
  SetPosition(app, std::clamp(position, 0, app.piece.endPosition));
  ApplyLoopModeRule(app);
  Reposition(app, CurrentPosition(app));
  ResumeSaved(app);
}

void ShowButtonStates(AppRec& app) {
  if (TransportRunning(app)) {
    SetRunningMenus(app);
  } else {
    SetStoppedMenus(app);
  }
}

// Set Loop Start and Set Loop End: the current position, swapped with the
// other point when it would pass it.
void SetLoopPoint(AppRec& app, bool start) {
  const bool playing = TransportFollowing(app) || app.engine.mode.playingFile.load() ||
                       app.engine.mode.playingPerformance.load();
  if (app.system.loopMode && playing) return;
  const int32_t p = std::min(CurrentPosition(app), app.piece.endPosition - 1);
  PieceSettings& live = app.live;
  app.views.loopSwapped = start ? p > live.loopEnd : p < live.loopStart;
  if (app.views.loopSwapped) {
    if (start) {
      live.loopStart = live.loopEnd;
      live.loopEnd = p;
    } else {
      live.loopEnd = live.loopStart;
      live.loopStart = p;
    }
  } else if (start) {
    live.loopStart = p;
  } else {
    live.loopEnd = p;
  }
  EnginePublish(app.engine, app.system, app.live);
  RefreshPositionDisplays(app);
}

void TransportButton(AppRec& app, int box) {
  if (box == kBoxStop) {
    if (app.engine.commands.enabled[kCmdStop].load()) StopTransport(app);
    return;
  }
  constexpr std::pair<int, uint16_t> kCodes[] = {{kBoxRewind, kCmdRewind},
                                                 {kBoxPlayAndFollow, kCmdPlayAndFollow},
                                                 {kBoxPlayFile, kCmdPlayFile},
                                                 {kBoxPlayPerformance, kCmdPlayPerformance},
                                                 {kBoxFastForward, kCmdFastForward}};
  for (const auto& [b, code] : kCodes) {
    if (b == box) ExecuteCommand(app, code);
  }
}

void RedrawTracks(AppRec& app) {
  for (int track = 0; track < app.piece.trackCount; ++track) app.host.InvalidateTrackStrip(track);
}

// A new following-track selection: the recorded performance no longer fits it,
// and the follower learns the new part.
void SetFollowSelection(AppRec& app, int16_t first, int16_t second, uint8_t two) {
  PieceSettings& live = app.live;
  if (live.followTrack1 == first && live.followTrack2 == second && live.followTwoTracks == two) {
    return;
  }
  live.followTrack1 = first;
  live.followTrack2 = second;
  live.followTwoTracks = two;
  app.transport.performanceAvailable = false;
  SetStoppedMenus(app);
  RedrawTracks(app);
  EnginePublish(app.engine, app.system, app.live);
  GiveFollowerScore(app.settings);
}

void FollowStatusRelease(AppRec& app, int track, bool shift) {
  const PieceSettings& live = app.live;
  int16_t first = live.followTrack1;
  int16_t second = live.followTrack2;
  uint8_t two = live.followTwoTracks;
  const auto t = static_cast<int16_t>(track);
  if (!shift) {
    first = t;
    two = 0;
  } else if (t != first) {
    if (t == second && two) {
      two = 0;
    } else {
      second = first;
      first = t;
      two = 1;
    }
  } else if (two) {
    first = second;
    two = 0;
  }
  SetFollowSelection(app, first, second, two);
}

// The scheduler reads the volume on the timer thread: while playing it is
// held off the tracks during the change.
void SetTrackVolume(AppRec& app, int track, int32_t volume) {
  const bool running = TransportRunning(app) && !TransportRewinding(app);
  if (running) SchedulerHold(app.engine);
  app.piece.tracks[static_cast<size_t>(track)].volume = static_cast<uint16_t>(volume);
  if (running) SchedulerRelease(app.engine);
  app.host.InvalidateTrackStrip(track);
}

// Solo: this track alone, or every track again when it already plays alone.
void SoloTrack(AppRec& app, int track) {
  const int count = app.piece.trackCount;
  int playing = 0;
  for (int i = 0; i < count && playing < 2; ++i) {
    if (app.piece.tracks[static_cast<size_t>(i)].play) ++playing;
  }
  const bool alone = playing == 1 && app.piece.tracks[static_cast<size_t>(track)].play;
  const bool keepFollowing = TransportFollowing(app) && SoloistFollowed(app);
  for (int i = 0; i < count; ++i) {
    bool on = true;
    if (playing != 0 && !alone) {
      on = i == track;
    } else if (keepFollowing && IsFollowingTrack(app.live, i)) {
      continue;
    }
    if ((app.piece.tracks[static_cast<size_t>(i)].play != 0) != on) {
      SetTrackPlay(app, i, on);
      app.host.InvalidateTrackStrip(i);
    }
  }
}

void ButtonRelease(AppRec& app, const GestureRec& g) {
  switch (g.button) {
    case ButtonKind::kPlayStatus:
      SetTrackPlay(app, g.track, !app.piece.tracks[static_cast<size_t>(g.track)].play);
      app.host.InvalidateTrackStrip(g.track);
      return;
    case ButtonKind::kFollowStatus:
      FollowStatusRelease(app, g.track, g.shift);
      return;
    case ButtonKind::kViewBox:
      break;
  }
  switch (g.box) {
    case kBoxSetLoopStart:
      SetLoopPoint(app, true);
      return;
    case kBoxSetLoopEnd:
      SetLoopPoint(app, false);
      return;
    case kBoxLoopMode:
      ToggleLoopMode(app);
      return;
    case kBoxMetronome:
      ToggleMetronome(app);
      return;
    case kBoxMoreTracksBack:
    case kBoxMoreTracksForward:
      MoreTracks(app.views, g.box == kBoxMoreTracksForward);
      app.host.InvalidateBox(kBoxTracksFrame);
      return;
    default:
      TransportButton(app, g.box);
  }
}

// The end of a held action: what it started stops, Preview returns to where
// it began, a scroll that left the loop ends loop mode, and what ran before
// the press resumes.
void EndHeldAction(AppRec& app, int box) {
  TransportRec& t = app.transport;
  StopIfRunning(app);
  if (box == kBoxPreview) {
    Reposition(app, t.previewReturnPosition);
  } else {
    ApplyLoopModeRule(app);
  }
  ResumeSaved(app);
  t.keepResumeFlags = false;
  t.holdGestureActive = false;
  ShowButtonStates(app);
}

void MoveButton(AppRec& app, GestureRec& g, ViewPoint p) {
  const bool over = OverButton(app, g, p);
  const bool held = g.button == ButtonKind::kViewBox && HeldAction(g.box);
  if (over) {
    if (ImageOf(app, g) != kImagePressed) ShowImage(app, g, kImagePressed);
    if (held && !TransportRunning(app)) StartHeldAction(app, g.box, false);
    return;
  }
  if (ImageOf(app, g) == kImagePressed) {
    ShowImage(app, g, g.savedImage);
    if (held) StopIfRunning(app);
  }
}

void ApplySlider(AppRec& app, const GestureRec& g) {
  const int32_t v = SliderValue(g.slider, app.piece.endPosition);
  switch (g.slider.kind) {
    case SliderKind::kSongPosition:
      Reposition(app, v);
      break;
    case SliderKind::kMasterTempo:
      if (v != app.engine.clock.tempoFactor.load()) SetMasterTempo(app, static_cast<uint16_t>(v));
      break;
    case SliderKind::kMasterVolume:
      SetMasterVolume(app, static_cast<uint16_t>(v));
      break;
    case SliderKind::kTrackVolume:
      SetTrackVolume(app, g.track, v);
      break;
  }
}

void RedrawSlider(AppRec& app, const GestureRec& g) {
  switch (g.slider.kind) {
    case SliderKind::kSongPosition:
      app.host.InvalidateBox(kBoxSongPosition);
      break;
    case SliderKind::kMasterTempo:
      app.host.InvalidateBox(kBoxMasterThumb);
      break;
    case SliderKind::kMasterVolume:
      app.host.InvalidateBox(kBoxVolumeThumb);
      break;
    case SliderKind::kTrackVolume:
      app.host.InvalidateTrackStrip(g.track);
      break;
  }
}

void MoveSlider(AppRec& app, GestureRec& g, ViewPoint p, bool fine) {
  if (!SliderMove(g.slider, p, fine)) return;
  if (!g.outline) ApplySlider(app, g);
  RedrawSlider(app, g);
  app.host.UpdateNow();
}

void EndSlider(AppRec& app, GestureRec g) {
  app.views.gesture = {};
  if (g.slider.kind == SliderKind::kSongPosition) {
    if (g.outline) {
      LocateFromSongBar(app, SliderValue(g.slider, app.piece.endPosition));
    } else {
      ApplyLoopModeRule(app);
    }
  }
  if (g.slider.kind == SliderKind::kTrackVolume) UpdateResetVolumes(app);
  RedrawSlider(app, g);
  app.host.UpdateNow();
}

// ---- Per-view press handlers ----

void PressTitle(AppRec& app, ViewPoint p, bool dbl) {
  if (dbl) {
    app.host.RunDialog(kDialogFileInformation);
    return;
  }
  StartViewDrag(app, kViewTitle, p);
}

void PressMainTransport(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  for (int box = kBoxRewind; box <= kBoxFastForward; ++box) {
    if (!ButtonHit(app.views, box, p)) continue;
    if (dbl && (box == kBoxRewind || box == kBoxFastForward)) {
      StopIfRunning(app);
      Reposition(app, box == kBoxRewind ? 0 : app.piece.endPosition);
      return;
    }
    StartButton(app, kViewMainTransport, ButtonKind::kViewBox, box, 0);
    return;
  }
  StartViewDrag(app, kViewMainTransport, client);
}

bool OnLoopDigits(const AppRec& app, ViewPoint p) {
  const LayoutBox& first = app.views.boxes[kBoxLoopStart];
  const LayoutBox& last = app.views.boxes[kBoxLoopEndBeat + 1];
  return LayoutBox{first.left, first.top, last.right - 2, last.bottom - 2}.Contains(p.x, p.y);
}

void DoubleClickLoopPoint(AppRec& app, bool start) {
  PieceSettings& live = app.live;
  if (start) {
    if (app.views.loopSwapped) live.loopEnd = live.loopStart;
    live.loopStart = 0;
  } else {
    if (app.views.loopSwapped) live.loopStart = live.loopEnd;
    live.loopEnd = app.piece.endPosition - 1;
  }
  app.views.loopSwapped = false;
  EnginePublish(app.engine, app.system, app.live);
  RefreshPositionDisplays(app);
}

// A press on the bar beside the thumb: there at once, or to the next
// rehearsal point in that direction.
void PressSongBar(AppRec& app, ViewPoint p) {
  const LayoutBox thumb = SongThumbShown(app);
  if (!app.live.rehearsalPoints.empty()) {
    if (p.x < thumb.left) {
      JumpBack(app);
    } else {
      JumpAhead(app);
    }
    ResumeSaved(app);
    return;
  }
  const double travel = SongThumbTravel();
  const double x = p.x - app.views.boxes[kBoxSongBar].left - thumb.Width() / 2;
  const double position = std::round((x * app.piece.endPosition + travel / 2) / travel);
  LocateFromSongBar(app,
                    static_cast<int32_t>(std::clamp(position, 0.0, double(app.piece.endPosition))));
}

void PressSongPosition(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  if (dbl && OnLoopDigits(app, p)) {
    if (TransportRunning(app)) return;
    if (ButtonHit(app.views, kBoxLoopMode, p)) ToggleLoopMode(app);
    app.host.RunDialog(kDialogLoopMode);
    return;
  }
  if (dbl && ButtonHit(app.views, kBoxSetLoopStart, p)) {
    DoubleClickLoopPoint(app, true);
    return;
  }
  if (dbl && ButtonHit(app.views, kBoxSetLoopEnd, p)) {
    DoubleClickLoopPoint(app, false);
    return;
  }
  for (int box = kBoxSetLoopStart; box <= kBoxForwardScroll; ++box) {
    if (box == kBoxLoopMode && TransportRunning(app)) continue;
    if (!ButtonHit(app.views, box, p)) continue;
    StartButton(app, kViewSongPosition, ButtonKind::kViewBox, box, 0);
    return;
  }
  const LayoutBox thumb = SongThumbShown(app);
  if (thumb.Contains(p.x, p.y)) {
    if (dbl) {
      JumpTo(app);
      return;
    }
    StartSlider(app, kViewSongPosition, SliderKind::kSongPosition, thumb,
                app.views.boxes[kBoxSongTravel], p, TransportRunning(app), 0);
    return;
  }
  if (app.views.boxes[kBoxSongBar].Contains(p.x, p.y)) {
    PressSongBar(app, p);
    return;
  }
  StartViewDrag(app, kViewSongPosition, client);
}

void PressCurrentTempo(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  if (ButtonHit(app.views, kBoxMetronome, p)) {
    if (dbl && Stopped(app)) {
      ToggleMetronome(app);
      app.host.RunDialog(kDialogMetronome);
      return;
    }
    StartButton(app, kViewCurrentTempo, ButtonKind::kViewBox, kBoxMetronome, 0);
    return;
  }
  if (dbl && Stopped(app)) {
    app.host.RunDialog(kDialogTempo);
    return;
  }
  StartViewDrag(app, kViewCurrentTempo, client);
}

// The master tempo can be moved while stopped, playing the file or fast
// forwarding; while following, the soloist sets the tempo.
bool MasterTempoMovable(AppRec& app) {
  return Stopped(app) || app.engine.mode.playingFile.load() || TransportFastForward(app);
}

void PressMasterTempo(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  const LayoutBox thumb = MasterTempoThumb(app.engine.clock.tempoFactor.load());
  if (thumb.Contains(p.x, p.y) && (dbl || MasterTempoMovable(app))) {
    if (dbl) {
      SetMasterTempo(app, kFullTempo);
      return;
    }
    StartSlider(app, kViewMasterTempo, SliderKind::kMasterTempo, thumb,
                app.views.boxes[kBoxMasterTravel], p, false, 0);
    return;
  }
  if (dbl && Stopped(app)) {
    app.host.RunDialog(kDialogTempo);
    return;
  }
  StartViewDrag(app, kViewMasterTempo, client);
}

void PressMeasureBeat(AppRec& app, ViewPoint client, bool dbl) {
  if (dbl) {
    JumpTo(app);
    return;
  }
  StartViewDrag(app, kViewMeasureBeat, client);
}

void PressMasterVolume(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  const LayoutBox thumb = MasterVolumeThumb(app.live.masterVolume);
  if (thumb.Contains(p.x, p.y)) {
    if (dbl) {
      SetMasterVolume(app, kFullVolume);
      return;
    }
    StartSlider(app, kViewMasterVolume, SliderKind::kMasterVolume, thumb,
                app.views.boxes[kBoxVolumeTravel], p, false, 0);
    return;
  }
  StartViewDrag(app, kViewMasterVolume, client);
}

// Presses on a following track's Play Status are ignored while the soloist
// plays that track.
bool PlayStatusLocked(AppRec& app, int track) {
  if (!SoloistFollowed(app)) return false;
  if (TransportFollowing(app) && IsFollowingTrack(app.live, track)) return true;
  return app.engine.mode.playingPerformance.load() && app.system.performancePlayback == 2 &&
         track == app.live.followTrack1;
}

void PressStrip(AppRec& app, ViewPoint client, const TracksSpot& spot, bool dbl) {
  const int track = spot.track;
  const ViewPoint s = spot.inStrip;
  if (kLayoutTable[kBoxFollowStatus].Contains(s.x, s.y) && Stopped(app) &&
      (dbl || SoloistFollowed(app))) {
    if (!dbl) {
      app.views.pressFollow1 = app.live.followTrack1;
      app.views.pressFollow2 = app.live.followTrack2;
      app.views.pressFollowTwo = app.live.followTwoTracks;
      StartButton(app, kViewTracks, ButtonKind::kFollowStatus, 0, track);
      return;
    }
    if (SoloistFollowed(app)) {
      SetFollowSelection(app, app.views.pressFollow1, app.views.pressFollow2,
                         app.views.pressFollowTwo);
    }
    app.host.RunDialog(kDialogFollowing);
    return;
  }
  if (kLayoutTable[kBoxPlayStatus].Contains(s.x, s.y)) {
    if (PlayStatusLocked(app, track)) return;
    if (dbl) {
      SoloTrack(app, track);
      return;
    }
    StartButton(app, kViewTracks, ButtonKind::kPlayStatus, 0, track);
    return;
  }
  const LayoutBox thumb = TrackThumb(app.piece.tracks[static_cast<size_t>(track)].volume);
  if (thumb.Contains(s.x, s.y)) {
    if (dbl) {
      SetTrackVolume(app, track, kFullVolume);
      UpdateResetVolumes(app);
      return;
    }
    const int32_t left = StripLeft(app, track);
    StartSlider(app, kViewTracks, SliderKind::kTrackVolume, thumb.Moved(left, 0),
                kLayoutTable[kBoxTrackTravel].Moved(left, 0), InView(app, kViewTracks, client),
                false, track);
    return;
  }
  if (dbl && Stopped(app)) {
    DialogCall call;
    call.track = track;
    app.host.RunDialog(kDialogTracks, call);
    return;
  }
  StartViewDrag(app, kViewTracks, client);
}

void PressTracks(AppRec& app, ViewPoint client, ViewPoint p, bool dbl) {
  const TracksSpot spot = TracksSpotAt(app.views, p);
  if (spot.part == TracksPart::kStrip) {
    if (spot.track < app.piece.trackCount) PressStrip(app, client, spot, dbl);
    return;
  }
  const bool left = spot.part == TracksPart::kLeft;
  const int box = left ? kBoxMoreTracksBack : kBoxMoreTracksForward;
  if (app.views.moreTracksMode &&
      app.views.boxes[static_cast<size_t>(box)].Contains(spot.inStrip.x, spot.inStrip.y)) {
    if (app.views.boxImage[static_cast<size_t>(box)] != kImageOn) {
      StartButton(app, kViewTracks, ButtonKind::kViewBox, box, 0);
    }
    return;
  }
  if (dbl && Stopped(app)) {
    app.host.RunDialog(kDialogTracks);
    return;
  }
  StartViewDrag(app, kViewTracks, client);
}

}  // namespace

void RedrawAllViews(AppRec& app) {
  for (const ViewInfo& view : kViewTable) app.host.InvalidateBox(view.frameBox);
  app.host.InvalidateViews();
}

void ViewsLayOut(AppRec& app) {
  ViewsRec& v = app.views;
  LayOutViews(v, v.clientWidth, v.clientHeight, app.piece.trackCount, app.system.loopMode != 0,
              app.system.metronomeOn != 0);
  v.gesture = {};
  ViewsUpdateTitle(app);
  RedrawAllViews(app);
}

void ViewsResize(AppRec& app, int32_t width, int32_t height) {
  ResizeClient(app.views, width, height);
  app.host.InvalidateViews();
}

void ViewsUpdateTitle(AppRec& app) {
  SetTitle(app.views, PieceTitle(app.piece), app.views.measureTitle);
  app.host.InvalidateBox(kBoxTitleFrame);
}

void ViewsMoveToSaved(AppRec& app) {
  MoveViewsToSaved(app.views, app.live.savedViewPositions);
  app.host.InvalidateViews();
}

void ViewsStorePositions(AppRec& app) {
  app.live.savedViewPositions = SavedViewPositions(app.views);
}

void ViewsToggle(AppRec& app, int view) {
  ToggleView(Stack(app), view);
  ShowMenu(app);
  RedrawViews(app);
}

void ViewsSetAll(AppRec& app, bool visible) {
  SetAllViews(Stack(app), visible);
  ShowMenu(app);
  RedrawViews(app);
}

void ViewsCenter(AppRec& app) {
  CenterAllViews(app.views);
  RedrawViews(app);
}

void ViewsPress(AppRec& app, ViewPoint p, bool doubleClick, bool shift) {
  if (!app.piece.pieceLoaded || !app.views.laidOut) return;
  if (app.views.gesture.kind != GestureKind::kNone) ViewsCancelGesture(app);
  const int view = HitTestViews(app.views, Stack(app), p);
  if (view == kNoView) return;
  app.host.InvalidateViews();
  app.views.gesture.shift = shift;
  const ViewPoint in = InView(app, view, p);
  switch (view) {
    case kViewTitle:
      PressTitle(app, p, doubleClick);
      break;
    case kViewMainTransport:
      PressMainTransport(app, p, in, doubleClick);
      break;
    case kViewSongPosition:
      PressSongPosition(app, p, in, doubleClick);
      break;
    case kViewCurrentTempo:
      PressCurrentTempo(app, p, in, doubleClick);
      break;
    case kViewMasterTempo:
      PressMasterTempo(app, p, in, doubleClick);
      break;
    case kViewMeasureBeat:
      PressMeasureBeat(app, p, doubleClick);
      break;
    case kViewMasterVolume:
      PressMasterVolume(app, p, in, doubleClick);
      break;
    default:
      PressTracks(app, p, in, doubleClick);
      break;
  }
  app.host.UpdateNow();
}

void ViewsMove(AppRec& app, ViewPoint p, bool fine) {
  GestureRec& g = app.views.gesture;
  switch (g.kind) {
    case GestureKind::kViewDrag:
      // The pointer is kept inside the client area while a view is dragged.
      g.current = {std::clamp(p.x, 0, app.views.clientWidth - 1),
                   std::clamp(p.y, 0, app.views.clientHeight - 1)};
      break;
    case GestureKind::kButton:
      MoveButton(app, g, InView(app, g.view, p));
      break;
    case GestureKind::kSlider:
      MoveSlider(app, g, InView(app, g.view, p), fine);
      break;
    case GestureKind::kNone:
      break;
  }
}

void ViewsRelease(AppRec& app, ViewPoint p) {
  GestureRec g = app.views.gesture;
  switch (g.kind) {
    case GestureKind::kViewDrag: {
      ViewsMove(app, p);
      g = app.views.gesture;
      app.views.gesture = {};
      MoveView(app.views, g.view, g.current.x - g.press.x, g.current.y - g.press.y);
      RedrawViews(app);
      break;
    }
    case GestureKind::kButton: {
      app.views.gesture = {};
      const ViewPoint in = InView(app, g.view, p);
      const bool over = OverButton(app, g, in);
      ShowImage(app, g, g.savedImage);
      const bool held = g.button == ButtonKind::kViewBox && HeldAction(g.box);
      if (held) {
        EndHeldAction(app, g.box);
      } else if (over) {
        ButtonRelease(app, g);
      }
      app.host.UpdateNow();
      break;
    }
    case GestureKind::kSlider:
      MoveSlider(app, app.views.gesture, InView(app, g.view, p), false);
      EndSlider(app, app.views.gesture);
      break;
    case GestureKind::kNone:
      break;
  }
}

void ViewsCancelGesture(AppRec& app) {
  GestureRec g = app.views.gesture;
  app.views.gesture = {};
  switch (g.kind) {
    case GestureKind::kButton:
      ShowImage(app, g, g.savedImage);
      if (g.button == ButtonKind::kViewBox && HeldAction(g.box)) EndHeldAction(app, g.box);
      break;
    case GestureKind::kSlider:
      // The thumb ends where the pointer last put it; an outline drag is
      // dropped without moving.
      if (!g.outline) EndSlider(app, g);
      RedrawSlider(app, g);
      break;
    case GestureKind::kViewDrag:
      app.host.InvalidateViews();
      break;
    case GestureKind::kNone:
      return;
  }
  app.host.UpdateNow();
}

bool ViewsGestureActive(const AppRec& app) {
  return app.views.gesture.kind != GestureKind::kNone;
}

void ViewsWheel(AppRec& app, ViewPoint p, int32_t steps) {
  if (!app.piece.pieceLoaded || !app.views.laidOut || steps == 0) return;
  if (ViewsGestureActive(app)) return;
  const int view = ViewAtPoint(app.views, app.live.viewVisible, app.live.viewOrder, p);
  if (view == kNoView) return;
  const ViewPoint in = InView(app, view, p);
  switch (view) {
    case kViewSongPosition:
      if (!app.views.boxes[kBoxSongBar].Contains(in.x, in.y)) return;
      LocateFromSongBar(app, PositionStepped(app.piece.beatMap, CurrentPosition(app), steps));
      break;
    case kViewMasterTempo:
      if (!MasterTempoMovable(app)) return;
      SetMasterTempo(
          app, static_cast<uint16_t>(TempoStepped(app.engine.clock.tempoFactor.load(), steps)));
      break;
    case kViewMasterVolume:
      SetMasterVolume(
          app, static_cast<uint16_t>(VolumeStepped(app.live.masterVolume, steps, kHighestMaster)));
      break;
    case kViewTracks: {
      const TracksSpot spot = TracksSpotAt(app.views, in);
      if (spot.part != TracksPart::kStrip || spot.track >= app.piece.trackCount) return;
      const auto& t = app.piece.tracks[static_cast<size_t>(spot.track)];
      SetTrackVolume(app, spot.track, VolumeStepped(t.volume, steps, kHighestTrack));
      UpdateResetVolumes(app);
      break;
    }
    default:
      return;
  }
  app.host.UpdateNow();
}

std::string ToolTipText(const AppRec& app, int tool, ViewPoint p) {
  const ToolInfo& info = kToolTable[static_cast<size_t>(tool)];
  const std::string name = info.text;
  const auto percent = [&](const char* what, int32_t value) {
    return std::string(what) + ": " + std::to_string(value) + " %";
  };
  switch (info.box) {
    case kBoxMasterIndicator:
    case kBoxMasterDigits:
      return percent("Master Tempo", TempoPercent(app.engine.clock.tempoFactor.load()));
    case kBoxVolumeIndicator:
    case kBoxVolumeDigits:
      return percent("Master Volume", VolumePercent(app.live.masterVolume));
    default:
      break;
  }
  if (info.view != kViewTracks || info.span != ToolSpan::kStrips) return name;
  const TracksSpot spot = TracksSpotAt(app.views, InView(app, kViewTracks, p));
  if (spot.part != TracksPart::kStrip || spot.track >= app.piece.trackCount) return name;
  const TrackValues values = StripValues(app, spot.track);
  if (info.box == kBoxTrackName1) return ShownName(values);
  if (info.box == kBoxTrackVolumeText || info.box == kBoxTrackIndicator)
    return percent("Track Volume", VolumePercent(values.volume));
  return name;
}

LayoutBox SongThumbShown(const AppRec& app) {
  return SongThumb(std::max(0, app.views.displays.songOffset));
}

void UpdateResetVolumes(AppRec& app) {
  const auto& tracks = app.piece.tracks;
  const bool differs = std::any_of(tracks.begin(), tracks.begin() + app.piece.trackCount,
                                   [](const TrackRec& t) { return t.volume != kFullVolume; });
  app.host.EnableMenuItem(kIdResetVolumes, differs);
}

TrackValues StripValues(const AppRec& app, int track) {
  const std::vector<TrackValues>* working = app.views.workingTracks;
  if (working && track >= 0 && static_cast<size_t>(track) < working->size()) {
    return (*working)[static_cast<size_t>(track)];
  }
  return TrackValuesOf(app.piece.tracks[static_cast<size_t>(track)]);
}

}  // namespace tuttiro
