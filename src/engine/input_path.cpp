// The MIDI input path and the tap detectors.
#include "engine/input_path.h"

#include "engine/engine.h"
#include "engine/time_base.h"
#include "midi/midi_message.h"

namespace tuttiro {
namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kController = 0xB0;
constexpr int kRemoteFunctions = 13;

uint8_t Status(uint32_t message) {
  return static_cast<uint8_t>(message & 0xFF);
}
uint8_t Data1(uint32_t message) {
  return static_cast<uint8_t>(message >> 8 & 0xFF);
}
uint8_t Data2(uint32_t message) {
  return static_cast<uint8_t>(message >> 16 & 0xFF);
}

bool IsNoteOn(uint32_t m) {
  return (Status(m) & 0xF0) == kNoteOn && Data2(m) > 0;
}

// Step 5: a note-off is kept only after an accepted note-on; a note-on struck
// again within 50 ms of its release is a bounce of the key. True to keep.
bool Debounce(InputPathRec& input, uint32_t message, SystemTime t, int port, int channel) {
  uint32_t& release =
      input.noteRelease[(static_cast<size_t>(port) * 16 + channel) * 128 + (Data1(message) & 0x7F)];
  // Stored as the low 32 bits of the time plus one (0 means "after a note-on"),
  // compared as an unsigned difference, so it keeps working when the clock
  // passes 2^32 ms and a difference is exact to the millisecond.
  const uint32_t now = static_cast<uint32_t>(t) + 1;
  if ((Status(message) & 0xF0) == kNoteOff) {
    const bool afterNoteOn = release == 0;
    release = now;
    return afterNoteOn;
  }
  if (release != 0 && now - release < kBounceMs) return false;
  release = 0;
  return true;
}

// What the score follower gets of a message: a note-on with the master
// transposition taken off (the soloist is compared with the written part),
// and the special signal given as a controller, when it is pressed, as the
// signal's note (pitch 255). Every other message, the sustain and soft pedals
// among them, is not the soloist's playing and is left out of following.
bool ForTheFollower(const InputPathRec& input, uint32_t message, uint32_t& note) {
  const uint8_t kind = Status(message);
  if (kind == kNoteOn) {
    const int pitch = Data1(message) - input.settings.masterTranspose;
    note = Pack(kNoteOn, static_cast<uint8_t>(pitch & 0x7F), Data2(message));
    return true;
  }
  const uint16_t signal = input.settings.remote[kRemoteControlEntries - 1];
  if (kind == kController && signal == kRemoteControllerBase + Data1(message) &&
      Data2(message) > 0) {
    note = Pack(kNoteOn, kSignalPitch, Data2(message));
    return true;
  }
  return false;
}

// The mode whose command would start what is already running is a Stop.
uint16_t RemoteCommandFor(EngineRec& engine, int function) {
  const TransportClock clock = TransportClockRead(engine.clock);
  const bool active[] = {clock.running && clock.following, engine.mode.playingFile.load(),
                         engine.mode.playingPerformance.load(), clock.running && clock.fastForward,
                         clock.rewinding};
  if (function < 5 && active[function]) return kCmdStop;
  return static_cast<uint16_t>(function);
}

void Tap(EngineRec& engine, int32_t strength, SystemTime t) {
  if (engine.followerReady.load()) FollowerTapInput(engine.follower, strength, t);
}

// One poll: a key or button going down taps once; it must come up before it
// can tap again. Then the poll arms itself 2 ms later, until the generation moves on.
void KeyPollFire(void* context, uint32_t generation) {
  auto& input = *static_cast<InputPathRec*>(context);
  if (generation != input.keyPollGeneration || !input.pollEngine) return;
  EngineRec& engine = *input.pollEngine;
  const KeyId key = input.settings.tapSource == 0 ? KeyId::kSpaceBar : KeyId::kRightButton;
  if (!engine.platform.KeyDown(key)) {
    input.keyTapHeld = 0;
  } else if (!input.keyTapHeld.exchange(1)) {
    Tap(engine, 0, engine.platform.ClockNow());
  }
  engine.platform.TimerSet(engine.platform.ClockNow() + kKeyPollMs, KeyPollFire, &input,
                           generation);
}

}  // namespace

void InputTakeSettings(InputPathRec& input, const SystemSettings& system, int16_t masterTranspose) {
  InputSettingsRec& s = input.settings;
  s.thruOn = system.midiThru != 0;
  s.thruProcessFirst = system.thruProcessFirst != 0;
  s.thruPort = system.thruPort;
  s.thruChannel = system.thruChannel;
  for (int i = 0; i < kRemoteControlEntries; ++i) s.remote[i] = system.remoteControl[i];
  s.tapSource = system.tapSource;
  s.tapNote = system.tapNote;
  s.tapController = system.tapController;
  s.playTappedNotes = system.playTappedNotes != 0;
  s.masterTranspose = masterTranspose;
  s.volumeSensitivity = system.volumeSensitivity;
}

void MidiThru(EngineRec& engine, uint32_t message) {
  InputPathRec& input = engine.input;
  if (input.metronomeDialogLearning) return;
  const uint16_t channel = input.settings.thruChannel;
  if (Status(message) < 0xF0 && channel != kThruSameChannel) {
    message = (message & ~0x0Fu) | (channel & 0x0F);
  }
  const uint16_t port = input.settings.thruPort;
  MidiSend(engine.ports, message, PortOf(port), 0);
}

bool RemoteControl(EngineRec& engine, uint32_t message) {
  InputPathRec& input = engine.input;
  const uint8_t kind = Status(message) & 0xF0;
  uint16_t key;
  if (kind == kNoteOn || kind == kNoteOff) {
    key = Data1(message);
  } else if (kind == kController) {
    key = static_cast<uint16_t>(kRemoteControllerBase + Data1(message));
  } else {
    return false;
  }
  for (int f = 0; f < kRemoteFunctions; ++f) {
    if (input.settings.remote[f] != key) continue;
    const bool release = kind == kNoteOff || (kind == kController && Data2(message) == 0);
    if (release) QueueCommand(engine.commands, RemoteCommandFor(engine, f));
    return true;
  }
  return false;
}

bool IsTapMessage(const InputPathRec& input, uint32_t message) {
  const uint16_t source = input.settings.tapSource;
  const uint8_t kind = Status(message) & 0xF0;
  if (kind == kNoteOn || kind == kNoteOff) {
    return source == 3 || (source == 2 && Data1(message) == input.settings.tapNote);
  }
  if (kind == kController) {
    return source == 5 || (source == 4 && Data1(message) == input.settings.tapController);
  }
  return false;
}

// A controller taps when it rises above 72 and must fall below 56 before it
// can tap again, so a wobbling pedal or slider near the middle taps once.
void MidiTapDetector(EngineRec& engine, uint32_t message, SystemTime t) {
  InputPathRec& input = engine.input;
  if (!IsTapMessage(input, message)) return;
  if (IsNoteOn(message)) {
    Tap(engine, static_cast<int32_t>(Data2(message)) << 10, t);
    return;
  }
  if ((Status(message) & 0xF0) != kController || Data1(message) >= kTapControllers) return;
  std::atomic<uint8_t>& on = input.controllerTap[Data1(message)];
  if (on && Data2(message) < 56) {
    on = 0;
  } else if (!on && Data2(message) > 72) {
    on = 1;
    Tap(engine, 0, t);
  }
}

void KeyPollStart(EngineRec& engine) {
  InputPathRec& input = engine.input;
  input.pollEngine = &engine;
  input.keyTapHeld = 1;  // a key already down when following starts does not tap
  const uint32_t generation = ++input.keyPollGeneration;
  engine.platform.TimerSet(engine.platform.ClockNow() + kKeyPollMs, KeyPollFire, &input,
                           generation);
}

void KeyPollStop(InputPathRec& input) {
  ++input.keyPollGeneration;
}

void ClearControllerTaps(InputPathRec& input) {
  for (auto& state : input.controllerTap) state = 0;
}

void ProcessInput(EngineRec& engine, uint32_t message, SystemTime t, int port) {
  InputPathRec& input = engine.input;
  if (port < 0 || port >= kInputPortCount) return;
  if ((Status(message) & 0xF0) == kNoteOn && Data2(message) > 0)
    input.notesHeard.fetch_add(1, std::memory_order_relaxed);
  // A dialog taking values from MIDI has the input to itself: no thru either.
  const bool thru = input.settings.thruOn && !input.learningDialogOpen;
  const bool processFirst = input.settings.thruProcessFirst;
  if (thru && !processFirst) MidiThru(engine, message);
  if (input.inputBlocked) return;
  const uint8_t status = Status(message);
  const int channel = status & 0x0F;
  if (status >= 0x80 && status < 0xF0 &&
      engine.ports.channelEnable[static_cast<size_t>(port) * 16 + channel]) {
    uint32_t copy = Pack(status & 0xF0, Data1(message), Data2(message));
    if (IsNoteOff(copy)) copy = Pack(kNoteOff, Data1(copy), Data2(copy));
    const uint8_t kind = Status(copy);
    const bool keep =
        (kind != kNoteOn && kind != kNoteOff) || Debounce(input, copy, t, port, channel);
    if (keep) {
      const uint16_t mode = engine.mode.followerInputMode;
      if (mode == kInputLearning && input.learn) input.learn(copy);
      if (!input.learningDialogOpen && !RemoteControl(engine, copy)) {
        RecordInput(engine, copy, t);
        if (mode == kInputMidiTaps) {
          MidiTapDetector(engine, copy, t);
        } else if (!engine.mode.playingFile && !engine.mode.playingPerformance &&
                   engine.followerReady.load()) {
          uint32_t note = 0;
          if (ForTheFollower(input, copy, note)) FollowerNoteInput(engine.follower, note, t);
        }
      }
    }
  }
  if (thru && processFirst) MidiThru(engine, message);
}

}  // namespace tuttiro
