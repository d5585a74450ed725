// The Remote Control, Master Transpose and Tempo dialogs' commit steps on a
// whole player in simulated time: notes assigned in the Remote Control dialog
// drive the transport, and the master tempo re-times a running transport
// without a jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "../transport/playback_fixture.h"
#include "app/app.h"
#include "app/dialog_commit.h"
#include "app/dialog_commit_controls.h"
#include "dialogs/dialogs.h"
#include "dialogs/tempo_dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

class ControlCommit : public test::PlayerWithInputTest {
 protected:
  // A foot switch pressed and released: remote functions act on the release.
  void Press(uint8_t note) {
    platform.InjectInput(input, {0x90, note, 100});
    Run(20);
    platform.InjectInput(input, {0x80, note, 0});
    Run(20);
  }
};

TEST_F(ControlCommit, RemoteNotesFromTheDialogStartJumpAndStopTheTransport) {
  const int32_t rehearsal = *MeasureBeatPosition(app->piece.beatMap, {9, 1});
  app->live.rehearsalPoints = {rehearsal};
  RemoteControlDialog d = OpenRemoteControl(RemoteControlOf(*app), false);
  const std::pair<int, const char*> assigned[] = {
      {1, "C5"}, {5, "D5"}, {7, "E5"}, {13, "F5"}};  // Play File, Stop, Jump Ahead, Special Signal
  for (const auto& [row, note] : assigned) {
    d.model[kRemoteNoteField + row].text = note;
    EXPECT_FALSE(RemoteControlCommand(d, kRemoteNoteField + row));
  }
  CommitRemoteControl(*app, StoreRemoteControl(d));
  EXPECT_EQ(app->engine.follower.specialSignal.load(), 65);

  Press(60);
  EXPECT_TRUE(app->engine.mode.playingFile.load());
  EXPECT_LT(CurrentPosition(*app), rehearsal);
  Press(64);
  EXPECT_TRUE(TransportRunning(*app));
  EXPECT_GE(CurrentPosition(*app), rehearsal);
  Press(62);
  EXPECT_FALSE(TransportRunning(*app));
}

// 50 % in the Tempo dialog halves the beats per minute; committed while the
// file plays, the position goes on from where it was at half the speed.
TEST_F(ControlCommit, TempoReTimesARunningTransportWithoutAJump) {
  const TempoFacts facts = TempoFactsOf(*app);
  ASSERT_GT(facts.currentBpm, 0);
  TempoDialog d = OpenTempo(facts.factor, facts.beatLength, facts.currentBpm);
  d.model[kTempoPercent].text = "50";
  TempoCommand(d, kTempoPercent);
  EXPECT_NEAR(std::stoi(d.model.Text(kTempoBpm)), facts.currentBpm / 2.0, 1);

  PlayFile(*app);
  Run(1000);
  const int32_t before = CurrentPosition(*app);
  CommitTempo(*app, StoreTempo(d));
  EXPECT_EQ(app->live.tempoFactor, 2048);
  EXPECT_EQ(app->engine.clock.tempoFactor.load(), 2048);
  EXPECT_EQ(CurrentPosition(*app), before);
  EXPECT_NEAR(app->engine.scheduler.shownBpm.load(), facts.currentBpm / 2.0, 1);  // at once
  Run(1000);
  EXPECT_NEAR(CurrentPosition(*app) - before, 500, 10);
}

TEST_F(ControlCommit, MasterTransposeReachesTheScoreAndTheInputPath) {
  CommitMasterTranspose(*app, -7);
  EXPECT_EQ(app->live.masterTranspose, -7);
  EXPECT_EQ(app->engine.scheduler.settings.masterTranspose.load(), -7);
  EXPECT_EQ(app->engine.input.settings.masterTranspose.load(), -7);
}

TEST_F(ControlCommit, AMetronomeSetUpWhilePlayingClicksWithItsPatch) {
  PlayFile(*app);
  Run(500);
  const size_t from = Sent().size();
  CommitMetronome(*app, MetronomeValues{1, 0, 9, 12, 75, 127, 75, 100});
  Run(2000);
  const auto sent = SentBytes(from);
  const auto patch = std::find(sent.begin(), sent.end(), test::Bytes{0xC9, 12});
  const auto click = std::find(sent.begin(), sent.end(), test::Bytes{0x99, 75, 127});
  ASSERT_NE(patch, sent.end());
  EXPECT_LT(patch, click);
}

}  // namespace
}  // namespace tuttiro
