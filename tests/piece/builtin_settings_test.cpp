// The built-in pieces carry their own settings: each opens with slot 0
// applied, following its solo track, with rehearsal points at its sections
// and a loop round one of them; two of them mark a Wait for Soloist after a
// pause and a Restore Tempo where they come back in tempo.
#include <gtest/gtest.h>

#include "settings_fixture.h"

namespace tuttiro {
namespace {

TEST(BuiltinSettings, EachPieceOpensWithItsSlotZero) {
  int withMarkers = 0;
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    SCOPED_TRACE(BuiltinPieceName(i));
    test::SettingsFixture fx;
    PieceHooks hooks;
    bool applied = false;
    hooks.applySettingsSlot0 = [&] { return applied = ApplySettingsSlot(fx.context, 0); };
    ASSERT_EQ(OpenPiece(fx.piece, fx.sources, BuiltinPieceName(i), hooks), kLoadOk);
    ASSERT_TRUE(applied);
    EXPECT_EQ(SettingsSlotName(*ReadPieceSettings(fx.sources, BuiltinPieceName(i)), 0),
              BuiltinPieceName(i));
    EXPECT_EQ(fx.live.followTrack1, 0);
    EXPECT_EQ(fx.piece.tracks[0].name.rfind("Solo ", 0), 0u);
    ASSERT_GE(fx.live.rehearsalPoints.size(), 4u);
    EXPECT_EQ(fx.live.rehearsalPoints[0], 0);
    // Every marker and loop point stands on a bar line.
    auto onBarLine = [&fx](int32_t p) {
      for (const BeatMapEntry& b : fx.piece.beatMap)
        if (static_cast<int32_t>(b.time) == p) return b.beat == 1;
      return false;
    };
    for (int32_t p : fx.live.rehearsalPoints) EXPECT_TRUE(onBarLine(p)) << p;
    EXPECT_TRUE(onBarLine(fx.live.loopStart));
    EXPECT_TRUE(onBarLine(fx.live.loopEnd));
    EXPECT_LT(fx.live.loopStart, fx.live.loopEnd);
    for (const TrackRec& track : fx.piece.tracks) EXPECT_EQ(track.outputChannel, track.fileChannel);
    if (fx.live.waitForSoloistMarkers.empty() || fx.live.restoreTempoMarkers.empty()) continue;
    ++withMarkers;
    // A Restore Tempo marker comes where the piece's tempo goes back up after slowing.
    for (int32_t p : fx.live.restoreTempoMarkers) {
      uint32_t tick = 0;
      for (const BeatMapEntry& b : fx.piece.beatMap)
        if (static_cast<int32_t>(b.time) == p) tick = b.sixteenths * fx.piece.division / 4;
      bool faster = false;
      for (size_t k = 1; k < fx.piece.smfTempoList.size(); ++k) {
        const SmfTempoEntry& e = fx.piece.smfTempoList[k];
        faster = faster || (e.tick == tick && e.tempo < fx.piece.smfTempoList[k - 1].tempo);
      }
      EXPECT_TRUE(faster) << p;
    }
  }
  EXPECT_GE(withMarkers, 2);
}

}  // namespace
}  // namespace tuttiro
