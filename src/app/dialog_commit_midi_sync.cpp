// The MIDI & Sync Setup dialog's commit step.
#include "app/dialog_commit_midi_sync.h"

#include "app/app.h"
#include "midi/midi_message.h"

namespace tuttiro {
namespace {

struct SyncOutput {
  bool on;
  uint16_t type;
  uint16_t frameRate;
  uint16_t port;
  bool operator==(const SyncOutput&) const = default;
};

// What the receiver of the sync output sees: nothing when it is off, and the
// frame rate only with time code.
SyncOutput SyncOutputOf(const SystemSettings& s) {
  if (!s.transmitSync) return SyncOutput{false, 0, 0, 0};
  return SyncOutput{true, s.syncType, s.syncType == 1 ? s.frameRate : uint16_t{0}, s.syncPort};
}

// While playing: the old sync output ends and the new one starts where the
// piece is now, before the scheduler (held meanwhile) sends the next clock or
// quarter frame.
void SwitchSyncWhileRunning(AppRec& app, const SyncOutput& before, const SyncOutput& after) {
  if (before.on && before.type == 0) MidiSend(app.engine.ports, 0xFC, PortOf(before.port), 0);
  SchedulerHold(app.engine);
  const int32_t position = CurrentPosition(app);
  PrepareSync(app, position);
  const int port = PortOf(after.port);
  if (after.on && after.type == 1) {
    const TimeCode code = MsToTimeCode(static_cast<int64_t>(position) + 2, after.frameRate);
    MidiSend(app.engine.ports, FullFrameMessage(code, after.frameRate), port, 0);
  } else if (after.on) {
    const uint16_t pointer = app.engine.scheduler.sync.songPositionPointer;
    MidiSend(app.engine.ports, 0xF2u | (pointer & 0x7Fu) << 8 | ((pointer >> 7) & 0x7Fu) << 16,
             port, 0);
    MidiSend(app.engine.ports, 0xFB, port, 0);
  }
  SchedulerRelease(app.engine);
}

}  // namespace

MidiSyncValues MidiSyncValuesOf(const AppRec& app) {
  const SystemSettings& s = app.system;
  return MidiSyncValues{s.transmitSysex, s.sysexMode, s.sysexPort,   s.soundHeldNotes,
                        s.midiThru,      s.thruPort,  s.thruChannel, s.thruProcessFirst,
                        s.transmitSync,  s.syncPort,  s.syncType,    s.frameRate};
}

void CommitMidiSync(AppRec& app, const MidiSyncValues& v) {
  SystemSettings& s = app.system;
  const SyncOutput before = SyncOutputOf(s);
  s.transmitSysex = v.transmitSysex;
  s.sysexMode = v.sysexMode;
  s.sysexPort = v.sysexPort;
  s.soundHeldNotes = v.soundHeldNotes;
  s.midiThru = v.midiThru;
  s.thruPort = v.thruPort;
  s.thruChannel = v.thruChannel;
  s.thruProcessFirst = v.thruProcessFirst;
  s.transmitSync = v.transmitSync;
  s.syncPort = v.syncPort;
  s.syncType = v.syncType;
  s.frameRate = v.frameRate;
  PublishSystemSettings(app);
  const SyncOutput after = SyncOutputOf(s);
  if (!TransportRunning(app)) {
    if (app.piece.pieceLoaded) Locate(app);
  } else if (after != before && !app.engine.mode.previewing.load()) {
    SwitchSyncWhileRunning(app, before, after);
  }
}

void CancelMidiSync(AppRec& app) {
  CommitMidiSync(app, MidiSyncValuesOf(app));
}

}  // namespace tuttiro
