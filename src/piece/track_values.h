// The part of a track the user sets: its name, routing, volume, transposition,
// play or mute and program substitutions. The Tracks and Banks & Programs
// dialogs edit copies of these, the Tracks view shows the Tracks dialog's copy
// while it is open, and OK puts them back into the tracks.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "piece/piece_model.h"

namespace tuttiro {

struct TrackValues {
  std::string name;  // from the file
  std::optional<std::string> userName;
  uint16_t volume = 256;
  uint16_t outputChannel = 0;
  int16_t fileChannel = 0;
  uint16_t outputPort = 0;
  int16_t transposition = 0;
  uint8_t play = 1;
  uint8_t substitutePrograms = 0;
  std::array<ProgramComboPair, kMaxProgramCombos> programCombos{};
  int32_t comboCount = 0;
};

TrackValues TrackValuesOf(const TrackRec& track);
// The regular tracks' values, the performance track left out.
std::vector<TrackValues> TrackValuesOf(const PieceModel& piece);
// The name a track is shown by: the user's, else the file's.
inline const std::string& ShownName(const TrackValues& v) {
  return v.userName ? *v.userName : v.name;
}
// Whether the routing, the sound or the programs differ (the name aside).
bool SoundDiffers(const TrackValues& a, const TrackValues& b);
bool ProgramsDiffer(const TrackValues& a, const TrackValues& b);

}  // namespace tuttiro
