// Writing piece settings: a settings record built from the live settings (one
// slot) and the slots a piece already holds, and that record written into the
// piece's file as the settings event at the very start of its first track.
// Every other byte of the file stays as it was, and the file is replaced in
// one step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "piece/piece_settings.h"

namespace tuttiro {

enum class SettingsWriteResult {
  kOk,
  kNotMidi,      // no header and first track to put the event in, or a damaged settings event there
  kTooLarge,     // the record does not fit a meta event
  kNotAFile,     // a built-in or in-memory piece has no file to write to
  kReadFailed,   // the piece could not be read
  kWriteFailed,  // the file could not be replaced (it is unchanged)
  kPieceChanged,  // the piece's file is no longer the one that was loaded (nothing written)
};

// A record (host order) whose slot `slot` holds the live settings, the tracks'
// settings and the display name under `name` (cut to 31 characters), and
// whose other slots are those of `existing`, each with its own data areas.
PieceSettingsRecord BuildPieceSettingsRecord(const PieceSettingsRecord& existing, int slot,
                                             const std::string& name, const PieceSettings& live,
                                             const PieceModel& piece);

// `existing` with slot `slot` unused.
PieceSettingsRecord RemoveSettingsSlot(const PieceSettingsRecord& existing, int slot);

// The settings event for a host-order record: delta 0, FF 7F, the length, the
// identification and the record in storage order. Empty when it is too large.
std::vector<uint8_t> SettingsEventBytes(const PieceSettingsRecord& record);

// Puts the settings event at the start of the first track of a Standard MIDI
// File image, replacing one that is there and fixing the chunk length.
SettingsWriteResult PlaceSettingsEvent(std::vector<uint8_t>& image,
                                       const PieceSettingsRecord& record);

// The whole of piece `name` (built-in, in-memory or a file) through its source.
bool ReadPieceImage(PieceSourceState& sources, const std::string& name,
                    std::vector<uint8_t>& image);

// Reads piece `name` (the bytes it was loaded from), places `record` in it and
// writes the result to `path`. Writing over the loaded piece's own file first
// checks that the file there is still the one that was loaded; when it is not
// (changed, replaced or removed) nothing is written unless `overwriteChanged`.
SettingsWriteResult WritePieceWithSettings(PieceSourceState& sources, const std::string& name,
                                           const std::string& path,
                                           const PieceSettingsRecord& record,
                                           bool overwriteChanged = false);

// Saves the live settings as slot `slot` of the open piece's file under
// `name`; the piece's other slots are kept.
SettingsWriteResult SavePieceSettingsSlot(SettingsContext& context, int slot,
                                          const std::string& name);

}  // namespace tuttiro
