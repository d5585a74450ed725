// No path leaves a note sounding: stop, locate, jumps, muting a track, the loop
// end, the end of the piece, Preview, Fast Forward and a follower's jump all
// end with a note-off for every note-on sent.
#include <gtest/gtest.h>

#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

class NoHangingNotes : public PlaybackTest {
 protected:
  void SetUp() override { Open("Raggedy Rag"); }
};

TEST_F(NoHangingNotes, StoppingAnywhereReleasesEverySoundingNote) {
  // Stop times that fall inside notes of every length.
  for (SystemTime playFor : {1, 137, 333, 1250, 2901, 4444}) {
    SCOPED_TRACE(playFor);
    PlayFile(*app);
    Run(playFor);
    ASSERT_TRUE(TransportRunning(*app));
    StopTransport(*app);
    ExpectNoHangingNotes();
  }
}

TEST_F(NoHangingNotes, LocatingAndStartingInsideHeldNotes) {
  for (int32_t position : {777, 3010, 12345}) {
    SCOPED_TRACE(position);
    SetPosition(*app, position);
    Locate(*app);
    PlayFile(*app);
    Run(900);
    StopTransport(*app);
    ExpectNoHangingNotes();
  }
}

TEST_F(NoHangingNotes, JumpsWhilePlaying) {
  app->live.rehearsalPoints = {4000, 9000, 15000};
  PlayFile(*app);
  Run(1300);
  ExecuteCommand(*app, kCmdJumpAhead);
  EXPECT_TRUE(app->transport.playingFile.load());
  Run(1700);
  ExecuteCommand(*app, kCmdJumpBack);
  Run(800);
  ExecuteCommand(*app, kCmdJumpAgain);
  Run(1100);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(NoHangingNotes, MutingAndUnmutingTracksWhilePlaying) {
  PlayFile(*app);
  Run(1210);
  for (int t = 0; t < app->piece.trackCount; ++t) SetTrackPlay(*app, t, false);
  Run(700);
  SetTrackPlay(*app, 0, true);
  Run(1333);
  SetTrackPlay(*app, 0, false);
  SetTrackPlay(*app, 1 % app->piece.trackCount, true);
  Run(500);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

// Regression: a note-off sent under a new transposition would end a different
// pitch and leave the old one sounding.
TEST_F(NoHangingNotes, TranspositionChangesWhileNotesSound) {
  PlayFile(*app);
  Run(1210);
  SetMasterTranspose(*app, 5);
  Run(640);
  SetTrackTransposition(*app, 0, -12);
  Run(777);
  SetMasterTranspose(*app, 0);
  Run(300);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(NoHangingNotes, LoopEndPreviewFastForwardAndTheEnd) {
  app->system.loopMode = 1;
  app->live.loopStart = 1000;
  app->live.loopEnd = 3337;
  app->system.restartDelay = 1;
  PlayFile(*app);
  Run(2500);
  EXPECT_FALSE(TransportRunning(*app));
  Run(1100);  // the loop restarts after a second
  EXPECT_TRUE(app->transport.playingFile.load());
  Run(3000);
  ExecuteCommand(*app, kCmdLoopMode);
  StopTransport(*app);
  ExpectNoHangingNotes();

  Preview(*app);
  Run(4100);
  EXPECT_FALSE(TransportRunning(*app));
  ExpectNoHangingNotes();

  FastForward(*app);
  RunToStop();
  ExpectNoHangingNotes();
  // Fast forward reaches the last beat to within its quartered rounding.
  EXPECT_GE(CurrentPosition(*app), app->piece.endPosition - 4);
}

TEST_F(NoHangingNotes, FollowerJumpRestartsFollowingWithoutHangingNotes) {
  app->system.followSource = 1;  // tapped beats: every track plays
  PublishSystemSettings(*app);
  PlayAndFollow(*app);
  ASSERT_TRUE(TransportFollowing(*app));
  Run(1500);
  const int32_t before = CurrentPosition(*app);
  EXPECT_GT(before, 1000);
  TransportFollowerReport(*app, kReportJump, 20000, platform.ClockNow(), kFixOne);
  Run(5);
  EXPECT_TRUE(app->transport.resumingAfterJump);
  EXPECT_TRUE(TransportFollowing(*app));
  EXPECT_GE(CurrentPosition(*app), 20000);
  Run(600);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

}  // namespace
}  // namespace tuttiro::test
