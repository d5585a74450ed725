// The commit steps of the track dialogs.
#include "app/dialog_commit_tracks.h"

#include <algorithm>

#include "app/app.h"
#include "transport/midi_state.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

void ApplyValues(TrackRec& rec, const TrackValues& v) {
  rec.userName = v.userName;
  rec.volume = v.volume;
  rec.outputChannel = v.outputChannel;
  rec.outputPort = v.outputPort;
  rec.transposition = v.transposition;
  rec.play = v.play;
  rec.substitutePrograms = v.substitutePrograms;
  for (size_t i = 0; i < rec.programCombos.size(); ++i) {
    rec.programCombos[i].substitute = v.programCombos[i].substitute;
  }
}

// While playing: the scheduler is held off the track; its sounding notes are
// released under the old routing and transposition (and the whole track
// silenced when it goes quiet, moves or changes programs); then the new values
// apply and a track that now sounds differently gets its state at the current
// position.
void ApplyWhilePlaying(AppRec& app, int index, const TrackValues& v) {
  TrackRec& rec = app.piece.tracks[static_cast<size_t>(index)];
  const TrackValues old = TrackValuesOf(rec);
  const bool moved = old.outputPort != v.outputPort || old.outputChannel != v.outputChannel ||
                     ProgramsDiffer(old, v);
  SchedulerHold(app.engine);
  // A track left out of the playing list (the soloist's while following)
  // sounds nothing now, and must not be made to.
  const std::vector<int32_t>& listed = app.engine.scheduler.listedTracks;
  const bool sounds = std::find(listed.begin(), listed.end(), index) != listed.end();
  if (sounds && old.play && (moved || !v.play)) {
    SilenceTracks(app, index);
  } else if (sounds && old.play && old.transposition != v.transposition) {
    ReleaseSoundingNotes(app, index);
  }
  ApplyValues(rec, v);
  if (sounds && v.play && (moved || !old.play)) SoundStartState(app, index);
  SchedulerRelease(app.engine);
}

}  // namespace

void ShowWorkingTracks(AppRec& app, const std::vector<TrackValues>* working) {
  app.views.workingTracks = working;
  app.host.InvalidateBox(kBoxTracksFrame);
}

void RedrawTrackStrip(AppRec& app, int track) {
  app.host.InvalidateTrackStrip(track);
}

void CommitTracks(AppRec& app, const std::vector<TrackValues>& tracks) {
  const bool running = TransportRunning(app) && !TransportRewinding(app);
  const int count = std::min<int>(app.piece.trackCount, static_cast<int>(tracks.size()));
  for (int i = 0; i < count; ++i) {
    const TrackValues& v = tracks[static_cast<size_t>(i)];
    TrackRec& rec = app.piece.tracks[static_cast<size_t>(i)];
    if (!SoundDiffers(TrackValuesOf(rec), v)) {
      // The name alone changes: nothing the scheduler reads on its threads is written.
      rec.userName = v.userName;
    } else if (running) {
      ApplyWhilePlaying(app, i, v);
    } else {
      ApplyValues(rec, v);
    }
    app.host.InvalidateTrackStrip(i);
  }
  UpdateResetVolumes(app);
}

namespace {

// The performance track; none while no piece is loaded (a file that failed to
// open leaves no tracks at all).
const TrackRec* PerformanceTrack(const AppRec& app) {
  const PieceModel& piece = app.piece;
  const bool present =
      piece.trackCount >= 0 && static_cast<size_t>(piece.trackCount) < piece.tracks.size();
  return present ? &piece.tracks[static_cast<size_t>(piece.trackCount)] : nullptr;
}

}  // namespace

PerformanceValues PerformanceValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  PerformanceValues v;
  v.performancePlayback = s.performancePlayback;
  v.playTappedNotes = s.playTappedNotes;
  v.usesOwnPort = app.live.performanceUsesOwnPort;
  v.performanceTempo = s.performanceTempo;
  if (const TrackRec* performance = PerformanceTrack(app)) {
    v.outputPort = performance->outputPort;
    v.outputChannel = performance->outputChannel;
    v.program = performance->programCombos[0].substitute;
  }
  // While a performance plays it borrows the following track's output; the
  // settings are its own, kept aside until it stops.
  if (app.engine.mode.playingPerformance.load()) {
    const PerformancePlaybackRec& saved = app.engine.performance;
    v.outputPort = saved.savedPort;
    v.outputChannel = saved.savedChannel;
    v.program = saved.savedCombos[0].substitute;
  }
  return v;
}

void CommitPerformance(AppRec& app, const PerformanceValues& v) {
  SystemSettings& s = app.system;
  s.performancePlayback = v.performancePlayback;
  s.playTappedNotes = v.playTappedNotes;
  s.performanceTempo = v.performanceTempo;
  app.live.performanceUsesOwnPort = v.usesOwnPort;
  if (app.engine.mode.playingPerformance.load()) {
    // Playback restores these when it stops; the new output applies from the
    // next start, not halfway through the notes now sounding.
    PerformancePlaybackRec& saved = app.engine.performance;
    saved.savedPort = v.outputPort;
    saved.savedChannel = v.outputChannel;
    saved.savedCombos[0].substitute = v.program;
  } else if (PerformanceTrack(app)) {
    TrackRec& performance = app.piece.performanceTrack();
    performance.outputPort = v.outputPort;
    performance.outputChannel = v.outputChannel;
    performance.programCombos[0].substitute = v.program;
  }
  PublishSystemSettings(app);
}

}  // namespace tuttiro
