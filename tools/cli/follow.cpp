// `tuttiro-cli follow`: Play and Follow end to end in simulated time. A
// recorded performance is played into input port A at its own times; the
// transport, follower and scheduler run as in the program, and what the
// output ports receive is written out with the times it was sent.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/save_performance.h"
#include "commands.h"
#include "dialogs/field_rules.h"
#include "follow.h"
#include "output_lead.h"
#include "piece/atomic_file.h"
#include "platform/simulated_platform.h"
#include "timed_midi_file.h"

namespace tuttiro::cli {
namespace {

constexpr const char* kFollowHelp =
    "usage: tuttiro-cli follow PIECE --solo PERF.mid [options]\n"
    "       tuttiro-cli follow PIECE --realtime [--in DEVICE] [--out DEVICE] [options]\n"
    "\n"
    "Plays and follows PIECE (a built-in piece's name or a Standard MIDI File) in\n"
    "simulated time while the soloist's performance PERF.mid is played into input\n"
    "port A, every message at its own time (from PERF.mid's tempo map). Jump\n"
    "requests stop and restart following as in the program.\n"
    "\n"
    "  --track N          the following track (default: the piece's setting)\n"
    "  --track2 M         a second following track\n"
    "  --taps             follow tapped beats: every note-on of PERF.mid is a tap\n"
    "  --level 0-4        timing sensitivity (default 4, Highest)\n"
    "  --wait-for-solo    the accompaniment waits at the first written note until\n"
    "                     the soloist plays it (Wait for Solo/Tap to Start)\n"
    "  --lead MS          send the accompaniment MS milliseconds (0-500) before it\n"
    "                     is due, for an output device that sounds late\n"
    "  --render OUT.mid   everything the output ports received, at the millisecond\n"
    "                     they received it (format 0, one tick = 1 ms)\n"
    "  --report OUT.csv   one row per soloist note-on 'time_ms,pitch,position' and\n"
    "                     one every 10 ms 'time_ms,,position': the transport\n"
    "                     position (score ms) at that time\n"
    "  --replay OUT2.mid  then Play Performance from the start: the recorded\n"
    "                     soloist with the accompaniment in their tempo, written\n"
    "                     as --render writes\n"
    "  --save-performance OUT.mid\n"
    "                     the recorded performance as Save Performance As writes\n"
    "                     it: the piece in the soloist's tempo with their notes\n"
    "\n"
    "  --realtime --in DEVICE --out DEVICE\n"
    "                     follow a live soloist on the real MIDI devices instead\n"
    "                     (index or part of the name, as 'tuttiro-cli devices'\n"
    "                     lists them; by default Tuttiro's own JACK input port and\n"
    "                     the built-in synthesizer). Stops at the end of the piece,\n"
    "                     after Stop Automatically's silence or on Ctrl+C. With\n"
    "                     --solo the performance is played into Tuttiro's own JACK\n"
    "                     input port in real time; --replay is not available.\n"
    "\n"
    "A summary goes to stderr. Exit status 0 on success, 1 when a file could not be\n"
    "written, 2 on a usage or load error.\n";

bool ParseNumber(const char* text, int low, int high, int& value) {
  const std::optional<int32_t> number = ReadNumber(text, low, high);
  if (number) value = *number;
  return number.has_value();
}

int ParseOptions(int argc, char** argv, FollowOptions& o) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kFollowHelp, stdout);
      return 1;
    } else if (arg == "--solo" && hasValue) {
      o.solo = argv[++i];
    } else if (arg == "--track" && hasValue) {
      if (!ParseNumber(argv[++i], 0, 32767, o.track)) return 2;
    } else if (arg == "--track2" && hasValue) {
      if (!ParseNumber(argv[++i], 0, 32767, o.track2)) return 2;
    } else if (arg == "--level" && hasValue) {
      if (!ParseNumber(argv[++i], 0, 4, o.level)) return 2;
    } else if (arg == "--taps") {
      o.taps = true;
    } else if (arg == "--wait-for-solo") {
      o.waitForSolo = true;
    } else if (arg == "--lead" && hasValue) {
      if (!ParseLead(argv[++i], "follow", o.lead)) return 2;
    } else if (arg == "--render" && hasValue) {
      o.render = argv[++i];
    } else if (arg == "--report" && hasValue) {
      o.report = argv[++i];
    } else if (arg == "--replay" && hasValue) {
      o.replay = argv[++i];
    } else if (arg == "--save-performance" && hasValue) {
      o.savePerformance = argv[++i];
    } else if (arg == "--realtime") {
      o.realtime = true;
    } else if (arg == "--in" && hasValue) {
      o.in = argv[++i];
    } else if (arg == "--out" && hasValue) {
      o.out = argv[++i];
    } else if (!o.piece && arg[0] != '-') {
      o.piece = argv[i];
    } else {
      return 2;
    }
  }
  if (!o.piece) return 2;
  return o.realtime || o.solo ? 0 : 2;
}

}  // namespace

std::vector<SoloMessage> SoloMessages(const PieceModel& performance) {
  std::vector<SoloMessage> out;
  for (int t = 0; t < performance.trackCount; ++t) {
    const TrackRec& track = performance.tracks[static_cast<size_t>(t)];
    for (const PieceEvent& e : track.events) {
      if (e.status == 0xC0) continue;
      const uint8_t status = static_cast<uint8_t>(e.status | (track.fileChannel & 0x0F));
      std::vector<uint8_t> bytes{status, e.data1};
      if (e.status != 0xD0) bytes.push_back(e.data2);
      out.push_back({static_cast<SystemTime>(e.time), std::move(bytes)});
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const SoloMessage& a, const SoloMessage& b) { return a.time < b.time; });
  return out;
}

bool ApplyFollowOptions(AppRec& app, const FollowOptions& o) {
  if (o.track >= app.piece.trackCount || o.track2 >= app.piece.trackCount) {
    std::fprintf(stderr, "tuttiro-cli follow: the piece has %d tracks\n", app.piece.trackCount);
    return false;
  }
  if (o.track >= 0) app.live.followTrack1 = static_cast<int16_t>(o.track);
  if (o.track2 >= 0) {
    app.live.followTrack2 = static_cast<int16_t>(o.track2);
    app.live.followTwoTracks = 1;
  }
  app.system.timingSensitivity = static_cast<int16_t>(o.level);
  app.system.outputLeadMs.fill(static_cast<uint16_t>(o.lead));
  app.system.waitForSolo = o.waitForSolo ? 1 : 0;
  app.system.followSource = o.taps ? 1 : 0;
  app.system.tapSource = 3;  // any note
  GiveFollowerOptions(app.settings);
  GiveFollowerScore(app.settings);
  SetPosition(app, 0);
  Locate(app);
  return true;
}

// The messages an output device received, from the `from`th on.
std::vector<TimedMessage> Timed(const std::vector<SimulatedPlatform::SentMessage>& sent,
                                size_t from) {
  std::vector<TimedMessage> messages;
  for (size_t i = from; i < sent.size(); ++i) messages.push_back({sent[i].time, sent[i].bytes});
  return messages;
}

// Play Performance of what was just recorded, from the start to its stop.
bool Replay(AppRec& app, SimulatedPlatform& platform) {
  if (!app.transport.performanceAvailable) return false;
  SetPosition(app, 0);
  Locate(app);
  SetStoppedMenus(app);  // back at the start, the play commands are enabled again
  QueueCommand(app.engine.commands, kCmdPlayPerformance);
  IdlePass(app);
  const SystemTime limit = platform.ClockNow() + 4 * 3600 * 1000;
  while (TransportRunning(app) && platform.ClockNow() < limit) {
    platform.RunFor(5);
    IdlePass(app);
  }
  platform.RunFor(100);
  return true;
}

int RunFollow(int argc, char** argv) {
  FollowOptions options;
  if (int r = ParseOptions(argc, argv, options); r != 0) {
    if (r == 2) std::fputs(kFollowHelp, stderr);
    return r == 1 ? 0 : 2;
  }
  if (options.realtime) return RunFollowRealtime(options);
  PieceModel performance;
  PieceSourceState performanceSource;
  if (int r = OpenPiece(performance, performanceSource, options.solo); r != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli follow: %s: load result %d\n", options.solo, r);
    return 2;
  }
  SimulatedPlatform platform;
  platform.AddOutputDevice("Accompaniment");
  const int soloist = platform.AddInputDevice("Soloist");
  platform.SetNow(1000);
  QuietHost host;
  AppRec app(platform, host);
  if (int r = AppOpenPiece(app, options.piece); r != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli follow: %s: load result %d\n", options.piece, r);
    return 2;
  }
  app.engine.ports.inputDevice.fill(-1);
  app.engine.ports.inputDevice[0] = static_cast<int16_t>(soloist);
  MidiOpenOutputs(app.engine.ports, nullptr);
  MidiOpenInputs(app.engine.ports, nullptr);
  if (!ApplyFollowOptions(app, options)) return 2;

  const SystemTime origin = platform.ClockNow() + 100;
  const std::vector<SoloMessage> solo = SoloMessages(performance);
  for (const SoloMessage& m : solo) platform.ScheduleInput(soloist, origin + m.time, m.bytes);
  const SystemTime last = solo.empty() ? origin : origin + solo.back().time;

  std::vector<std::string> rows;
  QueueCommand(app.engine.commands, kCmdPlayAndFollow);
  IdlePass(app);
  size_t next = 0;
  SystemTime nextRow = origin;
  int jumps = 0;
  while (platform.ClockNow() < last + 3000 && (TransportRunning(app) || next < solo.size())) {
    const SystemTime noteAt = next < solo.size() ? origin + solo[next].time : last + 3000;
    const SystemTime step = std::min({platform.ClockNow() + 5, noteAt, nextRow});
    platform.RunUntil(step);
    const SystemTime now = platform.ClockNow();
    for (; next < solo.size() && origin + solo[next].time <= now; ++next) {
      const std::vector<uint8_t>& b = solo[next].bytes;
      if ((b[0] & 0xF0) == 0x90 && b.size() == 3 && b[2] > 0) {
        rows.push_back(std::to_string(now - origin) + "," + std::to_string(b[1]) + "," +
                       std::to_string(CurrentPosition(app)));
      }
    }
    if (now >= nextRow) {
      rows.push_back(std::to_string(now - origin) + ",," + std::to_string(CurrentPosition(app)));
      nextRow += 10;
    }
    if (app.engine.jump.pending.load()) ++jumps;
    IdlePass(app);
  }
  if (TransportRunning(app)) StopTransport(app);
  platform.RunFor(100);

  const auto sent = platform.Sent(0);
  bool ok = true;
  if (!options.render.empty()) {
    ok = WriteMidiFile(options.render, Timed(sent, 0), origin) && ok;
  }
  if (!options.savePerformance.empty() && !WritePerformanceFile(app, options.savePerformance)) {
    std::fprintf(stderr, "tuttiro-cli follow: no performance was saved\n");
    ok = false;
  }
  if (!options.replay.empty()) {
    const SystemTime replayStart = platform.ClockNow();
    if (!Replay(app, platform)) {
      std::fprintf(stderr, "tuttiro-cli follow: no performance was recorded to replay\n");
      ok = false;
    }
    ok = WriteMidiFile(options.replay, Timed(platform.Sent(0), sent.size()), replayStart) && ok;
  }
  if (!options.report.empty()) {
    std::ofstream report(options.report);
    report << "time_ms,pitch,position\n";
    for (const std::string& row : rows) report << row << '\n';
    ok = static_cast<bool>(report) && ok;
  }
  std::fprintf(stderr,
               "followed %zu soloist messages; %zu messages sent; %d idle passes saw a jump "
               "request; %d events recorded\n",
               solo.size(), sent.size(), jumps, app.piece.performanceTrack().eventCount());
  if (!ok) {
    std::fprintf(stderr, "tuttiro-cli follow: a file could not be written\n%s%s",
                 LastWriteFailure().c_str(), LastWriteFailure().empty() ? "" : "\n");
  }
  return ok ? 0 : 1;
}

}  // namespace tuttiro::cli
