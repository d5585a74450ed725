// End to end through a real JACK server (started by the jack_server test
// fixture): Tuttiro's own JACK output port is connected to its own JACK input
// port with jack_connect, and what MidiSend sends must come back through the
// input callback complete and in order.
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_ports.h"
#include "platform/real/real_platform.h"
#include "platform/real/synth_device.h"

namespace tuttiro {
namespace {

using Bytes = std::vector<uint8_t>;

struct Inbox {
  std::mutex lock;
  std::condition_variable arrived;
  std::vector<std::pair<uint32_t, Bytes>> messages;  // (port, bytes)

  static void Collect(void* context, uint32_t port, const MidiInputMessage& m) {
    auto* inbox = static_cast<Inbox*>(context);
    Bytes bytes;
    if (m.sysex != nullptr) {
      bytes.assign(m.sysex, m.sysex + m.sysexLength);
    } else {
      for (int i = 0; i < 3; ++i) bytes.push_back(static_cast<uint8_t>(m.shortMessage >> (8 * i)));
    }
    std::lock_guard guard(inbox->lock);
    inbox->messages.emplace_back(port, std::move(bytes));
    inbox->arrived.notify_all();
  }

  // Waits (bounded, so a lost message fails instead of hanging) for count messages.
  std::vector<std::pair<uint32_t, Bytes>> WaitFor(size_t count) {
    std::unique_lock guard(lock);
    arrived.wait_for(guard, std::chrono::seconds(10), [&] { return messages.size() >= count; });
    return messages;
  }
};

TEST(JackRoundTrip, ShortMessagesSysexAndADelayedSendArriveCompleteAndInOrder) {
  RealPlatformOptions options;
  options.synth = false;
  options.alsa = false;
  options.clientName = "tuttiro-e2e";
  RealPlatform platform(options);
  bool jackAvailable = false;
  for (const MidiBackendStatus& status : platform.MidiBackends()) {
    if (status.backend == MidiBackend::kJack) jackAvailable = status.available;
  }
  ASSERT_TRUE(jackAvailable) << "the jack_server fixture should have started a server";

  const int out = MidiDeviceNamed(platform, "Own JACK port tuttiro-e2e-out:out", false);
  const int in = MidiDeviceNamed(platform, "Own JACK port tuttiro-e2e-in:in", true);
  ASSERT_GE(out, 0);
  ASSERT_GE(in, 0);

  Inbox inbox;
  MidiPortsRec ports(platform);
  ports.inputCallback = Inbox::Collect;
  ports.inputContext = &inbox;
  ports.outputDevice.fill(static_cast<int16_t>(out));
  ports.inputDevice.fill(static_cast<int16_t>(in));
  ASSERT_TRUE(MidiOpenOutputs(ports, nullptr));
  ASSERT_TRUE(MidiOpenInputs(ports, nullptr));
  ASSERT_EQ(std::system("jack_connect tuttiro-e2e-out:out tuttiro-e2e-in:in"), 0);

  const Bytes identity = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00};
  EXPECT_EQ(MidiSend(ports, 0x643C90u, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(ports, 0x5007B3u, kMidiAllPorts, 0), kMidiOk);  // one device: sent once
  EXPECT_EQ(MidiSend(ports, identity, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(ports, 0x4000E0u, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(ports, 0x003C80u, 0, 30), kMidiOk);  // through the timer thread

  const auto received = inbox.WaitFor(5);
  const std::vector<std::pair<uint32_t, Bytes>> expected = {
      {0, {0x90, 0x3C, 0x64}}, {0, {0xB3, 0x07, 0x50}}, {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
      {0, {0xE0, 0x00, 0x40}}, {0, {0x80, 0x3C, 0x00}},
  };
  EXPECT_EQ(received, expected);

  MidiCloseAll(ports);
}

// A port of another program (here a second Tuttiro) is listed as a device;
// opening it connects to it without any patchbay.
TEST(JackRoundTrip, AnotherProgramsPortIsListedAndOpeningItConnects) {
  RealPlatformOptions listenerOptions;
  listenerOptions.synth = false;
  listenerOptions.alsa = false;
  listenerOptions.clientName = "tuttiro-listener";
  RealPlatform listener(listenerOptions);
  Inbox inbox;
  MidiPortsRec listenerPorts(listener);
  listenerPorts.inputCallback = Inbox::Collect;
  listenerPorts.inputContext = &inbox;
  const int ownIn = MidiDeviceNamed(listener, "Own JACK port tuttiro-listener-in:in", true);
  ASSERT_GE(ownIn, 0);
  listenerPorts.inputDevice.fill(static_cast<int16_t>(ownIn));
  listenerPorts.inputDevice[5] = -1;  // port F: no device, which must not stop the others
  EXPECT_FALSE(MidiOpenInputs(listenerPorts, nullptr));

  RealPlatformOptions senderOptions = listenerOptions;
  senderOptions.clientName = "tuttiro-sender";
  RealPlatform sender(senderOptions);
  const int target = MidiDeviceNamed(sender, "tuttiro-listener-in:in", false);
  ASSERT_GE(target, 0);
  MidiPortsRec senderPorts(sender);
  senderPorts.outputDevice.fill(static_cast<int16_t>(target));
  ASSERT_TRUE(MidiOpenOutputs(senderPorts, nullptr));
  EXPECT_EQ(MidiSend(senderPorts, 0x7F4591u, 3, 0), kMidiOk);

  const auto received = inbox.WaitFor(1);
  EXPECT_EQ(received, (std::vector<std::pair<uint32_t, Bytes>>{{0, {0x91, 0x45, 0x7F}}}));
}

// A second instance under the same client name: the server names its clients
// differently, and its own ports are listed, connected and used under the
// names it really has, so nothing it sends reaches the first instance.
TEST(JackRoundTrip, ASecondInstanceUnderATakenNameUsesTheNamesItWasGiven) {
  RealPlatformOptions options;
  options.synth = false;
  options.alsa = false;
  options.clientName = "tuttiro-twin";
  struct Instance {
    explicit Instance(const RealPlatformOptions& options) : platform(options), ports(platform) {
      ports.inputCallback = Inbox::Collect;
      ports.inputContext = &inbox;
    }
    // Opens the instance's own JACK output and input on every port.
    void OpenOwnPorts() {
      const int out = MidiDeviceNamed(platform, "Own JACK port " + platform.OwnJackOutput(), false);
      const int in = MidiDeviceNamed(platform, "Own JACK port " + platform.OwnJackInput(), true);
      ASSERT_GE(out, 0);
      ASSERT_GE(in, 0);
      ports.outputDevice.fill(static_cast<int16_t>(out));
      ports.inputDevice.fill(static_cast<int16_t>(in));
      ASSERT_TRUE(MidiOpenOutputs(ports, nullptr));
      ASSERT_TRUE(MidiOpenInputs(ports, nullptr));
    }
    RealPlatform platform;
    Inbox inbox;
    MidiPortsRec ports;
  };
  Instance first(options);
  EXPECT_EQ(first.platform.OwnJackInput(), "tuttiro-twin-in:in");
  first.OpenOwnPorts();
  Instance second(options);
  EXPECT_NE(second.platform.OwnJackOutput(), first.platform.OwnJackOutput());
  EXPECT_NE(second.platform.OwnJackInput(), first.platform.OwnJackInput());
  second.OpenOwnPorts();
  const std::string connect =
      "jack_connect " + second.platform.OwnJackOutput() + " " + second.platform.OwnJackInput();
  ASSERT_EQ(std::system(connect.c_str()), 0);
  EXPECT_EQ(MidiSend(second.ports, 0x283E92u, 0, 0), kMidiOk);
  EXPECT_EQ(second.inbox.WaitFor(1),
            (std::vector<std::pair<uint32_t, Bytes>>{{0, {0x92, 0x3E, 0x28}}}));
  std::lock_guard guard(first.inbox.lock);
  EXPECT_TRUE(first.inbox.messages.empty());
}

// The test server runs 256-frame periods at 48 kHz: the synthesizer playing
// through it adds the period it renders ahead and the periods the playback
// port holds (16 ms with the dummy driver's two), not FluidSynth's own buffer
// setting (23 ms).
// Its audio outputs are connected to the playback ports, so that it is heard.
TEST(JackRoundTrip, TheSynthesizerThroughJackReportsJacksLatencyAndIsConnected) {
  SynthDevice synth(SynthOptions{FindSoundfont(), true, true});
  ASSERT_EQ(synth.Open(), kMidiOk);
  ASSERT_FALSE(synth.Silent());
  EXPECT_GE(synth.LatencyMs(), 10);
  EXPECT_LE(synth.LatencyMs(), 22);

  jack_client_t* client = jack_client_open("tuttiro-connections", JackNoStartServer, nullptr);
  ASSERT_NE(client, nullptr);
  const char** playback = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsPhysical | JackPortIsInput);
  ASSERT_NE(playback, nullptr);
  int connected = 0;
  for (int i = 0; playback[i] != nullptr; ++i) {
    const char** from =
        jack_port_get_all_connections(client, jack_port_by_name(client, playback[i]));
    for (int j = 0; from != nullptr && from[j] != nullptr; ++j) {
      connected += std::string(from[j]).find("fluidsynth") != std::string::npos;
    }
    if (from != nullptr) jack_free(from);
  }
  jack_free(playback);
  jack_client_close(client);
  EXPECT_GE(connected, 2) << "the synthesizer's left and right outputs reach the playback ports";
}

}  // namespace
}  // namespace tuttiro
