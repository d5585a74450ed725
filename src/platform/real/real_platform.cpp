// Building the device lists and passing calls to the devices. Each device has
// its own lock, so the window, timer and input threads may send at once
// (RtMidi and the back ends under it are not safe for concurrent writers).
#include "platform/real/real_platform.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/midi_message.h"
#include "platform/real/jack_watch.h"
#include "platform/real/rtmidi_devices.h"
#include "platform/real/synth_device.h"

namespace tuttiro {

RealPlatform::RealPlatform(RealPlatformOptions options)
    : options_(std::move(options)), epoch_(std::chrono::steady_clock::now()), timers_(epoch_) {
  std::string jackReason = "turned off";
  if (options_.jack) jack_ = JackWatch::Connect(options_.clientName + "-watch", &jackReason);

  if (options_.synth) {
    auto synth = std::make_unique<SynthDevice>(
        SynthOptions{options_.soundfont, options_.synthAudio, jack_ != nullptr});
    if (synth->SoundfontPath().empty()) {
      backends_.push_back({MidiBackend::kSynth, false, "no General MIDI soundfont (.sf2) found"});
    } else {
      auto slot = std::make_unique<OutSlot>();
      // The name does not change with the soundfont, so that ports remember it.
      slot->info = {"Built-in synthesizer", MidiBackend::kSynth};
      synth_ = synth.get();
      slot->synth = synth_;
      slot->device = std::move(synth);
      AddOutput(std::move(slot));
      backends_.push_back({MidiBackend::kSynth, true, {}});
    }
  } else {
    backends_.push_back({MidiBackend::kSynth, false, "turned off"});
  }

  backends_.push_back({MidiBackend::kAlsa, false, "turned off"});
  backends_.push_back({MidiBackend::kJack, false, jackReason});
  RefreshBackend(true, true);
  if (jack_) RefreshBackend(false, false);
}

RealPlatform::~RealPlatform() {
  for (int d = 0; d < MidiInDeviceCount(); ++d) MidiInClose(d);
  for (int d = 0; d < MidiOutDeviceCount(); ++d) MidiOutClose(d);
}

namespace {

// Appends a device slot, then publishes the new count: a reader on another
// thread never sees a count whose last slot is not filled yet.
template <typename Slot, size_t N>
bool AppendSlot(std::array<std::unique_ptr<Slot>, N>& slots, std::atomic<int>& count,
                std::unique_ptr<Slot> slot) {
  const int used = count.load(std::memory_order_relaxed);
  if (used >= static_cast<int>(N)) return false;
  slots[static_cast<size_t>(used)] = std::move(slot);
  count.store(used + 1, std::memory_order_release);
  return true;
}

}  // namespace

bool RealPlatform::AddOutput(std::unique_ptr<OutSlot> slot) {
  return AppendSlot(outputs_, outputCount_, std::move(slot));
}

bool RealPlatform::AddInput(std::unique_ptr<InSlot> slot) {
  return AppendSlot(inputs_, inputCount_, std::move(slot));
}

void RealPlatform::SetBackendStatus(MidiBackend backend, bool available, std::string reason) {
  for (MidiBackendStatus& status : backends_) {
    if (status.backend == backend) status = {backend, available, std::move(reason)};
  }
}

bool RealPlatform::RefreshBackend(bool alsa, bool probeMissing) {
  const MidiBackend backend = alsa ? MidiBackend::kAlsa : MidiBackend::kJack;
  RtMidiPortLists lists;
  std::string reason = !(alsa ? options_.alsa : options_.jack) ? "turned off"
                       : alsa                                  ? "the ALSA sequencer did not answer"
                                                               : "no JACK server running";
  bool listed = false;
  if (alsa) {
    if (options_.alsa && !alsa_ && probeMissing)
      alsa_ = AlsaPortLister::Open(options_.clientName + "-list", &reason);
    listed = alsa_ && alsa_->List(&lists, &reason);
  } else if (options_.jack) {
    // A server that went away is looked for again: it may have been restarted.
    if (jack_ && !jack_->Alive()) jack_.reset();
    if (!jack_ && probeMissing) jack_ = JackWatch::Connect(options_.clientName + "-watch", &reason);
    listed = jack_ != nullptr;
    if (listed) lists = jack_->Ports();
  }
  const bool wasAvailable = std::any_of(backends_.begin(), backends_.end(), [&](const auto& b) {
    return b.backend == backend && b.available;
  });
  if (!listed) {
    // Without a new look, a back end that was missing keeps its reason.
    if (probeMissing || wasAvailable) SetBackendStatus(backend, false, reason);
  } else if (!wasAvailable) {
    SetBackendStatus(backend, true, {});
    // Our own ports once: a server that was restarted finds them listed again.
    if (!std::exchange(ownPortsAdded_[alsa ? 0 : 1], true)) AddRtMidiDevices(alsa);
  }

  bool changed = listed != wasAvailable;
  const auto listedIn = [&](const std::vector<std::string>& names, const std::string& target) {
    return listed &&
           (target.empty() || std::find(names.begin(), names.end(), target) != names.end());
  };
  const auto known = [&](const auto& slots, int count, const std::string& target) {
    return std::any_of(slots.begin(), slots.begin() + count, [&](const auto& slot) {
      return slot->info.backend == backend && slot->target == target;
    });
  };
  for (const std::string& port : lists.outputs) {
    if (!OwnPort(port) && !known(outputs_, MidiOutDeviceCount(), port))
      changed |= AddOutputPort(alsa, port);
  }
  for (const std::string& port : lists.inputs) {
    if (!OwnPort(port) && !known(inputs_, MidiInDeviceCount(), port))
      changed |= AddInputPort(alsa, port);
  }
  const auto mark = [&](auto& slot, const std::vector<std::string>& names) {
    if (slot->info.backend != backend) return;
    const bool present = listedIn(names, slot->target);
    changed |= slot->present.exchange(present) != present;
  };
  for (int d = 0; d < MidiOutDeviceCount(); ++d)
    mark(outputs_[static_cast<size_t>(d)], lists.outputs);
  for (int d = 0; d < MidiInDeviceCount(); ++d) mark(inputs_[static_cast<size_t>(d)], lists.inputs);
  return changed;
}

// Ports of our own clients: the own ports (<name>, <name>-out, <name>-in), and
// the ports our connections to other programs' ports make (on JACK a client
// <name> each, which the server numbers <name>-01, <name>-02, ... when the name
// is taken). They are offered once, as the own ports, or not at all.
bool RealPlatform::OwnPort(const std::string& port) const {
  const std::string client = port.substr(0, port.find(':'));
  const std::string& own = options_.clientName;
  if (client == own || client == own + "-out" || client == own + "-in") return true;
  if (port == ownJackOut_ || port == ownJackIn_) return true;
  if (client.size() <= own.size() + 1 || client.compare(0, own.size() + 1, own + "-") != 0) {
    return false;
  }
  return client.find_first_not_of("0123456789", own.size() + 1) == std::string::npos;
}

bool RealPlatform::MidiRefreshDevices(bool probeMissing) {
  const bool alsa = RefreshBackend(true, probeMissing);
  const bool jack = RefreshBackend(false, probeMissing);
  return alsa || jack;
}

// Our own ports, for other programs to connect to. On JACK each device is a
// client of its own. The ports the back end lists follow as they are found.
void RealPlatform::AddRtMidiDevices(bool alsa) {
  const MidiBackend backend = alsa ? MidiBackend::kAlsa : MidiBackend::kJack;
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
  const std::string kind = alsa ? "ALSA" : "JACK";
  auto out = std::make_unique<OutSlot>();
  out->info = {"Own " + kind + " port " + outClient + ":out", backend};
  out->device = MakeRtMidiOutput(alsa, outClient, {}, "out");
  AddOutput(std::move(out));
  auto in = std::make_unique<InSlot>();
  in->platform = this;
  in->info = {"Own " + kind + " port " + inClient + ":in", backend};
  in->device = MakeRtMidiInput(alsa, inClient, {}, "in");
  AddInput(std::move(in));
}

bool RealPlatform::AddOutputPort(bool alsa, const std::string& port) {
  auto slot = std::make_unique<OutSlot>();
  slot->info = {port, alsa ? MidiBackend::kAlsa : MidiBackend::kJack};
  slot->target = port;
  slot->device = MakeRtMidiOutput(alsa, options_.clientName, port, "out");
  return AddOutput(std::move(slot));
}

bool RealPlatform::AddInputPort(bool alsa, const std::string& port) {
  auto slot = std::make_unique<InSlot>();
  slot->platform = this;
  slot->info = {port, alsa ? MidiBackend::kAlsa : MidiBackend::kJack};
  slot->target = port;
  slot->device = MakeRtMidiInput(alsa, options_.clientName, port, "in");
  return AddInput(std::move(slot));
}

int RealPlatform::SynthOutputLatencyMs() const {
  return synth_ == nullptr ? 0 : synth_->LatencyMs();
}

bool RealPlatform::SynthSetSoundfont(const std::string& path) {
  for (int d = 0; d < MidiOutDeviceCount(); ++d) {
    OutSlot& slot = *outputs_[static_cast<size_t>(d)];
    if (slot.synth == nullptr) continue;
    std::lock_guard guard(slot.lock);
    return slot.synth->SetSoundfont(path);
  }
  return true;
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
  const InSlot& slot = *inputs_[static_cast<size_t>(device)];
  MidiDeviceInfo info = slot.info;
  info.present = slot.present.load(std::memory_order_relaxed);
  return info;
}

std::optional<MidiDeviceInfo> RealPlatform::MidiOutDevice(int device) const {
  if (device < 0 || device >= MidiOutDeviceCount()) return std::nullopt;
  const OutSlot& slot = *outputs_[static_cast<size_t>(device)];
  MidiDeviceInfo info = slot.info;
  info.present = slot.present.load(std::memory_order_relaxed);
  if (slot.synth != nullptr) {
    info.silent = slot.synth->Silent();
    info.latencyMs = slot.synth->LatencyMs();
  }
  return info;
}

// Each message is stamped here, once, with the time it was played; that time
// travels with it to the follower.
void RealPlatform::Deliver(void* context, const uint8_t* bytes, size_t length,
                           double sinceLastSeconds) {
  auto* slot = static_cast<InSlot*>(context);
  const SystemTime now = slot->platform->ClockNow();
  MidiInputMessage message;
  if (bytes[0] == 0xF0) {
    message.sysex = bytes;
    message.sysexLength = length;
  } else {
    message.shortMessage = PackShortMessage(bytes, length);
  }
  // Held while the callback runs, so that after MidiInStop no message follows.
  std::lock_guard guard(slot->lock);
  message.time = InputStamp(slot->stamp, now, sinceLastSeconds);
  if (slot->started && slot->callback != nullptr) {
    slot->callback(slot->context, slot->instance, message);
  }
}

MidiResult RealPlatform::MidiInOpen(int device, MidiInputCallback callback, void* context,
                                    uint32_t instance, MidiHandle* handle) {
  *handle = kNoMidiHandle;
  if (device < 0 || device >= MidiInDeviceCount()) return kMidiBadDevice;
  InSlot& slot = *inputs_[static_cast<size_t>(device)];
  {
    std::lock_guard guard(slot.lock);
    if (slot.open) return kMidiAllocated;
    slot.open = true;
    slot.started = false;
    slot.callback = callback;
    slot.context = context;
    slot.instance = instance;
    slot.stamp = InputStampRec{};
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
  std::lock_guard guard(inputs_[static_cast<size_t>(handle)]->lock);
  if (!inputs_[static_cast<size_t>(handle)]->open) return kMidiInvalidHandle;
  inputs_[static_cast<size_t>(handle)]->started = true;
  return kMidiOk;
}

MidiResult RealPlatform::MidiInStop(MidiHandle handle) {
  if (handle < 0 || handle >= MidiInDeviceCount()) return kMidiInvalidHandle;
  std::lock_guard guard(inputs_[static_cast<size_t>(handle)]->lock);
  if (!inputs_[static_cast<size_t>(handle)]->open) return kMidiInvalidHandle;
  inputs_[static_cast<size_t>(handle)]->started = false;
  return kMidiOk;
}

MidiResult RealPlatform::MidiInClose(MidiHandle handle) {
  if (handle < 0 || handle >= MidiInDeviceCount()) return kMidiInvalidHandle;
  InSlot& slot = *inputs_[static_cast<size_t>(handle)];
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
  OutSlot& slot = *outputs_[static_cast<size_t>(device)];
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
  OutSlot& slot = *outputs_[static_cast<size_t>(handle)];
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
  OutSlot& slot = *outputs_[static_cast<size_t>(handle)];
  std::lock_guard guard(slot.lock);
  if (!slot.open) return kMidiInvalidHandle;
  slot.device->Close();
  slot.open = false;
  return kMidiOk;
}

}  // namespace tuttiro
