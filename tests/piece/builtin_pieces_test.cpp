// The five built-in pieces: each loads and has the shape a musician expects
// (a named solo track first, accompaniment on its own channels, 16-64 bars),
// and together they cover the meters, keys and events the program must handle.
#include <gtest/gtest.h>

#include <set>

#include "piece/piece_info.h"
#include "piece/piece_model.h"

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

TEST(BuiltinPieces, EachLoadsWithTheExpectedShape) {
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    SCOPED_TRACE(BuiltinPieceName(i));
    PieceModel piece;
    PieceSourceState sources;
    ASSERT_EQ(OpenPiece(piece, sources, BuiltinPieceName(i)), kLoadOk);
    EXPECT_EQ(piece.format, 1);
    EXPECT_GE(piece.trackCount, 3);
    EXPECT_LE(piece.trackCount, 5);
    EXPECT_EQ(piece.tracks[0].name.rfind("Solo ", 0), 0u) << piece.tracks[0].name;
    std::set<int> channels;
    for (int t = 0; t < piece.trackCount; ++t) {
      const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
      channels.insert(track.fileChannel);
      EXPECT_TRUE(NotesAllEnd(track)) << track.name;
      EXPECT_NE(track.name.rfind("Track ", 0), 0u) << "every track is named";
    }
    EXPECT_EQ(channels.size(), static_cast<size_t>(piece.trackCount));
    int bars = PieceLengthBars(piece);
    EXPECT_GE(bars, 16);
    EXPECT_LE(bars, 64);
    EXPECT_NE(piece.initialKey, -1);
    EXPECT_GE(piece.smfTempoList.size(), 2u);  // a tempo and the sentinel
    EXPECT_GE(piece.timeSigList.size(), 2u);
    EXPECT_EQ(sources.checkedOpenItem, kFirstOpenMenuItem + i);
  }
}

TEST(BuiltinPieces, TogetherCoverMetersKeysTempoChangesAndBanks) {
  std::set<std::string> meters;
  bool flats = false;
  bool tempoChange = false;
  bool bankSelect = false;
  for (int i = 0; i < kBuiltinPieceCount; ++i) {
    PieceModel piece;
    PieceSourceState sources;
    ASSERT_EQ(OpenPiece(piece, sources, BuiltinPieceName(i)), kLoadOk);
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
  }
  EXPECT_TRUE(meters.count("2/4") || meters.count("6/8"));
  EXPECT_TRUE(meters.count("3/4"));
  EXPECT_TRUE(meters.count("4/4"));
  EXPECT_TRUE(flats);
  EXPECT_TRUE(tempoChange);
  EXPECT_TRUE(bankSelect);
}

}  // namespace
}  // namespace tuttiro
