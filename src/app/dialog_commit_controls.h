// The commit steps of the Remote Control, MIDI Metronome, Master Transpose and
// Tempo dialogs: the values each opens with, read from the application, and
// what its OK applies, publishes and shows. Also the clicks the Metronome
// dialog sounds while it takes values from MIDI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/metronome_dialog.h"
#include "dialogs/remote_control_dialog.h"

namespace tuttiro {

struct AppRec;

RemoteTable RemoteControlOf(const AppRec& app);
// Stores the table, publishes it to the input path and gives the follower the
// Special Signal (the last entry).
void CommitRemoteControl(AppRec& app, const RemoteTable& table);

MetronomeValues MetronomeValuesOf(const AppRec& app);
// Stores the settings, publishes them to the scheduler and lights the
// Metronome button when the metronome is on.
void CommitMetronome(AppRec& app, const MetronomeValues& values);
// While the dialog sounds captured clicks, MIDI thru stays silent.
void MetronomeAuditionSwitch(AppRec& app, bool on);
void MetronomeAuditionSend(AppRec& app, const MetronomeAudition& click);

int16_t MasterTransposeOf(const AppRec& app);
// Through the transposition change every other part of the program uses
// (notes sounding are released first), then published to the input path.
void CommitMasterTranspose(AppRec& app, int16_t semitones);

struct TempoFacts {
  uint16_t factor = 4096;
  int64_t beatLength = 0;  // the file's beat here, in ms × 4096; 0 when unknown
  int32_t currentBpm = 0;  // as the Current Tempo view shows it
};
TempoFacts TempoFactsOf(AppRec& app);
// Through the same master tempo change as the Master Tempo slider: a running
// transport is re-timed from where it is, without a jump.
void CommitTempo(AppRec& app, uint16_t factor);

}  // namespace tuttiro
