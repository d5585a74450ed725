// `tuttiro-cli info` end to end: its exit status and the stable parts of its output.
#include <gtest/gtest.h>

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
  EXPECT_EQ(RunCli("info").status, 2);
  EXPECT_EQ(RunCli("info --bogus Ecossaise").status, 2);
  EXPECT_EQ(RunCli("no-such-command").status, 2);
}

}  // namespace
}  // namespace tuttiro
