// A whole player on the simulated platform for the playback tests: one loopback
// output device behind every port, a recording host, and helpers that drive the
// idle pass in simulated time and read back what the device received.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/dialog_table.h"
#include "platform/simulated_platform.h"

namespace tuttiro::test {

using Bytes = std::vector<uint8_t>;

// Records what the transport asked of the user interface.
class RecordingHost : public Host {
 public:
  void ShowMessage(int stringId, std::span<const std::string>) override {
    messages.push_back(stringId);
  }
  bool AskOkCancel(const std::string& question) override {
    questions.push_back(question);
    return answerOk;
  }
  void EnableMenuItem(int commandId, bool enabled) override { menuEnabled[commandId] = enabled; }
  void CheckMenuItem(int, bool) override {}
  void SetMenuLabel(int, const std::string&) override {}
  void InvalidateBox(int) override {}
  void InvalidateTrackStrip(int track) override { ++stripsRedrawn[track]; }
  void UpdateNow() override {}
  void FlashButton(int view, int box, int holdMs) override {
    flashes.push_back({view, box, holdMs});
  }
  void InvalidateViews() override {}
  using Host::RunDialog;
  bool RunDialog(int templateId, DialogCall& call) override {
    dialogs.push_back(templateId);
    if (templateId != kDialogLocation) return false;
    locationAsked = {call.begin.measure, call.begin.beat};
    call.position = locationAnswer;
    return locationAnswer.has_value();
  }
  void Beep() override {}
  void SetWaitCursor(bool on) override { waitCursor.push_back(on); }
  void ShowNotice(const std::string& text) override { notice = text; }

  struct Flash {
    int view, box, holdMs;
  };
  std::vector<int> messages;
  std::vector<std::string> questions;
  bool answerOk = true;
  std::string notice;  // the notice in the window now
  std::map<int, bool> menuEnabled;
  std::map<int, int> stripsRedrawn;
  std::vector<Flash> flashes;
  std::pair<int, int> locationAsked{0, 0};
  std::optional<int32_t> locationAnswer;
  std::vector<bool> waitCursor;
  std::vector<int> dialogs;
};

class PlaybackTest : public ::testing::Test {
 protected:
  PlaybackTest() {
    platform.AddOutputDevice("Out");
    platform.SetNow(1000);
    app = std::make_unique<AppRec>(platform, host);
    MidiOpenOutputs(app->engine.ports, nullptr);
    app->engine.commands.enabled[kCmdAllNotesOff].store(true);
  }

  // Opens a built-in piece or an in-memory image registered under `name`.
  void Open(const std::string& name) { ASSERT_EQ(AppOpenPiece(*app, name), kLoadOk); }
  void OpenBytes(const Bytes& bytes) {
    app->sources.memoryImages["test.mid"] = bytes;
    Open("test.mid");
  }

  // Moves the stopped transport to `position`, as the position controls do.
  void LocateAt(int32_t position) {
    SetPosition(*app, position);
    Locate(*app);
  }
  // Runs timers and the idle pass every 5 ms for `ms` milliseconds.
  void Run(SystemTime ms) {
    const SystemTime end = platform.ClockNow() + ms;
    while (platform.ClockNow() < end) {
      platform.RunUntil(std::min(end, platform.ClockNow() + 5));
      IdlePass(*app);
    }
  }
  // Runs until the transport stops (at most `limit` ms); returns the number of
  // messages sent before the idle pass that stopped it.
  size_t RunToStop(SystemTime limit = 600000) {
    const SystemTime end = platform.ClockNow() + limit;
    size_t before = Sent().size();
    while (TransportRunning(*app) && platform.ClockNow() < end) {
      platform.RunUntil(platform.ClockNow() + 5);
      before = Sent().size();
      IdlePass(*app);
    }
    return before;
  }

  std::vector<SimulatedPlatform::SentMessage> Sent() const { return platform.Sent(0); }
  std::vector<Bytes> SentBytes(size_t from = 0) const {
    std::vector<Bytes> out;
    const auto sent = Sent();
    for (size_t i = from; i < sent.size(); ++i) out.push_back(sent[i].bytes);
    return out;
  }

  // Notes still sounding after everything sent: per channel and note, note-ons
  // less note-offs (never below zero). Controllers 120 and 123 do not count:
  // every note-on must get its own note-off.
  static std::vector<std::pair<int, int>> HangingNotes(
      const std::vector<SimulatedPlatform::SentMessage>& sent) {
    std::map<std::pair<int, int>, int> sounding;
    for (const auto& m : sent) {
      if (m.bytes.size() < 3) continue;
      const int status = m.bytes[0] & 0xF0;
      const std::pair<int, int> key{m.bytes[0] & 0x0F, m.bytes[1]};
      if (status == 0x90 && m.bytes[2] > 0) {
        ++sounding[key];
      } else if (status == 0x80 || status == 0x90) {
        sounding[key] = std::max(0, sounding[key] - 1);
      }
    }
    std::vector<std::pair<int, int>> hanging;
    for (const auto& [key, count] : sounding) {
      if (count > 0) hanging.push_back(key);
    }
    return hanging;
  }
  void ExpectNoHangingNotes() {
    // Delayed note-offs (metronome clicks) go out 50 ms later.
    platform.RunFor(100);
    EXPECT_EQ(HangingNotes(Sent()), (std::vector<std::pair<int, int>>{}));
  }

  static int CountBytes(const std::vector<Bytes>& sent, const Bytes& bytes) {
    return static_cast<int>(std::count(sent.begin(), sent.end(), bytes));
  }

  SimulatedPlatform platform;
  RecordingHost host;
  std::unique_ptr<AppRec> app;
};

// The player with Ecossaise loaded and one keyboard behind input port A.
class PlayerWithInputTest : public PlaybackTest {
 protected:
  PlayerWithInputTest() {
    input = platform.AddInputDevice("Keys");
    Open("Ecossaise");
    app->engine.ports.inputDevice.fill(-1);
    app->engine.ports.inputDevice[0] = static_cast<int16_t>(input);
    MidiOpenInputs(app->engine.ports, nullptr);
  }

  int input = -1;
};

}  // namespace tuttiro::test
