// No path leaves a note sounding: stop, locate, jumps, muting a track, the loop
// end, the end of the piece, Preview, Fast Forward and a follower's jump all
// end with a note-off for every note-on sent.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "app/dialog_commit_tracks.h"
#include "piece/track_values.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

class NoHangingNotes : public PlaybackTest {
 protected:
  void SetUp() override { Open("Raggedy Rag"); }
  // Tracks dialog OK with one track's transposition changed.
  void TransposeInTracksDialog(int track, int16_t semitones) {
    std::vector<TrackValues> tracks;
    for (int t = 0; t < app->piece.trackCount; ++t) {
      tracks.push_back(TrackValuesOf(app->piece.tracks[static_cast<size_t>(t)]));
    }
    tracks[static_cast<size_t>(track)].transposition = semitones;
    CommitTracks(*app, tracks);
  }
};

TEST_F(NoHangingNotes, StoppingLocatingJumpingTransposingAndMutingWhileNotesSound) {
  app->live.rehearsalPoints = {4000, 9000, 15000};
  const auto command = [this](uint16_t id) { return [this, id] { ExecuteCommand(*app, id); }; };
  // Each case starts at `from` (-1: where the last one stopped), runs and acts
  // in turn while playing, then stops.
  struct Case {
    int32_t from;
    std::vector<std::pair<SystemTime, std::function<void()>>> steps;
  };
  std::vector<Case> cases;
  // Stop times that fall inside notes of every length.
  for (SystemTime ms : {1, 137, 333, 1250, 2901, 4444}) cases.push_back({-1, {{ms, nullptr}}});
  // Starting inside held notes.
  for (int32_t position : {777, 3010, 12345}) cases.push_back({position, {{900, nullptr}}});
  cases.push_back({0,
                   {{1300, command(kCmdJumpAhead)},
                    {1700, command(kCmdJumpBack)},
                    {800, command(kCmdJumpAgain)},
                    {1100, nullptr}}});
  // Regression: a note-off sent under a new transposition would end a
  // different pitch and leave the old one sounding.
  cases.push_back({0,
                   {{1210, [this] { SetMasterTranspose(*app, 5); }},
                    {640, [this] { TransposeInTracksDialog(0, -12); }},
                    {777, [this] { SetMasterTranspose(*app, 0); }},
                    {300, nullptr}}});
  cases.push_back({0,
                   {{1210,
                     [this] {
                       for (int t = 0; t < app->piece.trackCount; ++t) SetTrackPlay(*app, t, false);
                     }},
                    {700, [this] { SetTrackPlay(*app, 0, true); }},
                    {1333,
                     [this] {
                       SetTrackPlay(*app, 0, false);
                       SetTrackPlay(*app, 1 % app->piece.trackCount, true);
                     }},
                    {500, nullptr}}});
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    if (cases[i].from >= 0) {
      LocateAt(cases[i].from);
    }
    PlayFile(*app);
    for (const auto& [ms, act] : cases[i].steps) {
      Run(ms);
      ASSERT_TRUE(app->engine.mode.playingFile.load());
      if (act) act();
    }
    StopTransport(*app);
    ExpectNoHangingNotes();
  }
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
  EXPECT_TRUE(app->engine.mode.playingFile.load());
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
  EngineFollowerReport(app->engine, kReportJump, 20000, platform.ClockNow(), kFixOne);
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
