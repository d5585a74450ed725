// The command table: every id reaches its operation, the transport's buttons
// flash, the view, track and Incoming MIDI commands change what they name, and
// the space bar's rule (which needs a piece).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/dispatch.h"
#include "app/help.h"
#include "shell_fixture.h"
#include "transport/midi_state.h"

namespace tuttiro::test {
namespace {

class CommandTableTest : public ShellTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
  bool Dispatch(int id) { return DispatchCommand(*shell, id); }
  int LastFlash() const { return host.flashes.empty() ? -1 : host.flashes.back(); }
};

TEST_F(CommandTableTest, EveryMenuItemHasAnAction) {
  for (const MenuRow& row : ui.menuRows) {
    if (row.kind != MenuRowKind::kItem) continue;
    if (row.id == kIdExit || row.id == kIdMidiReset) continue;  // would end or ask
    SCOPED_TRACE(row.id);
    EXPECT_TRUE(Dispatch(row.id));
    if (TransportRunning(*app)) StopTransport(*app);
  }
  for (int id : {0, 1, 14, 20, 99, 111, 134, 148, 163, 218, 219, 359, 365, 1000}) {
    EXPECT_FALSE(Dispatch(id)) << id;
  }
}

TEST_F(CommandTableTest, TransportCommandsRunTheirModeAndFlashItsButton) {
  struct Case {
    int id;
    bool (*inMode)(AppRec&);
    int box;
  };
  const Case cases[] = {
      {kIdPlayFile, [](AppRec& a) { return a.engine.mode.playingFile.load(); }, kBoxPlayFile},
      {kIdPlayAndFollow, TransportFollowing, kBoxPlayAndFollow},
      {kIdFastForward, TransportFastForward, kBoxFastForward},
      {kIdRewind, TransportRewinding, kBoxRewind},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    SetPosition(*app, 5000);  // somewhere to rewind from
    Locate(*app);
    ASSERT_TRUE(Dispatch(c.id));
    EXPECT_TRUE(c.inMode(*app));
    EXPECT_EQ(LastFlash(), c.box);
    ASSERT_TRUE(Dispatch(kIdStop));
    EXPECT_FALSE(TransportRunning(*app));
    EXPECT_EQ(LastFlash(), kBoxStop);
  }

  // Preview flashes its button before it starts.
  const size_t flashesBefore = host.flashes.size();
  Dispatch(kIdPreview);
  ASSERT_GT(host.flashes.size(), flashesBefore);
  EXPECT_EQ(host.flashes[flashesBefore], kBoxPreview);
  EXPECT_EQ(app->transport.previewStage, PreviewStage::kPreview);
  PreviewEnd(*app);
}

TEST_F(CommandTableTest, JumpsMoveThePositionAndJumpToAsksForALocation) {
  const auto& points = app->live.rehearsalPoints;
  const auto next = std::find_if(points.begin(), points.end(), [](int32_t p) { return p > 0; });
  Dispatch(kIdJumpAhead);
  EXPECT_EQ(CurrentPosition(*app), next == points.end() ? app->piece.endPosition : *next);
  Dispatch(kIdJumpBack);
  EXPECT_LT(CurrentPosition(*app), app->piece.endPosition);
  Dispatch(kIdJumpTo);
  EXPECT_EQ(host.locationDialogs, 1);
}

TEST_F(CommandTableTest, AllNotesOffSendsAndMidiResetAsksFirst) {
  const size_t before = platform.Sent(0).size();
  Dispatch(kIdAllNotesOff);
  EXPECT_GT(platform.Sent(0).size(), before);
  host.answerOk = false;
  Dispatch(kIdMidiReset);
  EXPECT_EQ(host.questions.size(), 1u);
}

TEST_F(CommandTableTest, ViewCommandsToggleTheViewsAndTheirMenu) {
  Dispatch(105);  // Measure:Beat is view 5
  EXPECT_EQ(app->live.viewVisible[5], 0);
  EXPECT_FALSE(host.Checked(105));
  EXPECT_TRUE(host.Enabled(kIdShowAllViews));

  Dispatch(kIdShowAllViews);
  EXPECT_EQ(app->live.viewVisible[5], 1);
  EXPECT_TRUE(host.Checked(105));
  EXPECT_FALSE(host.Enabled(kIdShowAllViews));
  Dispatch(kIdShowAllViews);  // with every view shown it changes nothing
  EXPECT_TRUE(std::all_of(app->live.viewVisible.begin(), app->live.viewVisible.end(),
                          [](uint8_t v) { return v == 1; }));

  Dispatch(kIdHideAllViews);
  for (int id = 100; id <= 107; ++id) EXPECT_FALSE(host.Checked(id)) << id;
  EXPECT_FALSE(host.Enabled(kIdHideAllViews));
  EXPECT_TRUE(host.Enabled(kIdShowAllViews));
}

TEST_F(CommandTableTest, TrackCommandsChangeEveryTrackWithThePerformanceTrack) {
  for (TrackRec& track : app->piece.tracks) track.volume = 100;
  Dispatch(kIdResetVolumes);
  for (const TrackRec& track : app->piece.tracks) EXPECT_EQ(track.volume, 256);
  EXPECT_FALSE(host.Enabled(kIdResetVolumes));
  EXPECT_EQ(host.stripsRedrawn.size(), static_cast<size_t>(app->piece.trackCount) + 1);

  Dispatch(kIdOutputPortFirst + 2);
  for (const TrackRec& track : app->piece.tracks) EXPECT_EQ(track.outputPort, 2);
}

TEST_F(CommandTableTest, DialogCommandsOpenTheirDialogs) {
  for (const DialogInfo& dialog : DialogTable()) {
    if (dialog.command == 0) continue;
    Dispatch(dialog.command);
  }
  // Every one through the one runner, MIDI Ports & Devices included.
  EXPECT_EQ(host.dialogs, (std::vector<int>{1300, 200, 1400, 800, 600, 400, 300, 1500, 700, 1700,
                                            900, 1000, 1100, 1600}));
}

TEST_F(CommandTableTest, BuiltinPiecesOpenByTheirMenuTextAndAreChecked) {
  Dispatch(kIdOpenBuiltinFirst + 2);
  EXPECT_EQ(app->piece.piecePath, "Folk Dance");
  EXPECT_TRUE(host.Checked(17));
  EXPECT_FALSE(host.Checked(15));
}

TEST_F(CommandTableTest, HelpAboutAndExit) {
  Dispatch(kIdHelpTopics);
  Dispatch(kIdHelpContents);
  Dispatch(kIdHelpOnHelp);
  EXPECT_EQ(ui.helpPages,
            (std::vector<std::string>{"contents.html", "contents.html", "using-help.html"}));
  EXPECT_FALSE(ui.helpSearch);
  Dispatch(kIdHelpSearch);
  EXPECT_TRUE(ui.helpSearch);
  Dispatch(kIdAbout);
  EXPECT_EQ(ui.abouts, 1);

  Dispatch(kIdPlayFile);
  Dispatch(kIdExit);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(LastFlash(), kBoxStop);
  EXPECT_EQ(ui.closes, 1);
}

TEST_F(CommandTableTest, SpaceBarStartsAndStopsOnItsFirstKeyDownOnly) {
  SpaceBarDown(*app, false);
  EXPECT_TRUE(TransportFollowing(*app));
  EXPECT_EQ(LastFlash(), kBoxPlayAndFollow);
  SpaceBarDown(*app, true);  // the key held down repeats: nothing
  SpaceBarDown(*app, true);
  EXPECT_TRUE(TransportRunning(*app));
  SpaceBarDown(*app, false);
  EXPECT_FALSE(TransportRunning(*app));
  EXPECT_EQ(LastFlash(), kBoxStop);
  SpaceBarDown(*app, true);
  EXPECT_FALSE(TransportRunning(*app));
  ReleasePiece(app->piece);  // without a piece it does nothing
  SpaceBarDown(*app, false);
  EXPECT_FALSE(TransportRunning(*app));
}

TEST_F(CommandTableTest, SpaceBarTappingTheBeatsDoesNotStop) {
  app->system.followSource = 1;  // tapped beats
  app->system.tapSource = 0;     // on the space bar
  PublishSystemSettings(*app);
  SpaceBarDown(*app, false);
  ASSERT_TRUE(TransportFollowing(*app));
  EXPECT_EQ(app->engine.mode.followerInputMode.load(), kInputKeyTaps);
  SpaceBarDown(*app, false);
  EXPECT_TRUE(TransportRunning(*app));
  StopTransport(*app);

  app->system.tapSource = 1;  // taps on the right mouse button: the space bar stops
  SpaceBarDown(*app, false);
  SpaceBarDown(*app, false);
  EXPECT_FALSE(TransportRunning(*app));
}

class IncomingMidiTest : public ShellTest {
 protected:
  IncomingMidiTest() : ShellTest(2) {}
  void SetUp() override {
    ASSERT_TRUE(Start());
    // Ports A and B listen to input device 0, the others to device 1.
    SystemSettings settings = app->system;
    for (size_t p = 2; p < 8; ++p) settings.inputDevice[p] = 1;
    ApplySystemSettings(*shell, settings);
  }
  bool On(int port, int channel) {
    const size_t i = static_cast<size_t>(port * 16 + channel);
    EXPECT_EQ(app->system.incomingChannels[i] != 0, app->engine.ports.channelEnable[i].load() != 0);
    EXPECT_EQ(app->system.incomingChannels[i] != 0, host.Checked(202 + 20 * port + channel));
    return app->system.incomingChannels[i] != 0;
  }
};

TEST_F(IncomingMidiTest, ChannelSwitchesActOnEveryPortSharingTheDevice) {
  ASSERT_TRUE(On(0, 2) && On(1, 2) && On(2, 2));
  DispatchCommand(*shell, 202 + 2);  // port A, channel 3
  EXPECT_FALSE(On(0, 2));
  EXPECT_FALSE(On(1, 2));
  EXPECT_TRUE(On(2, 2));

  DispatchCommand(*shell, 221);  // None on port B
  for (int c = 0; c < 16; ++c) {
    EXPECT_FALSE(On(0, c));
    EXPECT_FALSE(On(1, c));
    EXPECT_TRUE(On(3, c));
  }
  DispatchCommand(*shell, 200);  // All on port A
  for (int c = 0; c < 16; ++c) EXPECT_TRUE(On(0, c) && On(1, c));
}

}  // namespace
}  // namespace tuttiro::test
