// `tuttiro-cli play`: Play File end to end through the real transport and
// scheduler. With --render it runs in simulated time as fast as it can and
// writes what the output received, with its times, as a MIDI file (or through
// the built-in synthesizer as audio); otherwise it plays in real time.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "commands.h"
#include "device_lookup.h"
#include "dialogs/field_rules.h"
#include "output_lead.h"
#include "platform/forwarding_platform.h"
#include "platform/simulated_platform.h"
#include "timed_midi_file.h"

#ifdef TUTTIRO_HAVE_PLATFORM
#include "platform/real/real_platform.h"
#include "platform/real/synth_device.h"
#include "platform/stop_signals.h"
#endif

namespace tuttiro::cli {
namespace {

constexpr const char* kPlayHelp =
    "usage: tuttiro-cli play PIECE [options]\n"
    "\n"
    "Plays PIECE (a built-in piece's name or the path of a Standard MIDI File) as\n"
    "Play File does: every track at the chosen tempo, with the piece's settings.\n"
    "\n"
    "  --tempo PERCENT    tempo in per cent of the piece's own (1-399, default: the\n"
    "                     piece's master tempo)\n"
    "  --from M:B         start at measure M, beat B (default: the beginning)\n"
    "  --to M:B           stop at measure M, beat B (default: the end)\n"
    "  --loop             loop from --from to --to; the loop restarts after the loop\n"
    "                     mode delay (3 s). Rendering plays the loop twice\n"
    "  --metronome        sound the metronome\n"
    "  --sync clock|mtc   send MIDI clock or MIDI Time Code (30 fps) with the music\n"
    "  --out DEVICE       the output device, by index or by part of its name (see\n"
    "                     'tuttiro-cli devices'; default: the built-in synthesizer)\n"
    "  --lead MS          send the output's messages MS milliseconds (0-500) before\n"
    "                     they are due, for a device that sounds late\n"
    "  --render OUT.mid   play in simulated time, as fast as possible, and write\n"
    "                     every message the output received, at the millisecond it\n"
    "                     received it, to OUT.mid (format 0, one tick = 1 ms)\n"
    "  --render OUT.wav   the same played through the built-in synthesizer into a\n"
    "                     44.1 kHz stereo 16-bit WAV file\n"
    "  --lateness         measure real-time playback: plays to Tuttiro's own JACK\n"
    "                     output port (default --out), connects it to its own JACK\n"
    "                     input port with jack_connect, and prints how late every\n"
    "                     note message was handed to the device and arrived back,\n"
    "                     against its due time (median, p99, max in microseconds),\n"
    "                     and the CPU the process used while playing. Needs a\n"
    "                     running JACK server (scripts/jack_server.sh)\n"
    "\n"
    "Without --render the piece plays in real time until its end (or --to), or\n"
    "until Ctrl+C; every sounding note is released before the program ends.\n"
    "A summary goes to stderr. Exit status 0 on success, 1 when playback could not\n"
    "start or a file could not be written, 2 on a usage or load error.\n";

struct PlayOptions {
  const char* piece = nullptr;
  int tempo = 0;  // per cent, 0: the piece's own setting
  const char* from = nullptr;
  const char* to = nullptr;
  bool loop = false;
  bool metronome = false;
  int sync = -1;  // 0 clock, 1 time code
  const char* out = nullptr;
  std::string render;
  bool lateness = false;
  int lead = 0;  // ms
};

std::atomic<bool> interrupted{false};

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

int ParseOptions(int argc, char** argv, PlayOptions& options) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kPlayHelp, stdout);
      return 1;
    } else if (arg == "--tempo" && hasValue) {
      const std::optional<int32_t> value = ReadNumber(argv[++i], 1, 399);
      if (!value) return 2;
      options.tempo = *value;
    } else if (arg == "--from" && hasValue) {
      options.from = argv[++i];
    } else if (arg == "--to" && hasValue) {
      options.to = argv[++i];
    } else if (arg == "--loop") {
      options.loop = true;
    } else if (arg == "--lateness") {
      options.lateness = true;
    } else if (arg == "--metronome") {
      options.metronome = true;
    } else if (arg == "--sync" && hasValue) {
      const std::string kind = argv[++i];
      if (kind != "clock" && kind != "mtc") return 2;
      options.sync = kind == "clock" ? 0 : 1;
    } else if (arg == "--out" && hasValue) {
      options.out = argv[++i];
    } else if (arg == "--lead" && hasValue) {
      if (!ParseLead(argv[++i], "play", options.lead)) return 2;
    } else if (arg == "--render" && hasValue) {
      options.render = argv[++i];
      if (!EndsWith(options.render, ".mid") && !EndsWith(options.render, ".wav")) return 2;
    } else if (!options.piece && arg[0] != '-') {
      options.piece = argv[i];
    } else {
      return 2;
    }
  }
  return options.piece ? 0 : 2;
}

// The position of measure:beat in the piece's beat map, or -1.
int32_t BeatPosition(const PieceModel& piece, const char* text) {
  const std::optional<MeasureBeat> at = ReadMeasureBeat(text);
  return at ? MeasureBeatPosition(piece.beatMap, *at).value_or(-1) : -1;
}

// Applies the options to a freshly opened piece; false on a bad position.
bool Prepare(AppRec& app, const PlayOptions& options) {
  const int32_t from = options.from ? BeatPosition(app.piece, options.from) : 0;
  const int32_t to = options.to ? BeatPosition(app.piece, options.to) : app.piece.endPosition - 1;
  if (from < 0 || to < 0 || to <= from) {
    std::fprintf(stderr, "tuttiro-cli play: no such measure:beat, or --to not after --from\n");
    return false;
  }
  if (options.tempo > 0) {
    app.live.tempoFactor = static_cast<uint16_t>((options.tempo * 4096 + 50) / 100);
    app.engine.clock.tempoFactor.store(app.live.tempoFactor);
  }
  app.system.metronomeOn = options.metronome ? 1 : 0;
  app.system.outputLeadMs.fill(static_cast<uint16_t>(options.lead));
  if (options.sync >= 0) {
    app.system.transmitSync = 1;
    app.system.syncType = static_cast<uint16_t>(options.sync);
  }
  // A stop before the end, or a loop, is the loop end of loop mode.
  const bool bounded = options.to != nullptr || options.loop;
  app.system.loopMode = bounded ? 1 : 0;
  app.system.restartLoopAutomatically = options.loop ? 1 : 0;
  app.live.loopStart = from;
  app.live.loopEnd = options.to ? to : app.piece.endPosition - 1;
  SetPosition(app, from);
  Locate(app);
  return true;
}

// Runs the transport: the idle pass every 5 ms of the platform's time, `step`
// moving that time on. With a loop, `passes` ends it after that many restarts
// (0: until interrupted).
template <typename Step>
void RunPlayback(AppRec& app, int passes, Step step) {
  int restarts = 0;
  while (!interrupted.load()) {
    step();
    const bool wasRunning = TransportRunning(app);
    IdlePass(app);
    if (wasRunning && !TransportRunning(app) && LoopRestartArmed(app.engine)) {
      if (passes > 0 && ++restarts >= passes) LoopRestartCancel(app.engine);
    }
    if (!TransportRunning(app) && !LoopRestartArmed(app.engine)) break;
  }
  if (TransportRunning(app)) StopTransport(app);
}

#ifdef TUTTIRO_HAVE_PLATFORM
void OnInterrupt(int) {
  interrupted.store(true);
}

constexpr int kSampleRate = 44100;

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Plays the messages into the built-in synthesizer at their times and writes
// what it sounds, with two seconds for the last notes to die away.
bool WriteWavFile(const std::string& path, const std::vector<TimedMessage>& messages,
                  SystemTime origin) {
  SynthOptions options;
  options.audio = false;
  SynthDevice synth(options);
  if (synth.Open() != kMidiOk) {
    std::fprintf(stderr, "tuttiro-cli play: the built-in synthesizer did not start\n");
    return false;
  }
  std::vector<int16_t> samples;
  std::vector<float> left;
  std::vector<float> right;
  int64_t rendered = 0;
  auto renderTo = [&](int64_t frame) {
    while (rendered < frame) {
      const int n = static_cast<int>(std::min<int64_t>(frame - rendered, 4096));
      left.assign(static_cast<size_t>(n), 0.0f);
      right.assign(static_cast<size_t>(n), 0.0f);
      synth.RenderOffline(left.data(), right.data(), n);
      for (int i = 0; i < n; ++i) {
        for (float v : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]}) {
          samples.push_back(static_cast<int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
        }
      }
      rendered += n;
    }
  };
  for (const TimedMessage& m : messages) {
    renderTo((m.time - origin) * kSampleRate / 1000);
    synth.Send(m.bytes.data(), m.bytes.size());
  }
  renderTo(rendered + 2 * kSampleRate);
  synth.Close();
  std::vector<uint8_t> header = {'R', 'I', 'F', 'F'};
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  PutLe(header, 36 + dataBytes, 4);
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(header, 16, 4);
  PutLe(header, 1, 2);  // PCM
  PutLe(header, 2, 2);  // stereo
  PutLe(header, kSampleRate, 4);
  PutLe(header, kSampleRate * 4, 4);
  PutLe(header, 4, 2);
  PutLe(header, 16, 2);
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  PutLe(header, dataBytes, 4);
  std::ofstream stream(path, std::ios::binary);
  stream.write(reinterpret_cast<const char*>(header.data()),
               static_cast<std::streamsize>(header.size()));
  stream.write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(dataBytes));
  return static_cast<bool>(stream);
}

using SteadyClock = std::chrono::steady_clock;

int64_t SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             SteadyClock::now().time_since_epoch())
      .count();
}

// A short message seen at a moment, in steady-clock microseconds.
struct Stamped {
  int64_t micros;
  uint32_t message;
};

// Notes the moment each short message is handed to a device.
class SendProbe : public ForwardingPlatform {
 public:
  explicit SendProbe(Platform& inner) : ForwardingPlatform(inner) { sends.reserve(1 << 20); }
  MidiResult MidiOutShortMsg(MidiHandle handle, uint32_t message) override {
    {
      std::lock_guard guard(lock);
      sends.push_back({SteadyMicros(), message});
    }
    return inner_.MidiOutShortMsg(handle, message);
  }

  std::mutex lock;
  std::vector<Stamped> sends;
  std::vector<Stamped> arrivals;
};

void OnArrival(void* context, uint32_t, const MidiInputMessage& message) {
  auto* probe = static_cast<SendProbe*>(context);
  const int64_t now = SteadyMicros();
  if (message.sysex != nullptr) return;
  std::lock_guard guard(probe->lock);
  probe->arrivals.push_back({now, message.shortMessage});
}

// A note message's identity for matching: on or off, channel, note.
uint32_t NoteKey(uint32_t message) {
  const uint32_t status = message & 0xF0;
  if (status != 0x80 && status != 0x90) return 0;
  const bool on = status == 0x90 && ((message >> 16) & 0x7F) != 0;
  return (on ? 0x90u : 0x80u) | (message & 0x0F) | (message & 0x7F00);
}

// The due time (platform ms) of every note message the piece sends from
// `from` on, keyed as NoteKey does, in time order.
std::map<uint32_t, std::deque<SystemTime>> DueTimes(AppRec& app, int32_t from, SystemTime base) {
  std::vector<std::pair<SystemTime, uint32_t>> due;
  const int32_t factor = app.engine.clock.tempoFactor.load();
  for (int t = 0; t < app.piece.trackCount; ++t) {
    const TrackRec& track = app.piece.tracks[static_cast<size_t>(t)];
    if (!track.play) continue;
    for (const PieceEvent& ev : track.events) {
      const int32_t time = static_cast<int32_t>(ev.time);
      const bool on = (ev.status & 0xF0) == 0x90 && ev.data2 > 0;
      if (time < from || (time == from && !on) || time >= app.live.loopEnd) continue;
      const int note = ev.data1 + track.transposition + app.live.masterTranspose;
      const uint32_t message = static_cast<uint32_t>(ev.status | (track.outputChannel & 0x0F)) |
                               static_cast<uint32_t>(note & 0x7F) << 8 |
                               static_cast<uint32_t>(ev.data2) << 16;
      if (NoteKey(message)) due.push_back({base + FixDiv(time - from, factor * 16), message});
    }
  }
  std::stable_sort(due.begin(), due.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::map<uint32_t, std::deque<SystemTime>> byKey;
  for (const auto& [time, message] : due) byKey[NoteKey(message)].push_back(time);
  return byKey;
}

// Lateness in microseconds of each stamped note message against its due time.
std::vector<int64_t> Lateness(const std::vector<Stamped>& stamped,
                              std::map<uint32_t, std::deque<SystemTime>> due, int64_t epoch) {
  std::vector<int64_t> late;
  for (const Stamped& s : stamped) {
    auto it = due.find(NoteKey(s.message));
    if (it == due.end() || it->second.empty()) continue;
    late.push_back(s.micros - (epoch + it->second.front() * 1000));
    it->second.pop_front();
  }
  std::sort(late.begin(), late.end());
  return late;
}

void PrintLateness(const char* what, const std::vector<int64_t>& late, size_t expected) {
  if (late.empty()) {
    std::printf("%s: no note messages matched\n", what);
    return;
  }
  auto at = [&](double q) {
    return late[std::min(late.size() - 1,
                         static_cast<size_t>(q * static_cast<double>(late.size())))];
  };
  std::printf("%s: %zu of %zu note messages, lateness median %lld us, p99 %lld us, max %lld us\n",
              what, late.size(), expected, static_cast<long long>(at(0.5)),
              static_cast<long long>(at(0.99)), static_cast<long long>(late.back()));
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The output device asked for, else the built-in synthesizer.
int ChooseOutput(const Platform& platform, const char* wanted) {
  return wanted ? FindDevice(platform, wanted, false) : MidiDefaultOutputDevice(platform);
}

int PlayRealTime(const PlayOptions& options) {
  RealPlatformOptions platformOptions;
  platformOptions.synth = !options.lateness;
  RealPlatform real(platformOptions);
  SendProbe platform(real);
  const std::string ownOut = "Own JACK port " + real.OwnJackOutput();
  const std::string ownIn = "Own JACK port " + real.OwnJackInput();
  const char* wanted = options.out ? options.out : options.lateness ? ownOut.c_str() : nullptr;
  const int device = ChooseOutput(platform, wanted);
  if (device < 0) {
    std::fprintf(stderr, "tuttiro-cli play: no output device '%s'\n", wanted);
    return 2;
  }
  QuietHost host;
  AppRec app(platform, host);
  app.engine.ports.outputDevice.fill(static_cast<int16_t>(device));
  if (!MidiOpenOutputs(app.engine.ports, nullptr)) {
    std::fprintf(stderr, "tuttiro-cli play: the output device did not open\n");
    return 1;
  }
  bool roundTrip = false;
  if (options.lateness && platform.MidiOutDevice(device)->name == ownOut) {
    const int in = FindDevice(platform, ownIn.c_str(), true);
    if (in >= 0) {
      app.engine.ports.inputDevice.fill(static_cast<int16_t>(in));
      app.engine.ports.inputCallback = OnArrival;
      app.engine.ports.inputContext = &platform;
      const std::string connect =
          "jack_connect " + real.OwnJackOutput() + " " + real.OwnJackInput();
      roundTrip = MidiOpenInputs(app.engine.ports, nullptr) && std::system(connect.c_str()) == 0;
      platform.Sleep(200);
    }
  }
  if (const int result = AppOpenPiece(app, options.piece); result != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli play: cannot open '%s' (load result %d)\n", options.piece,
                 result);
    return 2;
  }
  if (!Prepare(app, options)) return 2;
  HandleStopSignals(OnInterrupt);
  // Where the platform's millisecond 0 lies on the steady clock, to the microsecond.
  const SystemTime tick = platform.ClockNow();
  while (platform.ClockNow() == tick) {
  }
  const int64_t epoch = SteadyMicros() - platform.ClockNow() * 1000;
  const int32_t from = CurrentPosition(app);
  const SystemTime started = platform.ClockNow();
  const double cpuStart = CpuSeconds();
  PlayFile(app);
  if (!TransportRunning(app)) {
    std::fprintf(stderr, "tuttiro-cli play: nothing to play\n");
    return 1;
  }
  const SystemTime base = app.engine.clock.baseTime.load();
  std::fprintf(stderr, "playing '%s' on %s (Ctrl+C stops)\n", options.piece,
               platform.MidiOutDevice(device)->name.c_str());
  RunPlayback(app, 0, [&] { platform.Sleep(5); });
  const double cpu = CpuSeconds() - cpuStart;
  const SystemTime wall = platform.ClockNow() - started;
  platform.Sleep(100);  // delayed note-offs of the metronome
  std::fprintf(stderr, "stopped at %d ms of the piece after %lld ms\n", CurrentPosition(app),
               static_cast<long long>(wall));
  MidiCloseAll(app.engine.ports);
  if (options.lateness) {
    const auto due = DueTimes(app, from, base);
    size_t expected = 0;
    for (const auto& [key, times] : due) expected += times.size();
    std::lock_guard guard(platform.lock);
    PrintLateness("handed to the device", Lateness(platform.sends, due, epoch), expected);
    if (roundTrip)
      PrintLateness("arrived back through JACK", Lateness(platform.arrivals, due, epoch), expected);
    std::printf("CPU while playing: %.3f s in %.3f s, %.2f %% of one core\n", cpu,
                static_cast<double>(wall) / 1000.0,
                100.0 * cpu * 1000.0 / static_cast<double>(wall));
  }
  return 0;
}
#endif

int Render(const PlayOptions& options) {
  SimulatedPlatform platform;
  platform.AddOutputDevice("render", MidiBackend::kSynth);
  QuietHost host;
  AppRec app(platform, host);
  MidiOpenOutputs(app.engine.ports, nullptr);
  if (const int result = AppOpenPiece(app, options.piece); result != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli play: cannot open '%s' (load result %d)\n", options.piece,
                 result);
    return 2;
  }
  if (!Prepare(app, options)) return 2;
  const SystemTime origin = platform.ClockNow();
  const size_t atOpen = platform.Sent(0).size();
  PlayFile(app);
  if (!TransportRunning(app)) {
    std::fprintf(stderr, "tuttiro-cli play: nothing to play\n");
    return 1;
  }
  RunPlayback(app, options.loop ? 2 : 0, [&] { platform.RunFor(5); });
  platform.RunFor(100);  // delayed note-offs of the metronome
  std::vector<TimedMessage> messages;
  const auto sent = platform.Sent(0);
  for (size_t i = atOpen; i < sent.size(); ++i) messages.push_back({sent[i].time, sent[i].bytes});
  bool written = false;
  if (EndsWith(options.render, ".mid")) {
    written = WriteMidiFile(options.render, messages, origin);
  } else {
#ifdef TUTTIRO_HAVE_PLATFORM
    written = WriteWavFile(options.render, messages, origin);
#else
    std::fprintf(stderr, "tuttiro-cli play: this build has no synthesizer for .wav\n");
    return 1;
#endif
  }
  if (!written) {
    std::fprintf(stderr, "tuttiro-cli play: cannot write '%s'\n", options.render.c_str());
    return 1;
  }
  std::fprintf(stderr, "rendered %zu messages, %lld ms, to %s\n", messages.size(),
               static_cast<long long>(platform.ClockNow() - origin), options.render.c_str());
  return 0;
}

}  // namespace

int RunPlay(int argc, char** argv) {
  PlayOptions options;
  const int parsed = ParseOptions(argc, argv, options);
  if (parsed == 1) return 0;
  if (parsed == 2) {
    std::fputs(kPlayHelp, stderr);
    return 2;
  }
  if (!options.render.empty()) return Render(options);
#ifdef TUTTIRO_HAVE_PLATFORM
  return PlayRealTime(options);
#else
  std::fprintf(stderr, "tuttiro-cli play: this build has no real MIDI back ends; use --render\n");
  return 1;
#endif
}

}  // namespace tuttiro::cli
