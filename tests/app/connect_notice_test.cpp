// The notice of what to connect: its rules step by step, and on a whole player
// in simulated time, from Play and Follow with no input device to a soloist
// who is heard, and "Don't Show Again".
#include "app/connect_notice.h"

#include <gtest/gtest.h>

#include "../transport/playback_fixture.h"

namespace tuttiro {
namespace {

TEST(ConnectNotice, ShowsForTheMissingDeviceAndTheSilenceAndGoesWithTheirReason) {
  enum Act { kPass, kClose };
  struct Step {
    const char* what;
    Act act;
    ConnectFacts facts;
    ConnectNotice want;
  };
  using enum ConnectNotice;
  // enabled, following, listening, anyInput, notesHeard, now
  const Step steps[] = {
      {"stopped, nothing connected", kPass, {true, false, false, false, 0, 0}, kNone},
      {"Start Automatically listens", kPass, {true, false, true, false, 0, 100}, kNoInput},
      {"a keyboard is plugged in", kPass, {true, false, true, true, 0, 200}, kNone},
      {"Play and Follow begins", kPass, {true, true, true, true, 3, 1000}, kNone},
      {"9.9 s of silence", kPass, {true, true, true, true, 3, 10900}, kNone},
      {"10 s of silence", kPass, {true, true, true, true, 3, 11000}, kNothingHeard},
      {"a note is heard", kPass, {true, true, true, true, 4, 11100}, kNone},
      {"stopped", kPass, {true, false, false, true, 4, 12000}, kNone},
      {"following again, silent", kPass, {true, true, true, true, 4, 13000}, kNone},
      {"its 10 s are its own", kPass, {true, true, true, true, 4, 23000}, kNothingHeard},
      {"closed", kClose, {true, true, true, true, 4, 23100}, kNone},
      {"stays closed", kPass, {true, true, true, true, 4, 40000}, kNone},
      {"stopped, unplugged", kPass, {true, false, false, false, 4, 41000}, kNone},
      {"following opens it again", kPass, {true, true, true, false, 4, 42000}, kNoInput},
      {"Don't Show Again", kPass, {false, true, true, false, 4, 43000}, kNone},
  };
  ConnectNoticeRec rec;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.act == kClose) {
      ConnectNoticeClose(rec);
    } else {
      ConnectNoticeStep(rec, s.facts);
    }
    EXPECT_EQ(rec.shown, s.want);
  }
  EXPECT_TRUE(ConnectNoticeText(kNone).empty());
  EXPECT_NE(ConnectNoticeText(kNoInput).find("no MIDI input"), std::string::npos);
}

class ConnectNoticePlayer : public test::PlaybackTest {
 protected:
  void SetUp() override { Open("Ecossaise"); }
  void PlayAndFollow() {
    QueueCommand(app->engine.commands, kCmdPlayAndFollow);
    IdlePass(*app);
    ASSERT_TRUE(TransportFollowing(*app));
  }
};

TEST_F(ConnectNoticePlayer, PlayAndFollowWithNoInputSaysWhatToConnectUntilNeverAgain) {
  ASSERT_TRUE(host.notice.empty());
  PlayAndFollow();
  EXPECT_NE(host.notice.find("no MIDI input is connected"), std::string::npos) << host.notice;
  Run(500);
  EXPECT_TRUE(TransportFollowing(*app)) << "the music goes on under the notice";
  ConnectNoticeNeverAgain(*app);
  EXPECT_TRUE(host.notice.empty());
  EXPECT_EQ(app->system.connectNotice, 0);
  Run(11000);
  EXPECT_TRUE(host.notice.empty());
}

TEST_F(ConnectNoticePlayer, TenSilentSecondsOfFollowingAskWhetherTheKeyboardIsConnected) {
  const int keyboard = platform.AddInputDevice("Keyboard");
  app->engine.ports.inputDevice.fill(-1);
  app->engine.ports.inputDevice[0] = static_cast<int16_t>(keyboard);
  MidiOpenInputs(app->engine.ports, nullptr);
  PlayAndFollow();
  Run(9000);
  EXPECT_TRUE(host.notice.empty());
  Run(1100);
  EXPECT_NE(host.notice.find("heard no note"), std::string::npos) << host.notice;
  platform.ScheduleInput(keyboard, platform.ClockNow() + 10, {0x90, 60, 90});
  Run(50);
  EXPECT_TRUE(host.notice.empty());
  StopTransport(*app);
}

}  // namespace
}  // namespace tuttiro
