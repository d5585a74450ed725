// The settings the score follower takes (see follower_settings.h).
#include "engine/follower_settings.h"

#include <vector>

namespace tuttiro {
namespace {

std::vector<IgnoreRange> FollowerRanges(const std::vector<MarkerRange>& ranges) {
  std::vector<IgnoreRange> out(ranges.size());
  for (size_t i = 0; i < ranges.size(); ++i) out[i] = {ranges[i].begin, ranges[i].end};
  return out;
}

}  // namespace

bool FollowerTakeMarkers(FollowerState& f, const PieceSettings& live) {
  return FollowerSetWaitForSoloist(f, live.waitForSoloistMarkers) &&
         FollowerSetWaitForSignal(f, live.waitForSignalMarkers) &&
         FollowerSetRestoreTempo(f, live.restoreTempoMarkers) &&
         FollowerSetIgnoreRanges(f, FollowerRanges(live.ignoreSoloistRanges));
}

void FollowerTakeScore(FollowerState& f, const PieceModel& piece, const PieceSettings& live,
                       const SystemSettings& system) {
  std::vector<uint32_t> beats = FollowerBeatList(piece.beatMap);
  if (system.followSource == 1) {
    FollowerSetTapBeats(f, beats);
    return;
  }
  auto events = [&piece](int16_t t) -> std::span<const PieceEvent> {
    if (t < 0 || t >= piece.trackCount) return {};
    return piece.tracks[static_cast<size_t>(t)].events;
  };
  bool two = live.followTwoTracks && live.followTrack2 != live.followTrack1;
  FollowerSetScore(f, events(live.followTrack1),
                   two ? events(live.followTrack2) : std::span<const PieceEvent>{}, beats);
}

void FollowerTakeOptions(FollowerState& f, const SystemSettings& system) {
  FollowerSetOptions(f, system.timingSensitivity, system.startAutomatically != 0,
                     system.autoJump != 0, system.localJumps != 0, system.waitForSolo != 0,
                     system.strictTime != 0);
  FollowerSetSpecialSignal(f, system.remoteControl[kRemoteControlEntries - 1]);
}

FollowerHooks FollowerSettingsHooks(FollowerState& f) {
  FollowerHooks hooks;
  hooks.setMarkers = [&f](const PieceSettings& live) { return FollowerTakeMarkers(f, live); };
  hooks.setScore = [&f](const PieceModel& piece, const PieceSettings& live,
                        const SystemSettings& system) {
    FollowerTakeScore(f, piece, live, system);
  };
  hooks.setOptions = [&f](const SystemSettings& system) { FollowerTakeOptions(f, system); };
  return hooks;
}

}  // namespace tuttiro
