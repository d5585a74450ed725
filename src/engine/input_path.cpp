// The MIDI input path, the tap detectors and the performance recording.
#include "engine/input_path.h"

#include <algorithm>
#include <array>
#include <new>

#include "app/app.h"
#include "engine/time_base.h"

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
uint32_t Pack(uint8_t status, uint8_t d1, uint8_t d2) {
  return status | static_cast<uint32_t>(d1) << 8 | static_cast<uint32_t>(d2) << 16;
}

bool IsNoteOn(uint32_t m) {
  return (Status(m) & 0xF0) == kNoteOn && Data2(m) > 0;
}
bool IsNoteOff(uint32_t m) {
  return (Status(m) & 0xF0) == kNoteOff || ((Status(m) & 0xF0) == kNoteOn && Data2(m) == 0);
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

// The mode whose command would start what is already running is a Stop.
uint16_t RemoteCommandFor(AppRec& app, int function) {
  const TransportClock clock = TransportClockRead(app.clock);
  const bool active[] = {clock.running && clock.following, app.transport.playingFile.load(),
                         app.transport.playingPerformance.load(),
                         clock.running && clock.fastForward, clock.rewinding};
  if (function < 5 && active[function]) return kCmdStop;
  return static_cast<uint16_t>(function);
}

void Tap(AppRec& app, int32_t strength) {
  if (app.followerReady) FollowerTapInput(app.follower, strength);
}

// One poll: a key or button going down taps once; it must come up before it
// can tap again. Then the poll arms itself 2 ms later, until the generation moves on.
void KeyPollFire(void* context, uint32_t generation) {
  auto& input = *static_cast<InputPathRec*>(context);
  if (generation != input.keyPollGeneration || !input.pollApp) return;
  AppRec& app = *input.pollApp;
  const KeyId key = input.settings.tapSource == 0 ? KeyId::kSpaceBar : KeyId::kRightButton;
  if (!app.platform.KeyDown(key)) {
    input.keyTapHeld = 0;
  } else if (!input.keyTapHeld.exchange(1)) {
    Tap(app, 0);
  }
  app.platform.TimerSet(app.platform.ClockNow() + kKeyPollMs, KeyPollFire, &input, generation);
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
}

void MidiThru(AppRec& app, InputPathRec& input, uint32_t message) {
  if (input.metronomeDialogLearning) return;
  const uint16_t channel = input.settings.thruChannel;
  if (Status(message) < 0xF0 && channel != kThruSameChannel) {
    message = (message & ~0x0Fu) | (channel & 0x0F);
  }
  const uint16_t port = input.settings.thruPort;
  MidiSend(app.ports, message, port == kAllOutputPorts ? -2 : port, 0);
}

bool RemoteControl(AppRec& app, InputPathRec& input, uint32_t message) {
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
    if (release) QueueCommand(app.commands, RemoteCommandFor(app, f));
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
void MidiTapDetector(AppRec& app, InputPathRec& input, uint32_t message) {
  if (!IsTapMessage(input, message)) return;
  if (IsNoteOn(message)) {
    Tap(app, static_cast<int32_t>(Data2(message)) << 10);
    return;
  }
  if ((Status(message) & 0xF0) != kController || Data1(message) >= kTapControllers) return;
  std::atomic<uint8_t>& on = input.controllerTap[Data1(message)];
  if (on && Data2(message) < 56) {
    on = 0;
  } else if (!on && Data2(message) > 72) {
    on = 1;
    Tap(app, 0);
  }
}

void KeyPollStart(AppRec& app, InputPathRec& input) {
  input.pollApp = &app;
  input.keyTapHeld = 1;  // a key already down when following starts does not tap
  const uint32_t generation = ++input.keyPollGeneration;
  app.platform.TimerSet(app.platform.ClockNow() + kKeyPollMs, KeyPollFire, &input, generation);
}

void KeyPollStop(InputPathRec& input) {
  ++input.keyPollGeneration;
}

void ClearControllerTaps(InputPathRec& input) {
  for (auto& state : input.controllerTap) state = 0;
}

void ProcessInput(AppRec& app, InputPathRec& input, uint32_t message, SystemTime t, int port) {
  if (port < 0 || port >= kInputPortCount) return;
  const bool thru = input.settings.thruOn;
  const bool processFirst = input.settings.thruProcessFirst;
  if (thru && !processFirst) MidiThru(app, input, message);
  if (input.inputBlocked) return;
  const uint8_t status = Status(message);
  const int channel = status & 0x0F;
  if (status >= 0x80 && status < 0xF0 &&
      app.ports.channelEnable[static_cast<size_t>(port) * 16 + channel]) {
    uint32_t copy = Pack(status & 0xF0, Data1(message), Data2(message));
    if (IsNoteOff(copy)) copy = Pack(kNoteOff, Data1(copy), Data2(copy));
    const uint8_t kind = Status(copy);
    const bool keep =
        (kind != kNoteOn && kind != kNoteOff) || Debounce(input, copy, t, port, channel);
    if (keep) {
      const uint16_t mode = app.transport.followerInputMode;
      if (mode == kInputLearning && input.learn) input.learn(copy);
      if (!input.learningDialogOpen && !RemoteControl(app, input, copy)) {
        RecordInput(app, input, copy, t);
        if (mode == kInputMidiTaps) {
          MidiTapDetector(app, input, copy);
        } else if ((kind == kNoteOn || kind == kController) && !app.transport.playingFile &&
                   !app.transport.playingPerformance && app.followerReady) {
          if (kind == kNoteOn) {
            const int note = Data1(copy) - input.settings.masterTranspose;
            copy = Pack(kind, static_cast<uint8_t>(note & 0x7F), Data2(copy));
          }
          FollowerNoteInput(app.follower, copy);
        }
      }
    }
  }
  if (thru && processFirst) MidiThru(app, input, message);
}

void RecordingStart(InputPathRec& input, int32_t startPosition) {
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  std::vector<RecordedMessage>().swap(r.messages);  // each run starts with room for 4096
  r.tempoList.clear();
  r.startPosition = startPosition;
  r.outOfMemory = false;
  try {
    r.messages.reserve(kRecordingInitialEvents);
    r.recording = true;
  } catch (const std::bad_alloc&) {
    r.outOfMemory = true;
  }
}

void RecordInput(AppRec& app, InputPathRec& input, uint32_t message, SystemTime t) {
  const uint16_t mode = app.transport.followerInputMode;
  const bool tapping = mode == kInputMidiTaps || mode == kInputKeyTaps;
  if (mode != kInputSoloistNotes && !tapping) return;
  if (tapping && !input.settings.playTappedNotes) return;
  if (mode == kInputMidiTaps && IsTapMessage(input, message)) return;
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  // Never grows here: the window thread makes room ahead of time.
  if (!r.recording || r.outOfMemory || r.messages.size() == r.messages.capacity()) return;
  r.messages.push_back(RecordedMessage{t, message});
}

bool RecordingGrow(InputPathRec& input) {
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  if (!r.recording || r.outOfMemory) return !r.outOfMemory;
  if (r.messages.capacity() - r.messages.size() >= kRecordingMinimumFree) return true;
  try {
    r.messages.reserve(r.messages.capacity() + kRecordingGrowEvents);
  } catch (const std::bad_alloc&) {
    r.outOfMemory = true;
    return false;
  }
  return true;
}

int RecordingFinish(AppRec& app, InputPathRec& input, int32_t startingRate, int32_t endPosition) {
  PerformanceRecordingRec& r = input.recording;
  std::lock_guard lock(r.lock);
  r.recording = false;
  r.tempoList.clear();
  std::vector<TempoPair> exported = TempoMapExport(app.follower.clock, startingRate);
  size_t first = 0;
  while (first < exported.size() && exported[first].position < r.startPosition) ++first;
  if (exported.size() - first > 2) {
    r.tempoList.push_back({0, exported[first].position});
    for (size_t i = first + 1; i < exported.size(); ++i) {
      const TempoPair& previous = exported[i - 1];
      const int32_t span = exported[i].position - previous.position;
      // A stretch without a forward rate takes no time rather than dividing by zero.
      const int32_t ms = previous.rate > 0 && span > 0 ? FixDiv(span, previous.rate) : 0;
      r.tempoList.push_back({r.tempoList.back()[0] + ms, exported[i].position});
    }
  }
  TrackRec& track = app.piece.performanceTrack();
  track.events.clear();
  track.events.reserve(r.messages.size());
  std::array<uint16_t, 128> held{};
  int32_t last = 0;
  for (const RecordedMessage& m : r.messages) {
    const int32_t position = std::max(0, PerformancePosition(app.follower.clock, m.time));
    const PieceEvent event{static_cast<uint32_t>(position), Status(m.message), Data1(m.message),
                           Data2(m.message), 1};
    track.events.push_back(event);
    last = std::max(last, position);
    uint16_t& count = held[event.data1 & 0x7F];
    if (IsNoteOn(m.message)) {
      ++count;
    } else if (IsNoteOff(m.message) && count > 0) {
      --count;
    }
  }
  // Notes still held when following stopped end there, so that playing the
  // performance back never leaves one sounding.
  const uint32_t end = static_cast<uint32_t>(std::max(last, endPosition));
  for (size_t note = 0; note < held.size(); ++note) {
    for (uint16_t i = 0; i < held[note]; ++i) {
      track.events.push_back(PieceEvent{end, 0x80, static_cast<uint8_t>(note), 0, 1});
    }
  }
  track.playCursor = 0;
  return static_cast<int>(track.events.size());
}

}  // namespace tuttiro
