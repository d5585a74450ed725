// `tuttiro-cli info`: loads a piece and prints its model. The output is how the
// reader is compared with other programs, so its format stays stable.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "piece/piece_info.h"
#include "piece/piece_model.h"
#include "string_table.h"

namespace tuttiro::cli {
namespace {

constexpr const char* kInfoHelp =
    "usage: tuttiro-cli info PIECE [--events] [--beats]\n"
    "\n"
    "PIECE is a built-in piece's name (\"Ecossaise\", \"Eine Kleine Nachtmusik\",\n"
    "\"Folk Dance\", \"Longing\", \"Raggedy Rag\") or the path of a Standard MIDI File.\n"
    "\n"
    "Prints the load result, format, division, every track (index, file channel 1-16,\n"
    "file port A-H, event count, first and last event time in ms, name), the tempo\n"
    "list, the time signatures, the initial key and time signature, the length in\n"
    "bars, the SysEx count, endPosition, firstEventTime and lastEventTime.\n"
    "\n"
    "  --events  instead, every track event as CSV: track,time,status,d1,d2\n"
    "            (time in ms; status without channel, in decimal; a program\n"
    "            change's d1 is its bank/program combination index)\n"
    "  --beats   instead, the beat map as CSV: time,measure,beat,sixteenths\n"
    "\n"
    "Exit status 0 when the piece loads, otherwise 2 with the reason on stderr.\n";

void PrintTracks(const PieceModel& piece) {
  std::printf("tracks: %d (plus the performance track)\n", piece.trackCount);
  std::printf("  index channel port events first_ms last_ms name\n");
  for (int t = 0; t < piece.trackCount; ++t) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    std::printf("  %5d %7d %4c %6d %8u %7u %s\n", t, track.fileChannel + 1,
                'A' + (track.filePort & 7), track.eventCount(), track.events.front().time,
                track.events.back().time, track.name.c_str());
  }
}

void PrintTempoAndMeter(const PieceModel& piece) {
  std::printf("tempo list (tick, time_us, us_per_quarter, bpm):\n");
  for (const SmfTempoEntry& e : piece.smfTempoList) {
    if (e.tick == kSentinelTick) break;
    std::printf("  %u %llu %u %.2f\n", e.tick, static_cast<unsigned long long>(e.time), e.tempo,
                e.tempo ? 60000000.0 / e.tempo : 0.0);
  }
  std::printf("time signatures (tick, meter):\n");
  for (const TimeSigEntry& e : piece.timeSigList) {
    if (e.tick == kSentinelTick) break;
    std::printf("  %u %u/%u\n", e.tick, e.numerator,
                e.denominatorPower < 32 ? 1u << e.denominatorPower : 0u);
  }
}

void PrintSummary(const PieceModel& piece) {
  PieceInfo info = GetPieceInfo(piece);
  std::printf("piece: %s\n", piece.piecePath.c_str());
  std::printf("load result: 0 (%s)\n", LoadResultMeaning(kLoadOk));
  std::printf("format: %d\n", piece.format);
  std::printf("division: %d\n", piece.division);
  PrintTracks(piece);
  PrintTempoAndMeter(piece);
  std::printf("initial key: %s\n", info.keyName.c_str());
  std::printf("initial time signature: %u/%u\n", info.timeSigNumerator, info.timeSigDenominator);
  std::printf("length: %d bars\n", info.lengthBars);
  std::printf("sysex messages: %zu\n", piece.sysexMessages.size());
  std::printf("endPosition: %d\n", piece.endPosition);
  std::printf("firstEventTime: %d\n", piece.firstEventTime);
  std::printf("lastEventTime: %d\n", piece.lastEventTime);
}

void PrintEvents(const PieceModel& piece) {
  std::printf("track,time,status,d1,d2\n");
  for (int t = 0; t < piece.trackCount; ++t) {
    for (const PieceEvent& e : piece.tracks[static_cast<size_t>(t)].events) {
      std::printf("%d,%u,%u,%u,%u\n", t, e.time, e.status, e.data1, e.data2);
    }
  }
}

void PrintBeats(const PieceModel& piece) {
  std::printf("time,measure,beat,sixteenths\n");
  for (const BeatMapEntry& b : piece.beatMap) {
    std::printf("%u,%d,%d,%u\n", b.time, b.measure, b.beat, b.sixteenths);
  }
}

}  // namespace

int RunInfo(int argc, char** argv) {
  const char* name = nullptr;
  bool events = false;
  bool beats = false;
  for (int i = 0; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kInfoHelp, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--events")) {
      events = true;
    } else if (!std::strcmp(argv[i], "--beats")) {
      beats = true;
    } else if (argv[i][0] == '-' || name) {
      std::fprintf(stderr, "tuttiro-cli info: unexpected argument '%s'\n\n%s", argv[i], kInfoHelp);
      return 2;
    } else {
      name = argv[i];
    }
  }
  if (!name) {
    std::fputs(kInfoHelp, stderr);
    return 2;
  }
  PieceModel piece;
  PieceSourceState sources;
  int result = OpenPiece(piece, sources, name);
  if (result != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli info: %s: load result %d (%s): %s\n", name, result,
                 LoadResultMeaning(result), StringText(LoadResultStringId(result)));
    return 2;
  }
  if (events) {
    PrintEvents(piece);
  } else if (beats) {
    PrintBeats(piece);
  } else {
    PrintSummary(piece);
  }
  return 0;
}

}  // namespace tuttiro::cli
