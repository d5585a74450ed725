// Copies of the user's track settings.
#include "piece/track_values.h"

#include <algorithm>

namespace tuttiro {

TrackValues TrackValuesOf(const TrackRec& t) {
  TrackValues v;
  v.name = t.name;
  v.userName = t.userName;
  v.volume = t.volume;
  v.outputChannel = t.outputChannel;
  v.fileChannel = t.fileChannel;
  v.outputPort = t.outputPort;
  v.transposition = t.transposition;
  v.play = t.play;
  v.substitutePrograms = t.substitutePrograms;
  v.programCombos = t.programCombos;
  v.comboCount = t.comboCount;
  return v;
}

std::vector<TrackValues> TrackValuesOf(const PieceModel& piece) {
  std::vector<TrackValues> out;
  const size_t count =
      std::min(static_cast<size_t>(std::max<int16_t>(piece.trackCount, 0)), piece.tracks.size());
  for (size_t i = 0; i < count; ++i) out.push_back(TrackValuesOf(piece.tracks[i]));
  return out;
}

bool ProgramsDiffer(const TrackValues& a, const TrackValues& b) {
  if (a.substitutePrograms != b.substitutePrograms) return true;
  for (size_t i = 0; i < a.programCombos.size(); ++i) {
    if (a.programCombos[i].substitute != b.programCombos[i].substitute) return true;
  }
  return false;
}

bool SoundDiffers(const TrackValues& a, const TrackValues& b) {
  return a.volume != b.volume || a.outputChannel != b.outputChannel ||
         a.outputPort != b.outputPort || a.transposition != b.transposition || a.play != b.play ||
         ProgramsDiffer(a, b);
}

}  // namespace tuttiro
