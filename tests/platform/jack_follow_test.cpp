// Play and Follow in real time through a real JACK server (started by the
// jack_server test fixture). tuttiro-cli follows a performance of the first
// eight bars of "Ecossaise"'s solo, played at 80 % of the written tempo into
// its own JACK input port by its --solo client, and sends the accompaniment
// to this test's own JACK input port. The accompaniment must take the
// soloist's tempo, arrive through JACK when it was sent, and leave no note
// sounding when the run ends, whether it stops by itself or is interrupted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "midi/midi_ports.h"
#include "piece/piece_model.h"
#include "platform/real/real_platform.h"
#include "timed_midi_file.h"

extern char** environ;

namespace tuttiro {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr double kStretch = 1.25;  // the soloist takes 1.25 times as long as written
constexpr int kSoloTrack = 0;
const std::string kEarClient = "tuttiro-ear";

struct Arrival {
  SteadyClock::time_point at;
  uint32_t message;
};

bool IsNoteOn(uint32_t m) {
  return (m & 0xF0) == 0x90 && ((m >> 16) & 0x7F) != 0;
}
bool IsNoteOff(uint32_t m) {
  return (m & 0xF0) == 0x80 || ((m & 0xF0) == 0x90 && ((m >> 16) & 0x7F) == 0);
}

// This test's JACK client: what arrives at its own input port, with the time.
class Ear {
 public:
  bool Open() {
    const std::string own = "Own JACK port " + kEarClient + "-in:in";
    int device = -1;
    for (int d = 0; d < platform_.MidiInDeviceCount(); ++d) {
      if (platform_.MidiInDevice(d)->name == own) device = d;
    }
    if (device < 0) return false;
    ports_.inputDevice.fill(static_cast<int16_t>(device));
    ports_.inputCallback = Collect;
    ports_.inputContext = this;
    return MidiOpenInputs(ports_, nullptr);
  }
  std::vector<Arrival> Heard() {
    std::lock_guard guard(lock_);
    return heard_;
  }
  // Note-ons heard: the accompaniment's, as the followed solo track is silent.
  size_t NoteOns() {
    const std::vector<Arrival> heard = Heard();
    return static_cast<size_t>(std::count_if(heard.begin(), heard.end(),
                                             [](const Arrival& a) { return IsNoteOn(a.message); }));
  }

 private:
  static RealPlatformOptions Options() {
    RealPlatformOptions options;
    options.synth = false;
    options.alsa = false;
    options.clientName = kEarClient;
    return options;
  }
  static void Collect(void* context, uint32_t, const MidiInputMessage& m) {
    const auto now = SteadyClock::now();
    if (m.sysex != nullptr) return;
    auto* ear = static_cast<Ear*>(context);
    std::lock_guard guard(ear->lock_);
    ear->heard_.push_back({now, m.shortMessage});
  }

  RealPlatform platform_{Options()};
  MidiPortsRec ports_{platform_};
  std::mutex lock_;
  std::vector<Arrival> heard_;
};

// tuttiro-cli run as a child process, its output kept in a log file.
class Cli {
 public:
  Cli(const std::vector<std::string>& args, const std::string& log) : log_(log) {
    std::vector<std::string> all = {TUTTIRO_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Cli() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  void Signal(int signal) { kill(pid_, signal); }
  // The exit status once it has ended, or -1 when it ends by a signal or
  // does not end in time (then the destructor kills it).
  int Wait(std::chrono::seconds limit) {
    const auto deadline = SteadyClock::now() + limit;
    int raw = 0;
    while (waitpid(pid_, &raw, WNOHANG) == 0) {
      if (SteadyClock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    pid_ = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

// A note message: when (ms), its key (channel | note << 8), on or off.
struct NoteEvent {
  double time;
  uint32_t key;
  bool on;
};

uint32_t KeyOf(int channel, int note) {
  return static_cast<uint32_t>(channel) | static_cast<uint32_t>(note) << 8;
}

// The note messages of a file written by --render, in time order (ms from the
// start of Play and Follow): what Tuttiro sent.
std::vector<NoteEvent> RenderedNotes(const std::string& path) {
  PieceModel render;
  PieceSourceState sources;
  std::vector<NoteEvent> out;
  if (OpenPiece(render, sources, path) != kLoadOk) return out;
  for (int t = 0; t < render.trackCount; ++t) {
    const TrackRec& track = render.tracks[static_cast<size_t>(t)];
    for (const PieceEvent& e : track.events) {
      if (e.status != 0x90 && e.status != 0x80) continue;
      const bool on = e.status == 0x90 && e.data2 > 0;
      out.push_back({static_cast<double>(e.time), KeyOf(track.fileChannel, e.data1), on});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const NoteEvent& a, const NoteEvent& b) { return a.time < b.time; });
  return out;
}

// The note messages the ear heard, in ms of the steady clock.
std::vector<NoteEvent> HeardNotes(const std::vector<Arrival>& heard) {
  std::vector<NoteEvent> out;
  for (const Arrival& a : heard) {
    if (!IsNoteOn(a.message) && !IsNoteOff(a.message)) continue;
    const double ms = std::chrono::duration<double, std::milli>(a.at.time_since_epoch()).count();
    out.push_back({ms, a.message & 0x7F0F, IsNoteOn(a.message)});
  }
  return out;
}

// Every (channel, note) whose note-ons outnumber its note-offs.
std::vector<std::string> Hanging(const std::vector<NoteEvent>& notes) {
  std::map<uint32_t, int> sounding;
  for (const NoteEvent& n : notes) sounding[n.key] += n.on ? 1 : -1;
  std::vector<std::string> out;
  for (const auto& [key, count] : sounding) {
    if (count > 0) {
      out.push_back("channel " + std::to_string((key & 0x0F) + 1) + " note " +
                    std::to_string(key >> 8));
    }
  }
  return out;
}

// How many sent note-ons arrived within `tolerance` ms of their sending. The
// two clocks differ by an unknown offset: the one that most pairs of equal
// note-ons agree on (within 20 ms) is taken.
size_t ArrivedInTime(const std::vector<NoteEvent>& sent, const std::vector<NoteEvent>& heard,
                     double tolerance) {
  std::vector<double> offsets;
  for (const NoteEvent& h : heard) {
    for (const NoteEvent& s : sent) {
      if (h.on && s.on && h.key == s.key) offsets.push_back(h.time - s.time);
    }
  }
  if (offsets.empty()) return 0;
  std::sort(offsets.begin(), offsets.end());
  size_t best = 0;
  size_t bestCount = 0;
  for (size_t first = 0, last = 0; first < offsets.size(); ++first) {
    while (last < offsets.size() && offsets[last] - offsets[first] <= 20.0) ++last;
    if (last - first > bestCount) {
      bestCount = last - first;
      best = first;
    }
  }
  const double offset = offsets[best + bestCount / 2];
  return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [&](const NoteEvent& s) {
    return s.on && std::any_of(heard.begin(), heard.end(), [&](const NoteEvent& h) {
             return h.on && h.key == s.key && std::abs(h.time - s.time - offset) <= tolerance;
           });
  }));
}

// Least-squares slope of y over x.
double Slope(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

struct ReportRow {
  int64_t time;
  int pitch;  // -1 on the rows of the idle pass
  int32_t position;
};

std::vector<ReportRow> ReadReport(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // header
  std::vector<ReportRow> rows;
  while (std::getline(in, line)) {
    const size_t a = line.find(',');
    const size_t b = line.find(',', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    const std::string pitch = line.substr(a + 1, b - a - 1);
    rows.push_back({std::stoll(line.substr(0, a)), pitch.empty() ? -1 : std::stoi(pitch),
                    std::stoi(line.substr(b + 1))});
  }
  return rows;
}

class JackFollow : public testing::Test {
 protected:
  void SetUp() override {
    PieceSourceState sources;
    ASSERT_EQ(OpenPiece(piece, sources, "Ecossaise"), kLoadOk);
    for (const BeatMapEntry& beat : piece.beatMap) {
      if (beat.measure == 4 && beat.beat == 1) bar4 = static_cast<int32_t>(beat.time);
      if (beat.measure == 9 && beat.beat == 1) bar9 = static_cast<int32_t>(beat.time);
    }
    ASSERT_GT(bar4, 0);
    ASSERT_GT(bar9, bar4);
    // The solo's note messages up to bar 9, stretched, as a performance file.
    const TrackRec& solo = piece.tracks[kSoloTrack];
    std::vector<cli::TimedMessage> messages;
    for (const PieceEvent& e : solo.events) {
      if ((e.status != 0x90 && e.status != 0x80) || static_cast<int32_t>(e.time) >= bar9) continue;
      const auto at = static_cast<SystemTime>(std::lround(e.time * kStretch));
      messages.push_back(
          {at, {static_cast<uint8_t>(e.status | solo.fileChannel), e.data1, e.data2}});
    }
    ASSERT_TRUE(cli::WriteMidiFile(performance, messages, 0));
    ASSERT_TRUE(ear.Open()) << "the jack_server fixture should have started a JACK server";
  }

  const std::string dir = testing::TempDir();
  const std::string performance = dir + "jack_follow_solo.mid";
  const std::string render = dir + "jack_follow_render.mid";
  const std::string report = dir + "jack_follow_report.csv";
  const std::string log = dir + "jack_follow.log";
  PieceModel piece;
  int32_t bar4 = 0;
  int32_t bar9 = 0;
  Ear ear;
};

// JACK may drop the messages of a late cycle on a loaded machine, so what
// Tuttiro sent is judged from its render, and what arrived against that.
TEST_F(JackFollow, TheAccompanimentTakesTheSoloistsSlowerTempoAndStopsWithNothingHanging) {
  Cli cli({"follow", "Ecossaise", "--realtime", "--out", kEarClient + "-in:in", "--solo",
           performance, "--render", render, "--report", report},
          log);
  ASSERT_TRUE(cli.Started());
  // The soloist stops after bar 8; Stop Automatically ends the run about 5 s later.
  ASSERT_EQ(cli.Wait(std::chrono::seconds(60)), 0) << cli.Log();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the last JACK cycles
  const std::vector<NoteEvent> sent = RenderedNotes(render);
  const std::vector<NoteEvent> heard = HeardNotes(ear.Heard());

  // Each accompaniment note-on sent, placed at the written position of the
  // next unsent note-on of its key, up to bar 9.
  std::map<uint32_t, std::vector<int32_t>> written;
  for (int t : {1, 2}) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    for (const PieceEvent& e : track.events) {
      if (e.status == 0x90 && e.data2 > 0 && static_cast<int32_t>(e.time) < bar9) {
        written[KeyOf(track.fileChannel, e.data1)].push_back(static_cast<int32_t>(e.time));
      }
    }
  }
  std::map<uint32_t, size_t> used;
  std::vector<double> positions;
  std::vector<double> times;
  for (const NoteEvent& n : sent) {
    const auto key = written.find(n.key);
    if (!n.on || key == written.end() || used[n.key] >= key->second.size()) continue;
    const int32_t position = key->second[used[n.key]++];
    if (position < bar4) continue;
    positions.push_back(position);
    times.push_back(n.time);
  }
  // From bar 4 on, once the soloist has come in, the accompaniment goes at
  // their tempo: 1.25 ms of real time per written ms, where it would be 1.0
  // if it kept its own.
  ASSERT_GT(positions.size(), 20u) << cli.Log();
  EXPECT_NEAR(Slope(positions, times), kStretch, 0.12) << cli.Log();

  // It went out through JACK at the times it was sent.
  const auto sentOns =
      static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [](auto& n) { return n.on; }));
  EXPECT_GE(ArrivedInTime(sent, heard, 15.0) * 10, sentOns * 9) << sentOns << " sent";

  // Where the soloist played each note from bar 4 on, the transport stood close
  // to that note's written position just before it.
  std::vector<std::pair<int32_t, int>> soloNotes;
  for (const PieceEvent& e : piece.tracks[kSoloTrack].events) {
    if (e.status == 0x90 && e.data2 > 0 && static_cast<int32_t>(e.time) < bar9) {
      soloNotes.emplace_back(static_cast<int32_t>(e.time), e.data1);
    }
  }
  std::vector<double> drift;
  size_t next = 0;
  int32_t before = -1;
  for (const ReportRow& row : ReadReport(report)) {
    if (row.pitch < 0) {
      before = row.position;
      continue;
    }
    while (next < soloNotes.size() && soloNotes[next].second != row.pitch) ++next;
    ASSERT_LT(next, soloNotes.size()) << "pitch " << row.pitch << " was not played";
    if (soloNotes[next].first >= bar4 && before >= 0) {
      drift.push_back(std::abs(before - soloNotes[next].first));
    }
    ++next;
  }
  ASSERT_GT(drift.size(), 10u);
  std::sort(drift.begin(), drift.end());
  EXPECT_LT(drift[drift.size() / 2], 150.0) << cli.Log();

  EXPECT_EQ(Hanging(sent), std::vector<std::string>{});
}

// A closed terminal (SIGHUP) ends the run as Ctrl+C does: every stop signal
// is handled alike.
TEST_F(JackFollow, AHungUpRunReleasesEverySoundingNote) {
  Cli cli({"follow", "Ecossaise", "--realtime", "--out", kEarClient + "-in:in", "--solo",
           performance, "--render", render},
          log);
  ASSERT_TRUE(cli.Started());
  // Hung up in the middle of the performance, with chords sounding.
  const auto deadline = SteadyClock::now() + std::chrono::seconds(20);
  while (ear.NoteOns() < 25 && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GE(ear.NoteOns(), 25u) << cli.Log();
  cli.Signal(SIGHUP);
  ASSERT_EQ(cli.Wait(std::chrono::seconds(10)), 0) << cli.Log();
  EXPECT_NE(cli.Log().find("interrupted"), std::string::npos) << cli.Log();
  const std::vector<NoteEvent> sent = RenderedNotes(render);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(Hanging(sent), std::vector<std::string>{});
}

}  // namespace
}  // namespace tuttiro
