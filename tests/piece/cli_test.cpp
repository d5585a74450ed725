// `tuttiro-cli` end to end: `info` prints a piece, its events and beats;
// `settings` shows a built-in piece's settings and writes a copy with default
// settings and markers; both refuse what does not fit with status 2.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_runner.h"

namespace tuttiro {
namespace {

using test::CliRun;
using test::RunCli;

TEST(CliInfo, PrintsAPieceAndItsEventsAndBeats) {
  CliRun summary = RunCli("info 'Ecossaise'");
  EXPECT_EQ(summary.status, 0);
  EXPECT_NE(summary.out.find("load result: 0"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("format: 1"), std::string::npos);
  EXPECT_NE(summary.out.find("endPosition: "), std::string::npos);

  CliRun events = RunCli("info 'Ecossaise' --events");
  EXPECT_EQ(events.status, 0);
  EXPECT_EQ(events.out.rfind("track,time,status,d1,d2\n0,", 0), 0u) << events.out.substr(0, 80);

  CliRun beats = RunCli("info 'Ecossaise' --beats");
  EXPECT_EQ(beats.out.rfind("time,measure,beat,sixteenths\n0,1,1,0\n", 0), 0u);
}

TEST(CliInfo, FailuresExitWithStatusTwoAndTheReason) {
  CliRun missing = RunCli("info /no/such/piece.mid");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("load result 5"), std::string::npos) << missing.out;
  CliRun damaged = RunCli(std::string("info ") + TUTTIRO_TEST_DATA +
                          "/piece/corpus/invalid/wrong-format/not_midi.mid");
  EXPECT_EQ(damaged.status, 2);
  EXPECT_NE(damaged.out.find("wrong format"), std::string::npos) << damaged.out;
  for (const char* args : {"info", "info --bogus Ecossaise", "no-such-command"})
    EXPECT_EQ(RunCli(args).status, 2) << args;
}

TEST(CliSettings, ShowsAndWritesSettings) {
  CliRun shown = RunCli("settings 'Longing'");
  EXPECT_EQ(shown.status, 0);
  for (const char* line : {"slot 0 \"Longing\"", "loop: 3:1 - 11:1", "wait for soloist: 11:1, 27:1",
                           "tempo factor: 100.0 %", "following: track 0 (Solo Oboe)"})
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << "\n" << shown.out;

  std::string folder = ::testing::TempDir() + "cli-settings";
  std::filesystem::create_directories(folder);
  std::string out = folder + "/copy.mid";
  CliRun written = RunCli("settings Ecossaise --write-defaults " + out +
                          " --name Practice --loop 3:1-end --ignore 5:1-6:2 --follow 0,1");
  EXPECT_EQ(written.status, 0) << written.out;
  CliRun reread = RunCli("settings " + out);
  for (const char* line : {"slot 0 \"Practice\"", "loop: 3:1 - 43:1", "ignore soloist: 5:1 - 6:2",
                           "and track 1 (Piano Chords)"})
    EXPECT_NE(reread.out.find(line), std::string::npos) << line << "\n" << reread.out;
  EXPECT_EQ(RunCli("info " + out).status, 0);

  const std::string write = "settings Ecossaise --write-defaults ";
  for (const std::string& args :
       {write + out + " --loop 99:1-100:1", write + out + " --follow 7",
        write + "/no/such/dir/x.mid", std::string("settings Ecossaise --rehearsal 1:1"),
        std::string("settings /no/such.mid")})
    EXPECT_EQ(RunCli(args).status, 2) << args;
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tuttiro
