// The JACK watch client: its shutdown callback runs on JACK's thread and only
// lowers a flag; everything else runs on the window thread.
#include "platform/real/jack_watch.h"

#include <jack/jack.h>

#include <atomic>

namespace tuttiro {

struct JackWatch::State {
  jack_client_t* client = nullptr;
  std::atomic<bool> alive{true};
};

namespace {

void OnShutdown(void* state) {
  static_cast<std::atomic<bool>*>(state)->store(false, std::memory_order_release);
}

std::vector<std::string> PortNames(jack_client_t* client, unsigned long flags) {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  if (ports == nullptr) return names;
  for (const char** p = ports; *p != nullptr; ++p) names.emplace_back(*p);
  jack_free(ports);
  return names;
}

}  // namespace

std::unique_ptr<JackWatch> JackWatch::Connect(const std::string& clientName, std::string* reason) {
  std::string jackReason;
  if (!JackServerAvailable(&jackReason)) {  // also silences libjack's printing
    *reason = jackReason;
    return nullptr;
  }
  auto state = std::make_unique<State>();
  jack_status_t status{};
  state->client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (state->client == nullptr) {
    *reason = "no JACK server running";
    return nullptr;
  }
  // The client stays inactive: it takes no part in the server's cycles (an
  // active one changes the graph, which can make other clients' first
  // messages late), and the server's shutdown still reaches it.
  jack_on_shutdown(state->client, OnShutdown, &state->alive);
  return std::unique_ptr<JackWatch>(new JackWatch(std::move(state)));
}

JackWatch::JackWatch(std::unique_ptr<State> state) : state_(std::move(state)) {}

JackWatch::~JackWatch() {
  jack_client_close(state_->client);
}

bool JackWatch::Alive() const {
  return state_->alive.load(std::memory_order_acquire);
}

RtMidiPortLists JackWatch::Ports() const {
  RtMidiPortLists lists;
  if (!Alive()) return lists;
  lists.inputs = PortNames(state_->client, JackPortIsOutput);
  lists.outputs = PortNames(state_->client, JackPortIsInput);
  return lists;
}

}  // namespace tuttiro
