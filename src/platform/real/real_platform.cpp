// Building the device lists and passing calls to the devices. Each device has
// its own lock, so the window, timer and input threads may send at once
// (RtMidi and the back ends under it are not safe for concurrent writers).
#include "platform/real/real_platform.h"

#include <filesystem>
#include <thread>

#include "platform/midi_message.h"
#include "platform/real/rtmidi_devices.h"
#include "platform/real/synth_device.h"

namespace tuttiro {

RealPlatform::RealPlatform(RealPlatformOptions options)
    : options_(std::move(options)), epoch_(std::chrono::steady_clock::now()), timers_(epoch_) {
  std::string jackReason;
  const bool jackRunning = options_.jack && JackServerAvailable(&jackReason);

  if (options_.synth) {
    const std::string soundfont = options_.soundfont.empty() ? FindSoundfont() : options_.soundfont;
    if (soundfont.empty()) {
      backends_.push_back({MidiBackend::kSynth, false, "no General MIDI soundfont (.sf2) found"});
    } else {
      auto slot = std::make_unique<OutSlot>();
      slot->info = {
          "Built-in synthesizer (" + std::filesystem::path(soundfont).filename().string() + ")",
          MidiBackend::kSynth};
      slot->device =
          std::make_unique<SynthDevice>(SynthOptions{soundfont, options_.synthAudio, jackRunning});
      outputs_.push_back(std::move(slot));
      backends_.push_back({MidiBackend::kSynth, true, {}});
    }
  } else {
    backends_.push_back({MidiBackend::kSynth, false, "turned off"});
  }

  std::string alsaReason = "turned off";
  if (options_.alsa && AlsaSequencerAvailable(&alsaReason)) {
    AddRtMidiDevices(true);
  } else {
    backends_.push_back({MidiBackend::kAlsa, false, alsaReason});
  }
  if (jackRunning) {
    AddRtMidiDevices(false);
  } else {
    backends_.push_back({MidiBackend::kJack, false, options_.jack ? jackReason : "turned off"});
  }
}

RealPlatform::~RealPlatform() {
  for (int d = 0; d < MidiInDeviceCount(); ++d) MidiInClose(d);
  for (int d = 0; d < MidiOutDeviceCount(); ++d) MidiOutClose(d);
}

void RealPlatform::AddRtMidiDevices(bool alsa) {
  const MidiBackend backend = alsa ? MidiBackend::kAlsa : MidiBackend::kJack;
  RtMidiPortLists lists;
  std::string reason;
  if (!ListRtMidiPorts(alsa, options_.clientName + "-list", &lists, &reason)) {
    backends_.push_back({backend, false, reason});
    return;
  }
  backends_.push_back({backend, true, {}});

  // First our own ports, for other programs to connect to, then every port
  // the back end lists. On JACK each device is a client of its own.
  // Our JACK clients take the names the server gives: a second program with
  // our name makes the names unique, and our ports are listed as they really are.
  const std::string name = options_.clientName;
  const auto given = [alsa](const std::string& wanted) {
    const std::string client = alsa ? std::string() : JackClientNameGiven(wanted);
    return client.empty() ? wanted : client;
  };
  const std::string outClient = alsa ? name : given(name + "-out");
  const std::string inClient = alsa ? name : given(name + "-in");
  if (!alsa) {
    ownJackOut_ = outClient + ":out";
    ownJackIn_ = inClient + ":in";
  }
  const auto addOutput = [&](std::string label, std::string target, std::string client) {
    auto slot = std::make_unique<OutSlot>();
    slot->info = {std::move(label), backend};
    slot->device = MakeRtMidiOutput(alsa, std::move(client), std::move(target), "out");
    outputs_.push_back(std::move(slot));
  };
  const auto addInput = [&](std::string label, std::string target, std::string client) {
    auto slot = std::make_unique<InSlot>();
    slot->platform = this;
    slot->info = {std::move(label), backend};
    slot->device = MakeRtMidiInput(alsa, std::move(client), std::move(target), "in");
    inputs_.push_back(std::move(slot));
  };
  const std::string kind = alsa ? "ALSA" : "JACK";
  addOutput("Own " + kind + " port " + outClient + ":out", {}, outClient);
  addInput("Own " + kind + " port " + inClient + ":in", {}, inClient);
  for (std::string& port : lists.outputs) addOutput(port, port, name);
  for (std::string& port : lists.inputs) addInput(port, port, name);
}

SystemTime RealPlatform::ClockNow() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               epoch_)
      .count();
}

TimerId RealPlatform::TimerSet(SystemTime due, TimerCallback callback, void* context,
                               uint32_t user) {
  return timers_.Set(due, callback, context, user);
}

void RealPlatform::TimerKill(TimerId id) {
  timers_.Kill(id);
}

void RealPlatform::Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::optional<MidiDeviceInfo> RealPlatform::MidiInDevice(int device) const {
  if (device < 0 || device >= MidiInDeviceCount()) return std::nullopt;
  return inputs_[device]->info;
}

std::optional<MidiDeviceInfo> RealPlatform::MidiOutDevice(int device) const {
  if (device < 0 || device >= MidiOutDeviceCount()) return std::nullopt;
  return outputs_[device]->info;
}

void RealPlatform::Deliver(void* context, const uint8_t* bytes, size_t length) {
  auto* slot = static_cast<InSlot*>(context);
  MidiInputMessage message;
  message.time = slot->platform->ClockNow();
  if (bytes[0] == 0xF0) {
    message.sysex = bytes;
    message.sysexLength = length;
  } else {
    message.shortMessage = PackShortMessage(bytes, length);
  }
  // Held while the callback runs, so that after MidiInStop no message follows.
  std::lock_guard guard(slot->lock);
  if (slot->started && slot->callback != nullptr) {
    slot->callback(slot->context, slot->instance, message);
  }
}

MidiResult RealPlatform::MidiInOpen(int device, MidiInputCallback callback, void* context,
                                    uint32_t instance, MidiHandle* handle) {
  *handle = kNoMidiHandle;
  if (device < 0 || device >= MidiInDeviceCount()) return kMidiBadDevice;
  InSlot& slot = *inputs_[device];
  {
    std::lock_guard guard(slot.lock);
    if (slot.open) return kMidiAllocated;
    slot.open = true;
    slot.started = false;
    slot.callback = callback;
    slot.context = context;
    slot.instance = instance;
  }
  // Opened without the lock: the back end may deliver (and wait on it) at once.
  const MidiResult result = slot.device->Open(Deliver, &slot);
  if (result != kMidiOk) {
    std::lock_guard guard(slot.lock);
    slot.open = false;
    return result;
  }
  *handle = device;
  return kMidiOk;
}

MidiResult RealPlatform::MidiInStart(MidiHandle handle) {
  if (handle < 0 || handle >= MidiInDeviceCount()) return kMidiInvalidHandle;
  std::lock_guard guard(inputs_[handle]->lock);
  if (!inputs_[handle]->open) return kMidiInvalidHandle;
  inputs_[handle]->started = true;
  return kMidiOk;
}

MidiResult RealPlatform::MidiInStop(MidiHandle handle) {
  if (handle < 0 || handle >= MidiInDeviceCount()) return kMidiInvalidHandle;
  std::lock_guard guard(inputs_[handle]->lock);
  if (!inputs_[handle]->open) return kMidiInvalidHandle;
  inputs_[handle]->started = false;
  return kMidiOk;
}

MidiResult RealPlatform::MidiInClose(MidiHandle handle) {
  if (handle < 0 || handle >= MidiInDeviceCount()) return kMidiInvalidHandle;
  InSlot& slot = *inputs_[handle];
  {
    std::lock_guard guard(slot.lock);
    if (!slot.open) return kMidiInvalidHandle;
    slot.open = false;
    slot.started = false;
  }
  // Without the lock: closing may wait for the back end's thread, which may
  // be waiting for the lock in Deliver.
  slot.device->Close();
  return kMidiOk;
}

MidiResult RealPlatform::MidiOutOpen(int device, MidiHandle* handle) {
  *handle = kNoMidiHandle;
  if (device < 0 || device >= MidiOutDeviceCount()) return kMidiBadDevice;
  OutSlot& slot = *outputs_[device];
  std::lock_guard guard(slot.lock);
  if (slot.open) return kMidiAllocated;
  const MidiResult result = slot.device->Open();
  if (result != kMidiOk) return result;
  slot.open = true;
  *handle = device;
  return kMidiOk;
}

MidiResult RealPlatform::SendTo(MidiHandle handle, const uint8_t* bytes, size_t length) {
  if (handle < 0 || handle >= MidiOutDeviceCount()) return kMidiInvalidHandle;
  OutSlot& slot = *outputs_[handle];
  std::lock_guard guard(slot.lock);
  if (!slot.open) return kMidiInvalidHandle;
  return slot.device->Send(bytes, length);
}

MidiResult RealPlatform::MidiOutShortMsg(MidiHandle handle, uint32_t message) {
  uint8_t bytes[3];
  const int length = UnpackShortMessage(message, bytes);
  if (length == 0) return kMidiInvalidParam;
  for (int i = 1; i < length; ++i) {
    if (bytes[i] >= 0x80) return kMidiInvalidParam;
  }
  return SendTo(handle, bytes, static_cast<size_t>(length));
}

MidiResult RealPlatform::MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) {
  if (data == nullptr || length < 2 || data[0] != 0xF0 || data[length - 1] != 0xF7) {
    return kMidiInvalidParam;
  }
  return SendTo(handle, data, length);
}

MidiResult RealPlatform::MidiOutClose(MidiHandle handle) {
  if (handle < 0 || handle >= MidiOutDeviceCount()) return kMidiInvalidHandle;
  OutSlot& slot = *outputs_[handle];
  std::lock_guard guard(slot.lock);
  if (!slot.open) return kMidiInvalidHandle;
  slot.device->Close();
  slot.open = false;
  return kMidiOk;
}

}  // namespace tuttiro
