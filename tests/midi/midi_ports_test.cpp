// Ports A-H and MidiSend on the simulated platform: devices shared between
// ports, the messages and menu labels shown through the host, refused sends,
// SysEx framing, delayed sends and sending from several threads at once.
#include "midi/midi_ports.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

using Bytes = std::vector<uint8_t>;

class RecordingHost : public MidiPortHost {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetMenuLabel(int commandId, const std::string& text) override { labels[commandId] = text; }
  void SetInputPortMenuLabel(int port, const std::string& text) override {
    inputLabels[port] = text;
  }
  void CheckMenuItem(int commandId, bool checked) override { checks[commandId] = checked; }

  std::vector<std::string> messages;
  std::map<int, std::string> labels;
  std::map<int, std::string> inputLabels;
  std::map<int, bool> checks;
};

std::vector<Bytes> BytesSent(const SimulatedPlatform& platform, int device) {
  std::vector<Bytes> out;
  for (const auto& m : platform.Sent(device)) out.push_back(m.bytes);
  return out;
}

std::vector<SystemTime> TimesSent(const SimulatedPlatform& platform, int device) {
  std::vector<SystemTime> out;
  for (const auto& m : platform.Sent(device)) out.push_back(m.time);
  return out;
}

// A platform with three loopback outputs (the second one a synthesizer) and
// two loopback inputs.
class PortsTest : public ::testing::Test {
 protected:
  PortsTest() {
    platform.AddOutputDevice("Out Zero");
    platform.AddOutputDevice("Synth", MidiBackend::kSynth);
    platform.AddOutputDevice("Out Two");
    platform.AddInputDevice("Keys");
    platform.AddInputDevice("Pads");
    ports = std::make_unique<MidiPortsRec>(platform);
  }

  SimulatedPlatform platform;
  RecordingHost host;
  std::unique_ptr<MidiPortsRec> ports;
};

TEST_F(PortsTest, EveryOutputPortStartsOnTheSynthesizerAndIsLabelledWithIt) {
  EXPECT_EQ(MidiDefaultOutputDevice(platform), 1);
  EXPECT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(platform.OutOpenCount(1), 1);  // eight ports, one device, opened once
  EXPECT_EQ(MidiPortName(*ports, 2), "&C--Synth");
  EXPECT_EQ(host.labels[140], "&A--Synth");
  EXPECT_EQ(host.labels[147], "&H--Synth");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(PortsTest, AllPortsReachEachDistinctDeviceOnceInPortOrder) {
  ports->outputDevice = {2, 2, 0, 2, 0, 2, 2, 2};
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(platform.OutOpenCount(2), 1);
  EXPECT_FALSE(platform.OutIsOpen(1));

  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, kMidiAllPorts, 0), kMidiOk);
  EXPECT_EQ(MidiSend(*ports, 0x000040B3u, 2, 0), kMidiOk);
  EXPECT_EQ(BytesSent(platform, 2), (std::vector<Bytes>{{0x90, 0x3C, 0x7F}}));
  EXPECT_EQ(BytesSent(platform, 0), (std::vector<Bytes>{{0x90, 0x3C, 0x7F}, {0xB3, 0x40, 0x00}}));
}

TEST_F(PortsTest, TheFourthByteNeverReachesTheDeviceAndBadPortsAreRefused) {
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(MidiSend(*ports, 0x05402C91u, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(*ports, 0x00001EC2u, 0, 0), kMidiOk);  // program change: two bytes
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 8, 0), kMidiInvalidParam);
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, -1, 0), kMidiInvalidParam);
  EXPECT_EQ(MidiSend(*ports, 0x00003C3Cu, 0, 0), kMidiInvalidParam);  // no status byte
  EXPECT_EQ(BytesSent(platform, 1), (std::vector<Bytes>{{0x91, 0x2C, 0x40}, {0xC2, 0x1E}}));
}

TEST_F(PortsTest, ADeviceThatWillNotOpenIsReportedAndTheOtherPortsStillOpen) {
  ports->outputDevice = {0, 2, 2, 0, 0, 0, 0, 0};
  platform.SetRefuseOpen(false, 2, true);
  EXPECT_FALSE(MidiOpenOutputs(*ports, &host));
  ASSERT_EQ(host.messages.size(), 1u);  // two ports on the device, one message
  EXPECT_EQ(host.messages[0],
            "The MIDI output device 'Out Two' is apparently already in use.  Please select "
            "another device from the MIDI Ports & Devices dialog box.  Or, if you quit the "
            "application that is using this device, you should then be able to access it.");
  EXPECT_EQ(host.labels[141], "&B--Out Two");
  EXPECT_TRUE(platform.OutIsOpen(0));
  EXPECT_EQ(ports->outputTable[2].owner, kMidiDeviceClosed);  // failure marks do not stay
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 1, 0), kMidiInvalidHandle);

  // Once the other program lets go, opening again takes it.
  platform.SetRefuseOpen(false, 2, false);
  EXPECT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(ports->outputTable[2].owner, 1);
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 1, 0), kMidiOk);
  EXPECT_EQ(BytesSent(platform, 2).size(), 1u);
}

TEST_F(PortsTest, AnAssignmentToAMissingDeviceIsReportedNotFollowed) {
  ports->inputDevice = {0, 0, 7, 7, 0, 0, 0, 0};
  EXPECT_FALSE(MidiOpenInputs(*ports, &host));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].substr(0, 48), "The MIDI input device '(missing device 7)' is ap");
  EXPECT_EQ(host.inputLabels[2], "&C--(missing device 7)");
  EXPECT_TRUE(platform.InIsOpen(0));
}

TEST_F(PortsTest, ReassigningAPortClosesOnlyWhatItNoLongerUses) {
  ports->outputDevice = {0, 0, 1, 1, 1, 1, 1, 1};
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(ports->outputTable[0].owner, 0);

  // Port A moves to device 2; port B still uses device 0, which is reopened for it.
  ports->outputDevice[0] = 2;
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  EXPECT_EQ(ports->outputTable[0].owner, 1);
  EXPECT_EQ(ports->outputTable[2].owner, 0);
  EXPECT_EQ(platform.OutOpenCount(1), 1);  // untouched

  MidiSend(*ports, 0x7F3C90u, 0, 0);
  MidiSend(*ports, 0x7F3D90u, 1, 0);
  EXPECT_EQ(BytesSent(platform, 2), (std::vector<Bytes>{{0x90, 0x3C, 0x7F}}));
  EXPECT_EQ(BytesSent(platform, 0), (std::vector<Bytes>{{0x90, 0x3D, 0x7F}}));
}

struct Received {
  std::vector<std::pair<uint32_t, uint32_t>> messages;  // (port, packed message)
};

void CollectInput(void* context, uint32_t port, const MidiInputMessage& m) {
  static_cast<Received*>(context)->messages.emplace_back(port, m.shortMessage);
}

TEST_F(PortsTest, PortsSharingAnInputDeviceShareChannelsAndItsMessagesCarryTheFirstPort) {
  Received received;
  ports->inputCallback = CollectInput;
  ports->inputContext = &received;
  ports->inputDevice = {1, 0, 0, 1, 0, 0, 0, 0};
  ports->channelEnable[0 * 16 + 4].store(0);  // port A, channel 5: off, but on for port D
  ports->channelEnable[1 * 16 + 9].store(0);  // channel 10 off on every port of device 0
  for (int p = 2; p < kMidiPortCount; ++p) {
    if (ports->inputDevice[p] == 0) ports->channelEnable[p * 16 + 9].store(0);
  }

  ASSERT_TRUE(MidiOpenInputs(*ports, &host));
  EXPECT_EQ(ports->channelEnable[0 * 16 + 4].load(), 1);
  EXPECT_EQ(ports->channelEnable[3 * 16 + 4].load(), 1);
  EXPECT_EQ(ports->channelEnable[1 * 16 + 9].load(), 0);
  EXPECT_EQ(ports->channelEnable[2 * 16 + 9].load(), 0);
  EXPECT_EQ(ports->channelEnable[0 * 16 + 9].load(), 1);
  EXPECT_TRUE(host.checks[202 + 4]);
  EXPECT_FALSE(host.checks[202 + 20 * 1 + 9]);
  EXPECT_TRUE(host.checks[202 + 20 * 7 + 15]);
  EXPECT_EQ(host.inputLabels[3], "&D--Pads");

  platform.InjectInput(1, {0x90, 60, 100});
  platform.InjectInput(0, {0xB0, 7, 90});
  EXPECT_EQ(received.messages,
            (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0x643C90u}, {1, 0x5A07B0u}}));

  MidiCloseAll(*ports);
  EXPECT_FALSE(platform.InIsOpen(0));
  EXPECT_FALSE(platform.InjectInput(1, {0x90, 60, 100}));
}

// The senders are the timer and input threads: a refused message must not
// make them wait, so it is counted and reported once, never retried.
TEST_F(PortsTest, ARefusedSendNeverWaitsAndIsReportedOnce) {
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  platform.SetNow(100);
  platform.FailNextSends(1, 2);
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 0, 0), kMidiError);
  const Bytes sysex = {0xF0, 0x43, 0x10, 0xF7};
  EXPECT_EQ(MidiSend(*ports, sysex, 0, 0), kMidiError);
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 0, 0), kMidiOk);
  EXPECT_EQ(platform.ClockNow(), 100);
  EXPECT_EQ(TimesSent(platform, 1), (std::vector<SystemTime>{100}));
  EXPECT_EQ(ports->refusedSends.load(), 2u);

  const size_t shown = host.messages.size();
  EXPECT_TRUE(MidiReportRefusedSends(*ports, &host));
  ASSERT_EQ(host.messages.size(), shown + 1);
  EXPECT_NE(host.messages.back().find("refused"), std::string::npos);
  platform.FailNextSends(1, 1);
  MidiSend(*ports, 0x7F3C90u, 0, 0);
  EXPECT_FALSE(MidiReportRefusedSends(*ports, &host));
}

TEST_F(PortsTest, SysexIsCountedUpToItsFirstClosingF7) {
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  const Bytes identity = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x90, 0x3C};
  const Bytes shortest = {0xF0, 0xF7, 0xF7};
  const Bytes unterminated = {0xF0, 0x41, 0x10, 0x42};
  EXPECT_EQ(MidiSend(*ports, identity, kMidiAllPorts, 0), kMidiOk);
  EXPECT_EQ(MidiSend(*ports, shortest, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(*ports, 0x00F7F0u, 0, 0), kMidiOk);  // F0 F7 packed as a short message
  EXPECT_EQ(MidiSend(*ports, unterminated, 0, 0), kMidiInvalidParam);

  const auto sent = BytesSent(platform, 1);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(sent[1], (Bytes{0xF0, 0xF7}));
  EXPECT_EQ(sent[2], (Bytes{0xF0, 0xF7}));
}

// Regression: with a single timer slot, the first of two pending delayed
// note-offs killed the second one's timer and that note hung.
TEST_F(PortsTest, OverlappingDelayedNoteOffsAreAllSentOnTime) {
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  platform.SetNow(1000);
  MidiSend(*ports, 0x643C99u, 0, 0);
  MidiSend(*ports, 0x003C99u, 0, 50);
  platform.RunUntil(1020);
  MidiSend(*ports, 0x643E99u, 0, 0);
  MidiSend(*ports, 0x003E99u, 0, 50);
  MidiSend(*ports, 0x004099u, kMidiAllPorts, 50);
  platform.RunUntil(2000);

  const auto sent = platform.Sent(1);
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[2].bytes, (Bytes{0x99, 0x3C, 0x00}));
  EXPECT_EQ(sent[2].time, 1050);
  EXPECT_EQ(sent[3].bytes, (Bytes{0x99, 0x3E, 0x00}));
  EXPECT_EQ(sent[3].time, 1070);
  EXPECT_EQ(sent[4].bytes, (Bytes{0x99, 0x40, 0x00}));
  EXPECT_EQ(sent[4].time, 1070);
  EXPECT_TRUE(ports->delayed.empty());
}

TEST_F(PortsTest, ClosingAllSendsTheDelayedMessagesStillWaitingAndClosesEveryDevice) {
  ports->outputDevice = {0, 2, 1, 1, 1, 1, 1, 1};
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  ASSERT_TRUE(MidiOpenInputs(*ports, &host));
  MidiSend(*ports, 0x003C90u, 1, 80);
  MidiSend(*ports, 0x003B90u, 0, 40);
  platform.SetStillPlayingCloses(2, 3);  // device 2 needs a few closes

  MidiCloseAll(*ports);
  EXPECT_EQ(BytesSent(platform, 0), (std::vector<Bytes>{{0x90, 0x3B, 0x00}}));
  EXPECT_EQ(BytesSent(platform, 2), (std::vector<Bytes>{{0x90, 0x3C, 0x00}}));
  EXPECT_EQ(platform.PendingTimers(), 0u);
  for (int d = 0; d < 3; ++d) EXPECT_FALSE(platform.OutIsOpen(d)) << d;
  EXPECT_FALSE(platform.InIsOpen(0));
  EXPECT_EQ(MidiSend(*ports, 0x7F3C90u, 2, 0), kMidiInvalidHandle);
}

TEST(PortsManyDevices, DevicesBeyondSixteenAreUsable) {
  SimulatedPlatform platform;
  for (int d = 0; d < 40; ++d) {
    platform.AddOutputDevice("Out " + std::to_string(d));
    platform.AddInputDevice("In " + std::to_string(d));
  }
  MidiPortsRec ports(platform);
  ports.outputDevice = {39, 17, 16, 0, 0, 0, 0, 0};
  ports.inputDevice = {25, 0, 0, 0, 0, 0, 0, 0};
  RecordingHost host;
  ASSERT_TRUE(MidiOpenOutputs(ports, &host));
  ASSERT_TRUE(MidiOpenInputs(ports, &host));
  EXPECT_EQ(MidiPortName(ports, 0), "&A--Out 39");
  EXPECT_EQ(host.inputLabels[0], "&A--In 25");
  MidiSend(ports, 0x7F3C90u, kMidiAllPorts, 0);
  for (int d : {39, 17, 16, 0}) EXPECT_EQ(platform.Sent(d).size(), 1u) << d;
  EXPECT_TRUE(platform.InIsOpen(25));
}

// The window thread, the timer thread and the input thread all send; none of
// their messages or delayed sends may be lost (run under ThreadSanitizer too).
TEST_F(PortsTest, SendingFromThreeThreadsAtOnceLosesNothing) {
  ports->outputDevice = {0, 2, 1, 1, 1, 1, 1, 1};
  ASSERT_TRUE(MidiOpenOutputs(*ports, &host));
  constexpr int kMessages = 2000;

  std::thread window([&] {
    for (int i = 0; i < kMessages; ++i) MidiSend(*ports, 0x7F3C90u, 0, 0);
  });
  std::thread input([&] {
    for (int i = 0; i < kMessages; ++i) MidiSend(*ports, 0x7F3C91u, kMidiAllPorts, 0);
  });
  std::thread timer([&] {
    for (int i = 0; i < kMessages; ++i) {
      MidiSend(*ports, 0x003C92u, 1, 1 + i % 7);
      platform.RunFor(1);
    }
  });
  window.join();
  input.join();
  timer.join();
  platform.RunFor(100);

  EXPECT_EQ(platform.Sent(0).size(), 2u * kMessages);
  EXPECT_EQ(platform.Sent(1).size(), 1u * kMessages);
  EXPECT_EQ(platform.Sent(2).size(), 2u * kMessages);
  EXPECT_TRUE(ports->delayed.empty());
}

}  // namespace
}  // namespace tuttiro
