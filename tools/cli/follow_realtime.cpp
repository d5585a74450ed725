// `tuttiro-cli follow --realtime`: Play and Follow on the real MIDI devices.
// The soloist plays into input port A, the accompaniment goes to one output
// device on every port, and the idle pass runs on this thread until the
// transport stops or the user interrupts. With --solo a recorded performance
// stands in for the soloist: a second JACK client plays it, at its own times,
// into Tuttiro's own JACK input port.
#include <cstdio>

#include "follow.h"

#ifdef TUTTIRO_HAVE_PLATFORM
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/save_performance.h"
#include "device_lookup.h"
#include "piece/atomic_file.h"
#include "platform/forwarding_platform.h"
#include "platform/midi_message.h"
#include "platform/real/real_platform.h"
#include "platform/stop_signals.h"
#include "timed_midi_file.h"
#endif

namespace tuttiro::cli {

#ifdef TUTTIRO_HAVE_PLATFORM
namespace {

// The idle pass runs this often while following.
constexpr SystemTime kIdlePassMs = 10;
// A performance given with --solo starts this long after Play and Follow.
constexpr SystemTime kSoloLeadMs = 100;
// Time for delayed sends (metronome note-offs) to go out after the stop.
constexpr int kSettleMs = 100;

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  interrupted.store(true);
}

// A line of the report, kept with its time so that the rows of the input
// thread and of the idle pass can be merged in time order.
struct ReportRow {
  SystemTime time;
  std::string text;  // the columns after the time, which is written relative to the start
};

// Forwards everything to the real platform and keeps what the run writes out:
// every message an output device accepted, and every soloist note-on that
// arrived with the transport position once the input path had taken it.
class RunRecorder : public ForwardingPlatform {
 public:
  explicit RunRecorder(Platform& inner) : ForwardingPlatform(inner) { sent_.reserve(1 << 16); }

  // The application whose position the soloist's rows report; set before any
  // input device is opened.
  void Watch(AppRec& app) { app_ = &app; }

  // The run opens one input device, so one forwarding target is enough.
  MidiResult MidiInOpen(int device, MidiInputCallback callback, void* context, uint32_t instance,
                        MidiHandle* handle) override {
    callback_ = callback;
    context_ = context;
    return inner_.MidiInOpen(device, OnInput, this, instance, handle);
  }
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override {
    const MidiResult result = inner_.MidiOutShortMsg(handle, message);
    if (result == kMidiOk) {
      uint8_t bytes[3];
      const int length = UnpackShortMessage(message, bytes);
      Keep(std::vector<uint8_t>(bytes, bytes + length));
    }
    return result;
  }
  MidiResult MidiOutLongMsg(MidiHandle handle, const uint8_t* data, size_t length) override {
    const MidiResult result = inner_.MidiOutLongMsg(handle, data, length);
    if (result == kMidiOk) Keep(std::vector<uint8_t>(data, data + length));
    return result;
  }

  void AddRow(SystemTime time, std::string text) {
    std::lock_guard guard(lock_);
    rows_.push_back({time, std::move(text)});
  }

  // What was kept, once the devices are closed.
  std::vector<TimedMessage> Sent() {
    std::lock_guard guard(lock_);
    return sent_;
  }
  std::vector<ReportRow> Rows() {
    std::lock_guard guard(lock_);
    std::vector<ReportRow> rows = rows_;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ReportRow& a, const ReportRow& b) { return a.time < b.time; });
    return rows;
  }
  int SoloistNotes() {
    std::lock_guard guard(lock_);
    return soloistNotes_;
  }

 private:
  static void OnInput(void* context, uint32_t instance, const MidiInputMessage& message) {
    auto* self = static_cast<RunRecorder*>(context);
    self->callback_(self->context_, instance, message);
    const uint32_t m = message.shortMessage;
    if (message.sysex != nullptr || (m & 0xF0) != 0x90 || ((m >> 16) & 0x7F) == 0) return;
    const SystemTime now = self->inner_.ClockNow();
    const int32_t position = CurrentPosition(*self->app_);
    std::lock_guard guard(self->lock_);
    ++self->soloistNotes_;
    self->rows_.push_back({now, std::to_string((m >> 8) & 0x7F) + "," + std::to_string(position)});
  }

  void Keep(std::vector<uint8_t> bytes) {
    const SystemTime now = inner_.ClockNow();
    std::lock_guard guard(lock_);
    sent_.push_back({now, std::move(bytes)});
  }

  AppRec* app_ = nullptr;
  MidiInputCallback callback_ = nullptr;
  void* context_ = nullptr;
  std::mutex lock_;
  std::vector<TimedMessage> sent_;
  std::vector<ReportRow> rows_;
  int soloistNotes_ = 0;
};

// The input device: the one asked for, else Tuttiro's own JACK input port,
// else the first input device.
int ChooseInput(const Platform& platform, const char* wanted, const std::string& ownIn) {
  if (wanted) return FindDevice(platform, wanted, true);
  const int own = MidiDeviceNamed(platform, ownIn, true);
  if (own >= 0) return own;
  return platform.MidiInDeviceCount() > 0 ? 0 : -1;
}

// The output device: the one asked for, else the built-in synthesizer.
int ChooseOutput(const Platform& platform, const char* wanted) {
  if (wanted) return FindDevice(platform, wanted, false);
  const int device = MidiDefaultOutputDevice(platform);
  return platform.MidiOutDevice(device) ? device : -1;
}

// Plays a performance into one output device on a thread of its own, every
// message at its time from `start`, until it is done or stopped.
class SoloPlayer {
 public:
  SoloPlayer(Platform& platform, MidiHandle handle, std::vector<SoloMessage> messages,
             std::chrono::steady_clock::time_point start)
      : thread_([this, &platform, handle, messages = std::move(messages), start] {
          for (const SoloMessage& m : messages) {
            std::unique_lock guard(lock_);
            if (wake_.wait_until(guard, start + std::chrono::milliseconds(m.time),
                                 [this] { return stop_; })) {
              return;
            }
            guard.unlock();
            platform.MidiOutShortMsg(handle, PackShortMessage(m.bytes.data(), m.bytes.size()));
          }
        }) {}
  ~SoloPlayer() {
    {
      std::lock_guard guard(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  SoloPlayer(const SoloPlayer&) = delete;
  SoloPlayer& operator=(const SoloPlayer&) = delete;

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;  // last: started once the fields above exist
};

bool WriteReport(const std::string& path, const std::vector<ReportRow>& rows, SystemTime origin) {
  std::ofstream report(path);
  report << "time_ms,pitch,position\n";
  for (const ReportRow& row : rows) report << row.time - origin << ',' << row.text << '\n';
  return static_cast<bool>(report);
}

// The run, with the stop signals blocked until Play and Follow has started;
// `runMask` is the signal mask of the run itself.
int FollowLive(const FollowOptions& o, const PieceModel& performance, const sigset_t& runMask) {
  RealPlatformOptions platformOptions;
  RealPlatform real(platformOptions);
  RunRecorder platform(real);
  const std::string ownIn = "Own JACK port " + real.OwnJackInput();
  const int in = ChooseInput(platform, o.in, ownIn);
  if (in < 0) {
    if (o.in) {
      std::fprintf(stderr, "tuttiro-cli follow: no input device '%s'\n", o.in);
    } else {
      std::fprintf(stderr,
                   "tuttiro-cli follow: no MIDI input device (see 'tuttiro-cli devices')\n");
    }
    return 2;
  }
  const int out = ChooseOutput(platform, o.out);
  if (out < 0) {
    std::fprintf(stderr, "tuttiro-cli follow: no output device '%s'\n",
                 o.out ? o.out : "(the built-in synthesizer)");
    return 2;
  }
  const std::string inName = platform.MidiInDevice(in)->name;
  const std::string outName = platform.MidiOutDevice(out)->name;
  if (o.solo && inName != ownIn) {
    std::fprintf(stderr,
                 "tuttiro-cli follow: --solo plays into Tuttiro's own JACK input port; '%s' is "
                 "another device\n",
                 inName.c_str());
    return 2;
  }

  QuietHost host;
  AppRec app(platform, host);
  platform.Watch(app);
  app.engine.ports.outputDevice.fill(static_cast<int16_t>(out));
  // Every port on the one device: it is opened once, by port A.
  app.engine.ports.inputDevice.fill(static_cast<int16_t>(in));
  if (!MidiOpenOutputs(app.engine.ports, nullptr)) {
    std::fprintf(stderr, "tuttiro-cli follow: the output device '%s' could not be opened\n",
                 outName.c_str());
    return 2;
  }
  if (const int r = AppOpenPiece(app, o.piece); r != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli follow: %s: load result %d\n", o.piece, r);
    MidiCloseAll(app.engine.ports);
    return 2;
  }
  // Stop Automatically ends the run when the soloist stops.
  app.system.stopAutomatically = 1;
  if (!ApplyFollowOptions(app, o)) {
    MidiCloseAll(app.engine.ports);
    return 2;
  }
  if (!MidiOpenInputs(app.engine.ports, nullptr)) {
    std::fprintf(stderr, "tuttiro-cli follow: the input device '%s' could not be opened\n",
                 inName.c_str());
    MidiCloseAll(app.engine.ports);
    return 2;
  }

  // The soloist's own JACK client; it lists our input port now that it is open.
  std::unique_ptr<RealPlatform> soloist;
  MidiHandle soloHandle = kNoMidiHandle;
  if (o.solo) {
    RealPlatformOptions soloOptions;
    soloOptions.synth = false;
    soloOptions.alsa = false;
    soloOptions.clientName = platformOptions.clientName + "-soloist";
    soloist = std::make_unique<RealPlatform>(soloOptions);
    // Our input port under the name the JACK server gave its client, so
    // that the performance never goes into another program's port.
    const int target = MidiDeviceNamed(*soloist, real.OwnJackInput(), false);
    if (target < 0 || soloist->MidiOutOpen(target, &soloHandle) != kMidiOk) {
      std::fprintf(stderr, "tuttiro-cli follow: cannot play %s into %s\n", o.solo, ownIn.c_str());
      MidiCloseAll(app.engine.ports);
      return 2;
    }
  }

  const SystemTime origin = platform.ClockNow();
  const auto steadyOrigin = std::chrono::steady_clock::now();
  QueueCommand(app.engine.commands, kCmdPlayAndFollow);
  IdlePass(app);
  const auto waiting = [&app] {
    return TransportRunning(app) || LoopRestartArmed(app.engine) ||
           app.transport.previewStage != PreviewStage::kNone;
  };
  if (!waiting()) {
    std::fprintf(stderr, "tuttiro-cli follow: Play and Follow did not start\n");
    MidiCloseAll(app.engine.ports);
    return 1;
  }
  std::fprintf(stderr, "following on '%s', accompaniment on '%s' (Ctrl+C stops)\n", inName.c_str(),
               outName.c_str());
  std::unique_ptr<SoloPlayer> solo;
  size_t soloMessages = 0;
  if (soloist) {
    std::vector<SoloMessage> messages = SoloMessages(performance);
    soloMessages = messages.size();
    for (SoloMessage& m : messages) m.time += kSoloLeadMs;
    solo = std::make_unique<SoloPlayer>(*soloist, soloHandle, std::move(messages), steadyOrigin);
  }

  pthread_sigmask(SIG_SETMASK, &runMask, nullptr);
  int jumps = 0;
  SystemTime nextPass = origin;
  while (!interrupted.load()) {
    // On a 10 ms grid; after a stall the grid starts again from now.
    nextPass = std::max(nextPass + kIdlePassMs, platform.ClockNow());
    platform.Sleep(static_cast<int>(nextPass - platform.ClockNow()));
    const SystemTime now = platform.ClockNow();
    platform.AddRow(now, "," + std::to_string(CurrentPosition(app)));
    if (app.engine.jump.pending.load()) ++jumps;
    IdlePass(app);
    if (!waiting()) break;
  }
  const bool stoppedByUser = interrupted.load();
  const int32_t stoppedAt = CurrentPosition(app);
  if (TransportRunning(app)) StopTransport(app);
  LoopRestartCancel(app.engine);
  solo.reset();
  const SystemTime elapsed = platform.ClockNow() - origin;
  AppShutdown(app);
  platform.Sleep(kSettleMs);
  MidiCloseAll(app.engine.ports);

  const std::vector<TimedMessage> sent = platform.Sent();
  bool ok = true;
  if (!o.render.empty()) ok = WriteMidiFile(o.render, sent, origin) && ok;
  if (!o.report.empty()) ok = WriteReport(o.report, platform.Rows(), origin) && ok;
  if (!o.savePerformance.empty()) ok = WritePerformanceFile(app, o.savePerformance) && ok;
  if (soloist) std::fprintf(stderr, "played %zu messages of %s\n", soloMessages, o.solo);
  std::fprintf(stderr,
               "followed %d soloist note-ons in %lld ms, %s at %d of %d ms of the piece; %zu "
               "messages sent; %d idle passes saw a jump request; %d events recorded\n",
               platform.SoloistNotes(), static_cast<long long>(elapsed),
               stoppedByUser ? "interrupted" : "stopped", stoppedAt, app.piece.endPosition,
               sent.size(), jumps, app.piece.performanceTrack().eventCount());
  if (!ok) {
    std::fprintf(stderr, "tuttiro-cli follow: a file could not be written\n%s%s",
                 LastWriteFailure().c_str(), LastWriteFailure().empty() ? "" : "\n");
  }
  return ok ? 0 : 1;
}

}  // namespace

int RunFollowRealtime(const FollowOptions& o) {
  if (!o.replay.empty()) {
    std::fputs("tuttiro-cli follow: --replay is not available with --realtime\n", stderr);
    return 2;
  }
  PieceModel performance;
  if (o.solo) {
    PieceSourceState source;
    if (const int r = OpenPiece(performance, source, o.solo); r != kLoadOk) {
      std::fprintf(stderr, "tuttiro-cli follow: %s: load result %d\n", o.solo, r);
      return 2;
    }
  }
  // The stop signals are kept from the threads the platforms start, so that
  // they reach this thread (and no back end's wait is cut short by them);
  // they are let in once the run starts.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (const int s : kStopSignals) sigaddset(&stopSignals, s);
  sigset_t previousMask;
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask);
  interrupted.store(false);
  HandleStopSignals(OnInterrupt);
  const int status = FollowLive(o, performance, previousMask);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  HandleStopSignals(SIG_DFL);
  return status;
}

#else

int RunFollowRealtime(const FollowOptions&) {
  std::fputs(
      "tuttiro-cli follow: --realtime needs the real MIDI back ends, which this build (core "
      "only) does not have\n",
      stderr);
  return 2;
}

#endif

}  // namespace tuttiro::cli
