// The five built-in pieces: each loads with the shape a musician expects (a
// named solo track first, accompaniment on its own channels, 16-64 bars) and
// opens with its own slot 0 applied (following the solo track, rehearsal
// points and a loop on bar lines); two mark a Wait for Soloist after a pause
// and a Restore Tempo where they come back in tempo. Together they cover the
// meters, keys and events the program must handle.
#include <gtest/gtest.h>

#include <set>

#include "piece/piece_info.h"
#include "settings_fixture.h"

namespace tuttiro {
namespace {

// Every note-on with a velocity has a matching note-off (or velocity-0 note-on).
bool NotesAllEnd(const TrackRec& track) {
  std::array<int, 128> sounding{};
  for (const PieceEvent& e : track.events) {
    bool on = e.status == 0x90 && e.data2 > 0;
    bool off = e.status == 0x80 || (e.status == 0x90 && e.data2 == 0);
    if (on) ++sounding[e.data1 & 0x7F];
    if (off && sounding[e.data1 & 0x7F] > 0) --sounding[e.data1 & 0x7F];
  }
  return std::all_of(sounding.begin(), sounding.end(), [](int n) { return n == 0; });
}

TEST(BuiltinPieces, EachLoadsWithItsShapeAndSettingsAndTogetherTheyCoverTheCases) {
  std::set<std::string> meters;
  bool flats = false, tempoChange = false, bankSelect = false;
  int withMarkers = 0;
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    SCOPED_TRACE(BuiltinPieceName(i));
    test::SettingsFixture fx;
    PieceHooks hooks;
    bool applied = false;
    hooks.applySettingsSlot0 = [&] { return applied = ApplySettingsSlot(fx.context, 0); };
    ASSERT_EQ(OpenPiece(fx.piece, fx.sources, BuiltinPieceName(i), hooks), kLoadOk);
    const PieceModel& piece = fx.piece;
    EXPECT_EQ(piece.format, 1);
    EXPECT_TRUE(piece.trackCount >= 3 && piece.trackCount <= 5) << piece.trackCount;
    EXPECT_EQ(piece.tracks[0].name.rfind("Solo ", 0), 0u) << piece.tracks[0].name;
    std::set<int> channels;
    for (int t = 0; t < piece.trackCount; ++t) {
      const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
      channels.insert(track.fileChannel);
      EXPECT_TRUE(NotesAllEnd(track)) << track.name;
      EXPECT_NE(track.name.rfind("Track ", 0), 0u) << "every track is named";
    }
    EXPECT_EQ(channels.size(), static_cast<size_t>(piece.trackCount));
    const int bars = PieceLengthBars(piece);
    EXPECT_TRUE(bars >= 16 && bars <= 64) << bars;
    EXPECT_NE(piece.initialKey, -1);
    EXPECT_GE(piece.smfTempoList.size(), 2u);  // a tempo and the sentinel
    EXPECT_GE(piece.timeSigList.size(), 2u);
    EXPECT_EQ(fx.sources.checkedOpenItem, kFirstOpenMenuItem + i);

    PieceInfo info = GetPieceInfo(piece);
    meters.insert(std::to_string(info.timeSigNumerator) + "/" +
                  std::to_string(info.timeSigDenominator));
    flats = flats || piece.keyUsesFlats;
    tempoChange = tempoChange || piece.smfTempoList.size() > 2;
    for (const TrackRec& track : piece.tracks) {
      for (int c = 0; c < track.comboCount; ++c) {
        uint8_t kind = track.programCombos[static_cast<size_t>(c)].file.kind;
        bankSelect = bankSelect || kind == kComboBank0 || kind == kComboBank0And32;
      }
    }

    // Its own settings, slot 0, named after the piece.
    ASSERT_TRUE(applied);
    EXPECT_EQ(SettingsSlotName(*ReadPieceSettings(fx.sources, BuiltinPieceName(i)), 0),
              BuiltinPieceName(i));
    EXPECT_EQ(fx.live.followTrack1, 0);
    ASSERT_GE(fx.live.rehearsalPoints.size(), 4u);
    EXPECT_EQ(fx.live.rehearsalPoints[0], 0);
    auto onBarLine = [&piece](int32_t p) {
      for (const BeatMapEntry& b : piece.beatMap)
        if (static_cast<int32_t>(b.time) == p) return b.beat == 1;
      return false;
    };
    for (int32_t p : fx.live.rehearsalPoints) EXPECT_TRUE(onBarLine(p)) << p;
    EXPECT_TRUE(onBarLine(fx.live.loopStart));
    EXPECT_TRUE(onBarLine(fx.live.loopEnd));
    EXPECT_LT(fx.live.loopStart, fx.live.loopEnd);
    for (const TrackRec& track : piece.tracks) EXPECT_EQ(track.outputChannel, track.fileChannel);
    if (fx.live.waitForSoloistMarkers.empty() || fx.live.restoreTempoMarkers.empty()) continue;
    ++withMarkers;
    // A Restore Tempo marker comes where the piece's tempo goes back up after slowing.
    for (int32_t p : fx.live.restoreTempoMarkers) {
      uint32_t tick = 0;
      for (const BeatMapEntry& b : piece.beatMap)
        if (static_cast<int32_t>(b.time) == p) tick = b.sixteenths * piece.division / 4;
      bool faster = false;
      for (size_t k = 1; k < piece.smfTempoList.size(); ++k) {
        const SmfTempoEntry& e = piece.smfTempoList[k];
        faster = faster || (e.tick == tick && e.tempo < piece.smfTempoList[k - 1].tempo);
      }
      EXPECT_TRUE(faster) << p;
    }
  }
  EXPECT_GE(withMarkers, 2);
  EXPECT_EQ(FindBuiltinPiece("ecossaise"), -1);  // names compare case-sensitively
  EXPECT_TRUE(BuiltinPieceImage(kBuiltinPieceCount).empty());
  EXPECT_TRUE(meters.count("2/4") || meters.count("6/8"));
  EXPECT_TRUE(meters.count("3/4") && meters.count("4/4"));
  EXPECT_TRUE(flats && tempoChange && bankSelect) << flats << tempoChange << bankSelect;
}

}  // namespace
}  // namespace tuttiro
