// The MIDI Ports & Devices dialog, headless: what the combos list, the lead
// fields' range, soundfont paths that cannot be used, and ports that find
// their remembered devices by name when the devices are listed in another order.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dialogs/dialogs.h"
#include "dialogs/ports_dialog.h"
#include "midi/settings_ports.h"
#include "piece/settings_store.h"
#include "piece/system_settings.h"
#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

using namespace dialogs;

const std::vector<PortsDevice> kInputs = {
    {"Own JACK port tuttiro-in:in"}, {"Keyboard:Keyboard MIDI 1 20:0"}, {"a2j:Pads", false}};
const std::vector<PortsDevice> kOutputs = {{"Built-in synthesizer", true, true, false, 23},
                                           {"Sound module:in"}};

PortsDialog OpenWith(std::array<int, 8> inputs, std::array<int, 8> outputs) {
  PortsValues values;
  values.inputDevice = inputs;
  values.outputDevice = outputs;
  return OpenPorts(values, kInputs, kOutputs);
}

TEST(PortsDialog, CombosListEveryDeviceWithWhatTheMusicianNeedsAndKeepMissingAssignments) {
  PortsDialog d = OpenWith({1, 0, 0, 0, 0, 0, 0, 7}, {0, 1, 1, 1, 1, 1, 1, 9});
  EXPECT_EQ(
      d.model[kPortInputFirst].items,
      (std::vector<std::string>{"Own JACK port tuttiro-in:in", "Keyboard:Keyboard MIDI 1 20:0",
                                "a2j:Pads (not connected)"}));
  EXPECT_EQ(
      d.model[kPortOutputFirst + 3].items,
      (std::vector<std::string>{"Built-in synthesizer (audio latency 23 ms)", "Sound module:in"}));
  EXPECT_EQ(PortsDeviceLabel({"Built-in synthesizer", true, true, true, 0}),
            "Built-in synthesizer (silent: no audio output)");
  EXPECT_EQ(d.model.Selection(kPortInputFirst), 1);
  EXPECT_EQ(d.model.Selection(kPortOutputFirst + 1), 1);
  // Devices beyond the lists (gone since they were chosen) show no selection
  // and keep their assignment unless the user picks another.
  EXPECT_EQ(d.model.Selection(kPortInputFirst + 7), -1);
  EXPECT_EQ(d.model.Selection(kPortOutputFirst + 7), -1);
  d.model[kPortOutputFirst + 7].selection = 0;
  d.model[kPortInputFirst + 2].selection = 2;
  const PortsValues stored = StorePorts(d);
  EXPECT_EQ(stored.inputDevice, (std::array<int, 8>{1, 0, 2, 0, 0, 0, 0, 7}));
  EXPECT_EQ(stored.outputDevice, (std::array<int, 8>{0, 1, 1, 1, 1, 1, 1, 0}));
}

TEST(PortsDialog, LeadFieldsTakeZeroTo500Milliseconds) {
  struct Case {
    const char* text;
    OkState state;
    bool beep;
  };
  const Case cases[] = {
      {"0", OkState::kValid, false},     {"500", OkState::kValid, false},
      {" 40", OkState::kValid, false},   {"", OkState::kIncomplete, false},
      {"501", OkState::kInvalid, true},  {"-1", OkState::kInvalid, true},
      {"12ms", OkState::kInvalid, true}, {"4 0", OkState::kInvalid, true},
      {"600", OkState::kInvalid, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    PortsDialog d = OpenWith({}, {});
    d.model[kPortLeadFirst + 5].text = c.text;
    EXPECT_EQ(PortsCommand(d), c.beep);
    EXPECT_EQ(d.model.ok.state, c.state);
    EXPECT_EQ(d.model.ok.why, c.state == OkState::kValid ? "" : "A lead must be from 0 to 500 ms.");
  }
  PortsDialog d = OpenWith({}, {});
  d.model[kPortLeadFirst + 2].text = "120";
  EXPECT_EQ(StorePorts(d).outputLeadMs, (std::array<uint16_t, 8>{0, 0, 120, 0, 0, 0, 0, 0}));
}

class SoundfontFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("tuttiro-soundfont-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path folder_;
};

TEST_F(SoundfontFiles, OnlyASoundfontFileIsTakenAndANonsensePathSaysWhyWithoutBeeping) {
  const std::string riff = std::string("RIFF\x10\0\0\0sfbk", 12) + "LIST";
  const struct {
    std::string path;
    std::string problem;
  } cases[] = {
      {"", ""},
      {Write("piano.sf2", riff), ""},
      {Write("PIANO.SF3", riff), ""},
      {"qwerty", "A soundfont is a file ending in .sf2 or .sf3."},
      {Write("notes.txt", riff), "A soundfont is a file ending in .sf2 or .sf3."},
      {(folder_ / "missing.sf2").string(), "There is no file at this path."},
      {Write("wave.sf2", "RIFF\x10\0\0\0WAVE"), "This file is not a soundfont."},
      {Write("short.sf2", "RIFF"), "This file is not a soundfont."},
  };
  for (const auto& c : cases) {
    PortsDialog d = OpenWith({}, {});
    d.model[kSoundfont].text = c.path;
    EXPECT_FALSE(PortsCommand(d)) << c.path;
    EXPECT_EQ(d.model.Text(kSoundfontProblem), c.problem) << c.path;
    EXPECT_EQ(d.model.ok.enabled(), c.problem.empty()) << c.path;
  }
}

TEST(PortsByName, RememberedDevicesAreFoundAgainWhenTheListsChangedOrder) {
  SimulatedPlatform before;
  before.AddInputDevice("Own ALSA port tuttiro:in");
  before.AddInputDevice("Keyboard:Keyboard MIDI 1 20:0");
  before.AddOutputDevice("Built-in synthesizer", MidiBackend::kSynth);
  before.AddOutputDevice("Sound module:Sound module MIDI 1 24:0");
  SystemSettings saved;
  saved.inputDevice = {1, 0, 0, 0, 0, 0, 0, 0};
  saved.outputDevice = {1, 0, 0, 0, 0, 0, 0, 0};
  NameAssignedDevices(saved, before);
  EXPECT_EQ(saved.inputDeviceName[0], "Keyboard:Keyboard MIDI 1 20:0");
  EXPECT_EQ(saved.outputDeviceName[1], "Built-in synthesizer");

  // Stored and read back, as between two runs.
  std::string problem;
  SystemSettings read = SystemSettingsFromJson(SystemSettingsToJson(saved), {}, problem);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(read, saved);

  // Next run: a pad controller came first and the keyboard and module were
  // plugged into other sockets (other ALSA client numbers).
  SimulatedPlatform after;
  after.AddInputDevice("Pads:Pads MIDI 1 20:0");
  after.AddInputDevice("Own ALSA port tuttiro:in");
  after.AddInputDevice("Keyboard:Keyboard MIDI 1 28:0");
  after.AddOutputDevice("Sound module:Sound module MIDI 1 32:0");
  after.AddOutputDevice("Built-in synthesizer", MidiBackend::kSynth);
  FindDevicesByName(read, after);
  EXPECT_EQ(read.inputDevice, (std::array<uint16_t, 8>{2, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(read.outputDevice, (std::array<uint16_t, 8>{0, 1, 1, 1, 1, 1, 1, 1}));

  // A remembered device that is not there keeps its index.
  SimulatedPlatform without;
  without.AddInputDevice("Own ALSA port tuttiro:in");
  SystemSettings lost = saved;
  FindDevicesByName(lost, without);
  EXPECT_EQ(lost.inputDevice[0], 1);
}

TEST(PortsByName, NamesAndSoundfontThatAreNotTextsKeepTheirDefaults) {
  std::string problem;
  const SystemSettings read = SystemSettingsFromJson(
      R"({"ports": {"inputDeviceNames": ["Keyboard", 5, "", "", "", "", "", ""]},
          "synthesizer": {"soundfont": 12}})",
      {}, problem);
  EXPECT_EQ(problem, "ports.inputDeviceNames, synthesizer.soundfont");
  EXPECT_EQ(read.inputDeviceName[0], "Keyboard");
  EXPECT_EQ(read.inputDeviceName[1], "");
  EXPECT_EQ(read.soundfont, "");
}

}  // namespace
}  // namespace tuttiro
