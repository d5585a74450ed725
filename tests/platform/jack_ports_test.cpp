// The MIDI Ports & Devices dialog's device side through a real JACK server
// (started by the jack_server fixture): a synthesizer program that starts
// after Tuttiro is listed at the next opening and can be chosen; one that
// cannot be opened keeps the dialog open; one that quits while music is sent
// to it is reported once and its port goes quiet while the others play on; a
// sequencer on the sync port gets MIDI clock, then time code once switched.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/app.h"
#include "app/dialog_commit_midi_sync.h"
#include "app/dialog_commit_ports.h"
#include "app/shell_fixture.h"
#include "dialogs/dialogs.h"
#include "platform/real/real_platform.h"

namespace tuttiro {
namespace {

using namespace std::chrono_literals;

// Another program with one MIDI input port that counts the messages it gets
// by status byte.
class SoundModule {
 public:
  explicit SoundModule(const char* name) {
    client_ = jack_client_open(name, JackNoStartServer, nullptr);
    if (client_ == nullptr) return;
    port_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, Process, this);
    jack_activate(client_);
  }
  ~SoundModule() { Quit(); }
  bool Running() const { return client_ != nullptr; }
  void Quit() {
    if (client_ != nullptr) jack_client_close(client_);
    client_ = nullptr;
  }
  // Waits (bounded, so that a lost message fails instead of hanging).
  bool WaitForNotes(int count) const {
    for (int i = 0; i < 500 && noteOns_.load() < count; ++i) std::this_thread::sleep_for(10ms);
    return noteOns_.load() >= count;
  }
  bool WaitFor(uint8_t status, int count) const {
    for (int i = 0; i < 500 && Count(status) < count; ++i) std::this_thread::sleep_for(10ms);
    return Count(status) >= count;
  }
  int Count(uint8_t status) const { return counts_[status].load(); }

 private:
  static int Process(jack_nframes_t frames, void* self) {
    auto* module = static_cast<SoundModule*>(self);
    void* buffer = jack_port_get_buffer(module->port_, frames);
    for (uint32_t i = 0, n = jack_midi_get_event_count(buffer); i < n; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
      module->counts_[event.buffer[0]].fetch_add(1);
      if ((event.buffer[0] & 0xF0) == 0x90) module->noteOns_.fetch_add(1);
    }
    return 0;
  }

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::atomic<int> noteOns_{0};
  std::array<std::atomic<int>, 256> counts_{};
};

class JackPortsTest : public ::testing::Test {
 protected:
  JackPortsTest() : platform_(Options()), app_(platform_, host_) { app_.portHost = &host_; }

  static RealPlatformOptions Options() {
    RealPlatformOptions options;
    options.synth = false;
    options.alsa = false;
    options.clientName = "tuttiro-ports";
    return options;
  }

  // The output combo's index of `name` at an opening of the dialog; -1 when not listed.
  int ListedOutput(const std::string& name) {
    const PortsDeviceLists lists = RefreshPortsDevices(app_);
    const auto it = std::find_if(lists.outputs.begin(), lists.outputs.end(),
                                 [&](const PortsDevice& d) { return d.name == name; });
    return it == lists.outputs.end() ? -1 : static_cast<int>(it - lists.outputs.begin());
  }

  // Opens the dialog, chooses `device` for output port A and presses OK.
  bool ChooseOutputA(int device) {
    const PortsDeviceLists lists = RefreshPortsDevices(app_);
    PortsDialog dialog = OpenPorts(PortsValuesOf(app_), lists.inputs, lists.outputs);
    dialog.model[dialogs::kPortOutputFirst].selection = device;
    PortsCommand(dialog);
    return CommitPorts(app_, StorePorts(dialog));
  }

  int TextsContaining(const std::string& part) const {
    return static_cast<int>(std::count_if(host_.texts.begin(), host_.texts.end(), [&](auto& t) {
      return t.find(part) != std::string::npos;
    }));
  }

  RealPlatform platform_;
  test::ShellHost host_;
  AppRec app_;
};

TEST_F(JackPortsTest, AProgramStartedAfterTuttiroIsListedAtTheNextOpeningAndCanBeChosen) {
  ASSERT_EQ(ListedOutput("late-module:midi_in"), -1);
  SoundModule module("late-module");
  ASSERT_TRUE(module.Running()) << "the jack_server fixture should have started a server";

  const int device = ListedOutput("late-module:midi_in");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(ChooseOutputA(device));
  EXPECT_EQ(app_.system.outputDeviceName[0], "late-module:midi_in");
  EXPECT_EQ(MidiPortName(app_.engine.ports, 0), "&A--late-module:midi_in");
  EXPECT_EQ(MidiSend(app_.engine.ports, 0x643C90u, 0, 0), kMidiOk);
  EXPECT_TRUE(module.WaitForNotes(1));
  EXPECT_TRUE(host_.texts.empty());
  // The port Tuttiro made to reach the module is not offered as a device of its own.
  for (const PortsDevice& input : RefreshPortsDevices(app_).inputs) {
    EXPECT_NE(input.name.rfind("tuttiro-ports", 0), 0u) << input.name;
  }
}

TEST_F(JackPortsTest, ADeviceThatCannotBeOpenedKeepsTheDialogOpenUntilAnotherIsChosen) {
  SoundModule module("brief-module");
  const int device = ListedOutput("brief-module:midi_in");
  ASSERT_GE(device, 0);
  module.Quit();  // gone between the opening of the dialog and OK

  EXPECT_FALSE(ChooseOutputA(device));
  EXPECT_EQ(TextsContaining("'brief-module:midi_in' is apparently already in use"), 1);
  EXPECT_TRUE(
      ChooseOutputA(MidiDeviceNamed(platform_, "Own JACK port tuttiro-ports-out:out", false)));
}

TEST_F(JackPortsTest,
       AProgramThatQuitsWhilePlayingIsReportedOnceOnlyItsPortGoesQuietUntilItIsBack) {
  SoundModule module("leaving-module");
  const int device = ListedOutput("leaving-module:midi_in");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(ChooseOutputA(device));  // ports B-H keep Tuttiro's own output port

  // The scheduler's part: notes to port A and port B from the timer thread.
  std::atomic<bool> playing{true};
  std::atomic<int> sentToB{0};
  std::thread scheduler([&] {
    while (playing.load()) {
      MidiSend(app_.engine.ports, 0x403C90u, 0, 0);
      if (MidiSend(app_.engine.ports, 0x403C91u, 1, 0) == kMidiOk) sentToB.fetch_add(1);
      std::this_thread::sleep_for(2ms);
    }
  });
  ASSERT_TRUE(module.WaitForNotes(5));
  module.Quit();
  // The idle pass looks every two seconds; the dialog's opening looks at once.
  for (int i = 0; i < 3; ++i) CheckDevicesNow(app_);
  const int sentBefore = sentToB.load();
  std::this_thread::sleep_for(50ms);
  playing.store(false);
  scheduler.join();

  EXPECT_EQ(TextsContaining("'leaving-module:midi_in' is no longer connected"), 1);
  EXPECT_EQ(host_.texts.size(), 1u);
  EXPECT_EQ(MidiSend(app_.engine.ports, 0x403C90u, 0, 0), kMidiInvalidHandle);
  EXPECT_GT(sentToB.load(), sentBefore);                      // port B played on
  EXPECT_EQ(ListedOutput("leaving-module:midi_in"), device);  // listed, as not connected
  EXPECT_FALSE(RefreshPortsDevices(app_).outputs[static_cast<size_t>(device)].present);

  // Started again: port A plays into it without a visit to the dialog.
  SoundModule back("leaving-module");
  ASSERT_TRUE(back.Running());
  for (int i = 0; i < 50 && MidiSend(app_.engine.ports, 0x403C90u, 0, 0) != kMidiOk; ++i) {
    CheckDevicesNow(app_);
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(back.WaitForNotes(1));
  EXPECT_EQ(host_.texts.size(), 1u);
}

TEST_F(JackPortsTest, SwitchingSyncFromClockToTimeCodeWhilePlayingChangesWhatTheSequencerGets) {
  SoundModule sequencer("sync-sequencer");
  const int device = ListedOutput("sync-sequencer:midi_in");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(ChooseOutputA(device));
  ASSERT_EQ(AppOpenPiece(app_, "Ecossaise"), kLoadOk);
  MidiSyncValues sync = MidiSyncValuesOf(app_);
  sync.transmitSync = 1;
  sync.syncPort = 0;
  sync.syncType = 0;
  CommitMidiSync(app_, sync);
  PlayFile(app_);
  EXPECT_TRUE(sequencer.WaitFor(0xF8, 24));  // a quarter note of clock

  sync.syncType = 1;
  CommitMidiSync(app_, sync);
  EXPECT_TRUE(sequencer.WaitFor(0xF1, 16));  // two frames of quarter frames
  const int clocks = sequencer.Count(0xF8);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(sequencer.Count(0xF8), clocks);
  StopTransport(app_);
}

}  // namespace
}  // namespace tuttiro
