// The eight input and eight output ports A-H, the devices behind them, and
// MidiSend, through which every outgoing message passes. The ports open each
// device once however many ports share it, and tell the user interface (via
// MidiPortHost) which device each port has and which could not be opened.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tuttiro {

inline constexpr int kMidiPortCount = 8;
// Port -2 (65534 as a 16-bit setting) sends to every output port.
inline constexpr int kMidiAllPorts = -2;
// Device table marks: the entry is not open, or failed to open in this pass.
inline constexpr uint16_t kMidiDeviceClosed = 65535;
inline constexpr uint16_t kMidiDeviceFailed = 65534;
// Closed because it went away; opened again for its ports when it is back.
inline constexpr uint16_t kMidiDeviceGone = 65533;
// Menu commands: "Change All Tracks to Output on" port p is 140 + p; the
// Incoming MIDI item of channel c (0-15) of input port p is 202 + 20 p + c.
inline constexpr int kCmdChangeAllTracksToPort = 140;
inline constexpr int kCmdIncomingChannel = 202;

// What the ports ask of the user interface.
class MidiPortHost {
 public:
  virtual ~MidiPortHost() = default;
  // A message box with the program title.
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void SetMenuLabel(int commandId, const std::string& text) = 0;
  // The label of input port p's submenu under Incoming MIDI (it has no command id).
  virtual void SetInputPortMenuLabel(int port, const std::string& text) = 0;
  virtual void CheckMenuItem(int commandId, bool checked) = 0;
};

// One device in a device table.
struct MidiDeviceEntry {
  uint16_t owner = kMidiDeviceClosed;  // the port that opened it, or a mark
  MidiHandle handle = kNoMidiHandle;
};

// Room reserved for delayed sends, so that queuing one from a real-time thread
// does not allocate (a port's lead holds back every message of a dense piece).
inline constexpr size_t kDelayedSendReserve = 4096;

// A short message waiting to be sent later (a metronome click's note-off, say).
struct MidiDelayedSend {
  uint32_t token = 0;
  TimerId timer = kNoTimer;
  SystemTime due = 0;
  uint32_t message = 0;
  int port = 0;
  bool taken = false;  // its timer has fired and it is being sent
};

// The ports' state. Create one per platform; it must be destroyed before the
// platform. The assignment and the device tables belong to the window thread;
// MidiSend, the channel enables and the delayed sends may be used from any thread.
struct MidiPortsRec {
  explicit MidiPortsRec(Platform& platform);
  ~MidiPortsRec();
  MidiPortsRec(const MidiPortsRec&) = delete;
  MidiPortsRec& operator=(const MidiPortsRec&) = delete;

  Platform& platform;

  // The assignment of devices to ports (system settings): input device 0 for
  // every port, output MidiDefaultOutputDevice() for every port.
  std::array<int16_t, kMidiPortCount> inputDevice{};
  std::array<int16_t, kMidiPortCount> outputDevice{};
  // Incoming channel switches, index port * 16 + channel; read by the input path.
  std::array<std::atomic<uint8_t>, kMidiPortCount * 16> channelEnable;

  // Where the input devices deliver; the instance value is the port that
  // opened the device. Set before MidiOpenInputs.
  MidiInputCallback inputCallback = nullptr;
  void* inputContext = nullptr;

  // One entry per device the platform lists (any number of devices).
  std::vector<MidiDeviceEntry> inputTable;
  std::vector<MidiDeviceEntry> outputTable;

  // Per output port, what MidiSend uses: the device index in the high 32
  // bits and its handle (or none) in the low 32, republished after every
  // change to the output table so that other threads never read the table.
  std::array<std::atomic<uint64_t>, kMidiPortCount> outputRoute;

  // The built-in synthesizer's silence has been reported (it is said once).
  bool synthSilenceReported = false;

  // Messages a device refused (any thread counts them), and whether the window
  // thread has said so (once per run).
  std::atomic<uint32_t> refusedSends{0};
  bool refusedSendsReported = false;

  // Every delayed send until its timer has fired and it has been sent.
  std::mutex delayedLock;
  std::vector<MidiDelayedSend> delayed;
  // How many are queued, so that a send can skip the lock when none is.
  std::atomic<size_t> delayedCount{0};
  uint32_t nextDelayedToken = 1;
};

// Opens the device of every input port whose device is closed, after closing
// devices no longer assigned to the port that opened them. Ports sharing a
// device share their channel enables. True when every port's device is open.
bool MidiOpenInputs(MidiPortsRec& ports, MidiPortHost* host);
// The same for the output ports.
bool MidiOpenOutputs(MidiPortsRec& ports, MidiPortHost* host);
void MidiCloseInput(MidiPortsRec& ports, int device);
// Whether any input device is open: someone can be heard.
bool MidiAnyInputOpen(const MidiPortsRec& ports);
void MidiCloseOutput(MidiPortsRec& ports, int device);
// At shut-down: sends every delayed message still waiting, then closes the
// input and output device of each port in turn.
void MidiCloseAll(MidiPortsRec& ports);

// Asks the platform again which devices there are, so that devices plugged
// in or started since are offered (with probeMissing, also those of a back
// end that was missing). A device in use that has gone is closed, so its
// ports go quiet, and reported once; when it is back, the ports still assigned
// to it open it again. True when anything changed.
bool MidiCheckDevices(MidiPortsRec& ports, MidiPortHost* host, bool probeMissing);
// When a device has refused messages since the start, says so, once per run.
// True when it said so now. Window thread.
bool MidiReportRefusedSends(MidiPortsRec& ports, MidiPortHost* host);
// When an output port uses the built-in synthesizer and it found no audio
// output, says so, once per run. True when it said so now.
bool MidiReportSilentSynth(MidiPortsRec& ports, MidiPortHost* host);

// "&A--" ... "&H--" followed by the name of the port's output device.
std::string MidiPortName(const MidiPortsRec& ports, int port);
// The built-in synthesizer, else device 0.
int MidiDefaultOutputDevice(const Platform& platform);
// The input or output device called exactly `name`; -1 when none.
int MidiDeviceNamed(const Platform& platform, const std::string& name, bool input);

// Sends a packed short message (status | data1 << 8 | data2 << 16) to an
// output port, or to every port once per device with kMidiAllPorts. It never
// waits: a message the device refuses is counted in refusedSends, not retried.
// With delayMs > 0 the message is queued and sent that much later. Returns the
// result of the last platform call. Safe from any thread.
MidiResult MidiSend(MidiPortsRec& ports, uint32_t message, int port, int delayMs);
// Sends a message given as bytes: a system exclusive message (first byte F0)
// up to and including its first F7, always at once; anything else is a short
// message as above. A SysEx without F7 is refused.
MidiResult MidiSend(MidiPortsRec& ports, std::span<const uint8_t> message, int port, int delayMs);
// Sends a short message to every output port once per device, as kMidiAllPorts
// does, but each device with the delay of the first port that has it.
MidiResult MidiSendEach(MidiPortsRec& ports, uint32_t message,
                        std::span<const int, kMidiPortCount> delayMs);
// Sends every delayed message still waiting at once, in the order they fall
// due, except note-ons: a stop must not be followed by notes that sound on.
void MidiFlushDelayed(MidiPortsRec& ports);

}  // namespace tuttiro
