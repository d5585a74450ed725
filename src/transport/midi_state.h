// The MIDI state at start and stop: the synthesizers are brought into the
// state the piece has at the start position (controllers, programs, bends, held
// notes), silenced at stop with every sounding note released, and reset on
// request.
#pragma once

#include <array>
#include <cstdint>

#include "piece/piece_model.h"

namespace tuttiro {

struct AppRec;

inline constexpr int kAllTracks = -1;

// The start state for every stream (kAllTracks) or one track.
void SoundStartState(AppRec& app, int track);
// Releases every sounding note and resets the touched controllers.
void SilenceTracks(AppRec& app, int track);
// A note-off for every note the track sounds (as transposed now); counts cleared.
void ReleaseSoundingNotes(AppRec& app, int track);
void SendProgramCombo(AppRec& app, const ProgramCombo& combo, int channel, int port);
void AllNotesOff(AppRec& app);
void MidiReset(AppRec& app);
void SendClosingSysEx(AppRec& app);
// The SysEx messages up to the first channel event, sent when a piece is opened.
void SendOpeningSysEx(AppRec& app);

}  // namespace tuttiro
