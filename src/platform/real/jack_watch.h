// A JACK client of our own that lists the server's MIDI ports and notices when
// the server goes away, so the device lists can be read again cheaply and
// often (no client is made per look, which would disturb the server's graph
// while music plays).
#pragma once

#include <memory>
#include <string>

#include "platform/real/rtmidi_devices.h"

namespace tuttiro {

class JackWatch {
 public:
  // Connects to a running server (never starts one); none with a reason when
  // no server answers.
  static std::unique_ptr<JackWatch> Connect(const std::string& clientName, std::string* reason);
  ~JackWatch();
  JackWatch(const JackWatch&) = delete;
  JackWatch& operator=(const JackWatch&) = delete;

  // False once the server has shut down or dropped this client.
  bool Alive() const;
  // The MIDI ports as RtMidi names them: outputs of others we read from are
  // inputs, inputs of others we write to are outputs.
  RtMidiPortLists Ports() const;

 private:
  struct State;
  explicit JackWatch(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace tuttiro
