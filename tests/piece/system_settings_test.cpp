// System settings: System Default Settings, and the settings files that keep
// them between runs (current and named sets), including damaged files. Every
// file lives in a temporary folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "engine/follower.h"
#include "engine/follower_settings.h"
#include "piece/settings_store.h"
#include "platform/simulated_platform.h"
#include "settings_fixture.h"

namespace tuttiro {
namespace {

using test::TempFolder;

// Settings unlike the defaults wherever a dialog could change them.
SystemSettings Changed() {
  SystemSettings s;
  s.followSource = 1;
  s.tapSource = 4;
  s.tapController = 64;
  s.stopDelay = 123456;
  s.timingSensitivity = 1;
  s.remoteControl[0] = 60;
  s.remoteControl[13] = kRemoteControllerBase + 80;
  s.metronomeOn = 1;
  s.metronomeChannel = 15;
  s.sysexPort = kAllOutputPorts;
  s.thruChannel = 3;
  s.frameRate = 0;
  s.performanceTempo = {1, 0, 2};
  s.inputDevice = {1, 2, 3, 4, 5, 6, 7, 300};
  s.outputDevice[7] = 9;
  s.incomingChannels[17] = 0;
  s.incomingChannels[127] = 0;
  s.rememberViewLocations = 0;
  s.followerInputMode = IdleFollowerInputMode(s);
  return s;
}

TEST(SystemSettings, DefaultSettingsResetEverythingAndReopenThePorts) {
  test::SettingsFixture fx;
  ASSERT_EQ(fx.Open(test::PieceWithHead({})), kLoadOk);
  SimulatedPlatform platform;
  FollowerState follower;
  FollowerInit(follower, platform, [](int, int64_t, int64_t, int64_t) -> int64_t { return 0; });
  fx.context.follower = FollowerSettingsHooks(follower);
  fx.system = Changed();
  fx.system.followerInputMode = kInputSoloistNotes;
  std::vector<std::string> calls;
  fx.context.systemHooks = {
      .defaultOutputDevice = [] { return 2; },
      .openPorts =
          [&](const SystemSettings& s) {
            calls.push_back("open " + std::to_string(s.outputDevice[5]));
            return false;
          },
      .showPortsDialog = [&] { calls.push_back("dialog"); },
      .checkIncomingChannels = [&](const SystemSettings&) { calls.push_back("channels"); },
      .showSystemDefaults = [&] { calls.push_back("views"); },
  };
  SystemDefaultSettings(fx.context);
  EXPECT_EQ(calls, (std::vector<std::string>{"open 2", "dialog", "channels", "views"}));
  SystemSettings expected;
  expected.outputDevice.fill(2);
  EXPECT_EQ(fx.system, expected);
  // The follower has its options, no special signal and the following track.
  const FollowerOptions& o = follower.options;
  EXPECT_EQ(std::tie(o.level, o.startAutomatically, o.autoJump, o.localJumpsOnly, o.waitForStart),
            std::make_tuple(4, true, true, false, false));
  EXPECT_EQ(follower.specialSignal.load(), kNoSpecialSignal);
  EXPECT_FALSE(follower.notes.empty());
  FollowerFreeAll(follower);
}

TEST(SystemSettingsStore, SettingsSurviveARestart) {
  TempFolder folder;
  std::string message = "stale";
  SystemSettings defaults;
  EXPECT_EQ(LoadSystemSettings(folder.Str(), defaults, message), defaults) << "no file yet";
  EXPECT_EQ(message, "");
  std::string nested = (folder.path / "config" / "tuttiro").string();
  ASSERT_TRUE(SaveSystemSettings(nested, Changed()));
  EXPECT_EQ(LoadSystemSettings(nested, defaults, message), Changed());
  EXPECT_EQ(message, "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(nested), {}), 1);
  EXPECT_FALSE(SaveSystemSettings("", Changed()));
}

TEST(SystemSettingsStore, DamagedFilesGiveDefaultsAndOneMessage) {
  TempFolder folder;
  SystemSettings defaults;
  defaults.outputDevice.fill(1);
  std::string message;
  // The first damaged file is set aside as .damaged and kept: a later one
  // never overwrites it.
  const std::string aside = folder.File(std::string(kSystemSettingsFileName) + ".damaged");
  for (const char* text : {"{\"following\": {", "", "[1, 2]", "null", "\x01\x02\xff"}) {
    folder.Write(kSystemSettingsFileName, text);
    EXPECT_EQ(LoadSystemSettings(folder.Str(), defaults, message), defaults) << text;
    EXPECT_NE(message.find("could not be read"), std::string::npos) << text;
    EXPECT_NE(message.find(aside), std::string::npos) << text;
    std::ifstream kept(aside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "{\"following\": {");
  }
  // Partly invalid: what is wrong keeps its default, the rest is read.
  std::string text = SystemSettingsToJson(Changed());
  auto replace = [&text](const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
  };
  replace("\"tapSource\": 4", "\"tapSource\": 9");
  replace("\"channel\": 15", "\"channel\": \"fifteen\"");
  replace("\"stopDelayMs\": 123456", "\"stopDelayMs\": -1");
  replace("\"frameRate\": 0", "\"frameRate\": 1.5");
  replace("\"metronome\": {", "\"unknown\": 1, \"metronome\": {");
  folder.Write(kSystemSettingsFileName, text);
  SystemSettings loaded = LoadSystemSettings(folder.Str(), defaults, message);
  EXPECT_EQ(loaded.tapSource, defaults.tapSource);
  EXPECT_EQ(loaded.metronomeChannel, defaults.metronomeChannel);
  EXPECT_EQ(loaded.stopDelay, defaults.stopDelay);
  EXPECT_EQ(loaded.frameRate, defaults.frameRate);
  EXPECT_EQ(loaded.metronomeOn, 1);
  EXPECT_EQ(loaded.tapController, 64);
  EXPECT_EQ(loaded.inputDevice, Changed().inputDevice);
  EXPECT_EQ(message.find("could not be read ("), message.find("could not be read"));
  for (const char* name :
       {"following.tapSource", "metronome.channel", "following.stopDelayMs", "midiSync.frameRate"})
    EXPECT_NE(message.find(name), std::string::npos) << name;

  // A short array keeps the defaults of the missing entries; a bad entry its own.
  std::string problem;
  SystemSettings partial = SystemSettingsFromJson(
      R"({"remoteControl": {"entries": [60, 70000, 384]}, "ports": {"incomingChannels": [[0], 5]},
          "display": 3})",
      defaults, problem);
  EXPECT_EQ(partial.remoteControl[0], 60);
  EXPECT_EQ(partial.remoteControl[1], kRemoteNone);
  EXPECT_EQ(partial.remoteControl[2], kRemoteNone) << "384 is above 256 + 127";
  EXPECT_EQ(partial.incomingChannels[0], 0);
  EXPECT_EQ(partial.incomingChannels[1], 1);
  EXPECT_EQ(problem, "remoteControl.entries, ports.incomingChannels, display");
}

TEST(SystemSettingsStore, NamedSettingsSaveLoadReplaceAndRemove) {
  TempFolder folder;
  std::string f = folder.Str();
  std::string message;
  EXPECT_TRUE(NamedSettingsList(f, message).empty());
  SystemSettings defaults;
  SystemSettings first = Changed();
  for (const std::string& bad : {std::string(), std::string(32, 'x')})
    EXPECT_EQ(SaveNamedSettings(f, bad, first, false), NamedSettingsResult::kInvalidName);
  ASSERT_EQ(SaveNamedSettings(f, std::string(31, 'x'), first, false), NamedSettingsResult::kOk);
  for (const char* name : {"Rehearsal", "Concert", "Studio"})
    ASSERT_EQ(SaveNamedSettings(f, name, defaults, false), NamedSettingsResult::kOk) << name;
  EXPECT_EQ(SaveNamedSettings(f, "Fifth", defaults, false), NamedSettingsResult::kFull);
  EXPECT_EQ(SaveNamedSettings(f, "Concert", first, false), NamedSettingsResult::kExists);
  EXPECT_EQ(SaveNamedSettings(f, "Concert", first, true), NamedSettingsResult::kOk);
  EXPECT_EQ(NamedSettingsList(f, message),
            (std::vector<std::string>{std::string(31, 'x'), "Rehearsal", "Concert", "Studio"}));
  SystemSettings loaded;
  ASSERT_EQ(LoadNamedSettings(f, "Concert", defaults, loaded, message), NamedSettingsResult::kOk);
  EXPECT_EQ(loaded, first);
  EXPECT_EQ(LoadNamedSettings(f, "Nobody", defaults, loaded, message),
            NamedSettingsResult::kNotFound);
  EXPECT_EQ(RemoveNamedSettings(f, "Rehearsal"), NamedSettingsResult::kOk);
  EXPECT_EQ(RemoveNamedSettings(f, "Rehearsal"), NamedSettingsResult::kNotFound);
  EXPECT_EQ(NamedSettingsList(f, message),
            (std::vector<std::string>{std::string(31, 'x'), "Concert", "Studio"}));
  EXPECT_EQ(SaveNamedSettings(f, "Fifth", defaults, false), NamedSettingsResult::kOk);
}

TEST(SystemSettingsStore, DamagedNamedSettingsAreKeptAside) {
  TempFolder folder;
  std::string f = folder.Str();
  std::string message;
  folder.Write(kNamedSettingsFileName,
               R"({"named": [{"name": "Good", "settings": {"metronome": {"on": 1}}},
      {"name": 5}, {"name": "Bad", "settings": {"metronome": {"on": 7}}}, "junk"]})");
  EXPECT_EQ(NamedSettingsList(f, message), (std::vector<std::string>{"Good", "Bad"}));
  EXPECT_NE(message.find("could not be read"), std::string::npos);
  SystemSettings loaded;
  ASSERT_EQ(LoadNamedSettings(f, "Bad", SystemSettings{}, loaded, message),
            NamedSettingsResult::kOk);
  EXPECT_EQ(loaded.metronomeOn, 0);
  EXPECT_NE(message.find("metronome.on"), std::string::npos);
  ASSERT_EQ(SaveNamedSettings(f, "New", SystemSettings{}, false), NamedSettingsResult::kOk);
  EXPECT_TRUE(
      std::filesystem::exists(folder.path / (std::string(kNamedSettingsFileName) + ".damaged")));
  EXPECT_EQ(NamedSettingsList(f, message), (std::vector<std::string>{"Good", "Bad", "New"}));
  EXPECT_EQ(message, "");

  folder.Write(kNamedSettingsFileName, "not json");
  EXPECT_TRUE(NamedSettingsList(f, message).empty());
  EXPECT_FALSE(message.empty());
}

TEST(SystemSettingsStore, TheFolderFollowsTheEnvironment) {
  std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  bool hadXdg = std::getenv("XDG_CONFIG_HOME") != nullptr;
  setenv("XDG_CONFIG_HOME", "/tmp/cfg-test", 1);
  EXPECT_EQ(SettingsFolder(), "/tmp/cfg-test/tuttiro");
  setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  setenv("HOME", "/tmp/home-test", 1);
  EXPECT_EQ(SettingsFolder(), "/tmp/home-test/.config/tuttiro");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(SettingsFolder(), "");
  if (hadXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  if (!savedHome.empty()) setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace tuttiro
