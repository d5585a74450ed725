// Locating, the position displays, the jumps and the start history. All of it
// runs on the window thread with the scheduler halted (or not running at all).
#include "transport/locate.h"

#include <algorithm>

#include "app/app.h"
#include "app/dialog_table.h"
#include "transport/midi_state.h"

namespace tuttiro {
namespace {

void RewindTrack(TrackRec& track) {
  track.playCursor = 0;
  track.programState.fill(kNone);
  track.controllerValues.fill(kNone);
  track.noteState.fill(0);
}

// Walks a track's cursor to the position, remembering what it passes.
void ChaseTrack(TrackRec& track, int32_t position) {
  while (track.playCursor < track.eventCount()) {
    const PieceEvent& ev = track.events[static_cast<size_t>(track.playCursor)];
    const int32_t time = static_cast<int32_t>(ev.time);
    if (time > position || (time == position && IsNoteOn(ev))) break;
    switch (ev.status & 0xF0) {
      case 0x90:
      case 0x80: {
        uint16_t& count = track.noteState[ev.data1 & 0x7F];
        if (IsNoteOn(ev)) {
          count = std::max<uint16_t>(count, ev.data2);
        } else {
          count = 0;
        }
        break;
      }
      case 0xB0:
        track.controllerValues[ev.data1 & 0x7F] = ev.data2;
        break;
      case 0xC0:
        track.programState[0] = ev.data1;
        break;
      case 0xE0:
        track.programState[1] = ev.data1;
        track.programState[2] = ev.data2;
        break;
      default:
        break;
    }
    ++track.playCursor;
  }
}

// Index of the beat shown at the position: the beat there, else the one before.
size_t ShownBeatIndex(const PieceModel& piece, int32_t position) {
  const auto& map = piece.beatMap;
  auto after = std::upper_bound(
      map.begin(), map.end(), position,
      [](int32_t p, const BeatMapEntry& b) { return p < static_cast<int32_t>(b.time); });
  return after == map.begin() ? 0 : static_cast<size_t>(after - map.begin() - 1);
}

bool InRange(int32_t position, int32_t start, int32_t end) {
  return position >= start && position < end;
}

// The clock or time code state for the position; with `send` the Song Position
// Pointer or the full frame goes out when sync output is on.
void LocateSync(AppRec& app, int32_t position, size_t shown, bool send) {
  PieceModel& piece = app.piece;
  SyncState& sync = app.engine.scheduler.sync;
  const int port = app.system.syncPort == kAllOutputPorts ? kMidiAllPorts : app.system.syncPort;
  const bool transmit = send && app.system.transmitSync != 0;
  if (app.system.syncType == 0) {
    if (piece.beatMap.size() < 2) {
      sync.nextSyncPosition = kNoSyncPosition;
      return;
    }
    const size_t e = std::min(shown, piece.beatMap.size() - 2);
    const BeatMapEntry& beat = piece.beatMap[e];
    const BeatMapEntry& next = piece.beatMap[e + 1];
    const int32_t perBeat =
        std::max<int32_t>(1, static_cast<int32_t>(next.sixteenths - beat.sixteenths) * 6);
    sync.clockInterval =
        std::max<int32_t>(1, (static_cast<int32_t>(next.time - beat.time) + perBeat / 2) / perBeat);
    // Whole sixteenths since the beat, from the beat's exact length (the rounded
    // clock interval would put the pointer a sixteenth early).
    const int64_t beatLength = std::max<int64_t>(1, static_cast<int64_t>(next.time - beat.time));
    const int32_t k =
        static_cast<int32_t>(std::max<int64_t>(0, position - static_cast<int64_t>(beat.time)) *
                             perBeat / (beatLength * 6));
    sync.songPositionPointer =
        static_cast<uint16_t>((beat.sixteenths + static_cast<uint32_t>(k)) & 0x3FFF);
    sync.clocksDue = perBeat;
    sync.clocksSent = position == static_cast<int32_t>(beat.time) ? perBeat - 1 : k * 6;
    sync.nextSyncPosition = position + sync.clockInterval;
    if (transmit) {
      const uint16_t spp = sync.songPositionPointer;
      MidiSend(app.engine.ports, 0xF2u | (spp & 0x7Fu) << 8 | ((spp >> 7) & 0x7Fu) << 16, port, 0);
    }
    return;
  }
  const int format = app.system.frameRate;
  TimeCode code = MsToTimeCode(static_cast<int64_t>(position) + 2, format);
  if (transmit) MidiSend(app.engine.ports, FullFrameMessage(code, format), port, 0);
  if (code.quarter != 0) TimeCodeAdvanceFrame(code, format);
  sync.timeCode = code;
  sync.nextSyncPosition = static_cast<int32_t>(TimeCodeToMs(code, format));
}

}  // namespace

void PrepareSync(AppRec& app, int32_t position) {
  if (app.piece.beatMap.empty()) return;
  LocateSync(app, position, ShownBeatIndex(app.piece, position), false);
}

int64_t FileBeatLength(const PieceModel& piece, int32_t position) {
  const auto& map = piece.beatMap;
  if (map.size() < 2) return 0;
  size_t e = ShownBeatIndex(piece, position);
  if (e + 1 >= map.size()) e = map.size() - 2;
  const int64_t length = (static_cast<int64_t>(map[e + 1].time) - map[e].time) * 4096;
  return length > 0 ? length : 0;
}

int32_t TempoAtPosition(AppRec& app, int32_t position) {
  const int64_t length = FileBeatLength(app.piece, position);
  if (length <= 0) return 0;
  const int64_t factor = app.engine.clock.tempoFactor.load();
  return static_cast<int32_t>((length / 2 + factor * 60000) / length);
}

void Locate(AppRec& app) {
  PieceModel& piece = app.piece;
  const int32_t position = CurrentPosition(app);
  const bool moving = app.engine.clock.following.load() || app.engine.mode.playingFile.load() ||
                      app.engine.mode.playingPerformance.load() ||
                      app.engine.clock.fastForward.load() || app.engine.mode.previewing.load();
  for (TrackRec& track : piece.tracks) {
    const bool passed =
        track.playCursor > 0 &&
        static_cast<int32_t>(track.events[static_cast<size_t>(track.playCursor) - 1].time) >=
            position;
    if (passed || moving) RewindTrack(track);
    ChaseTrack(track, position);
  }
  // Beats.
  if (piece.beatCursor > 0 &&
      static_cast<int32_t>(piece.beatMap[static_cast<size_t>(piece.beatCursor) - 1].time) >=
          position) {
    piece.beatCursor = 0;
  }
  while (piece.beatCursor < static_cast<int32_t>(piece.beatMap.size()) &&
         static_cast<int32_t>(piece.beatMap[static_cast<size_t>(piece.beatCursor)].time) <
             position) {
    ++piece.beatCursor;
  }
  if (!piece.beatMap.empty()) {
    const size_t shown = ShownBeatIndex(piece, position);
    const BeatMapEntry& beat = piece.beatMap[shown];
    app.engine.scheduler.shownMeasure.store(beat.measure);
    app.engine.scheduler.shownBeat.store(beat.beat);
    int lastBeat = beat.beat;
    for (size_t i = shown; i < piece.beatMap.size() && piece.beatMap[i].measure == beat.measure;
         ++i) {
      lastBeat = piece.beatMap[i].beat;
    }
    app.views.displays.twoDigitBeat = lastBeat > 9;
    app.engine.scheduler.shownBpm.store(TempoAtPosition(app, position));
    LocateSync(app, position, shown, true);
  }
  // SysEx.
  if (piece.sysexCursor > 0 &&
      static_cast<int32_t>(piece.sysexEvents[static_cast<size_t>(piece.sysexCursor) - 1].time) >=
          position) {
    piece.sysexCursor = 0;
  }
  while (piece.sysexCursor < static_cast<int32_t>(piece.sysexEvents.size()) &&
         static_cast<int32_t>(piece.sysexEvents[static_cast<size_t>(piece.sysexCursor)].time) <=
             position) {
    ++piece.sysexCursor;
  }
  PerformanceTempoLocate(app.engine, position);
}

MeasureBeat LoopPointDisplay(AppRec& app, int32_t position) {
  if (app.piece.beatMap.empty()) return {};
  const BeatMapEntry& beat = app.piece.beatMap[ShownBeatIndex(app.piece, position)];
  return {beat.measure, beat.beat};
}

void RefreshPositionDisplays(AppRec& app) {
  PositionDisplayRec& d = app.views.displays;
  const int32_t p = CurrentPosition(app);
  if (p >= app.piece.endPosition && TransportRunning(app) && !TransportRewinding(app)) {
    QueueCommand(app.engine.commands, kCmdStop);
  }
  Host& host = app.host;
  const int32_t u = std::max<int32_t>(1, d.unitsPerPixel);
  const int32_t offset = std::min<int32_t>((p + u / 2) / u, SongThumbTravel());
  if (offset != d.songOffset) {
    d.songOffset = offset;
    host.InvalidateBox(kBoxSongPosition);
  }
  const int32_t measure = app.engine.scheduler.shownMeasure.load();
  const int32_t beat = app.engine.scheduler.shownBeat.load();
  if (measure != d.measure) {
    d.measure = measure;
    host.InvalidateBox(kBoxMeasureDigits);
  }
  if (beat != d.beat) {
    d.beat = beat;
    host.InvalidateBox(kBoxBeatDigits);
  }
  const int32_t bpm = app.engine.scheduler.shownBpm.load();
  if (bpm != d.bpm) {
    d.bpm = bpm;
    host.InvalidateBox(kBoxTempoDigits);
  }
  const int32_t percent = (app.engine.clock.tempoFactor.load() * 100 + 2048) >> 12;
  if (percent != d.masterPercent) {
    d.masterPercent = percent;
    host.InvalidateBox(kBoxMasterThumb);
    host.InvalidateBox(kBoxMasterDigits);
  }
  const MeasureBeat start = LoopPointDisplay(app, app.live.loopStart);
  if (start.measure != d.loopStartMeasure || start.beat != d.loopStartBeat) {
    d.loopStartMeasure = start.measure;
    d.loopStartBeat = start.beat;
    host.InvalidateBox(kBoxLoopStart);
  }
  const MeasureBeat end = LoopPointDisplay(app, app.live.loopEnd);
  if (end.measure != d.loopEndMeasure || end.beat != d.loopEndBeat) {
    d.loopEndMeasure = end.measure;
    d.loopEndBeat = end.beat;
    host.InvalidateBox(kBoxLoopEnd);
  }
}

void ApplyLoopModeRule(AppRec& app) {
  if (!app.system.loopMode) return;
  if (InRange(CurrentPosition(app), app.live.loopStart, app.live.loopEnd)) return;
  app.system.loopMode = 0;
  EnginePublish(app.engine, app.system, app.live);
  SetBoxImage(app, kBoxLoopMode, kImageNormal);
}

void RecordStart(AppRec& app, int32_t position) {
  auto& history = app.transport.startHistory;
  int i = 3;
  for (int k = 0; k < 3; ++k) {
    if (history[static_cast<size_t>(k)] == position) {
      i = k;
      break;
    }
  }
  for (int k = i; k >= 1; --k)
    history[static_cast<size_t>(k)] = history[static_cast<size_t>(k - 1)];
  history[0] = position;
}

namespace {

void MoveTo(AppRec& app, int32_t target) {
  StopIfRunning(app);
  SetPosition(app, target);
  ApplyLoopModeRule(app);
  Locate(app);
  RefreshPositionDisplays(app);
  SetStoppedMenus(app);
}

}  // namespace

void JumpAhead(AppRec& app) {
  const int32_t p = CurrentPosition(app);
  int32_t target = app.piece.endPosition;
  for (int32_t point : app.live.rehearsalPoints) {
    if (point > p) {
      target = point;
      break;
    }
  }
  MoveTo(app, target);
  app.host.UpdateNow();
}

void JumpBack(AppRec& app) {
  const int32_t p = CurrentPosition(app);
  int32_t target = 0;
  for (int32_t point : app.live.rehearsalPoints) {
    if (point < p) target = point;
  }
  MoveTo(app, target);
  app.host.UpdateNow();
}

void JumpAgain(AppRec& app) {
  const auto& history = app.transport.startHistory;
  const int32_t p = CurrentPosition(app);
  int i = 3;
  for (int k = 0; k < 3; ++k) {
    if (history[static_cast<size_t>(k)] == p) {
      i = k;
      break;
    }
  }
  const int32_t target = history[static_cast<size_t>((i + 1) % 4)];
  MoveTo(app, target);
  ResumeSaved(app);
  app.host.UpdateNow();
}

void JumpTo(AppRec& app) {
  const auto& map = app.piece.beatMap;
  int measure = 1;
  if (!map.empty()) {
    const int32_t p = CurrentPosition(app);
    const size_t cursor = std::min(static_cast<size_t>(app.piece.beatCursor), map.size() - 1);
    const size_t shown =
        static_cast<int32_t>(map[cursor].time) == p || cursor == 0 ? cursor : cursor - 1;
    measure = map[shown].measure;
  }
  DialogCall call;
  call.begin = MeasureBeat{measure, 1};
  if (!app.host.RunDialog(kDialogLocation, call) || !call.position) return;
  MoveTo(app, std::clamp(*call.position, 0, app.piece.endPosition));
  ResumeSaved(app);
}

}  // namespace tuttiro
