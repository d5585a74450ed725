// The MIDI state at start and stop. Everything is sent synchronously through
// MidiSend, with the pauses that keep a MIDI interface from overflowing.
#include "transport/midi_state.h"

#include <algorithm>

#include "app/app.h"
#include "controller_reset_table.h"
#include "midi/midi_message.h"

namespace tuttiro {
namespace {

void SendShort(AppRec& app, int status, int channel, int data1, int data2, int port) {
  MidiSend(app.engine.ports, Pack(status | (channel & 0x0F), data1, data2), port, 0);
}

// One SysEx message, then a pause of a third of a millisecond per byte.
void SendSysexPaced(AppRec& app, const std::vector<uint8_t>& message) {
  MidiSend(app.engine.ports, message, PortOf(app.system.sysexPort), 0);
  const int f7 = static_cast<int>(message.size()) - 1;
  if (f7 / 3 > 0) app.platform.Sleep(f7 / 3);
}

const std::vector<uint8_t>* SysexMessageOf(AppRec& app, const SysexEvent& ev) {
  return ev.messageIndex < app.piece.sysexMessages.size()
             ? &app.piece.sysexMessages[ev.messageIndex]
             : nullptr;
}

// The tracks a whole-list operation covers, or the one track asked for.
std::vector<int32_t> TracksFor(AppRec& app, int track) {
  if (track != kAllTracks) return {track};
  return app.engine.scheduler.listedTracks;
}

int Transposed(AppRec& app, const TrackRec& track, int note) {
  return note + track.transposition + app.live.masterTranspose;
}

}  // namespace

void SendProgramCombo(AppRec& app, const ProgramCombo& combo, int channel, int port) {
  std::array<uint32_t, kProgramComboMessages> messages;
  const int count = ProgramComboMessages(combo, channel, messages);
  for (int i = 0; i < count; ++i)
    MidiSend(app.engine.ports, messages[static_cast<size_t>(i)], port, 0);
}

void SoundStartState(AppRec& app, int which) {
  PieceModel& piece = app.piece;
  const int32_t position = CurrentPosition(app);
  if (which == kAllTracks && app.system.transmitSysex) {
    for (const SysexEvent& ev : piece.sysexEvents) {
      const std::vector<uint8_t>* message = SysexMessageOf(app, ev);
      if (!message) continue;
      const bool atPosition = static_cast<int32_t>(ev.time) == position;
      const bool send =
          app.system.sysexMode == 2 || (app.system.sysexMode == 1 && atPosition) ||
          (app.system.sysexMode == 0 && atPosition && position > piece.firstEventTime);
      if (send) SendSysexPaced(app, *message);
    }
  }
  const std::vector<int32_t> tracks = TracksFor(app, which);
  int controllerMessages = 0;
  for (int32_t index : tracks) {
    if (!TrackPlayable(app.engine, index)) continue;
    TrackRec& track = piece.tracks[static_cast<size_t>(index)];
    const int port = PortOf(track.outputPort);
    const int channel = track.outputChannel;
    auto sendController = [&](int controller) {
      if (track.controllerValues[static_cast<size_t>(controller)] == kNone) return;
      SendShort(app, 0xB0, channel, controller,
                track.controllerValues[static_cast<size_t>(controller)], port);
      ++controllerMessages;
    };
    // Each coarse controller is followed by its fine half, then the rest.
    for (int c = 0; c < 32; ++c) {
      sendController(c);
      sendController(c + 32);
    }
    for (int c = 64; c < 120; ++c) sendController(c);
    const uint8_t program = track.programState[0];
    const bool performance = index == piece.trackCount;
    if (performance && !app.engine.performance.replacesTrack.load()) {
      if (program != kNone) SendShort(app, 0xC0, channel, program, 0, port);
    } else if (program != kNone || track.programCombos[0].file.kind == kComboNone) {
      SendProgramCombo(app, TrackComboAt(track, program == kNone ? 0 : program), channel, port);
    }
    if (track.programState[1] != kNone) {
      SendShort(app, 0xE0, channel, track.programState[1], track.programState[2], port);
      ++controllerMessages;
    }
  }
  if (controllerMessages > 0) {
    const int bytes = 3 * controllerMessages;
    app.platform.Sleep(((bytes + 49) / 50 * 50) / 3);
  }
  const bool fastForward = app.engine.clock.fastForward.load();
  for (int32_t index : tracks) {
    if (!TrackPlayable(app.engine, index)) continue;
    TrackRec& track = piece.tracks[static_cast<size_t>(index)];
    for (int k = 0; k < 128; ++k) {
      uint16_t& count = track.noteState[static_cast<size_t>(k)];
      if (count == 0) continue;
      if (!app.system.soundHeldNotes) {
        count = 0;
        continue;
      }
      int v = (track.volume * count * app.live.masterVolume + 32768) >> 16;
      if (fastForward) v = (v + 1) >> 1;
      v = std::clamp(v, 1, 127);
      const int note = Transposed(app, track, k);
      if (note >= 0 && note <= 127) {
        SendShort(app, 0x90, track.outputChannel, note, v, PortOf(track.outputPort));
      }
      count = 1;
    }
  }
  if (which != kAllTracks) return;
  const bool playing = app.engine.clock.following.load() || app.engine.mode.playingFile.load() ||
                       app.engine.mode.playingPerformance.load();
  if (app.system.metronomeOn && playing && app.system.metronomeChannel != kNone &&
      app.system.metronomePatch != kNone) {
    SendShort(app, 0xC0, app.system.metronomeChannel, app.system.metronomePatch, 0,
              PortOf(app.system.metronomePort));
  }
  if (app.system.transmitSync && !app.engine.mode.previewing.load()) {
    const int port = PortOf(app.system.syncPort);
    if (app.system.syncType == 1) {
      const auto message =
          FullFrameMessage(MsToTimeCode(position + 2, app.system.frameRate), app.system.frameRate);
      MidiSend(app.engine.ports, message, port, 0);
    } else {
      const uint16_t spp = app.engine.scheduler.sync.songPositionPointer;
      MidiSend(app.engine.ports, Pack(0xF2, spp & 0x7F, (spp >> 7) & 0x7F), port, 0);
      MidiSend(app.engine.ports, position == 0 ? 0xFAu : 0xFBu, port, 0);
    }
  }
}

void ReleaseSoundingNotes(AppRec& app, int index) {
  TrackRec& track = app.piece.tracks[static_cast<size_t>(index)];
  for (int k = 0; k < 128; ++k) {
    uint16_t& count = track.noteState[static_cast<size_t>(k)];
    const int note = Transposed(app, track, k);
    if (note >= 0 && note <= 127) {
      for (int n = 0; n < count; ++n) {
        SendShort(app, 0x80, track.outputChannel, note, 64, PortOf(track.outputPort));
      }
    }
    count = 0;
  }
}

void SilenceTracks(AppRec& app, int which) {
  PieceModel& piece = app.piece;
  if (which == kAllTracks && !app.system.midiThru) {
    const int last = piece.trackCount + (app.engine.mode.playingPerformance.load() ? 1 : 0);
    for (int i = 0; i < last && i < static_cast<int>(piece.tracks.size()); ++i) {
      const TrackRec& track = piece.tracks[static_cast<size_t>(i)];
      SendShort(app, 0xB0, track.outputChannel, 120, 0, PortOf(track.outputPort));
      SendShort(app, 0xB0, track.outputChannel, 123, 0, PortOf(track.outputPort));
    }
  }
  for (int32_t index : TracksFor(app, which)) {
    TrackRec& track = piece.tracks[static_cast<size_t>(index)];
    if (!track.play) continue;
    const int port = PortOf(track.outputPort);
    const int channel = track.outputChannel;
    if (app.system.midiThru) {
      SendShort(app, 0xB0, channel, 120, 0, port);
      SendShort(app, 0xB0, channel, 123, 0, port);
    }
    ReleaseSoundingNotes(app, index);
    if (track.programState[1] != kNone) SendShort(app, 0xE0, channel, 0, 64, port);
    for (int i = 0; i < ControllerResetCount(); ++i) {
      const ControllerReset reset = ControllerResetAt(i);
      if (track.controllerValues[reset.controller] != kNone) {
        SendShort(app, 0xB0, channel, reset.controller, reset.value, port);
      }
    }
  }
  if (which != kAllTracks) return;
  if (app.system.transmitSysex && app.system.sysexMode == 2) {
    for (size_t i = static_cast<size_t>(std::max(piece.sysexCursor, 0));
         i < piece.sysexEvents.size(); ++i) {
      if (const auto* message = SysexMessageOf(app, piece.sysexEvents[i])) {
        SendSysexPaced(app, *message);
      }
    }
  }
  if (app.system.transmitSync && app.system.syncType == 0 && !app.engine.mode.previewing.load()) {
    MidiSend(app.engine.ports, 0xFC, PortOf(app.system.syncPort), 0);
  }
}

void AllNotesOff(AppRec& app) {
  app.engine.commands.enabled[kCmdAllNotesOff].store(false);
  app.host.SetWaitCursor(true);
  for (int channel = 0; channel < 16; ++channel) {
    SendShort(app, 0xB0, channel, 120, 0, kMidiAllPorts);
    SendShort(app, 0xB0, channel, 123, 0, kMidiAllPorts);
  }
  for (int channel = 0; channel < 16; ++channel) {
    for (int note = 0; note < 128; ++note) SendShort(app, 0x90, channel, note, 0, kMidiAllPorts);
    app.platform.Sleep(16);
  }
  app.host.SetWaitCursor(false);
  app.engine.commands.enabled[kCmdAllNotesOff].store(true);
}

void MidiReset(AppRec& app) {
  if (!app.host.AskOkCancel("Are you sure you want to reset your MIDI system?")) return;
  static const std::vector<std::vector<uint8_t>> kResets = {
      {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7},                                // General MIDI on
      {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},  // GS reset
      {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x30, 0x00, 0x0F, 0xF7},  // GS reverb macro 0
      {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x38, 0x00, 0x07, 0xF7},  // GS chorus macro 0
      {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},              // XG on
  };
  MidiSend(app.engine.ports, 0xFF, kMidiAllPorts, 0);
  for (const auto& message : kResets) MidiSend(app.engine.ports, message, kMidiAllPorts, 0);
}

void SendClosingSysEx(AppRec& app) {
  if (!app.system.transmitSysex || app.system.sysexMode != 0) return;
  bool first = true;
  for (const SysexEvent& ev : app.piece.sysexEvents) {
    if (static_cast<int32_t>(ev.time) <= app.piece.lastEventTime) continue;
    const std::vector<uint8_t>* message = SysexMessageOf(app, ev);
    if (!message) continue;
    if (!first) app.platform.Sleep(60);
    MidiSend(app.engine.ports, *message, PortOf(app.system.sysexPort), 0);
    first = false;
  }
}

void SendOpeningSysEx(AppRec& app) {
  if (!app.system.transmitSysex || app.system.sysexMode != 0) return;
  bool first = true;
  for (const SysexEvent& ev : app.piece.sysexEvents) {
    if (static_cast<int32_t>(ev.time) > app.piece.firstEventTime) continue;
    const std::vector<uint8_t>* message = SysexMessageOf(app, ev);
    if (!message) continue;
    if (!first) app.platform.Sleep(60);
    MidiSend(app.engine.ports, *message, PortOf(app.system.sysexPort), 0);
    first = false;
  }
}

}  // namespace tuttiro
