// Opening and closing the devices behind the ports, and MidiSend.
//
// Threads: the window thread opens and closes devices and owns the device
// tables; the timer thread (scheduler, delayed sends) and the input thread
// (MIDI thru) send. Senders only read the per-port routes, which are atomics,
// and the platform serialises the sends to each device.
#include "midi/midi_ports.h"

#include <algorithm>

#include "midi/midi_message.h"
#include "platform/midi_message.h"

namespace tuttiro {

namespace {

// A device that keeps reporting pending output is closed again this many
// times, 10 ms apart, before it is given up (its handle is cleared anyway).
// Only the window thread closes devices.
constexpr int kCloseRetryMs = 10;
constexpr int kCloseAttempts = 100;

constexpr const char* kInputInUse = "The MIDI input device '";
constexpr const char* kOutputInUse = "The MIDI output device '";
constexpr const char* kGoneAdvice =
    "' is no longer connected.  The ports that use it are quiet until it is back, or until "
    "another device is chosen in the MIDI Ports & Devices dialog box.";
constexpr const char* kSilentSynth =
    "The built-in synthesizer found no audio output, so nothing it plays can be heard.  "
    "Start the desktop's sound service (PipeWire, PulseAudio or JACK) and restart Tuttiro, or "
    "choose another output device in the MIDI Ports & Devices dialog box.";
constexpr const char* kSendsRefused =
    "An output device refused some of the messages sent to it, so some notes or controls did "
    "not reach it.  Check that the device is connected and not overloaded, or choose another "
    "output device in the MIDI Ports & Devices dialog box.";
constexpr const char* kInUseAdvice =
    "' is apparently already in use.  Please select another device from the MIDI Ports & "
    "Devices dialog box.  Or, if you quit the application that is using this device, you "
    "should then be able to access it.";

std::string PortPrefix(int port) {
  return std::string("&") + static_cast<char>('A' + port) + "--";
}

std::string DeviceName(const Platform& platform, bool input, int device) {
  const auto info = input ? platform.MidiInDevice(device) : platform.MidiOutDevice(device);
  if (info) return info->name;
  // A saved assignment can name a device that is no longer there.
  return "(missing device " + std::to_string(device) + ")";
}

uint64_t PackRoute(int device, MidiHandle handle) {
  return static_cast<uint64_t>(static_cast<uint32_t>(device)) << 32 | static_cast<uint32_t>(handle);
}
int RouteDevice(uint64_t route) {
  return static_cast<int32_t>(route >> 32);
}
MidiHandle RouteHandle(uint64_t route) {
  return static_cast<int32_t>(route & 0xFFFFFFFFu);
}

bool ValidDevice(const std::vector<MidiDeviceEntry>& table, int device) {
  return device >= 0 && device < static_cast<int>(table.size());
}

void PublishOutputRoutes(MidiPortsRec& ports) {
  for (int p = 0; p < kMidiPortCount; ++p) {
    const int device = ports.outputDevice[p];
    MidiHandle handle = kNoMidiHandle;
    if (ValidDevice(ports.outputTable, device) &&
        ports.outputTable[device].owner < kMidiPortCount) {
      handle = ports.outputTable[device].handle;
    }
    ports.outputRoute[p].store(PackRoute(device, handle), std::memory_order_release);
  }
}

// Sends once. The senders are real-time threads, which must never wait, so a
// message the device refuses is not tried again: it is counted, and the
// window thread reports it (MidiReportRefusedSends). A closed device or a
// malformed message is not the device's refusal and is not counted.
template <typename SendOnce>
MidiResult SendOnceCounted(MidiPortsRec& ports, MidiHandle handle, SendOnce send) {
  if (handle == kNoMidiHandle) return kMidiInvalidHandle;
  const MidiResult result = send(handle);
  if (result != kMidiOk && result != kMidiInvalidHandle && result != kMidiInvalidParam) {
    ports.refusedSends.fetch_add(1, std::memory_order_relaxed);
  }
  return result;
}

std::array<uint64_t, kMidiPortCount> OutputRoutes(const MidiPortsRec& ports) {
  std::array<uint64_t, kMidiPortCount> routes;
  for (int p = 0; p < kMidiPortCount; ++p) {
    routes[p] = ports.outputRoute[p].load(std::memory_order_acquire);
  }
  return routes;
}

// Whether no earlier port has port p's device (all-ports sends reach each
// device once).
bool FirstPortOfDevice(const std::array<uint64_t, kMidiPortCount>& routes, int p) {
  return std::none_of(routes.begin(), routes.begin() + p,
                      [&](uint64_t r) { return RouteDevice(r) == RouteDevice(routes[p]); });
}

// Runs send on the port's device, or with kMidiAllPorts on each distinct
// device in port order. Returns the last result.
template <typename SendOnce>
MidiResult SendToPorts(MidiPortsRec& ports, int port, SendOnce send) {
  if (port != kMidiAllPorts) {
    const uint64_t route = ports.outputRoute[port].load(std::memory_order_acquire);
    return SendOnceCounted(ports, RouteHandle(route), send);
  }
  const auto routes = OutputRoutes(ports);
  MidiResult result = kMidiOk;
  for (int p = 0; p < kMidiPortCount; ++p) {
    if (FirstPortOfDevice(routes, p)) result = SendOnceCounted(ports, RouteHandle(routes[p]), send);
  }
  return result;
}

bool ValidPort(int port) {
  return port == kMidiAllPorts || (port >= 0 && port < kMidiPortCount);
}

MidiResult SendShortNow(MidiPortsRec& ports, uint32_t message, int port) {
  return SendToPorts(ports, port, [&](MidiHandle handle) {
    return ports.platform.MidiOutShortMsg(handle, message);
  });
}

void DelayedSendFired(void* context, uint32_t token) {
  auto& ports = *static_cast<MidiPortsRec*>(context);
  const auto find = [&] {
    return std::find_if(ports.delayed.begin(), ports.delayed.end(),
                        [token](const MidiDelayedSend& d) { return d.token == token; });
  };
  uint32_t message = 0;
  int port = 0;
  {
    std::lock_guard guard(ports.delayedLock);
    const auto it = find();
    if (it == ports.delayed.end()) return;
    it->taken = true;
    message = it->message;
    port = it->port;
  }
  SendShortNow(ports, message, port);
  // The entry stays queued while it is being sent, so that TakeDelayedSends
  // knows to wait for this callback before the ports may go away.
  std::lock_guard guard(ports.delayedLock);
  const auto it = find();
  if (it != ports.delayed.end()) ports.delayed.erase(it);
  ports.delayedCount.store(ports.delayed.size(), std::memory_order_relaxed);
}

bool IsNoteOn(uint32_t message) {
  return (message & 0xF0) == 0x90 && ((message >> 16) & 0x7F) != 0;
}

// A note-off sent now ends a note whose note-on is still held back (for a
// port's lead): that note-on is dropped, or it would sound after its end. A
// note-off to every port ends the note held back for any port.
void CancelHeldNoteOn(MidiPortsRec& ports, uint32_t noteOff, int port) {
  const auto key = [](uint32_t m) { return (m & 0x0F) | (m & 0xFF00); };
  const auto ends = [&](const MidiDelayedSend& d) {
    const bool samePort = d.port == port || d.port == kMidiAllPorts || port == kMidiAllPorts;
    return !d.taken && samePort && IsNoteOn(d.message) && key(d.message) == key(noteOff);
  };
  // A few at a time into a fixed array: a note-off is sent from the real-time
  // threads, which must not allocate.
  std::array<TimerId, 16> timers;
  size_t taken = timers.size();
  while (taken == timers.size()) {
    taken = 0;
    {
      std::lock_guard guard(ports.delayedLock);
      for (auto it = ports.delayed.begin(); it != ports.delayed.end() && taken < timers.size();) {
        if (!ends(*it)) {
          ++it;
          continue;
        }
        timers[taken++] = it->timer;
        it = ports.delayed.erase(it);
        if (port != kMidiAllPorts) break;
      }
      ports.delayedCount.store(ports.delayed.size(), std::memory_order_relaxed);
    }
    // Outside the lock: a callback firing meanwhile no longer finds its entry.
    for (size_t i = 0; i < taken; ++i) ports.platform.TimerKill(timers[i]);
    if (port != kMidiAllPorts) break;
  }
}

// Takes every delayed send out of the queue and cancels its timer, waiting
// for a callback that is sending its message right now. Returns the messages
// not yet sent, in the order they fall due.
std::vector<MidiDelayedSend> TakeDelayedSends(MidiPortsRec& ports) {
  std::vector<MidiDelayedSend> pending;
  {
    // Copied, not swapped: the queue keeps the room reserved for the senders.
    std::lock_guard guard(ports.delayedLock);
    pending.assign(ports.delayed.begin(), ports.delayed.end());
    ports.delayed.clear();
    ports.delayedCount.store(0, std::memory_order_relaxed);
  }
  for (const MidiDelayedSend& d : pending) ports.platform.TimerKill(d.timer);
  std::erase_if(pending, [](const MidiDelayedSend& d) { return d.taken; });
  std::stable_sort(
      pending.begin(), pending.end(),
      [](const MidiDelayedSend& a, const MidiDelayedSend& b) { return a.due < b.due; });
  return pending;
}

// Makes room in the device tables for devices the platform added since.
void GrowTables(MidiPortsRec& ports) {
  const auto grow = [](std::vector<MidiDeviceEntry>& table, int count) {
    if (count > static_cast<int>(table.size())) table.resize(static_cast<size_t>(count));
  };
  grow(ports.inputTable, ports.platform.MidiInDeviceCount());
  grow(ports.outputTable, ports.platform.MidiOutDeviceCount());
}

bool OpenDevices(MidiPortsRec& ports, MidiPortHost* host, bool input) {
  Platform& platform = ports.platform;
  GrowTables(ports);
  std::vector<MidiDeviceEntry>& table = input ? ports.inputTable : ports.outputTable;
  const auto& assigned = input ? ports.inputDevice : ports.outputDevice;

  // A device open for a port that now uses another device is closed; a port
  // still assigned to it opens it again below.
  for (int d = 0; d < static_cast<int>(table.size()); ++d) {
    const uint16_t owner = table[d].owner;
    if (owner < kMidiPortCount && assigned[owner] != d) {
      input ? MidiCloseInput(ports, d) : MidiCloseOutput(ports, d);
    }
  }

  std::vector<int> missingReported;
  for (int p = 0; p < kMidiPortCount; ++p) {
    const int device = assigned[p];
    MidiResult result = kMidiBadDevice;
    MidiHandle handle = kNoMidiHandle;
    if (ValidDevice(table, device)) {
      if (table[device].owner != kMidiDeviceClosed) continue;  // opened or failed this pass
      if (input) {
        result = platform.MidiInOpen(device, ports.inputCallback, ports.inputContext,
                                     static_cast<uint32_t>(p), &handle);
        if (result == kMidiOk) {
          result = platform.MidiInStart(handle);
          if (result != kMidiOk) platform.MidiInClose(handle);
        }
      } else {
        result = platform.MidiOutOpen(device, &handle);
      }
      table[device] = result == kMidiOk ? MidiDeviceEntry{static_cast<uint16_t>(p), handle}
                                        : MidiDeviceEntry{kMidiDeviceFailed, kNoMidiHandle};
    } else if (std::find(missingReported.begin(), missingReported.end(), device) !=
               missingReported.end()) {
      continue;
    } else {
      missingReported.push_back(device);
    }
    if (result != kMidiOk && host != nullptr) {
      host->ShowMessage((input ? kInputInUse : kOutputInUse) + DeviceName(platform, input, device) +
                        kInUseAdvice);
    }
  }
  if (!input) PublishOutputRoutes(ports);

  for (int p = 0; p < kMidiPortCount && host != nullptr; ++p) {
    if (input) {
      host->SetInputPortMenuLabel(p, PortPrefix(p) + DeviceName(platform, true, assigned[p]));
    } else {
      host->SetMenuLabel(kCmdChangeAllTracksToPort + p, MidiPortName(ports, p));
    }
  }

  for (MidiDeviceEntry& entry : table) {
    if (entry.owner == kMidiDeviceFailed) entry.owner = kMidiDeviceClosed;
  }
  bool allOpen = true;
  for (int p = 0; p < kMidiPortCount; ++p) {
    allOpen =
        allOpen && ValidDevice(table, assigned[p]) && table[assigned[p]].owner < kMidiPortCount;
  }
  return allOpen;
}

}  // namespace

MidiPortsRec::MidiPortsRec(Platform& platform_)
    : platform(platform_),
      inputTable(std::max(0, platform_.MidiInDeviceCount())),
      outputTable(std::max(0, platform_.MidiOutDeviceCount())) {
  outputDevice.fill(static_cast<int16_t>(MidiDefaultOutputDevice(platform_)));
  for (auto& enable : channelEnable) enable.store(1, std::memory_order_relaxed);
  delayed.reserve(kDelayedSendReserve);
  PublishOutputRoutes(*this);
}

MidiPortsRec::~MidiPortsRec() {
  MidiCloseAll(*this);
}

bool MidiOpenInputs(MidiPortsRec& ports, MidiPortHost* host) {
  const bool allOpen = OpenDevices(ports, host, true);

  // Messages of a shared device arrive tagged with one port only, so the
  // ports sharing it must agree on which channels they let through.
  for (int p = 0; p < kMidiPortCount; ++p) {
    for (int q = p + 1; q < kMidiPortCount; ++q) {
      if (ports.inputDevice[p] != ports.inputDevice[q]) continue;
      for (int c = 0; c < 16; ++c) {
        auto& a = ports.channelEnable[p * 16 + c];
        auto& b = ports.channelEnable[q * 16 + c];
        const uint8_t merged = (a.load() || b.load()) ? 1 : 0;
        a.store(merged);
        b.store(merged);
      }
    }
  }
  for (int p = 0; p < kMidiPortCount && host != nullptr; ++p) {
    for (int c = 0; c < 16; ++c) {
      host->CheckMenuItem(kCmdIncomingChannel + 20 * p + c,
                          ports.channelEnable[p * 16 + c].load() != 0);
    }
  }
  return allOpen;
}

bool MidiOpenOutputs(MidiPortsRec& ports, MidiPortHost* host) {
  return OpenDevices(ports, host, false);
}

bool MidiAnyInputOpen(const MidiPortsRec& ports) {
  return std::any_of(ports.inputTable.begin(), ports.inputTable.end(),
                     [](const MidiDeviceEntry& e) { return e.handle != kNoMidiHandle; });
}

void MidiCloseInput(MidiPortsRec& ports, int device) {
  if (!ValidDevice(ports.inputTable, device)) return;
  MidiDeviceEntry& entry = ports.inputTable[device];
  if (entry.handle != kNoMidiHandle) {
    ports.platform.MidiInStop(entry.handle);
    for (int attempt = 1;
         ports.platform.MidiInClose(entry.handle) == kMidiStillPlaying && attempt < kCloseAttempts;
         ++attempt) {
      ports.platform.Sleep(kCloseRetryMs);
    }
  }
  entry = MidiDeviceEntry{};
}

void MidiCloseOutput(MidiPortsRec& ports, int device) {
  if (!ValidDevice(ports.outputTable, device)) return;
  MidiDeviceEntry& entry = ports.outputTable[device];
  const MidiHandle handle = entry.handle;
  // Senders stop using the handle before it goes.
  entry = MidiDeviceEntry{};
  PublishOutputRoutes(ports);
  if (handle == kNoMidiHandle) return;
  for (int attempt = 1;
       ports.platform.MidiOutClose(handle) == kMidiStillPlaying && attempt < kCloseAttempts;
       ++attempt) {
    ports.platform.Sleep(kCloseRetryMs);
  }
}

void MidiCloseAll(MidiPortsRec& ports) {
  // Every delayed message still goes out (a note-off must not be lost).
  for (const MidiDelayedSend& d : TakeDelayedSends(ports)) MidiSend(ports, d.message, d.port, 0);
  for (int p = 0; p < kMidiPortCount; ++p) {
    MidiCloseInput(ports, ports.inputDevice[p]);
    MidiCloseOutput(ports, ports.outputDevice[p]);
  }
  for (int d = 0; d < static_cast<int>(ports.inputTable.size()); ++d) MidiCloseInput(ports, d);
  for (int d = 0; d < static_cast<int>(ports.outputTable.size()); ++d) MidiCloseOutput(ports, d);
}

namespace {

// Closes every open device of the table that the platform no longer lists as
// present, telling the user once per device.
void CloseGoneDevices(MidiPortsRec& ports, MidiPortHost* host, bool input) {
  std::vector<MidiDeviceEntry>& table = input ? ports.inputTable : ports.outputTable;
  for (int d = 0; d < static_cast<int>(table.size()); ++d) {
    if (table[d].owner >= kMidiPortCount) continue;
    const auto info = input ? ports.platform.MidiInDevice(d) : ports.platform.MidiOutDevice(d);
    if (info && info->present) continue;
    input ? MidiCloseInput(ports, d) : MidiCloseOutput(ports, d);
    table[d].owner = kMidiDeviceGone;
    if (host != nullptr) {
      host->ShowMessage((input ? kInputInUse : kOutputInUse) +
                        DeviceName(ports.platform, input, d) + kGoneAdvice);
    }
  }
}

// Lets the devices that went away and are listed again be opened again. True
// when any came back.
bool ReleaseReturnedDevices(MidiPortsRec& ports, bool input) {
  std::vector<MidiDeviceEntry>& table = input ? ports.inputTable : ports.outputTable;
  bool any = false;
  for (int d = 0; d < static_cast<int>(table.size()); ++d) {
    if (table[d].owner != kMidiDeviceGone) continue;
    const auto info = input ? ports.platform.MidiInDevice(d) : ports.platform.MidiOutDevice(d);
    if (!info || !info->present) continue;
    table[d].owner = kMidiDeviceClosed;
    any = true;
  }
  return any;
}

}  // namespace

bool MidiCheckDevices(MidiPortsRec& ports, MidiPortHost* host, bool probeMissing) {
  const bool changed = ports.platform.MidiRefreshDevices(probeMissing);
  GrowTables(ports);
  if (changed) {
    CloseGoneDevices(ports, host, true);
    CloseGoneDevices(ports, host, false);
    if (ReleaseReturnedDevices(ports, true)) MidiOpenInputs(ports, host);
    if (ReleaseReturnedDevices(ports, false)) MidiOpenOutputs(ports, host);
  }
  return changed;
}

bool MidiReportRefusedSends(MidiPortsRec& ports, MidiPortHost* host) {
  if (ports.refusedSendsReported || host == nullptr ||
      ports.refusedSends.load(std::memory_order_relaxed) == 0) {
    return false;
  }
  ports.refusedSendsReported = true;
  host->ShowMessage(kSendsRefused);
  return true;
}

bool MidiReportSilentSynth(MidiPortsRec& ports, MidiPortHost* host) {
  if (ports.synthSilenceReported || host == nullptr) return false;
  for (int p = 0; p < kMidiPortCount; ++p) {
    const int device = ports.outputDevice[p];
    if (!ValidDevice(ports.outputTable, device) ||
        ports.outputTable[device].owner >= kMidiPortCount)
      continue;
    const auto info = ports.platform.MidiOutDevice(device);
    if (info && info->backend == MidiBackend::kSynth && info->silent) {
      ports.synthSilenceReported = true;
      host->ShowMessage(kSilentSynth);
      return true;
    }
  }
  return false;
}

std::string MidiPortName(const MidiPortsRec& ports, int port) {
  if (port < 0 || port >= kMidiPortCount) return {};
  return PortPrefix(port) + DeviceName(ports.platform, false, ports.outputDevice[port]);
}

int MidiDefaultOutputDevice(const Platform& platform) {
  const int count = platform.MidiOutDeviceCount();
  for (int d = 0; d < count; ++d) {
    const auto info = platform.MidiOutDevice(d);
    if (info && info->backend == MidiBackend::kSynth) return d;
  }
  return 0;
}

int MidiDeviceNamed(const Platform& platform, const std::string& name, bool input) {
  const int count = input ? platform.MidiInDeviceCount() : platform.MidiOutDeviceCount();
  for (int d = 0; d < count; ++d) {
    const auto info = input ? platform.MidiInDevice(d) : platform.MidiOutDevice(d);
    if (info && info->name == name) return d;
  }
  return -1;
}

MidiResult MidiSend(MidiPortsRec& ports, uint32_t message, int port, int delayMs) {
  if ((message & 0xFF) == 0xF0) {
    const uint8_t bytes[4] = {0xF0, static_cast<uint8_t>(message >> 8),
                              static_cast<uint8_t>(message >> 16),
                              static_cast<uint8_t>(message >> 24)};
    return MidiSend(ports, std::span<const uint8_t>(bytes), port, 0);
  }
  if (!ValidPort(port)) return kMidiInvalidParam;
  message &= 0x00FFFFFF;
  if (delayMs > 0) {
    // Each delayed message has its own timer and its own queue entry, so any
    // number of them can be pending at once.
    std::lock_guard guard(ports.delayedLock);
    const uint32_t token = ports.nextDelayedToken++;
    const SystemTime due = ports.platform.ClockNow() + delayMs;
    const TimerId timer = ports.platform.TimerSet(due, DelayedSendFired, &ports, token);
    ports.delayed.push_back(MidiDelayedSend{token, timer, due, message, port, false});
    ports.delayedCount.store(ports.delayed.size(), std::memory_order_relaxed);
    return kMidiOk;
  }
  if (ports.delayedCount.load(std::memory_order_relaxed) > 0 && IsNoteOff(message)) {
    CancelHeldNoteOn(ports, message, port);
  }
  return SendShortNow(ports, message, port);
}

MidiResult MidiSendEach(MidiPortsRec& ports, uint32_t message,
                        std::span<const int, kMidiPortCount> delayMs) {
  const auto routes = OutputRoutes(ports);
  MidiResult result = kMidiOk;
  for (int p = 0; p < kMidiPortCount; ++p) {
    if (FirstPortOfDevice(routes, p)) result = MidiSend(ports, message, p, delayMs[p]);
  }
  return result;
}

void MidiFlushDelayed(MidiPortsRec& ports) {
  for (const MidiDelayedSend& d : TakeDelayedSends(ports)) {
    if (!IsNoteOn(d.message)) SendShortNow(ports, d.message, d.port);
  }
}

MidiResult MidiSend(MidiPortsRec& ports, std::span<const uint8_t> message, int port, int delayMs) {
  if (message.empty()) return kMidiInvalidParam;
  if (message[0] != 0xF0) {
    return MidiSend(ports, PackShortMessage(message.data(), message.size()), port, delayMs);
  }
  const size_t length = SysexLength(message);
  if (length == 0 || !ValidPort(port)) return kMidiInvalidParam;
  return SendToPorts(ports, port, [&](MidiHandle handle) {
    return ports.platform.MidiOutLongMsg(handle, message.data(), length);
  });
}

}  // namespace tuttiro
