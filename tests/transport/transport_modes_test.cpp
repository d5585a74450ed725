// The transport's modes and their transitions: the command queue and enabled
// flags, menus and buttons, Fast Forward and Rewind motion, the loop end and its
// restart, the jumps and Jump Again's history, Preview on timers, and the host's
// answers to the follower's reports.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

class TransportModes : public PlaybackTest {
 protected:
  void SetUp() override { Open("Ecossaise"); }
};

TEST_F(TransportModes, CommandQueueDropsTheOldestAndDisabledCommandsButStop) {
  CommandQueueRec& queue = app->engine.commands;
  for (uint16_t i = 0; i < 33; ++i) QueueCommand(queue, static_cast<uint16_t>(i % 12));
  EXPECT_EQ(TakeCommand(queue), 1);  // the first (0) was pushed out
  for (int i = 2; i < 33; ++i) EXPECT_EQ(TakeCommand(queue), i % 12);
  EXPECT_EQ(TakeCommand(queue), kNoCommand);

  queue.enabled[kCmdAllNotesOff].store(false);
  QueueCommand(queue, kCmdAllNotesOff);
  EXPECT_TRUE(CommandQueueEmpty(queue));

  // Play File disabled: dropped. Stop while stopped with a restart armed: runs.
  queue.enabled[kCmdPlayFile].store(false);
  QueueCommand(queue, kCmdPlayFile);
  IdlePass(*app);
  EXPECT_FALSE(TransportRunning(*app));
  LoopRestartArm(app->engine, kCmdPlayFile, 3);
  queue.enabled[kCmdStop].store(false);
  StopTransport(*app);
  EXPECT_FALSE(LoopRestartArmed(app->engine));
  EXPECT_FALSE(host.menuEnabled[kItemStop]);
  queue.enabled[kCmdPlayFile].store(true);
  QueueCommand(queue, kCmdPlayFile);
  QueueCommand(queue, kCmdStop);
  IdlePass(*app);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(host.flashes.back().box, kBoxStop);
}

TEST_F(TransportModes, MenusAndButtonsFollowTheMode) {
  PlayFile(*app);
  EXPECT_FALSE(host.menuEnabled[kItemPlayFile]);
  EXPECT_TRUE(host.menuEnabled[kItemPlayAndFollow]);
  EXPECT_FALSE(host.menuEnabled[15]);  // File > Open items while playing
  EXPECT_FALSE(app->engine.commands.enabled[kCmdLoopMode].load());
  EXPECT_EQ(app->views.boxImage[kBoxPlayFile], kImageOn);
  EXPECT_EQ(app->views.boxImage[kBoxStop], kImageNormal);
  StopTransport(*app);
  EXPECT_TRUE(host.menuEnabled[15]);
  EXPECT_EQ(app->views.boxImage[kBoxPlayFile], kImageNormal);
  EXPECT_FALSE(host.menuEnabled[kItemStop]);

  // At the end with loop mode off the play modes are greyed; on, they start at the loop start.
  LocateAt(app->piece.endPosition);
  SetStoppedMenus(*app);
  EXPECT_FALSE(host.menuEnabled[kItemPlayFile]);
  PlayFile(*app);
  EXPECT_FALSE(TransportRunning(*app));
  app->system.loopMode = 1;
  app->live.loopStart = 2000;
  app->live.loopEnd = 8000;
  SetStoppedMenus(*app);
  EXPECT_TRUE(host.menuEnabled[kItemPlayFile]);
  PlayFile(*app);
  EXPECT_TRUE(TransportRunning(*app));
  EXPECT_EQ(CurrentPosition(*app), 2000);
  StopTransport(*app);
}

TEST_F(TransportModes, FastForwardMovesFourTimesAsFastAndRewindStepsBack) {
  FastForward(*app);
  Run(1000);
  EXPECT_EQ(CurrentPosition(*app), 4000);
  StopTransport(*app);

  // Rewind from 100, one tick (1/60 s) between idle passes: 34, then 0 and stop.
  LocateAt(100);
  platform.SetNow(50 * 100);  // exactly tick 300
  Rewind(*app);
  EXPECT_TRUE(TransportRewinding(*app));
  EXPECT_EQ(app->views.boxImage[kBoxRewind], kImageOn);
  platform.SetNow(50 * 100 + 17);
  IdlePass(*app);
  EXPECT_EQ(CurrentPosition(*app), 34);
  platform.SetNow(50 * 100 + 34);
  IdlePass(*app);
  EXPECT_EQ(CurrentPosition(*app), 0);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_FALSE(TransportRewinding(*app));
}

TEST_F(TransportModes, LoopEndStopsRestartsAfterTheDelayAndStopCancelsTheRestart) {
  app->system.loopMode = 1;
  app->live.loopStart = 1000;
  app->live.loopEnd = 5000;
  PlayFile(*app);
  EXPECT_EQ(CurrentPosition(*app), 1000);
  const SystemTime started = platform.ClockNow();
  Run(4100);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_TRUE(LoopRestartArmed(app->engine));
  EXPECT_TRUE(host.menuEnabled[kItemStop]);  // Stop can cancel the restart
  Run(2800);
  EXPECT_FALSE(TransportRunning(*app));
  Run(300);  // three seconds (180 ticks) after the loop end
  EXPECT_TRUE(app->engine.mode.playingFile.load());
  EXPECT_LT(CurrentPosition(*app), 1300);
  EXPECT_LT(platform.ClockNow() - started, 7300);

  Run(4000);
  ASSERT_TRUE(LoopRestartArmed(app->engine));
  StopTransport(*app);
  EXPECT_FALSE(LoopRestartArmed(app->engine));
  Run(5000);
  EXPECT_FALSE(TransportRunning(*app));

  // A restart whose time comes after loop mode was switched off does nothing.
  PlayFile(*app);
  Run(4100);
  ASSERT_TRUE(LoopRestartArmed(app->engine));
  app->system.loopMode = 0;
  Run(3200);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_FALSE(LoopRestartArmed(app->engine));
}

TEST_F(TransportModes, JumpsOverRehearsalPointsAndTheLoopRule) {
  app->live.rehearsalPoints = {4000, 9000};
  const std::pair<void (*)(AppRec&), int32_t> steps[] = {{JumpAhead, 4000},
                                                         {JumpAhead, 9000},
                                                         {JumpAhead, app->piece.endPosition},
                                                         {JumpBack, 9000},
                                                         {JumpBack, 4000}};
  for (const auto& [jump, position] : steps) {
    jump(*app);
    EXPECT_EQ(CurrentPosition(*app), position);
  }
  // Inside the loop it stays on; outside it goes off.
  app->system.loopMode = 1;
  app->live.loopStart = 0;
  app->live.loopEnd = 5000;
  JumpBack(*app);
  EXPECT_TRUE(app->system.loopMode);
  JumpAhead(*app);
  JumpAhead(*app);
  EXPECT_FALSE(app->system.loopMode);
  EXPECT_EQ(app->views.boxImage[kBoxLoopMode], kImageNormal);
}

TEST_F(TransportModes, JumpAgainStepsBackThroughTheStartsAndWraps) {
  for (int32_t start : {2000, 6000, 9000}) {
    LocateAt(start);
    PlayFile(*app);
    StopTransport(*app);
  }
  ASSERT_EQ(CurrentPosition(*app), 9000);
  std::vector<int32_t> visited;
  for (int i = 0; i < 4; ++i) {
    JumpAgain(*app);
    visited.push_back(CurrentPosition(*app));
  }
  EXPECT_EQ(visited, (std::vector<int32_t>{6000, 2000, 0, 9000}));
  EXPECT_FALSE(TransportRunning(*app));
}

TEST_F(TransportModes, JumpAheadResumesTheModeThatRan) {
  app->system.followSource = 1;
  PublishSystemSettings(*app);
  app->live.rehearsalPoints = {10000};
  PlayFile(*app);
  Run(500);
  PlayAndFollow(*app);  // stops Play File, follows from here
  EXPECT_TRUE(TransportFollowing(*app));
  EXPECT_FALSE(app->engine.mode.playingFile.load());
  Run(500);
  ExecuteCommand(*app, kCmdJumpAhead);
  EXPECT_TRUE(TransportFollowing(*app));
  EXPECT_EQ(app->transport.startHistory[0], 10000);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(TransportModes, JumpToAsksForAPlaceAndCancelChangesNothing) {
  LocateAt(2100);
  JumpTo(*app);
  EXPECT_EQ(CurrentPosition(*app), 2100);
  host.locationAnswer = 7000;
  JumpTo(*app);
  EXPECT_EQ(CurrentPosition(*app), 7000);
  EXPECT_EQ(host.locationAsked.second, 1);
}

TEST_F(TransportModes, PreviewRunsOnTimersAndKeepsTheWindowResponsive) {
  LocateAt(3000);
  const SystemTime asked = platform.ClockNow();
  Preview(*app);
  // Preview returns once the start state is sent (16 ms of controller pause
  // here); the idle pass keeps running while it plays.
  EXPECT_EQ(platform.ClockNow(), asked + 16);
  EXPECT_TRUE(app->engine.mode.previewing.load());
  Run(3990);
  EXPECT_TRUE(TransportRunning(*app));
  Run(20);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_FALSE(app->engine.mode.previewing.load());
  EXPECT_EQ(CurrentPosition(*app), 3000);
}

TEST_F(TransportModes, PreviewBeforeStartingThenTwoSecondsThenFollowing) {
  app->system.previewBeforeStarting = 1;
  app->system.followSource = 1;
  PublishSystemSettings(*app);
  const SystemTime asked = platform.ClockNow();
  PlayAndFollow(*app);
  EXPECT_EQ(host.flashes.back().box, kBoxPreview);
  EXPECT_TRUE(app->engine.mode.previewing.load());
  Run(4010);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(host.flashes.back().box, kBoxPlayAndFollow);
  EXPECT_EQ(CurrentPosition(*app), 0);
  Run(1980);
  EXPECT_FALSE(TransportFollowing(*app));
  Run(30);
  EXPECT_TRUE(TransportFollowing(*app));
  EXPECT_GE(app->engine.clock.baseTime.load() - asked, 6000);
  // Stop during the pause cancels the start.
  StopTransport(*app);
  PlayAndFollow(*app);
  Run(4010);
  QueueCommand(app->engine.commands, kCmdStop);
  Run(3000);
  EXPECT_FALSE(TransportRunning(*app));
  ExpectNoHangingNotes();
}

TEST_F(TransportModes, FollowerReportsReachTheTransport) {
  app->system.followSource = 1;
  app->system.volumeSensitivity = 3;
  PublishSystemSettings(*app);
  EngineFollowerReport(app->engine, kReportLoudness, 0x18000, 0, 0);  // 1.5 times as loud
  EXPECT_EQ(app->engine.mode.volumeFollowFactor.load(), 256 + 256);
  app->system.volumeSensitivity = 1;
  PublishSystemSettings(*app);
  EngineFollowerReport(app->engine, kReportLoudness, 0x8000, 0, 0);  // half as loud
  EXPECT_EQ(app->engine.mode.volumeFollowFactor.load(), 256 - 64);

  PlayAndFollow(*app);
  Run(1000);
  // A new follower clock: the transport takes it and re-arms the scheduler.
  const SystemTime now = platform.ClockNow();
  EngineFollowerReport(app->engine, kReportClock, 5000, now, 2 * kFixOne);
  EXPECT_EQ(app->engine.clock.basePosition.load(), 5000);
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 8192);
  EngineFollowerReport(app->engine, kReportNote, now, 4321, 0x643C90);
  EngineFollowerReport(app->engine, kReportNote, now, 1234, 0x643C90);
  EXPECT_EQ(app->engine.mode.furthestMatched.load(), 4321);
  StopTransport(*app);
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 4096);  // the saved tempo is put back
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputNone);
}

// Play and Follow with nothing left to play but the soloist's part (the
// accompaniment has ended and, here, the piece has no beats for the measure
// stream) does not start; the follower it set going stops too, so its clock
// reports leave the stopped transport alone.
TEST_F(TransportModes, PlayAndFollowThatCannotStartLeavesNoFollowerRunning) {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track().Event(0, {0x90, 72, 90}).Event(2000, {0x80, 72, 0}).End();  // the solo's long note
  smf.Track().Event(0, {0x91, 48, 90}).Event(480, {0x81, 48, 0}).End();
  OpenBytes(smf.Bytes());
  app->system.followSource = 0;
  app->live.followTrack1 = 0;
  PublishSystemSettings(*app);
  app->piece.beatMap.clear();
  LocateAt(1000);
  PlayAndFollow(*app);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_FALSE(FollowerClockRead(app->engine.follower.clock).running);
  EngineFollowerReport(app->engine, kReportClock, 5000, platform.ClockNow(), 2 * kFixOne);
  EXPECT_EQ(app->engine.clock.basePosition.load(), 1000);
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 4096);
}

TEST_F(TransportModes, PlayAndFollowHandsTheFollowingTrackToTheSoloist) {
  app->system.followSource = 0;
  PublishSystemSettings(*app);
  app->live.followTrack1 = 0;
  PlayAndFollow(*app);
  ASSERT_TRUE(TransportFollowing(*app));
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputSoloistNotes);
  EXPECT_EQ(app->piece.tracks[0].play, 0);
  EXPECT_EQ(host.stripsRedrawn[0], 1);
  for (int32_t track : app->engine.scheduler.listedTracks) EXPECT_NE(track, 0);
  Run(2000);
  StopTransport(*app);
  EXPECT_EQ(app->piece.tracks[0].play, 1);
  // Start Automatically: the follower keeps listening for the soloist.
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  ExpectNoHangingNotes();
}

TEST_F(TransportModes, MetronomeAndLoopModeToggles) {
  ExecuteCommand(*app, kCmdMetronome);
  EXPECT_TRUE(app->system.metronomeOn);
  EXPECT_EQ(app->views.boxImage[kBoxMetronome], kImageOn);
  EXPECT_EQ(host.flashes.back().box, kBoxMetronome);
  EXPECT_EQ(host.flashes.back().holdMs, 50);
  QueueCommand(app->engine.commands, kCmdLoopMode);
  QueueCommand(app->engine.commands, kCmdLoopMode);
  IdlePass(*app);
  EXPECT_FALSE(app->system.loopMode);
  // The first flash did not wait: another command was queued behind it.
  EXPECT_EQ(host.flashes[host.flashes.size() - 2].holdMs, 0);
  EXPECT_EQ(host.flashes.back().holdMs, 50);
}

}  // namespace
}  // namespace tuttiro::test
