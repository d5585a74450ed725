// `tuttiro-cli settings`: shows the settings a piece carries, slot by slot, as
// they apply to the piece; or writes a copy of the piece whose slot 0 holds
// the default settings, optionally with markers and loop points (how the
// built-in pieces get their settings).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "dialogs/field_rules.h"
#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/settings_writer.h"

namespace tuttiro::cli {
namespace {

constexpr const char* kSettingsHelp =
    "usage: tuttiro-cli settings PIECE\n"
    "       tuttiro-cli settings PIECE --write-defaults OUT.mid [OPTIONS]\n"
    "\n"
    "PIECE is a built-in piece's name or the path of a Standard MIDI File.\n"
    "\n"
    "The first form prints each used settings slot as it applies to the piece:\n"
    "its name, loop points and markers as measure:beat (+ms past the beat),\n"
    "tempo factor as a percentage, master volume and transposition, the\n"
    "following tracks, the views, the display name and each track's settings.\n"
    "\n"
    "The second writes the piece to OUT.mid with slot 0 set to the default\n"
    "settings (other slots the piece holds are kept). Positions are M:B\n"
    "(measure and beat, from 1) or 'end'; lists are separated by commas.\n"
    "  --name NAME                the slot's name (default \"Default\")\n"
    "  --follow T[,T2]            following track index, or two of them\n"
    "  --loop M:B-M:B             loop start and loop end\n"
    "  --rehearsal LIST           rehearsal points\n"
    "  --wait-for-soloist LIST    Wait for Soloist markers\n"
    "  --wait-for-signal LIST     Wait for Special Signal markers\n"
    "  --restore-tempo LIST       Restore Tempo markers\n"
    "  --ignore M:B-M:B,...       Ignore Soloist ranges\n"
    "\n"
    "Exit status 0 on success, otherwise 2 with the reason on stderr.\n";

// "m:b", or "m:b+ms" between beats; positions past the end are "end".
std::string PositionText(const PieceModel& piece, int32_t position) {
  if (position < 0 || piece.beatMap.empty()) return std::to_string(position);
  if (position >= piece.endPosition) return "end";
  const BeatMapEntry* at = &piece.beatMap.front();
  for (const BeatMapEntry& b : piece.beatMap) {
    if (static_cast<int32_t>(b.time) > position) break;
    at = &b;
  }
  std::string text = std::to_string(at->measure) + ":" + std::to_string(at->beat);
  int32_t past = position - static_cast<int32_t>(at->time);
  return past ? text + "+" + std::to_string(past) + "ms" : text;
}

std::string PositionList(const PieceModel& piece, const std::vector<int32_t>& positions) {
  std::string text;
  for (int32_t p : positions) text += (text.empty() ? "" : ", ") + PositionText(piece, p);
  return text.empty() ? "none" : text;
}

const char* TrackName(const PieceModel& piece, int t) {
  const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
  return track.userName ? track.userName->c_str() : track.name.c_str();
}

void PrintSlot(const PieceModel& piece, const PieceSettings& live,
               const PieceSettingsRecord& record, int slot) {
  std::printf("slot %d \"%s\":\n", slot, SettingsSlotName(record, slot).c_str());
  std::printf("  loop: %s - %s\n", PositionText(piece, live.loopStart).c_str(),
              PositionText(piece, live.loopEnd).c_str());
  std::printf("  tempo factor: %.1f %%\n", live.tempoFactor * 100.0 / 4096);
  std::printf("  master volume: %.1f %%\n", live.masterVolume * 100.0 / 256);
  std::printf("  master transposition: %d\n", live.masterTranspose);
  std::printf("  following: track %d (%s)", live.followTrack1, TrackName(piece, live.followTrack1));
  if (live.followTwoTracks)
    std::printf(" and track %d (%s)", live.followTrack2, TrackName(piece, live.followTrack2));
  std::printf("\n  performance playback: %s\n",
              live.performanceUsesOwnPort ? "its own port" : "the following track's output");
  std::printf("  view order:");
  for (uint16_t v : live.viewOrder) std::printf(" %u", v);
  std::printf("; visible:");
  for (uint8_t v : live.viewVisible) std::printf(" %u", v);
  std::printf("\n  display name: %s\n",
              piece.pieceDisplayName ? piece.pieceDisplayName->c_str() : "(file name)");
  std::printf("  rehearsal points: %s\n", PositionList(piece, live.rehearsalPoints).c_str());
  std::printf("  wait for soloist: %s\n", PositionList(piece, live.waitForSoloistMarkers).c_str());
  std::printf("  wait for special signal: %s\n",
              PositionList(piece, live.waitForSignalMarkers).c_str());
  std::printf("  restore tempo: %s\n", PositionList(piece, live.restoreTempoMarkers).c_str());
  std::string ranges;
  for (const MarkerRange& r : live.ignoreSoloistRanges)
    ranges += (ranges.empty() ? "" : ", ") + PositionText(piece, r.begin) + " - " +
              PositionText(piece, r.end);
  std::printf("  ignore soloist: %s\n", ranges.empty() ? "none" : ranges.c_str());
  size_t stored = SettingsAreaOf(record, slot, kAreaTrackSettings).size / kTrackSettingsSize;
  std::printf("  tracks (%zu stored):\n", stored);
  std::printf("    index volume channel port transpose play substitute name\n");
  for (int t = 0; t <= piece.trackCount; ++t) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    std::printf("    %5d %5.1f%% %7d %4c %9d %4s %10s %s\n", t, track.volume * 100.0 / 256,
                track.outputChannel + 1, 'A' + (track.outputPort & 7), track.transposition,
                track.play ? "yes" : "no", track.substitutePrograms ? "yes" : "no",
                TrackName(piece, t));
  }
}

int ShowSettings(SettingsContext& context) {
  std::optional<PieceSettingsRecord> record =
      ReadPieceSettings(context.sources, context.piece.piecePath);
  std::printf("piece: %s\n", context.piece.piecePath.c_str());
  if (!record) {
    std::fprintf(stderr, "tuttiro-cli settings: the piece cannot be read again\n");
    return 2;
  }
  int used = 0;
  for (int slot = 0; slot < kSettingsSlotCount; ++slot) {
    if (SettingsSlotName(*record, slot).empty()) continue;
    ++used;
    DefaultPieceSettings(context);
    ApplySettingsSlot(context, slot);
    PrintSlot(context.piece, context.live, *record, slot);
  }
  if (!used) std::printf("settings: none (every slot unused)\n");
  return 0;
}

// A position "M:B" or "end"; false when the piece has no such beat.
bool ParsePosition(const PieceModel& piece, const std::string& text, int32_t& position) {
  if (text == "end") {
    position = piece.endPosition - 1;
    return true;
  }
  const std::optional<MeasureBeat> at = ReadMeasureBeat(text);
  const std::optional<int32_t> found = at ? MeasureBeatPosition(piece.beatMap, *at) : std::nullopt;
  if (found) position = *found;
  return found.has_value();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

bool ParseList(const PieceModel& piece, const std::string& text, std::vector<int32_t>& out) {
  for (const std::string& part : Split(text, ',')) {
    int32_t p = 0;
    if (!ParsePosition(piece, part, p)) return false;
    out.push_back(p);
  }
  return true;
}

bool ParseRanges(const PieceModel& piece, const std::string& text, std::vector<MarkerRange>& out) {
  for (const std::string& part : Split(text, ',')) {
    std::vector<std::string> ends = Split(part, '-');
    MarkerRange range;
    if (ends.size() != 2 || !ParsePosition(piece, ends[0], range.begin) ||
        !ParsePosition(piece, ends[1], range.end))
      return false;
    out.push_back(range);
  }
  return true;
}

bool ParseTracks(const PieceModel& piece, const std::string& text, PieceSettings& live) {
  std::vector<std::string> parts = Split(text, ',');
  if (parts.size() > 2) return false;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::optional<int32_t> t = ReadNumber(parts[i], 0, piece.trackCount - 1);
    if (!t) return false;
    (i == 0 ? live.followTrack1 : live.followTrack2) = static_cast<int16_t>(*t);
  }
  live.followTwoTracks = parts.size() == 2 ? 1 : 0;
  return true;
}

// Applies one --option VALUE to the live settings; false when it does not read.
bool TakeOption(SettingsContext& context, const std::string& option, const std::string& value,
                std::string& name) {
  const PieceModel& piece = context.piece;
  PieceSettings& live = context.live;
  if (option == "--name") {
    name = value;
    return !value.empty() && value.size() <= kMaxSettingsNameLength;
  }
  if (option == "--follow") return ParseTracks(piece, value, live);
  if (option == "--loop") {
    std::vector<MarkerRange> loop;
    if (!ParseRanges(piece, value, loop) || loop.size() != 1) return false;
    live.loopStart = loop[0].begin;
    live.loopEnd = loop[0].end;
    return true;
  }
  if (option == "--rehearsal") return ParseList(piece, value, live.rehearsalPoints);
  if (option == "--wait-for-soloist") return ParseList(piece, value, live.waitForSoloistMarkers);
  if (option == "--wait-for-signal") return ParseList(piece, value, live.waitForSignalMarkers);
  if (option == "--restore-tempo") return ParseList(piece, value, live.restoreTempoMarkers);
  if (option == "--ignore") return ParseRanges(piece, value, live.ignoreSoloistRanges);
  return false;
}

const char* WriteFailure(SettingsWriteResult result) {
  switch (result) {
    case SettingsWriteResult::kNotMidi:
      return "the piece has no intact first track to hold the settings";
    case SettingsWriteResult::kTooLarge:
      return "the settings are too large for a meta event";
    case SettingsWriteResult::kReadFailed:
      return "the piece cannot be read again";
    default:
      return "the file cannot be written";
  }
}

}  // namespace

int RunSettings(int argc, char** argv) {
  const char* pieceName = nullptr;
  const char* out = nullptr;
  std::vector<std::pair<std::string, std::string>> options;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kSettingsHelp, stdout);
      return 0;
    }
    bool takesValue = arg.rfind("--", 0) == 0;
    if (takesValue && i + 1 >= argc) {
      std::fprintf(stderr, "tuttiro-cli settings: %s needs a value\n\n%s", arg.c_str(),
                   kSettingsHelp);
      return 2;
    }
    if (arg == "--write-defaults") {
      out = argv[++i];
    } else if (takesValue) {
      options.emplace_back(arg, argv[++i]);
    } else if (!pieceName) {
      pieceName = argv[i];
    } else {
      std::fprintf(stderr, "tuttiro-cli settings: unexpected argument '%s'\n\n%s", argv[i],
                   kSettingsHelp);
      return 2;
    }
  }
  if (!pieceName || (!out && !options.empty())) {
    std::fputs(kSettingsHelp, stderr);
    return 2;
  }
  PieceModel piece;
  PieceSourceState sources;
  PieceSettings live;
  SystemSettings system;
  SettingsContext context{piece, sources, live, system};
  PieceHooks hooks;
  SetPieceSettingsHooks(hooks, context);
  int result = OpenPiece(piece, sources, pieceName, hooks);
  if (result != kLoadOk) {
    std::fprintf(stderr, "tuttiro-cli settings: %s: load result %d\n", pieceName, result);
    return 2;
  }
  if (!out) return ShowSettings(context);

  DefaultPieceSettings(context);
  std::string name = "Default";
  for (const auto& [option, value] : options) {
    if (!TakeOption(context, option, value, name)) {
      std::fprintf(stderr, "tuttiro-cli settings: %s '%s' does not fit this piece\n",
                   option.c_str(), value.c_str());
      return 2;
    }
  }
  std::optional<PieceSettingsRecord> existing = ReadPieceSettings(sources, pieceName);
  PieceSettingsRecord record =
      BuildPieceSettingsRecord(existing.value_or(DefaultSettingsRecord()), 0, name, live, piece);
  SettingsWriteResult written = WritePieceWithSettings(sources, pieceName, out, record);
  if (written != SettingsWriteResult::kOk) {
    std::fprintf(stderr, "tuttiro-cli settings: %s: %s\n", out, WriteFailure(written));
    return 2;
  }
  return 0;
}

}  // namespace tuttiro::cli
