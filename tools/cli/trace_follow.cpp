// `tuttiro-cli trace-follow`: runs the score follower alone in simulated time on a
// recorded performance and prints, note by note, where it thinks the soloist is.
// It is how following is measured on real performances, so its format stays stable.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "dialogs/field_rules.h"
#include "engine/follower.h"
#include "piece/piece_model.h"
#include "platform/simulated_platform.h"

namespace tuttiro::cli {
namespace {

constexpr const char* kTraceHelp =
    "usage: tuttiro-cli trace-follow PIECE --performance PERF.mid [options]\n"
    "\n"
    "Follows a recorded performance with the score follower alone, in simulated time.\n"
    "PIECE is a built-in piece's name or the path of a Standard MIDI File; PERF.mid is\n"
    "the soloist's performance: every note-on of every track is played to the follower\n"
    "at its time in milliseconds (from the performance file's own tempo map).\n"
    "\n"
    "  --track N          the track the soloist plays (default 0)\n"
    "  --track2 M         a second track to follow with it\n"
    "  --level 0-4        timing level: 0 None, 1 Low, 2 Medium, 3 High, 4 Highest (default 4)\n"
    "  --jumps off|local|anywhere  automatic jumping (default anywhere)\n"
    "  --start POSITION   start following at POSITION (score ms) at performance time 0;\n"
    "                     without it the follower starts where it finds the soloist\n"
    "                     (Start Automatically)\n"
    "  --wait-for-start   the clock waits for the soloist's first chord\n"
    "  --strict-time      the clock never holds at the soloist's next written note\n"
    "  --taps             each note-on is a tapped beat (strength velocity << 10);\n"
    "                     following starts at --start (default 0)\n"
    "  --markers FILE     special markers, one a line: 'wait POS', 'signal POS',\n"
    "                     'restore POS', 'ignore START END', 'special VALUE' (the special\n"
    "                     signal: a note 0-127 or 256 + a controller); '#' starts a comment\n"
    "  --every MS         also print the follower clock every MS milliseconds\n"
    "\n"
    "A jump request is honoured as the player does it: following stops and starts\n"
    "again at the requested place, so the run goes on after a jump.\n"
    "\n"
    "Output, CSV on stdout, with a header row:\n"
    "  note,time_ms,pitch,velocity,matched_position,position,rate,event\n"
    "    one row per input note: its time, pitch and velocity; the position of the\n"
    "    written chord it matched or -1; the follower position right after it (score\n"
    "    ms); the follower rate (1.0000 = the piece's own tempo); event is\n"
    "    'jump-request' (the note made the follower ask for a jump), 'start' (it\n"
    "    started following), 'correction' (a near correction) or empty.\n"
    "  clock,time_ms,,,,position,rate,\n"
    "    with --every: the follower clock at that time.\n"
    "\n"
    "Exit status 0 on success, 2 on a usage or load error.\n";

struct TraceOptions {
  const char* piece = nullptr;
  const char* performance = nullptr;
  int track = 0;
  int track2 = -1;
  int level = 4;
  bool autoJump = true;
  bool localJumps = false;
  bool started = false;
  int32_t start = 0;
  bool waitForStart = false;
  bool strictTime = false;
  bool taps = false;
  const char* markers = nullptr;
  int64_t every = 0;
};

struct Markers {
  std::vector<int32_t> wait;
  std::vector<int32_t> signal;
  std::vector<int32_t> restore;
  std::vector<IgnoreRange> ignore;
  uint16_t special = kNoSpecialSignal;
};

struct InputNote {
  SystemTime time;
  uint8_t pitch;
  uint8_t velocity;
};

bool ParseNumber(const char* text, int64_t low, int64_t high, int64_t& value) {
  const std::optional<int32_t> number = ReadNumber(
      text, static_cast<int32_t>(low), static_cast<int32_t>(std::min<int64_t>(high, kNoLimit)));
  if (number) value = *number;
  return number.has_value();
}

// Returns 0 when the options parsed, 1 after --help, 2 on a usage error.
int ParseOptions(int argc, char** argv, TraceOptions& options) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    int64_t value = 0;
    const auto number = [&](int64_t low, int64_t high) {
      return hasValue && ParseNumber(argv[++i], low, high, value);
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kTraceHelp, stdout);
      return 1;
    } else if (arg == "--performance" && hasValue) {
      options.performance = argv[++i];
    } else if (arg == "--track" && number(0, 65535)) {
      options.track = static_cast<int>(value);
    } else if (arg == "--track2" && number(0, 65535)) {
      options.track2 = static_cast<int>(value);
    } else if (arg == "--level" && number(0, 4)) {
      options.level = static_cast<int>(value);
    } else if (arg == "--jumps" && hasValue) {
      const std::string mode = argv[++i];
      if (mode != "off" && mode != "local" && mode != "anywhere") return 2;
      options.autoJump = mode != "off";
      options.localJumps = mode == "local";
    } else if (arg == "--start" && number(0, kNoLimit - 1)) {
      options.started = true;
      options.start = static_cast<int32_t>(value);
    } else if (arg == "--wait-for-start") {
      options.waitForStart = true;
    } else if (arg == "--strict-time") {
      options.strictTime = true;
    } else if (arg == "--taps") {
      options.taps = true;
    } else if (arg == "--markers" && hasValue) {
      options.markers = argv[++i];
    } else if (arg == "--every" && number(1, kNoLimit)) {
      options.every = value;
    } else if (arg[0] != '-' && !options.piece) {
      options.piece = argv[i];
    } else {
      return 2;
    }
  }
  return options.piece && options.performance ? 0 : 2;
}

bool ReadMarkers(const char* path, Markers& markers) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    std::string kind;
    if (!(fields >> kind)) continue;
    int64_t a = 0;
    int64_t b = 0;
    if (!(fields >> a) || a < 0 || a >= kNoLimit) return false;
    if (kind == "wait") {
      markers.wait.push_back(static_cast<int32_t>(a));
    } else if (kind == "signal") {
      markers.signal.push_back(static_cast<int32_t>(a));
    } else if (kind == "restore") {
      markers.restore.push_back(static_cast<int32_t>(a));
    } else if (kind == "ignore" && (fields >> b) && b > a && b < kNoLimit) {
      markers.ignore.push_back(IgnoreRange{static_cast<int32_t>(a), static_cast<int32_t>(b)});
    } else if (kind == "special" && a <= 0xFFFF) {
      markers.special = static_cast<uint16_t>(a);
    } else {
      return false;
    }
  }
  return true;
}

// Every note-on of every track, in time order (ties keep the track order).
std::vector<InputNote> PerformanceNotes(const PieceModel& performance) {
  std::vector<InputNote> notes;
  for (int t = 0; t < performance.trackCount; ++t) {
    for (const PieceEvent& e : performance.tracks[static_cast<size_t>(t)].events) {
      if (e.status == 0x90 && e.data2 > 0) notes.push_back(InputNote{e.time, e.data1, e.data2});
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const InputNote& a, const InputNote& b) { return a.time < b.time; });
  return notes;
}

// The follower with a host that answers the way the player does.
struct TraceHost {
  SimulatedPlatform platform;
  FollowerState follower;
  bool jumpRequested = false;
  int32_t lastMatched = -1;
};

void PrintClockRow(const char* kind, SystemTime time, const FollowerState& f) {
  const double rate = FollowerClockRead(f.clock).rate / 65536.0;
  std::printf("%s,%lld,,,,%d,%.4f,\n", kind, static_cast<long long>(time), FollowerPosition(f),
              rate);
}

bool SetUpFollower(TraceHost& host, const TraceOptions& options, const PieceModel& piece,
                   const Markers& markers) {
  FollowerState& f = host.follower;
  const auto report = [&host](int code, int64_t, int64_t b, int64_t) -> int64_t {
    if (code == kReportJump) host.jumpRequested = true;
    if (code == kReportNote) host.lastMatched = static_cast<int32_t>(b);
    return 0;
  };
  if (!FollowerInit(f, host.platform, report)) return false;
  FollowerSetOptions(f, options.level, true, options.autoJump, options.localJumps,
                     options.waitForStart, options.strictTime);
  FollowerSetSpecialSignal(f, markers.special);
  const std::vector<uint32_t> beats = FollowerBeatList(piece.beatMap);
  if (options.taps) {
    if (!FollowerSetTapBeats(f, beats)) return false;
  } else {
    const auto& a = piece.tracks[static_cast<size_t>(options.track)].events;
    std::span<const PieceEvent> b;
    if (options.track2 >= 0) b = piece.tracks[static_cast<size_t>(options.track2)].events;
    if (!FollowerSetScore(f, a, b, beats)) return false;
  }
  return FollowerSetWaitForSoloist(f, markers.wait) &&
         FollowerSetWaitForSignal(f, markers.signal) &&
         FollowerSetRestoreTempo(f, markers.restore) && FollowerSetIgnoreRanges(f, markers.ignore);
}

// Starts following and lets the scheduler's first query fix the start time.
void StartFollowing(TraceHost& host, int32_t position) {
  FollowerStart(host.follower, position, kFixOne);
  FollowerTimeUntil(host.follower, position + 1);
}

// Feeds one note (or tap) and honours a jump request; returns the event column.
const char* PlayNote(TraceHost& host, const TraceOptions& options, const InputNote& note) {
  FollowerState& f = host.follower;
  host.platform.SetNow(note.time);
  host.jumpRequested = false;
  host.lastMatched = -1;
  const int32_t corrections = f.correctionCount;
  const bool wasRunning = FollowerClockRead(f.clock).running;
  if (options.taps) {
    FollowerTapInput(f, int32_t{note.velocity} << 10, note.time);
  } else {
    FollowerNoteInput(f, 0x90u | uint32_t{note.pitch} << 8 | uint32_t{note.velocity} << 16,
                      note.time);
  }
  if (host.jumpRequested) {
    FollowerStop(f);
    FollowerResumeAfterJump(f, kFixOne);
    return wasRunning ? "jump-request" : "start";
  }
  return f.correctionCount != corrections ? "correction" : "";
}

}  // namespace

int RunTraceFollow(int argc, char** argv) {
  TraceOptions options;
  const int parsed = ParseOptions(argc, argv, options);
  if (parsed == 1) return 0;
  if (parsed == 2) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: bad arguments\n\n%s", kTraceHelp);
    return 2;
  }
  Markers markers;
  if (options.markers && !ReadMarkers(options.markers, markers)) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: cannot read markers from %s\n",
                 options.markers);
    return 2;
  }
  PieceModel piece;
  PieceSourceState pieceSources;
  PieceModel performance;
  PieceSourceState performanceSources;
  if (OpenPiece(piece, pieceSources, options.piece) != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: cannot load %s\n", options.piece);
    return 2;
  }
  if (OpenPiece(performance, performanceSources, options.performance) != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: cannot load %s\n", options.performance);
    return 2;
  }
  if (options.track >= piece.trackCount || options.track2 >= piece.trackCount) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: the piece has %d tracks\n", piece.trackCount);
    return 2;
  }
  TraceHost host;
  if (!SetUpFollower(host, options, piece, markers)) {
    std::fprintf(stderr, "tuttiro-cli trace-follow: the follower could not be set up\n");
    return 2;
  }
  if (options.started || options.taps) StartFollowing(host, options.start);

  std::printf("note,time_ms,pitch,velocity,matched_position,position,rate,event\n");
  SystemTime nextClock = 0;
  for (const InputNote& note : PerformanceNotes(performance)) {
    for (; options.every > 0 && nextClock <= note.time; nextClock += options.every) {
      host.platform.SetNow(nextClock);
      PrintClockRow("clock", nextClock, host.follower);
    }
    const char* event = PlayNote(host, options, note);
    const double rate = FollowerClockRead(host.follower.clock).rate / 65536.0;
    std::printf("note,%lld,%u,%u,%d,%d,%.4f,%s\n", static_cast<long long>(note.time), note.pitch,
                note.velocity, host.lastMatched, FollowerPosition(host.follower), rate, event);
  }
  FollowerFreeAll(host.follower);
  return 0;
}

}  // namespace tuttiro::cli
