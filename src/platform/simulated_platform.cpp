// The simulated platform's timers and loopback devices. One lock guards all of
// it; callbacks are always called without the lock held, so that they may set
// timers and send MIDI themselves.
#include "platform/simulated_platform.h"

#include <utility>

#include "platform/midi_message.h"

namespace tuttiro {

int SimulatedPlatform::RunUntil(SystemTime t) {
  int fired = 0;
  for (;;) {
    TimerEntry next;
    {
      std::lock_guard guard(lock_);
      if (timers_.Empty() || timers_.NextDue() > t) break;
      next = timers_.PopNext();
      runningTimer_ = next.id;
      runningThread_ = std::this_thread::get_id();
      if (next.due > ClockNow()) SetNow(next.due);
    }
    next.callback(next.context, next.user);
    ++fired;
    {
      std::lock_guard guard(lock_);
      runningTimer_ = kNoTimer;
    }
    callbackDone_.notify_all();
  }
  if (t > ClockNow()) SetNow(t);
  return fired;
}

size_t SimulatedPlatform::PendingTimers() const {
  std::lock_guard guard(lock_);
  return timers_.Size();
}

TimerId SimulatedPlatform::TimerSet(SystemTime due, TimerCallback callback, void* context,
                                    uint32_t user) {
  std::lock_guard guard(lock_);
  return timers_.Add(due, callback, context, user);
}

void SimulatedPlatform::TimerKill(TimerId id) {
  std::unique_lock guard(lock_);
  if (timers_.Remove(id)) return;
  if (runningThread_ == std::this_thread::get_id()) return;
  callbackDone_.wait(guard, [&] { return runningTimer_ != id; });
}

int SimulatedPlatform::AddOutputDevice(std::string name, MidiBackend backend) {
  std::lock_guard guard(lock_);
  OutDevice out;
  out.info = MidiDeviceInfo{std::move(name), backend};
  outputs_.push_back(std::move(out));
  return static_cast<int>(outputs_.size()) - 1;
}

int SimulatedPlatform::AddInputDevice(std::string name) {
  std::lock_guard guard(lock_);
  InDevice in;
  in.info = MidiDeviceInfo{std::move(name), MidiBackend::kLoopback};
  inputs_.push_back(std::move(in));
  return static_cast<int>(inputs_.size()) - 1;
}

int SimulatedPlatform::MidiInDeviceCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(inputs_.size());
}

int SimulatedPlatform::MidiOutDeviceCount() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(outputs_.size());
}

std::optional<MidiDeviceInfo> SimulatedPlatform::MidiInDevice(int device) const {
  std::lock_guard guard(lock_);
  if (device < 0 || device >= static_cast<int>(inputs_.size())) return std::nullopt;
  return inputs_[device].info;
}

std::optional<MidiDeviceInfo> SimulatedPlatform::MidiOutDevice(int device) const {
  std::lock_guard guard(lock_);
  if (device < 0 || device >= static_cast<int>(outputs_.size())) return std::nullopt;
  return outputs_[device].info;
}

std::vector<MidiBackendStatus> SimulatedPlatform::MidiBackends() const {
  return {MidiBackendStatus{MidiBackend::kLoopback, true, {}}};
}

MidiResult SimulatedPlatform::MidiInOpen(int device, MidiInputCallback callback, void* context,
                                         uint32_t instance, MidiHandle* handle) {
  std::lock_guard guard(lock_);
  *handle = kNoMidiHandle;
  if (device < 0 || device >= static_cast<int>(inputs_.size())) return kMidiBadDevice;
  InDevice& in = inputs_[device];
  if (in.open || in.refuseOpen) return kMidiAllocated;
  in.open = true;
  in.started = false;
  in.callback = callback;
  in.context = context;
  in.instance = instance;
  *handle = device;
  return kMidiOk;
}

MidiResult SimulatedPlatform::MidiInStart(MidiHandle handle) {
  std::lock_guard guard(lock_);
  if (handle < 0 || handle >= static_cast<int>(inputs_.size()) || !inputs_[handle].open) {
    return kMidiInvalidHandle;
  }
  inputs_[handle].started = true;
  return kMidiOk;
}

MidiResult SimulatedPlatform::MidiInStop(MidiHandle handle) {
  std::lock_guard guard(lock_);
  if (handle < 0 || handle >= static_cast<int>(inputs_.size()) || !inputs_[handle].open) {
    return kMidiInvalidHandle;
  }
  inputs_[handle].started = false;
  return kMidiOk;
}

MidiResult SimulatedPlatform::MidiInClose(MidiHandle handle) {
  std::lock_guard guard(lock_);
  if (handle < 0 || handle >= static_cast<int>(inputs_.size()) || !inputs_[handle].open) {
    return kMidiInvalidHandle;
  }
  InDevice& in = inputs_[handle];
  in.open = false;
  in.started = false;
  in.callback = nullptr;
  in.context = nullptr;
  return kMidiOk;
}

MidiResult SimulatedPlatform::MidiOutOpen(int device, MidiHandle* handle) {
  std::lock_guard guard(lock_);
  *handle = kNoMidiHandle;
  if (device < 0 || device >= static_cast<int>(outputs_.size())) return kMidiBadDevice;
  OutDevice& out = outputs_[device];
  if (out.open || out.refuseOpen) return kMidiAllocated;
  out.open = true;
  ++out.openCount;
  *handle = device;
  return kMidiOk;
}

MidiResult SimulatedPlatform::Record(MidiHandle handle, std::vector<uint8_t> bytes) {
  std::lock_guard guard(lock_);
  if (handle < 0 || handle >= static_cast<int>(outputs_.size()) || !outputs_[handle].open) {
    return kMidiInvalidHandle;
  }
  OutDevice& out = outputs_[handle];
  if (out.failSends > 0) {
    --out.failSends;
    return kMidiError;
  }
  out.sent.push_back(SentMessage{ClockNow(), std::move(bytes)});
  return kMidiOk;
}

MidiResult SimulatedPlatform::MidiOutShortMsg(MidiHandle handle, uint32_t message) {
  uint8_t bytes[3];
  const int length = UnpackShortMessage(message, bytes);
  if (length == 0) return kMidiInvalidParam;
  return Record(handle, std::vector<uint8_t>(bytes, bytes + length));
}

MidiResult SimulatedPlatform::MidiOutLongMsg(MidiHandle handle, const uint8_t* data,
                                             size_t length) {
  if (data == nullptr || length < 2 || data[0] != 0xF0 || data[length - 1] != 0xF7) {
    return kMidiInvalidParam;
  }
  return Record(handle, std::vector<uint8_t>(data, data + length));
}

MidiResult SimulatedPlatform::MidiOutClose(MidiHandle handle) {
  std::lock_guard guard(lock_);
  if (handle < 0 || handle >= static_cast<int>(outputs_.size()) || !outputs_[handle].open) {
    return kMidiInvalidHandle;
  }
  OutDevice& out = outputs_[handle];
  if (out.stillPlayingCloses > 0) {
    --out.stillPlayingCloses;
    return kMidiStillPlaying;
  }
  out.open = false;
  return kMidiOk;
}

std::vector<SimulatedPlatform::SentMessage> SimulatedPlatform::Sent(int device) const {
  std::lock_guard guard(lock_);
  if (device < 0 || device >= static_cast<int>(outputs_.size())) return {};
  return outputs_[device].sent;
}

bool SimulatedPlatform::InjectInput(int device, const std::vector<uint8_t>& bytes) {
  MidiInputCallback callback = nullptr;
  void* context = nullptr;
  uint32_t instance = 0;
  {
    std::lock_guard guard(lock_);
    if (device < 0 || device >= static_cast<int>(inputs_.size())) return false;
    const InDevice& in = inputs_[device];
    if (!in.open || !in.started || in.callback == nullptr) return false;
    callback = in.callback;
    context = in.context;
    instance = in.instance;
  }
  MidiInputMessage message;
  message.time = ClockNow();
  if (!bytes.empty() && bytes[0] == 0xF0) {
    message.sysex = bytes.data();
    message.sysexLength = bytes.size();
  } else {
    message.shortMessage = PackShortMessage(bytes.data(), bytes.size());
  }
  callback(context, instance, message);
  return true;
}

void SimulatedPlatform::ScheduleInput(int device, SystemTime at, std::vector<uint8_t> bytes) {
  uint32_t token = 0;
  {
    std::lock_guard guard(lock_);
    token = nextInputToken_++;
    pendingInputs_[token] = PendingInput{device, std::move(bytes)};
  }
  TimerSet(at, DeliverScheduledInput, this, token);
}

void SimulatedPlatform::DeliverScheduledInput(void* context, uint32_t token) {
  auto* self = static_cast<SimulatedPlatform*>(context);
  PendingInput input;
  {
    std::lock_guard guard(self->lock_);
    const auto it = self->pendingInputs_.find(token);
    if (it == self->pendingInputs_.end()) return;
    input = std::move(it->second);
    self->pendingInputs_.erase(it);
  }
  self->InjectInput(input.device, input.bytes);
}

void SimulatedPlatform::SetRefuseOpen(bool input, int device, bool refuse) {
  std::lock_guard guard(lock_);
  if (input && device >= 0 && device < static_cast<int>(inputs_.size())) {
    inputs_[device].refuseOpen = refuse;
  } else if (!input && device >= 0 && device < static_cast<int>(outputs_.size())) {
    outputs_[device].refuseOpen = refuse;
  }
}

void SimulatedPlatform::FailNextSends(int device, int count) {
  std::lock_guard guard(lock_);
  if (device >= 0 && device < static_cast<int>(outputs_.size())) outputs_[device].failSends = count;
}

void SimulatedPlatform::SetStillPlayingCloses(int device, int count) {
  std::lock_guard guard(lock_);
  if (device >= 0 && device < static_cast<int>(outputs_.size())) {
    outputs_[device].stillPlayingCloses = count;
  }
}

int SimulatedPlatform::OutOpenCount(int device) const {
  std::lock_guard guard(lock_);
  if (device < 0 || device >= static_cast<int>(outputs_.size())) return 0;
  return outputs_[device].openCount;
}

bool SimulatedPlatform::OutIsOpen(int device) const {
  std::lock_guard guard(lock_);
  return device >= 0 && device < static_cast<int>(outputs_.size()) && outputs_[device].open;
}

bool SimulatedPlatform::InIsOpen(int device) const {
  std::lock_guard guard(lock_);
  return device >= 0 && device < static_cast<int>(inputs_.size()) && inputs_[device].open;
}

}  // namespace tuttiro
