// The dialogs' commit steps on a whole player: what the settings, the follower,
// the scheduler's and input path's published copies, the transport and the
// views get on OK; and every dialog of the Following and location families
// committed again and again while Play and Follow runs with notes arriving from
// another thread (run under ThreadSanitizer by ./test).
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "../transport/playback_fixture.h"
#include "app/app.h"
#include "app/dialog_commit.h"
#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "dialogs/location_dialogs.h"
#include "string_table.h"

namespace tuttiro {
namespace {

using DialogCommit = test::PlayerWithInputTest;

TEST_F(DialogCommit, FollowingHandsTheFollowerItsScoreOptionsAndInputMode) {
  app->transport.performanceAvailable = true;
  FollowingValues v = FollowingValuesOf(*app);
  v.timingSensitivity = 2;
  v.autoJump = 0;
  v.waitForSolo = 1;
  v.volumeSensitivity = 0;
  CommitFollowing(*app, v);
  // Only the timing level changed: the recorded performance stays.
  EXPECT_TRUE(app->transport.performanceAvailable);
  EXPECT_EQ(app->engine.follower.options.level, 2);
  EXPECT_FALSE(app->engine.follower.options.autoJump);
  EXPECT_TRUE(app->engine.follower.options.waitForStart);
  EXPECT_EQ(app->engine.input.settings.volumeSensitivity.load(), 0);
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  EXPECT_FALSE(app->engine.follower.chords.empty());

  // Tapped beats: the follower gets the beats, the input path the tap source,
  // and the input mode is none while stopped; the performance is discarded.
  v.followSource = 1;
  v.tapSource = 2;
  v.tapNote = 60;
  CommitFollowing(*app, v);
  EXPECT_FALSE(app->transport.performanceAvailable);
  EXPECT_TRUE(app->engine.follower.chords.empty());
  EXPECT_EQ(app->engine.follower.tapBeats.size(), app->piece.beatMap.size());
  EXPECT_EQ(app->engine.input.settings.tapSource.load(), 2);
  EXPECT_EQ(app->engine.input.settings.tapNote.load(), 60);
  EXPECT_EQ(app->engine.scheduler.settings.followSource.load(), 1);
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputNone);

  // A new first track: its strip and the old one are redrawn.
  v.followSource = 0;
  app->transport.performanceAvailable = true;
  host.stripsRedrawn.clear();
  v.followTrack1 = 1;
  CommitFollowing(*app, v);
  EXPECT_FALSE(app->transport.performanceAvailable);
  EXPECT_GT(host.stripsRedrawn[0], 0);
  EXPECT_GT(host.stripsRedrawn[1], 0);
  EXPECT_EQ(app->live.followTrack1, 1);
}

TEST_F(DialogCommit, ANewFollowingTrackWhileFollowingGivesTheOldOneItsSoundBack) {
  const int16_t first = app->live.followTrack1;
  ASSERT_EQ(app->piece.tracks[static_cast<size_t>(first)].play, 1);
  PlayAndFollow(*app);
  Run(200);
  ASSERT_TRUE(TransportFollowing(*app));
  EXPECT_EQ(app->piece.tracks[static_cast<size_t>(first)].play, 0);  // the soloist's part
  FollowingValues v = FollowingValuesOf(*app);
  v.followTrack1 = static_cast<int16_t>(first + 1);
  CommitFollowing(*app, v);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(app->piece.tracks[static_cast<size_t>(first)].play, 1);
  EXPECT_EQ(app->piece.tracks[static_cast<size_t>(first + 1)].play, 1);
  EXPECT_EQ(app->live.followTrack1, first + 1);
}

TEST_F(DialogCommit, SpecialMarkersStoreMergeAndWarnOfAnUndefinedSignal) {
  MarkerLists lists;
  lists.rehearsalPoints = {2000};
  lists.waitForSignal = {4000};
  lists.ignoreSoloist = {{0, 2000}, {1000, 3000}};
  CommitSpecialMarkers(*app, lists);
  EXPECT_EQ(host.messages, std::vector<int>{kStringSpecialSignalUndefined});
  EXPECT_EQ(app->live.rehearsalPoints, std::vector<int32_t>{2000});
  EXPECT_EQ(app->live.waitForSignalMarkers, std::vector<int32_t>{4000});  // kept
  EXPECT_EQ(app->live.ignoreSoloistRanges, (std::vector<MarkerRange>{{0, 3000}}));
  ASSERT_EQ(app->engine.follower.ignoreRanges.size(), 1u);
  EXPECT_EQ(app->engine.follower.ignoreRanges[0].end, 3000);
  EXPECT_EQ(app->engine.follower.waitForSignal.positions, std::vector<int32_t>{4000});

  // With a special signal, or while following tapped beats, no warning.
  host.messages.clear();
  app->system.remoteControl[kRemoteControlEntries - 1] = 60;
  CommitSpecialMarkers(*app, lists);
  app->system.remoteControl[kRemoteControlEntries - 1] = kRemoteNone;
  app->system.followSource = 1;
  CommitSpecialMarkers(*app, lists);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DialogCommit, LoopModeLightsTheButtonAndPublishesTheLoop) {
  LoopValues v = LoopValuesOf(*app);
  v.loopMode = 1;
  v.loopStart = 2000;
  v.loopEnd = 6000;
  v.restartDelay = 10;
  CommitLoopMode(*app, v);
  EXPECT_EQ(app->views.boxImage[kBoxLoopMode], kImageOn);
  EXPECT_TRUE(app->engine.scheduler.settings.loopMode.load());
  EXPECT_EQ(app->engine.scheduler.settings.loopEnd.load(), 6000);
  EXPECT_EQ(app->engine.scheduler.settings.restartDelay.load(), 10);
  EXPECT_EQ(LoopValuesOf(*app), v);
  v.loopMode = 0;
  CommitLoopMode(*app, v);
  EXPECT_EQ(app->views.boxImage[kBoxLoopMode], kImageNormal);
  EXPECT_FALSE(app->engine.scheduler.settings.loopMode.load());
}

TEST_F(DialogCommit, DisplayNameAndViewPreferences) {
  CommitDisplayName(*app, std::string("Country Dance"));
  EXPECT_EQ(app->views.title, "Country Dance");
  CommitDisplayName(*app, std::nullopt);
  EXPECT_EQ(app->views.title, app->piece.pieceFileName);
  // File Information names the file as the title does: keeping that name keeps
  // no display name.
  const FileInformationDialog info = OpenFileInformation(FileFactsOf(*app));
  EXPECT_EQ(info.model.Text(dialogs::kDisplayName), app->views.title);
  EXPECT_FALSE(StoreDisplayName(info).has_value());
  CommitDisplayPreferences(*app, DisplayValues{0, 1, 0});
  EXPECT_EQ(DisplayValuesOf(*app), (DisplayValues{0, 1, 0}));
}

TEST_F(DialogCommit, CaptureDialogHasTheInputToItselfAndRestoresTheMode) {
  std::vector<uint32_t> learned;
  app->engine.input.learn = [&learned](uint32_t m) { learned.push_back(m); };
  ASSERT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  app->system.midiThru = 1;
  PublishSystemSettings(*app);
  const size_t sentBefore = platform.Sent(0).size();
  const CaptureRec capture = CaptureOpen(*app);
  CaptureSwitch(*app, capture, true);
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputLearning);
  platform.InjectInput(input, {0x91, 60, 100});
  EXPECT_EQ(learned, std::vector<uint32_t>{0x643C90});
  EXPECT_EQ(platform.Sent(0).size(), sentBefore);  // no thru while capturing
  CaptureSwitch(*app, capture, false);
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  CaptureSwitch(*app, capture, true);
  CaptureClose(*app, capture);
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  EXPECT_FALSE(app->engine.input.learningDialogOpen.load());
  platform.InjectInput(input, {0x91, 62, 100});
  EXPECT_EQ(learned.size(), 1u);
  EXPECT_GT(platform.Sent(0).size(), sentBefore);  // thru again
}

// Every dialog's commit (and Jump to...'s location) while Play and Follow runs and a soloist plays
// from another thread: the settings other threads read are published whole, the follower gets what
// it could not take while following once it stops, and no note is left sounding.
TEST_F(DialogCommit, CommittingWhilePlayAndFollowRunsWithNotesArriving) {
  PlayAndFollow(*app);
  ASSERT_TRUE(TransportFollowing(*app));
  std::atomic<bool> done{false};
  std::thread soloistThread([&] {
    uint8_t note = 60;
    while (!done.load()) {
      platform.InjectInput(input, {0x90, note, 90});
      platform.InjectInput(input, {0x80, note, 0});
      note = static_cast<uint8_t>(60 + (note - 59) % 12);
      std::this_thread::yield();
    }
  });
  FollowingValues following = FollowingValuesOf(*app);
  LoopValues loop = LoopValuesOf(*app);
  int roundsFollowing = 0;
  for (int round = 0; round < 40; ++round) {
    if (TransportFollowing(*app)) ++roundsFollowing;
    following.timingSensitivity = static_cast<int16_t>(2 + round % 3);
    following.volumeSensitivity = static_cast<int16_t>(round % 4);
    following.tapNote = static_cast<uint8_t>(40 + round);
    CommitFollowing(*app, following);
    MarkerLists markers = MarkerListsOf(*app);
    markers.restoreTempo = {1000 * round};
    CommitSpecialMarkers(*app, markers);
    loop.loopEnd = 20000 + round;
    CommitLoopMode(*app, loop);
    CommitDisplayPreferences(*app, DisplayValues{1, static_cast<uint8_t>(round % 2), 1});
    CommitDisplayName(*app, round % 2 ? std::optional<std::string>("Take") : std::nullopt);
    if (round % 8 == 7) {  // Jump to... stops and goes on following at the new place
      host.locationAnswer = 1000 * round;
      JumpTo(*app);
    }
    Run(20);
  }
  EXPECT_GE(roundsFollowing, 20);
  StopTransport(*app);
  done.store(true);
  soloistThread.join();
  IdlePass(*app);
  EXPECT_EQ(app->followerPending, 0);
  EXPECT_EQ(app->engine.follower.options.level, following.timingSensitivity);
  EXPECT_EQ(app->engine.follower.restoreTempo.positions, app->live.restoreTempoMarkers);
  EXPECT_EQ(app->engine.input.settings.volumeSensitivity.load(), following.volumeSensitivity);
  platform.RunFor(100);
  std::map<std::pair<int, int>, int> sounding;
  for (const auto& m : platform.Sent(0)) {
    if (m.bytes.size() < 3 || (m.bytes[0] & 0xE0) != 0x80) continue;
    int& count = sounding[{m.bytes[0] & 0x0F, m.bytes[1]}];
    count = (m.bytes[0] & 0xF0) == 0x90 && m.bytes[2] > 0 ? count + 1 : std::max(0, count - 1);
  }
  for (const auto& [key, count] : sounding) EXPECT_EQ(count, 0) << key.first << " " << key.second;
}

}  // namespace
}  // namespace tuttiro
