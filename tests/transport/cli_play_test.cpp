// `tuttiro-cli play --render` end to end: the rendered file holds every note of
// the piece at its time (shifted by the start's controller pause) and releases
// every one of them; bad options exit with status 2.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "../piece/cli_runner.h"
#include "piece/piece_model.h"

namespace tuttiro {
namespace {

using test::RunCli;

// (time, note, velocity) of every note-on, sorted.
std::multiset<std::tuple<int32_t, int, int>> NoteOns(const PieceModel& piece) {
  std::multiset<std::tuple<int32_t, int, int>> out;
  for (int t = 0; t < piece.trackCount; ++t) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    for (const PieceEvent& ev : track.events) {
      if ((ev.status & 0xF0) == 0x90 && ev.data2 > 0) {
        out.insert({static_cast<int32_t>(ev.time), ev.data1, ev.data2});
      }
    }
  }
  return out;
}

TEST(CliPlay, RenderWritesEveryNoteAtItsTimeAndReleasesIt) {
  const std::string path = ::testing::TempDir() + "tuttiro_render.mid";
  const auto run = RunCli("play Ecossaise --render '" + path + "'");
  ASSERT_EQ(run.status, 0) << run.out;
  PieceModel original;
  PieceSourceState sources;
  ASSERT_EQ(OpenPiece(original, sources, "Ecossaise"), kLoadOk);
  PieceModel rendered;
  ASSERT_EQ(OpenPiece(rendered, sources, path), kLoadOk);
  const auto want = NoteOns(original);
  const auto got = NoteOns(rendered);
  ASSERT_EQ(got.size(), want.size());
  // One constant shift: the pause after the start's controllers.
  const int32_t shift = std::get<0>(*got.begin()) - std::get<0>(*want.begin());
  EXPECT_GE(shift, 0);
  EXPECT_LE(shift, 20);
  std::multiset<std::tuple<int32_t, int, int>> shifted;
  for (const auto& [time, note, velocity] : want) shifted.insert({time + shift, note, velocity});
  EXPECT_EQ(got, shifted);
  // Every note-on is answered by a note-off of the same note on the same channel.
  for (const TrackRec& track : rendered.tracks) {
    std::map<int, int> sounding;
    for (const PieceEvent& ev : track.events) {
      if ((ev.status & 0xF0) == 0x90 && ev.data2 > 0) ++sounding[ev.data1];
      if ((ev.status & 0xF0) == 0x80 || ((ev.status & 0xF0) == 0x90 && ev.data2 == 0)) {
        sounding[ev.data1] = std::max(0, sounding[ev.data1] - 1);
      }
    }
    for (const auto& [note, count] : sounding) EXPECT_EQ(count, 0) << note;
  }
  std::remove(path.c_str());
}

TEST(CliPlay, BadOptionsExitWithStatusTwo) {
  const auto lead = RunCli("play Ecossaise --lead 501 --render x.mid");
  EXPECT_EQ(lead.status, 2);
  EXPECT_NE(lead.out.find("--lead takes a number of milliseconds from 0 to 500"),
            std::string::npos);
  EXPECT_EQ(RunCli("follow Ecossaise --solo x.mid --lead -5").status, 2);
  EXPECT_EQ(RunCli("play").status, 2);
  EXPECT_EQ(RunCli("play Ecossaise --tempo 0 --render x.mid").status, 2);
  EXPECT_EQ(RunCli("play Ecossaise --sync smpte --render x.mid").status, 2);
  EXPECT_EQ(RunCli("play Ecossaise --render out.txt").status, 2);
  EXPECT_EQ(RunCli("play Ecossaise --from 999:1 --render x.mid").status, 2);
  EXPECT_EQ(RunCli("play 'No Such Piece' --render x.mid").status, 2);
  EXPECT_EQ(RunCli("play --help").status, 0);
}

}  // namespace
}  // namespace tuttiro
