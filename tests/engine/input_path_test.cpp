// The MIDI input path on the engine alone (no application around it): note
// clean-up and key bounces, channel switches, MIDI Thru, remote control, tap
// detection, the performance recording, and the played time of a note that
// reaches the follower.
#include <gtest/gtest.h>

#include <vector>

#include "allocation_counter.h"
#include "engine/follower_settings.h"
#include "engine_fixture.h"

namespace tuttiro::test {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Msg(uint8_t status, uint8_t d1, uint8_t d2) {
  return status | static_cast<uint32_t>(d1) << 8 | static_cast<uint32_t>(d2) << 16;
}

class InputPathTest : public ::testing::Test, public EngineFixture {
 protected:
  InputPathTest() {
    MidiOpenOutputs(engine.ports, nullptr);
    input.inputBlocked = false;
    engine.mode.followerInputMode = kInputSoloistNotes;
    RecordingStart(input, 0);
  }
  void In(uint32_t message, SystemTime t, int port = 0) { ProcessInput(engine, message, t, port); }
  std::vector<uint32_t> Recorded() {
    std::vector<uint32_t> out;
    const RecordedMessages& messages = input.recording.messages;
    for (size_t i = 0; i < messages.size(); ++i) out.push_back(messages[i].message);
    return out;
  }
  void Take() { InputTakeSettings(input, system, 0); }
  std::vector<Bytes> SentBytes() const {
    std::vector<Bytes> out;
    for (const auto& m : platform.Sent(0)) out.push_back(m.bytes);
    return out;
  }

  InputPathRec& input = engine.input;
};

TEST_F(InputPathTest, NotesAreCleanedUpAndKeyBouncesDropped) {
  In(Msg(0x93, 60, 90), 1000);
  In(Msg(0x93, 60, 0), 1101);   // velocity 0 is a note-off
  In(Msg(0x93, 60, 90), 1150);  // 49 ms after its release: a bounce
  In(Msg(0x83, 60, 0), 1161);   // ... and the bounce's own release goes with it
  In(Msg(0x93, 60, 90), 1211);  // 50 ms after the last release: a note
  In(Msg(0x83, 60, 0), 1300);
  In(Msg(0x83, 60, 0), 1400);  // a second note-off without a note-on between
  EXPECT_EQ(Recorded(), (std::vector<uint32_t>{Msg(0x90, 60, 90), Msg(0x80, 60, 0),
                                               Msg(0x90, 60, 90), Msg(0x80, 60, 0)}));
}

TEST_F(InputPathTest, SwitchedOffChannelsAndBlockedInputAreIgnored) {
  engine.ports.channelEnable[1 * 16 + 4] = 0;
  In(Msg(0x94, 60, 90), 1000, 1);
  In(Msg(0x94, 60, 90), 1000, 0);  // the same channel on another port is listened to
  input.inputBlocked = true;
  In(Msg(0x95, 62, 90), 1200);
  In(Msg(0x95, 62, 90), 1200, 9);  // no such port
  EXPECT_EQ(Recorded(), (std::vector<uint32_t>{Msg(0x90, 60, 90)}));
}

// What is echoed as received, in both orders, is checked end to end in
// live_following_test.cpp; here the channel rewrite and blocked input.
TEST_F(InputPathTest, ThruAfterProcessingRewritesTheChannelAndSkipsBlockedInput) {
  system.midiThru = 1;
  system.thruChannel = 9;
  system.thruProcessFirst = 1;
  Take();
  In(Msg(0x92, 65, 70), 1020);
  input.inputBlocked = true;
  In(Msg(0x92, 66, 70), 1030);
  platform.RunFor(1);
  EXPECT_EQ(SentBytes(), (std::vector<Bytes>{{0x99, 65, 70}}));
}

// MIDI clock, time code and active sensing pass through unchanged, before or
// after processing, and nothing records or follows them.
TEST_F(InputPathTest, ThruEchoesSystemMessagesThatNothingElseTakes) {
  system.midiThru = 1;
  system.thruChannel = 9;
  for (const uint8_t first : {0, 1}) {
    system.thruProcessFirst = first;
    Take();
    In(0xF8, 1000);
    In(0xF1 | 0x23 << 8, 1001);
    In(0xFE, 1002);
  }
  platform.RunFor(1);
  const std::vector<Bytes> once = {{0xF8}, {0xF1, 0x23}, {0xFE}};
  std::vector<Bytes> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(SentBytes(), twice);
  EXPECT_TRUE(Recorded().empty());
}

TEST_F(InputPathTest, RemoteControlActsOnReleaseAndNeverReachesTheRecording) {
  system.remoteControl[kCmdPlayFile] = 36;
  system.remoteControl[kCmdMetronome] = kRemoteControllerBase + 64;
  Take();
  In(Msg(0x90, 36, 100), 1000);
  EXPECT_TRUE(CommandQueueEmpty(engine.commands));  // the press does nothing
  In(Msg(0x90, 36, 0), 1100);
  In(Msg(0xB0, 64, 127), 1200);
  In(Msg(0xB0, 64, 0), 1300);
  EXPECT_EQ(TakeCommand(engine.commands), kCmdPlayFile);
  EXPECT_EQ(TakeCommand(engine.commands), kCmdMetronome);
  engine.mode.playingFile = true;  // the same function while it runs stops it
  In(Msg(0x90, 36, 100), 1400);
  In(Msg(0x80, 36, 0), 1500);
  EXPECT_EQ(TakeCommand(engine.commands), kCmdStop);
  EXPECT_TRUE(Recorded().empty());
}

TEST_F(InputPathTest, ControllerTapsNeedToFallBelow56BeforeTappingAgain) {
  system.tapSource = 4;
  system.tapController = 11;
  Take();
  engine.mode.followerInputMode = kInputMidiTaps;
  auto state = [&] { return input.controllerTap[11].load(); };
  In(Msg(0xB0, 11, 60), 1000);
  EXPECT_EQ(state(), 0);
  In(Msg(0xB0, 11, 80), 1010);
  EXPECT_EQ(state(), 1);
  In(Msg(0xB0, 11, 60), 1020);  // between 56 and 72: no change
  EXPECT_EQ(state(), 1);
  In(Msg(0xB0, 11, 50), 1030);
  EXPECT_EQ(state(), 0);
  EXPECT_TRUE(IsTapMessage(input, Msg(0xB0, 11, 0)));
  EXPECT_FALSE(IsTapMessage(input, Msg(0xB0, 12, 0)));
  EXPECT_FALSE(IsTapMessage(input, Msg(0x90, 11, 90)));
}

TEST_F(InputPathTest, TheKeyPollSeesEachPressOnceAndEndsWithItsGeneration) {
  platform.SetKeyDown(KeyId::kSpaceBar, true);
  KeyPollStart(engine);
  platform.RunFor(10);
  EXPECT_EQ(input.keyTapHeld, 1);  // down since the start: not a tap
  platform.SetKeyDown(KeyId::kSpaceBar, false);
  platform.RunFor(3);
  EXPECT_EQ(input.keyTapHeld, 0);
  platform.SetKeyDown(KeyId::kSpaceBar, true);
  platform.RunFor(3);
  EXPECT_EQ(input.keyTapHeld, 1);
  KeyPollStop(input);
  platform.SetKeyDown(KeyId::kSpaceBar, false);
  platform.RunFor(10);
  EXPECT_EQ(input.keyTapHeld, 1);  // no poll runs any more
}

TEST_F(InputPathTest, WhatIsRecordedDependsOnHowTheSoloistIsFollowed) {
  system.tapSource = 2;
  system.tapNote = 40;
  Take();
  engine.mode.followerInputMode = kInputMidiTaps;
  In(Msg(0x90, 40, 90), 1000);  // a tap
  In(Msg(0x90, 60, 90), 1100);  // a note played while tapping
  EXPECT_TRUE(Recorded().empty());
  system.playTappedNotes = 1;
  Take();
  In(Msg(0x90, 40, 90), 1200);
  In(Msg(0x90, 62, 90), 1300);
  EXPECT_EQ(Recorded(), (std::vector<uint32_t>{Msg(0x90, 62, 90)}));
  engine.mode.followerInputMode = kInputListening;
  In(Msg(0x90, 64, 90), 1400);
  EXPECT_EQ(Recorded().size(), 1u);
}

// A flood recorded whole while the buffer grows is checked end to end in
// live_following_test.cpp; without growing, appends stop at the capacity
// instead of moving the storage under the reader.
TEST_F(InputPathTest, WithoutGrowingTheRecordingStopsAtItsCapacity) {
  for (int i = 0; i < 5000; ++i) In(Msg(0xB0, 7, 1), 2000 + i);
  EXPECT_EQ(Recorded().size(), kRecordingChunkEvents);
}

// When no room can be had the recording stops, keeps what it holds and says so
// once: the window shows its message once a performance, not every idle pass.
TEST_F(InputPathTest, RunningOutOfMemoryStopsTheRecordingOnceAndKeepsWhatItHolds) {
  for (int i = 0; i < 3500; ++i) In(Msg(0xB0, 7, 1), 2000 + i);
  failingAllocations.store(1);
  EXPECT_FALSE(RecordingGrow(input));
  failingAllocations.store(0);
  EXPECT_TRUE(RecordingGrow(input));
  EXPECT_TRUE(RecordingGrow(input));
  In(Msg(0x90, 60, 90), 6000);
  EXPECT_EQ(Recorded().size(), 3500u);
  RecordingStart(input, 0);  // the next performance records again
  In(Msg(0x90, 60, 90), 7000);
  EXPECT_EQ(Recorded().size(), 1u);
}

TEST_F(InputPathTest, FinishingPlacesEveryRecordedMessageAndEndsTheRecording) {
  In(Msg(0x90, 67, 90), 1000);
  In(Msg(0x80, 67, 0), 1200);
  EXPECT_EQ(RecordingFinish(engine, 0x10000, 0), 2);
  const TrackRec& track = piece.performanceTrack();
  ASSERT_EQ(track.eventCount(), 2);
  EXPECT_EQ(track.events[0].status, 0x90);
  EXPECT_EQ(track.events[1].data1, 67);
  EXPECT_EQ(track.events[1].mark, 1);
  EXPECT_TRUE(input.recording.tempoList.empty());  // fewer than three anchors: no tempo list
  In(Msg(0x90, 69, 90), 1300);                     // nothing is recorded once finished
  EXPECT_TRUE(input.recording.messages.empty());
}

// Following set up on Ecossaise's solo, started at position 0 at `start`.
class FollowingTest : public InputPathTest {
 protected:
  void Follow(SystemTime start) {
    ASSERT_TRUE(EngineInitFollower(engine));
    EnginePublish(engine, system, live);
    FollowerTakeOptions(engine.follower, system);
    FollowerTakeScore(engine.follower, piece, live, system);
    platform.SetNow(start);
    ASSERT_TRUE(FollowerStart(engine.follower, 0, kFixOne));
    FollowerTimeUntil(engine.follower, 1);
  }
  ~FollowingTest() override { FollowerStop(engine.follower); }
  uint8_t WrittenPitch(int chord) const {
    const ScoreChord& c = engine.follower.chords[static_cast<size_t>(chord)];
    return engine.follower.notes[static_cast<size_t>(c.firstNote)].pitch & 0x7F;
  }
  int32_t ChordAt(int chord) const {
    return engine.follower.chords[static_cast<size_t>(chord)].position;
  }
};

// A note handed over late (the input thread was busy, or an onset detector
// heard it some milliseconds after it sounded) is recorded and followed at the
// time it was played, not when it got through.
TEST_F(FollowingTest, ANoteKeepsTheTimeItWasPlayedIntoTheRecordingAndTheFollower) {
  Follow(1000);
  platform.SetNow(1330);
  In(Msg(0x90, 72, 90), 1300);
  ASSERT_EQ(input.recording.messages.size(), 1u);
  EXPECT_EQ(input.recording.messages[0].time, 1300);
  ASSERT_EQ(engine.follower.performedChordCount, 1);
  EXPECT_EQ(engine.follower.performedChords[0].time, 1300);
}

// A pianist's pedals and a player's controllers are not the soloist's notes:
// controllers numbered like the next written pitches, a little late, leave the
// follower where it was; the same numbers as note-ons pull it onto them.
TEST_F(FollowingTest, ControllersNeverReachTheFollowerAsNotes) {
  for (const uint8_t kind : {0xB0, 0x90}) {
    Follow(1000);
    const FollowerClock before = FollowerClockRead(engine.follower.clock);
    for (int c = 0; c < 4; ++c) {
      const SystemTime late = 1000 + ChordAt(c) + 150;
      platform.SetNow(late);
      In(Msg(kind, WrittenPitch(c), 100), late);
      In(Msg(kind == 0x90 ? 0x80 : 0xB0, WrittenPitch(c), 0), late + 100);
    }
    const FollowerClock after = FollowerClockRead(engine.follower.clock);
    const bool moved = after.anchorTime != before.anchorTime || after.rate != before.rate;
    EXPECT_EQ(moved, kind == 0x90) << "status " << int{kind};
    EXPECT_EQ(engine.follower.performedChordCount > 0, kind == 0x90) << "status " << int{kind};
    FollowerStop(engine.follower);
  }
}

// The special signal given as a controller releases a Wait for Special Signal
// point when it is pressed (not when it is let go), and is still recorded.
TEST_F(FollowingTest, TheSignalControllerReleasesAWaitForSignalPoint) {
  system.remoteControl[kRemoteControlEntries - 1] = kRemoteControllerBase + 20;
  Follow(1000);
  const int32_t point = ChordAt(3);
  const int32_t points[] = {point};
  FollowerStop(engine.follower);
  ASSERT_TRUE(FollowerSetWaitForSignal(engine.follower, points));
  Follow(1000);
  const SystemTime waiting = 1000 + point + 2000;
  platform.SetNow(waiting);
  EXPECT_EQ(FollowerPosition(engine.follower), point - 1);
  In(Msg(0xB0, 20, 0), waiting);  // a release is no signal
  EXPECT_EQ(FollowerPosition(engine.follower), point - 1);
  In(Msg(0xB0, 20, 127), waiting);
  platform.SetNow(waiting + 100);
  EXPECT_EQ(FollowerPosition(engine.follower), point + 100);
  EXPECT_EQ(Recorded(), (std::vector<uint32_t>{Msg(0xB0, 20, 0), Msg(0xB0, 20, 127)}));
}

// The input thread never allocates: cleaning up, remote control, recording and
// following a flood of notes and controllers take no memory, while the window
// thread adds room to the recording without ever moving what it holds.
TEST_F(FollowingTest, FollowingAndRecordingAFloodAllocatesNothingOnTheInputThread) {
  Follow(1000);
  SystemTime t = 2000;
  const auto flood = [&](int count) {
    const int64_t before = allocationCount.load();
    for (int i = 0; i < count; ++i, t += 10) {
      const uint8_t pitch = static_cast<uint8_t>(60 + i % 12);
      In(Msg(0x90, pitch, 80), t);
      In(Msg(0x80, pitch, 0), t + 1);
      In(Msg(0xB0, 64, static_cast<uint8_t>(i % 128)), t + 1);
    }
    return allocationCount.load() - before;
  };
  EXPECT_EQ(flood(1100), 0);
  const RecordedMessage& first = input.recording.messages[0];
  ASSERT_TRUE(RecordingGrow(input));
  EXPECT_EQ(input.recording.messages.capacity(), 2 * kRecordingChunkEvents);
  EXPECT_EQ(flood(900), 0);
  EXPECT_EQ(&input.recording.messages[0], &first);  // growing moved nothing
  EXPECT_EQ(input.recording.messages.size(), 6000u);
}

}  // namespace
}  // namespace tuttiro::test
