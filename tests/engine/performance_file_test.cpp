// A saved performance read back by the reader: the same tracks, the soloist's
// notes and the accompaniment at their performed times within 1 ms, the
// written part gone where the soloist played, and the performed tempo as the
// file's tempo events; for both file formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "../piece/smf_builder.h"
#include "engine/performance_file.h"

namespace tuttiro {
namespace {

using test::SmfBuilder;

constexpr int16_t kDivision = 96;  // coarse: the file must refine it

// Quarter notes: 500 ms each for four beats, then 250 ms (a tempo change).
// The written solo part (channel 0, pitch 60) and the accompaniment
// (channel 1, pitch 40) play on every beat of eight.
std::vector<uint8_t> Piece(uint16_t format) {
  SmfBuilder smf(format, kDivision);
  const auto notes = [&](uint8_t channel, uint8_t pitch) {
    for (int beat = 0; beat < 8; ++beat) {
      smf.Event(beat == 0 ? 0 : 48, {static_cast<uint8_t>(0x90 | channel), pitch, 90});
      smf.Event(48, {static_cast<uint8_t>(0x80 | channel), pitch, 0});
    }
  };
  if (format == 0) {  // both parts on the one track, the tempo change among them
    smf.Track().Tempo(0, 500000);
    uint32_t delta = 0;
    for (int beat = 0; beat < 8; ++beat) {
      if (beat == 4) smf.Tempo(std::exchange(delta, 0), 250000);
      smf.Event(delta, {0x90, 60, 90}).Event(0, {0x91, 40, 90});
      smf.Event(48, {0x80, 60, 0}).Event(0, {0x81, 40, 0});
      delta = 48;
    }
    return smf.End().Bytes();
  }
  smf.Track().Tempo(0, 500000).Tempo(4 * kDivision, 250000).End();
  smf.Track();
  notes(0, 60);
  smf.End();
  smf.Track();
  notes(1, 40);
  smf.End();
  return smf.Bytes();
}

// Score time of beat b of the piece.
int32_t Beat(int b) {
  return b <= 4 ? 500 * b : 2000 + 250 * (b - 4);
}

std::vector<int32_t> NoteOnTimes(const TrackRec& track, uint8_t pitch) {
  std::vector<int32_t> times;
  for (const PieceEvent& e : track.events) {
    if (IsNoteOn(e) && e.data1 == pitch) times.push_back(static_cast<int32_t>(e.time));
  }
  return times;
}

void ExpectNear(const std::vector<int32_t>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1.0) << i;
}

class PerformanceFileTest : public ::testing::TestWithParam<uint16_t> {};

TEST_P(PerformanceFileTest, PlaysBackAtThePerformedTimes) {
  const uint16_t format = GetParam();
  const std::vector<uint8_t> image = Piece(format);
  PieceModel piece;
  ASSERT_EQ(test::LoadBytes(piece, image), kLoadOk);
  ASSERT_EQ(piece.trackCount, 2);

  // The soloist played beats 1 to 5 (score 500-2500), a little off the beat,
  // slower than written at first and faster later.
  const std::vector<int32_t> played = {520, 1010, 1490, 2030, 2260, 2510};
  std::vector<PieceEvent> soloist;
  for (int32_t p : played) {
    soloist.push_back({static_cast<uint32_t>(p), 0x90, 72, 80, 1});
    soloist.push_back({static_cast<uint32_t>(p + 100), 0x80, 72, 0, 1});
  }
  PerformanceFileParts parts;
  parts.pieceImage = image;
  parts.piece = &piece;
  parts.soloist = soloist;
  parts.followingTracks = {0};
  parts.sectionStart = 500;
  parts.sectionEnd = 2600;
  parts.timing.tempoList = {{0, 500}, {700, 1000}, {1300, 1500}, {2000, 2250}, {2400, 2600}};
  std::vector<uint8_t> file;
  ASSERT_EQ(BuildPerformanceFile(parts, file), PerformanceFileResult::kOk);

  PieceModel saved;
  ASSERT_EQ(test::LoadBytes(saved, file), kLoadOk);
  ASSERT_EQ(saved.trackCount, piece.trackCount);
  const auto performed = [&](double p) { return PerformedTime(parts.timing, p); };
  // The written part stays outside the section; inside, the soloist's notes.
  ExpectNear(NoteOnTimes(saved.tracks[0], 60), {0, performed(Beat(7))});
  std::vector<double> soloTimes;
  for (int32_t p : played) soloTimes.push_back(performed(p));
  ExpectNear(NoteOnTimes(saved.tracks[0], 72), soloTimes);
  std::vector<double> accompaniment;
  for (int b = 0; b < 8; ++b) accompaniment.push_back(performed(Beat(b)));
  ExpectNear(NoteOnTimes(saved.tracks[1], 40), accompaniment);

  // The tempo events: score 500-1000 (one written quarter) took 700 ms, and
  // 2000-2250 (one quarter at the faster written tempo) took 250 * 700 / 750.
  const auto tempoAt = [&](double ms) {
    uint32_t tempo = 0;
    for (const SmfTempoEntry& e : saved.smfTempoList) {
      if (e.tick != kSentinelTick && e.time <= ms * 1000) tempo = e.tempo;
    }
    return tempo;
  };
  EXPECT_NEAR(tempoAt(performed(600)), 700000, 2);
  EXPECT_NEAR(tempoAt(performed(2100)), 250000.0 * 700 / 750, 2);
  EXPECT_EQ(tempoAt(performed(300)), 500000u);  // before the section: as written
}

// Two following tracks played from start to end: the second has no written
// note left, yet stays a track, so the tracks keep their numbers.
TEST_P(PerformanceFileTest, AFollowingTrackPlayedThroughKeepsItsNumber) {
  const std::vector<uint8_t> image = Piece(GetParam());
  PieceModel piece;
  ASSERT_EQ(test::LoadBytes(piece, image), kLoadOk);
  const PieceEvent played[] = {{100, 0x90, 72, 80, 1}, {300, 0x80, 72, 0, 1}};
  PerformanceFileParts parts;
  parts.pieceImage = image;
  parts.piece = &piece;
  parts.soloist = played;
  parts.followingTracks = {0, 1};
  parts.sectionEnd = 10000;
  std::vector<uint8_t> file;
  ASSERT_EQ(BuildPerformanceFile(parts, file), PerformanceFileResult::kOk);
  PieceModel saved;
  ASSERT_EQ(test::LoadBytes(saved, file), kLoadOk);
  ASSERT_EQ(saved.trackCount, 2);
  ExpectNear(NoteOnTimes(saved.tracks[0], 72), {100});
  EXPECT_TRUE(NoteOnTimes(saved.tracks[0], 60).empty());
  EXPECT_TRUE(NoteOnTimes(saved.tracks[1], 40).empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, PerformanceFileTest, ::testing::Values(0, 1));

TEST(PerformanceFile, DamagedPiecesAreRefused) {
  PieceModel piece;
  ASSERT_EQ(test::LoadBytes(piece, Piece(1)), kLoadOk);
  std::vector<uint8_t> image = Piece(1);
  image.resize(image.size() - 5);  // the last track ends inside an event
  PerformanceFileParts parts;
  parts.piece = &piece;
  parts.pieceImage = image;
  std::vector<uint8_t> file;
  EXPECT_EQ(BuildPerformanceFile(parts, file), PerformanceFileResult::kNotMidi);
  EXPECT_TRUE(file.empty());
}

}  // namespace
}  // namespace tuttiro
