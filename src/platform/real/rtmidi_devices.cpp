// RtMidi-backed devices. RtMidi reports problems through an error callback
// (set on every object, so it never writes to the console); a send that
// RtMidi refuses (a full JACK buffer, say) becomes kMidiError for the retry rule.
#include "platform/real/rtmidi_devices.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace tuttiro {

namespace {

void DiscardJackMessage(const char*) {}

// libjack prints to stderr unless told otherwise; this is process-wide and
// also covers the JACK clients RtMidi makes.
void SilenceJack() {
  static std::once_flag once;
  std::call_once(once, [] {
    jack_set_error_function(DiscardJackMessage);
    jack_set_info_function(DiscardJackMessage);
  });
}

RtMidi::Api ApiOf(bool alsa) {
  return alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

// Collects what RtMidi reports; an error during a call makes that call fail.
struct ErrorFlag {
  std::atomic<bool> raised{false};

  static void Raise(RtMidiError::Type, const std::string&, void* self) {
    static_cast<ErrorFlag*>(self)->raised.store(true, std::memory_order_relaxed);
  }
  bool Take() { return raised.exchange(false, std::memory_order_relaxed); }
};

// Our own JACK port's client must get exactly the name its device is listed
// under; RtMidi takes whatever name the server gives.
bool OwnJackNameFree(bool alsa, const std::string& target, const std::string& clientName) {
  return alsa || !target.empty() || JackClientNameGiven(clientName) == clientName;
}

// The index of the port listed under name, or -1.
template <typename Midi>
int FindPort(Midi& midi, const std::string& name) {
  const unsigned count = midi.getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    if (midi.getPortName(i) == name) return static_cast<int>(i);
  }
  return -1;
}

class RtMidiOutputDevice : public OutputDevice {
 public:
  RtMidiOutputDevice(bool alsa, std::string clientName, std::string target, std::string ownPort)
      : alsa_(alsa),
        clientName_(std::move(clientName)),
        target_(std::move(target)),
        ownPort_(std::move(ownPort)) {}
  ~RtMidiOutputDevice() override { Close(); }

  MidiResult Open() override {
    try {
      SilenceJack();
      if (!OwnJackNameFree(alsa_, target_, clientName_)) return kMidiAllocated;
      out_ = std::make_unique<RtMidiOut>(ApiOf(alsa_), clientName_);
      out_->setErrorCallback(ErrorFlag::Raise, &errors_);
      errors_.Take();
      if (target_.empty()) {
        out_->openVirtualPort(ownPort_);
      } else {
        const int index = FindPort(*out_, target_);
        if (index < 0) {
          out_.reset();
          return kMidiBadDevice;
        }
        out_->openPort(static_cast<unsigned>(index), ownPort_);
      }
      // RtMidi counts only connections as open ports, not our own ports.
      if (errors_.Take() || (!target_.empty() && !out_->isPortOpen())) {
        out_.reset();
        return kMidiAllocated;
      }
    } catch (const RtMidiError&) {
      out_.reset();
      return kMidiAllocated;
    }
    return kMidiOk;
  }

  void Close() override { out_.reset(); }

  MidiResult Send(const uint8_t* bytes, size_t length) override {
    if (!out_) return kMidiInvalidHandle;
    out_->sendMessage(bytes, length);
    return errors_.Take() ? kMidiError : kMidiOk;
  }

 private:
  const bool alsa_;
  const std::string clientName_;
  const std::string target_;
  const std::string ownPort_;
  ErrorFlag errors_;
  std::unique_ptr<RtMidiOut> out_;
};

class RtMidiInputDevice : public InputDevice {
 public:
  RtMidiInputDevice(bool alsa, std::string clientName, std::string target, std::string ownPort)
      : alsa_(alsa),
        clientName_(std::move(clientName)),
        target_(std::move(target)),
        ownPort_(std::move(ownPort)) {}
  ~RtMidiInputDevice() override { Close(); }

  MidiResult Open(Deliver deliver, void* sink) override {
    deliver_ = deliver;
    sink_ = sink;
    try {
      SilenceJack();
      if (!OwnJackNameFree(alsa_, target_, clientName_)) return kMidiAllocated;
      in_ = std::make_unique<RtMidiIn>(ApiOf(alsa_), clientName_);
      in_->setErrorCallback(ErrorFlag::Raise, &errors_);
      errors_.Take();
      // Everything comes through, MIDI clock, time code and active sensing
      // too: MIDI Thru echoes them unchanged (the input path gives them to
      // nothing else).
      in_->ignoreTypes(false, false, false);
      in_->setCallback(OnMessage, this);
      if (target_.empty()) {
        in_->openVirtualPort(ownPort_);
      } else {
        const int index = FindPort(*in_, target_);
        if (index < 0) {
          in_.reset();
          return kMidiBadDevice;
        }
        in_->openPort(static_cast<unsigned>(index), ownPort_);
      }
      // RtMidi counts only connections as open ports, not our own ports.
      if (errors_.Take() || (!target_.empty() && !in_->isPortOpen())) {
        in_.reset();
        return kMidiAllocated;
      }
    } catch (const RtMidiError&) {
      in_.reset();
      return kMidiAllocated;
    }
    return kMidiOk;
  }

  // Destroying the RtMidi object closes the port and waits for its thread
  // (ALSA) or deactivates its client (JACK), so no callback follows.
  void Close() override { in_.reset(); }

 private:
  static void OnMessage(double sinceLast, std::vector<unsigned char>* message, void* self) {
    auto* device = static_cast<RtMidiInputDevice*>(self);
    if (message != nullptr && !message->empty()) {
      device->deliver_(device->sink_, message->data(), message->size(), sinceLast);
    }
  }

  const bool alsa_;
  const std::string clientName_;
  const std::string target_;
  const std::string ownPort_;
  Deliver deliver_ = nullptr;
  void* sink_ = nullptr;
  ErrorFlag errors_;
  std::unique_ptr<RtMidiIn> in_;
};

}  // namespace

bool AlsaSequencerAvailable(std::string* reason) {
  if (access("/dev/snd/seq", R_OK | W_OK) == 0) return true;
  *reason = "no ALSA sequencer (/dev/snd/seq is missing or not accessible)";
  return false;
}

bool JackServerAvailable(std::string* reason) {
  SilenceJack();
  jack_status_t status{};
  jack_client_t* client = jack_client_open("tuttiro-probe", JackNoStartServer, &status);
  if (client == nullptr) {
    *reason = "no JACK server running";
    return false;
  }
  jack_client_close(client);
  return true;
}

std::string JackClientNameGiven(const std::string& wanted) {
  SilenceJack();
  jack_status_t status{};
  jack_client_t* client = jack_client_open(wanted.c_str(), JackNoStartServer, &status);
  if (client == nullptr) return {};
  std::string given = jack_get_client_name(client);
  jack_client_close(client);
  return given;
}

namespace {

// Reads the port names of an input and an output object; false when RtMidi
// raised an error meanwhile.
bool ReadPortNames(RtMidiIn& in, RtMidiOut& out, ErrorFlag& errors, RtMidiPortLists* lists) {
  for (unsigned i = 0, n = in.getPortCount(); i < n; ++i)
    lists->inputs.push_back(in.getPortName(i));
  for (unsigned i = 0, n = out.getPortCount(); i < n; ++i) {
    lists->outputs.push_back(out.getPortName(i));
  }
  return !errors.Take();
}

}  // namespace

struct AlsaPortLister::Clients {
  ErrorFlag errors;
  std::unique_ptr<RtMidiIn> in;
  std::unique_ptr<RtMidiOut> out;
};

std::unique_ptr<AlsaPortLister> AlsaPortLister::Open(const std::string& clientName,
                                                     std::string* reason) {
  if (!AlsaSequencerAvailable(reason)) return nullptr;
  auto clients = std::make_unique<Clients>();
  try {
    clients->in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, clientName);
    clients->in->setErrorCallback(ErrorFlag::Raise, &clients->errors);
    clients->out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, clientName);
    clients->out->setErrorCallback(ErrorFlag::Raise, &clients->errors);
  } catch (const RtMidiError& e) {
    *reason = e.getMessage();
    return nullptr;
  }
  return std::unique_ptr<AlsaPortLister>(new AlsaPortLister(std::move(clients)));
}

AlsaPortLister::AlsaPortLister(std::unique_ptr<Clients> clients) : clients_(std::move(clients)) {}

AlsaPortLister::~AlsaPortLister() = default;

bool AlsaPortLister::List(RtMidiPortLists* lists, std::string* reason) {
  try {
    if (ReadPortNames(*clients_->in, *clients_->out, clients_->errors, lists)) return true;
  } catch (const RtMidiError& e) {
    *reason = e.getMessage();
    return false;
  }
  *reason = "the ALSA sequencer did not answer";
  return false;
}

std::unique_ptr<OutputDevice> MakeRtMidiOutput(bool alsa, std::string clientName,
                                               std::string target, std::string ownPort) {
  return std::make_unique<RtMidiOutputDevice>(alsa, std::move(clientName), std::move(target),
                                              std::move(ownPort));
}

std::unique_ptr<InputDevice> MakeRtMidiInput(bool alsa, std::string clientName, std::string target,
                                             std::string ownPort) {
  return std::make_unique<RtMidiInputDevice>(alsa, std::move(clientName), std::move(target),
                                             std::move(ownPort));
}

}  // namespace tuttiro
