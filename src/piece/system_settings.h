// System settings: the choices that belong to the installation rather than to
// a piece (following, remote control, metronome, loop mode, MIDI and sync set-up,
// performance playback, ports, display preferences), their defaults and the
// System Settings > Default Settings command.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tuttiro {

struct SettingsContext;

inline constexpr int kRemoteControlEntries = 14;
inline constexpr uint16_t kRemoteNone = 65535;
inline constexpr uint16_t kRemoteControllerBase = 256;  // 256 + controller number
inline constexpr uint8_t kNoNoteOrController = 255;
inline constexpr uint16_t kAllOutputPorts = 65534;
inline constexpr uint16_t kThruSameChannel = 65533;
inline constexpr int kSettingsPortCount = 8;
inline constexpr int kMaxOutputLeadMs = 500;

// Follower input modes: how MIDI input reaches the follower.
enum FollowerInputMode : uint16_t {
  kInputNone = 0,
  kInputMidiTaps = 1,
  kInputSoloistNotes = 2,
  kInputLearning = 3,
  kInputListening = 4,
  kInputKeyTaps = 5,
};

constexpr std::array<uint16_t, kRemoteControlEntries> MakeRemoteTable() {
  std::array<uint16_t, kRemoteControlEntries> table{};
  table.fill(kRemoteNone);
  return table;
}

constexpr std::array<uint8_t, kSettingsPortCount * 16> MakeChannelSwitches() {
  std::array<uint8_t, kSettingsPortCount * 16> switches{};
  switches.fill(1);
  return switches;
}

// Every member starts at its default; System Default Settings adds the
// output devices, which depend on the devices present.
struct SystemSettings {
  // Following
  uint16_t followSource = 0;  // 0 the soloist's playing, 1 tapped beats
  uint16_t tapSource = 0;     // 0 Space Bar, 1 Right Mouse Button, 2 Note, 3 Any Note,
                              // 4 Controller, 5 Any Controller
  uint8_t tapNote = kNoNoteOrController;
  uint8_t tapController = kNoNoteOrController;
  uint8_t waitForSolo = 0;
  uint8_t previewBeforeStarting = 0;
  uint8_t startAutomatically = 1;
  uint8_t stopAutomatically = 0;
  uint32_t stopDelay = 5000;  // milliseconds
  uint8_t autoJump = 1;
  uint8_t localJumps = 0;         // 1 Jump Several Beats, 0 Jump Anywhere in Piece
  uint8_t strictTime = 0;         // 1: the clock never waits at the soloist's next note
  int16_t timingSensitivity = 4;  // 0 None ... 4 Highest
  int16_t volumeSensitivity = 2;  // 0 None ... 3 High
  // Remote control: a note, 256 + a controller, or none; the order of the
  // transport commands, then the special signal.
  std::array<uint16_t, kRemoteControlEntries> remoteControl = MakeRemoteTable();
  // Metronome
  uint8_t metronomeOn = 0;
  uint16_t metronomePort = 0;
  uint8_t metronomeChannel = 9;
  uint8_t metronomePatch = kNoNoteOrController;
  uint8_t downbeatNote = 75;
  uint8_t downbeatVelocity = 127;
  uint8_t beatNote = 75;
  uint8_t beatVelocity = 100;
  // Loop mode
  uint8_t loopMode = 0;
  uint8_t restartLoopAutomatically = 1;
  uint16_t restartDelay = 3;  // seconds
  uint8_t setLoopPointsAutomatically = 0;
  // MIDI & Sync Setup
  uint8_t transmitSysex = 1;
  uint16_t sysexMode = 0;  // 0 when the file is opened, 1 as they appear, 2 all every time
  uint16_t sysexPort = 0;  // or kAllOutputPorts
  uint8_t soundHeldNotes = 1;
  uint8_t midiThru = 0;
  uint16_t thruPort = 0;                    // or kAllOutputPorts
  uint16_t thruChannel = kThruSameChannel;  // 0-15 or the input's channel
  uint8_t thruProcessFirst = 0;
  uint8_t transmitSync = 0;
  uint16_t syncPort = 0;
  uint16_t syncType = 0;   // 0 MIDI clock, 1 MIDI Time Code
  uint16_t frameRate = 3;  // 24, 25, 30 drop frame, 30 no drop frame
  // Performance Settings
  uint16_t performancePlayback =
      0;  // Punch-In, Sound on Sound, Overwrite, Only the Following Track
  uint8_t playTappedNotes = 0;
  std::array<uint16_t, 3> performanceTempo{0, 1, 1};  // before, during, after the performed section
  // MIDI Ports & Devices
  std::array<uint16_t, kSettingsPortCount> inputDevice{};
  std::array<uint16_t, kSettingsPortCount> outputDevice{};  // the default output device
  // How much earlier than due each output port's events are sent, in ms
  // (0-500), so that a device that sounds late sounds on time.
  std::array<uint16_t, kSettingsPortCount> outputLeadMs{};
  // The names of the assigned devices, so that a port finds its device again
  // when the devices are listed in another order; empty: go by the index.
  std::array<std::string, kSettingsPortCount> inputDeviceName{};
  std::array<std::string, kSettingsPortCount> outputDeviceName{};
  // The built-in synthesizer's soundfont (.sf2/.sf3); empty: the General MIDI
  // soundfont installed.
  std::string soundfont;
  // Incoming MIDI switches, index port * 16 + channel, 1 = listened to.
  std::array<uint8_t, kSettingsPortCount* 16> incomingChannels = MakeChannelSwitches();
  // Display Preferences
  uint8_t viewsMovable = 1;
  uint8_t requireShiftDrag = 1;
  uint8_t rememberViewLocations = 1;
  uint8_t connectNotice = 1;  // 0: "Don't Show Again" was chosen on the connect notice
  // How MIDI input reaches the follower (a running state, not a stored choice).
  uint16_t followerInputMode = kInputListening;

  bool operator==(const SystemSettings&) const = default;
};

// What System Default Settings asks of the ports, menus and views. Each may be
// left empty.
struct SystemSettingsHooks {
  // The device the output ports default to (the built-in synthesizer).
  std::function<int()> defaultOutputDevice;
  // Opens the ports' input and output devices; false when either fails.
  std::function<bool(const SystemSettings&)> openPorts;
  std::function<void()> showPortsDialog;  // MIDI Ports & Devices
  // The sixteen channel items of each Settings > Incoming MIDI port submenu.
  std::function<void(const SystemSettings&)> checkIncomingChannels;
  // Loop Mode and Metronome buttons off; Song Position & Looping, Current
  // Tempo and Tracks views redrawn.
  std::function<void()> showSystemDefaults;
};

// The follower input mode the Following choices give while stopped:
// listening when the soloist's playing is followed and Start Automatically is on.
uint16_t IdleFollowerInputMode(const SystemSettings& system);

// System Settings > Default Settings, also run at start-up before the first
// piece is opened.
void SystemDefaultSettings(SettingsContext& context);

// Hands the follower the Following options and the special signal.
void GiveFollowerOptions(SettingsContext& context);

}  // namespace tuttiro
