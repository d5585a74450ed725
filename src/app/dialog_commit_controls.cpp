// The commit steps of the Remote Control, MIDI Metronome, Master Transpose and
// Tempo dialogs.
#include "app/dialog_commit_controls.h"

#include "app/app.h"
#include "engine/follower.h"
#include "layout_table.h"
#include "midi/midi_message.h"
#include "transport/locate.h"
#include "transport/transport.h"

namespace tuttiro {

RemoteTable RemoteControlOf(const AppRec& app) {
  return app.system.remoteControl;
}

void CommitRemoteControl(AppRec& app, const RemoteTable& table) {
  app.system.remoteControl = table;
  PublishSystemSettings(app);
  if (app.engine.followerReady) {
    FollowerSetSpecialSignal(app.engine.follower, table[kRemoteControlEntries - 1]);
  }
}

MetronomeValues MetronomeValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  return MetronomeValues{s.metronomeOn,  s.metronomePort,    s.metronomeChannel, s.metronomePatch,
                         s.downbeatNote, s.downbeatVelocity, s.beatNote,         s.beatVelocity};
}

void CommitMetronome(AppRec& app, const MetronomeValues& v) {
  SystemSettings& s = app.system;
  s.metronomeOn = v.on;
  s.metronomePort = v.port;
  s.metronomeChannel = v.channel;
  s.metronomePatch = v.patch;
  s.downbeatNote = v.downbeatNote;
  s.downbeatVelocity = v.downbeatVelocity;
  s.beatNote = v.beatNote;
  s.beatVelocity = v.beatVelocity;
  PublishSystemSettings(app);
  SetBoxImage(app, kBoxMetronome, v.on ? kImageOn : kImageNormal);
  SendMetronomePatchIfPlaying(app);
}

void MetronomeAuditionSwitch(AppRec& app, bool on) {
  app.engine.input.metronomeDialogLearning.store(on);
}

void MetronomeAuditionSend(AppRec& app, const MetronomeAudition& click) {
  const int port = PortOf(static_cast<uint16_t>(click.port));
  if (click.programChange) MidiSend(app.engine.ports, *click.programChange, port, 0);
  MidiSend(app.engine.ports, click.noteOn, port, 0);
  MidiSend(app.engine.ports, click.noteOn & 0xFFFFu, port, kAuditionMs);
}

int16_t MasterTransposeOf(const AppRec& app) {
  return app.live.masterTranspose;
}

void CommitMasterTranspose(AppRec& app, int16_t semitones) {
  SetMasterTranspose(app, semitones);
  PublishSystemSettings(app);
}

TempoFacts TempoFactsOf(AppRec& app) {
  const int32_t position = CurrentPosition(app);
  return TempoFacts{static_cast<uint16_t>(app.engine.clock.tempoFactor.load()),
                    FileBeatLength(app.piece, position), TempoAtPosition(app, position)};
}

void CommitTempo(AppRec& app, uint16_t factor) {
  SetMasterTempo(app, factor);
}

}  // namespace tuttiro
