// What the Tracks, Banks & Programs and Performance Settings dialogs store is
// what the player then does: a substitute bank and program and a transposition
// set through the dialogs' commit steps are what the output port receives, and
// a track re-routed while it sounds leaves no note hanging.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "app/dialog_commit.h"
#include "app/dialog_commit_tracks.h"
#include "dialogs/banks_dialog.h"
#include "dialogs/dialogs.h"
#include "dialogs/tracks_dialog.h"
#include "engine/performance_playback.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

using namespace dialogs;

class TrackDialogsPlay : public PlaybackTest {
 protected:
  // One track: program 5, then C5 held for `beats` beats (500 ms each).
  void OpenHeldNote(uint32_t beats) {
    SmfBuilder smf = OneTrackPiece();
    smf.Event(0, {0xC0, 5}).Event(0, {0x90, 60, 100}).Event(480 * beats, {0x80, 60, 0}).End();
    OpenBytes(smf.Bytes());
  }
  void Transpose(const std::string& text, int channel) {
    TracksDialog d = OpenTracks(TrackValuesOf(app->piece), OutputPortNames(*app), 0);
    d.model[kTrackTranspose].text = text;
    TracksCommand(d, kTrackTranspose);
    d.model[kTrackChannel].selection = channel;
    TracksCommand(d, kTrackChannel);
    ASSERT_TRUE(d.model.ok.enabled());
    CommitTracks(*app, d.working);
  }
};

TEST_F(TrackDialogsPlay, SubstituteProgramAndTranspositionAreWhatThePortReceives) {
  OpenHeldNote(1);
  BanksDialog banks = OpenBanks(TrackValuesOf(app->piece));
  banks.model[kNewChangeKind].selection = kComboBank0;
  BanksCommand(banks, kNewChangeKind);
  banks.model[kNewValue1].text = "3";
  banks.model[kNewValue2].text = "7";
  BanksCommand(banks, kNewValue2);
  BanksCommand(banks, kSetNew);
  banks.model.CheckRadio(std::vector<int>{kUseFilesPrograms, kSubstitutePrograms},
                         kSubstitutePrograms);
  BanksCommand(banks, kSubstitutePrograms);
  CommitTracks(*app, banks.working);
  Transpose("+2", 0);

  PlayFile(*app);
  RunToStop();
  const std::vector<Bytes> sent = SentBytes();
  const Bytes bank{0xB0, 0, 3};
  const Bytes program{0xC0, 7};
  EXPECT_EQ(CountBytes(sent, bank), 1);
  EXPECT_EQ(CountBytes(sent, program), 1);
  EXPECT_EQ(CountBytes(sent, Bytes{0xC0, 5}), 0) << "the file's program is replaced";
  const auto at = [&](const Bytes& b) { return std::find(sent.begin(), sent.end(), b); };
  EXPECT_LT(at(bank), at(program));
  const auto noteOn = std::find_if(sent.begin(), sent.end(), [](const Bytes& b) {
    return b.size() == 3 && b[0] == 0x90 && b[2] > 0;
  });
  ASSERT_NE(noteOn, sent.end());
  EXPECT_EQ((*noteOn)[1], 62);
  EXPECT_LT(at(program), noteOn);
  ExpectNoHangingNotes();
}

TEST_F(TrackDialogsPlay, ReroutingASoundingTrackReleasesItsNotesAndNothingHangs) {
  OpenHeldNote(4);
  PlayFile(*app);
  Run(500);
  const size_t before = Sent().size();
  Transpose("+5", 2);
  const std::vector<Bytes> atCommit = SentBytes(before);
  EXPECT_EQ(CountBytes(atCommit, Bytes{0x80, 60, 64}), 1) << "released where it sounded";
  EXPECT_EQ(app->piece.tracks[0].outputChannel, 2);
  RunToStop();
  EXPECT_FALSE(TransportRunning(*app));
  ExpectNoHangingNotes();
}

TEST_F(TrackDialogsPlay, PerformanceSettingsReachTheSettingsTheTrackAndThePlayer) {
  Open("Ecossaise");
  PerformanceValues v = PerformanceValuesOf(*app);
  v.performancePlayback = 2;
  v.playTappedNotes = 1;
  v.usesOwnPort = 1;
  v.outputPort = 1;
  v.outputChannel = 4;
  v.program = {kComboProgram, {33, 0, 0}};
  v.performanceTempo = {1, 0, 2};
  CommitPerformance(*app, v);
  EXPECT_EQ(app->engine.scheduler.settings.performancePlayback.load(), 2);
  EXPECT_TRUE(app->engine.scheduler.settings.playTappedNotes.load());
  const TrackRec& performance = app->piece.performanceTrack();
  EXPECT_EQ(performance.outputPort, 1);
  EXPECT_EQ(performance.programCombos[0].substitute, v.program);
  EXPECT_EQ(PerformanceValuesOf(*app), v) << "the dialog opens again on what it stored";

  // While a performance plays through the following track's output, the
  // dialog shows and sets the performance's own, which the stop puts back.
  app->live.performanceUsesOwnPort = 0;
  app->engine.mode.playingPerformance = true;
  PerformanceTakeOutput(app->engine, app->live);
  EXPECT_EQ(PerformanceValuesOf(*app).outputChannel, 4);
  v.outputChannel = 7;
  CommitPerformance(*app, v);
  EXPECT_EQ(performance.outputChannel, app->piece.tracks[0].outputChannel) << "not halfway";
  app->engine.mode.playingPerformance = false;
  PerformanceRestoreOutput(app->engine);
  EXPECT_EQ(performance.outputChannel, 7);

  // With no piece there is no performance track: the settings alone are kept.
  ReleasePiece(app->piece);
  v.performancePlayback = 1;
  CommitPerformance(*app, PerformanceValuesOf(*app));
  CommitPerformance(*app, v);
  EXPECT_EQ(app->system.performancePlayback, 1);
}

}  // namespace
}  // namespace tuttiro::test
