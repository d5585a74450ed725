// ALSA sequencer and JACK MIDI devices through RtMidi. A back end that is
// missing (no /dev/snd/seq, no JACK server running) is detected before RtMidi
// is asked, so that nothing is printed and nothing is started.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/real/midi_devices.h"

namespace tuttiro {

struct RtMidiPortLists {
  std::vector<std::string> inputs;   // ports that send to us
  std::vector<std::string> outputs;  // ports we can send to
};

// Whether the back end can be used now; when not, reason says why.
bool AlsaSequencerAvailable(std::string* reason);
bool JackServerAvailable(std::string* reason);

// The name the JACK server gives a client that asks for `wanted`: `wanted`
// itself when no client has it, else a name made unique (such as
// "wanted-01"). Empty when the server cannot be reached.
std::string JackClientNameGiven(const std::string& wanted);

// Lists the ALSA sequencer's ports again and again through one client kept
// open, so that looking every few seconds does not make other programs see
// clients come and go.
class AlsaPortLister {
 public:
  // None with a reason when the sequencer cannot be asked.
  static std::unique_ptr<AlsaPortLister> Open(const std::string& clientName, std::string* reason);
  ~AlsaPortLister();
  bool List(RtMidiPortLists* lists, std::string* reason);

 private:
  struct Clients;
  explicit AlsaPortLister(std::unique_ptr<Clients> clients);
  std::unique_ptr<Clients> clients_;
};

// A device that is either a port of someone else (target = its name as
// listed), which we connect to, or our own port that others connect to
// (target empty). Our port is named ownPort in a client named clientName; on
// JACK our own port does not open when that name has been taken since it was
// given (JackClientNameGiven), so that its name never points at another client.
std::unique_ptr<OutputDevice> MakeRtMidiOutput(bool alsa, std::string clientName,
                                               std::string target, std::string ownPort);
std::unique_ptr<InputDevice> MakeRtMidiInput(bool alsa, std::string clientName, std::string target,
                                             std::string ownPort);

}  // namespace tuttiro
