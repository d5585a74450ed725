// The start-up sequence (its order, the steps that end it quietly or with their
// message, the saved settings and the piece it opens), the shutdown sequence
// and the pace of the idle pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/recent_files.h"
#include "piece/settings_store.h"
#include "shell_fixture.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro::test {
namespace {

using Steps = std::vector<std::string>;

TEST_F(ShellTest, StartupRunsItsStepsInOrderAndOpensTheFirstBuiltinPiece) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(ui.steps, (Steps{"claim", "window", "menus", "display"}));
  EXPECT_TRUE(shell->started);
  EXPECT_TRUE(app->engine.followerReady);
  EXPECT_TRUE(app->piece.pieceLoaded);
  EXPECT_EQ(app->piece.piecePath, "Ecossaise");
  EXPECT_TRUE(host.Checked(15));
  EXPECT_FALSE(shell->helpFolder.empty());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(host.texts.empty());
  // The ports are open on the built-in devices and name them in the menus; a
  // machine without MIDI input says so instead of reporting a device in use.
  EXPECT_EQ(host.labels[kIdOutputPortFirst], "&A--Out");
  EXPECT_EQ(host.portLabels[7], "&H--(no MIDI input device)");
  EXPECT_EQ(host.portsDialogs, 0);
  // Stopped at the start: the Stopped menu state.
  EXPECT_TRUE(host.Enabled(kIdPlayFile));
  EXPECT_FALSE(host.Enabled(kIdRewind));
}

TEST_F(ShellTest, StartupFailuresEndQuietlyOrWithTheirMessage) {
  ui.claimSucceeds = false;  // another instance runs: it was brought to the front
  EXPECT_FALSE(Start());
  EXPECT_EQ(ui.steps, (Steps{"claim"}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(app->piece.pieceLoaded);

  ui = FakeShellUi();
  ui.windowSucceeds = false;
  EXPECT_FALSE(Start());
  EXPECT_EQ(ui.steps, (Steps{"claim", "window"}));
  EXPECT_TRUE(host.messages.empty());

  ui = FakeShellUi();
  ui.depth = 4;  // sixteen colours: the message shows over the window, then the end
  EXPECT_FALSE(Start());
  EXPECT_EQ(ui.steps, (Steps{"claim", "window", "menus", "display"}));
  EXPECT_EQ(host.messages, (std::vector<int>{kStringDisplayColours}));
  EXPECT_FALSE(app->piece.pieceLoaded);

  ui = FakeShellUi();
  host.messages.clear();
  platform.resolution = 55;  // timers no finer than 55 ms: the end, without a word
  EXPECT_FALSE(Start());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(app->piece.pieceLoaded);
  // Shut down after a failed start-up, nothing is kept.
  ShellShutdown(*shell);
  EXPECT_FALSE(std::filesystem::exists(settings.File(kSystemSettingsFileName)));
}

TEST_F(ShellTest, StartupOpensAFileNamedOnTheCommandLine) {
  const std::string file = SourcePath("tests/piece/corpus/valid/format1_basic.mid");
  ASSERT_TRUE(Start(file));
  EXPECT_EQ(app->piece.piecePath, file);
  EXPECT_FALSE(host.Checked(15));
  EXPECT_EQ(shell->recentFiles, (std::vector<std::string>{file}));
}

TEST_F(ShellTest, AFileThatFailsAtStartupIsReportedAndTheFirstPieceOpens) {
  ASSERT_TRUE(Start(SourcePath("tests/piece/corpus/invalid/wrong-format/not_midi.mid")));
  EXPECT_EQ(host.messages, (std::vector<int>{kStringWrongFormat}));
  EXPECT_EQ(app->piece.piecePath, "Ecossaise");
}

TEST_F(ShellTest, StartupTakesTheSavedSystemSettingsOverTheDefaults) {
  SystemSettings saved;
  saved.loopMode = 1;
  saved.stopDelay = 7000;
  ASSERT_TRUE(SaveSystemSettings(settings.Str(), saved));
  ASSERT_TRUE(SaveRecentFiles(settings.Str(), {"/music/a.mid", "/music/b.mid"}));
  ASSERT_TRUE(Start());
  EXPECT_EQ(app->system.loopMode, 1);
  EXPECT_EQ(app->system.stopDelay, 7000u);
  EXPECT_EQ(app->views.boxImage[kBoxLoopMode], kImageOn);
  EXPECT_EQ(host.labels[kIdRecentFileFirst], "&1 a.mid");
  EXPECT_EQ(host.labels[kIdRecentFileFirst + 1], "&2 b.mid");
  EXPECT_EQ(host.labels[kIdRecentFileFirst + 2], "");
}

TEST_F(ShellTest, DamagedSavedSettingsAreReportedAndTheDefaultsKept) {
  std::ofstream(settings.File(kSystemSettingsFileName)) << "{ not json";
  ASSERT_TRUE(Start());
  EXPECT_EQ(ui.texts.size(), 1u);
  EXPECT_EQ(app->system, SystemSettings{});
}

TEST_F(ShellTest, ShutdownStopsClosesThePortsAndKeepsTheSettings) {
  ASSERT_TRUE(Start());
  app->system.metronomeOn = 1;
  PlayFile(*app);
  ASSERT_TRUE(TransportRunning(*app));
  ASSERT_TRUE(platform.OutIsOpen(0));
  ShellShutdown(*shell);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_FALSE(platform.OutIsOpen(0));
  EXPECT_FALSE(app->piece.pieceLoaded);
  std::string message;
  EXPECT_EQ(LoadSystemSettings(settings.Str(), SystemSettings{}, message).metronomeOn, 1);
}

TEST_F(ShellTest, ClosingTheWindowStopsTheTransportWithAFlash) {
  ASSERT_TRUE(Start());
  MainWindowClosing(*app);
  EXPECT_TRUE(host.flashes.empty());
  PlayFile(*app);
  MainWindowClosing(*app);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(host.flashes.back(), kBoxStop);
}

TEST_F(ShellTest, IdlePassRunsOftenOnlyWhileSomethingMoves) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(IdleIntervalMs(*app), kIdleSlowMs);
  PlayFile(*app);
  EXPECT_EQ(IdleIntervalMs(*app), kIdleFastMs);
  StopTransport(*app);
  EXPECT_EQ(IdleIntervalMs(*app), kIdleSlowMs);
  LoopRestartArm(app->engine, kCmdPlayFile, 3);
  EXPECT_EQ(IdleIntervalMs(*app), kIdleFastMs);
  LoopRestartCancel(app->engine);
  SetPosition(*app, 5000);
  Rewind(*app);
  EXPECT_EQ(IdleIntervalMs(*app), kIdleFastMs);
}

}  // namespace
}  // namespace tuttiro::test
