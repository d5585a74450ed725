// Field rules shared by the settings dialogs and the command-line tools.
#include "dialogs/field_rules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tuttiro {
namespace {

constexpr const char* kSharpNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
constexpr const char* kFlatNames[12] = {"C",  "Db", "D",  "Eb", "E",  "F",
                                        "Gb", "G",  "Ab", "A",  "Bb", "B"};
constexpr int32_t kDigitLimit = 100000000;  // a tenth digit would pass it

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The pitch class a note name stands for, trying the sharp and the flat name of
// each class in turn; -1 when it names none.
int PitchClass(std::string_view name) {
  for (int p = 0; p < 12; ++p) {
    if (SameIgnoringCase(name, kSharpNames[p]) || SameIgnoringCase(name, kFlatNames[p])) return p;
  }
  return -1;
}

}  // namespace

FieldValue ReadInteger(std::string_view text, bool allowSign, bool allowEmpty) {
  text = text.substr(0, kFieldTextLimit);
  FieldValue field;
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  bool signSeen = false;
  bool digitSeen = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (field.value >= kDigitLimit) return FieldValue{};
      field.value = field.value * 10 + (c - '0');
      digitSeen = true;
    } else if ((c == '+' || c == '-') && allowSign && !signSeen && !digitSeen) {
      signSeen = true;
      negative = c == '-';
    } else {
      return FieldValue{};  // a blank after a digit, a second sign, anything else
    }
  }
  if (!digitSeen) return FieldValue{allowEmpty, 0, true};
  field.ok = true;
  if (negative) field.value = -field.value;
  return field;
}

std::optional<int32_t> ReadNumber(std::string_view text, int32_t low, int32_t high) {
  const FieldValue field = ReadInteger(text, true, false);
  if (!field.ok || field.value < low || field.value > high) return std::nullopt;
  return field.value;
}

FieldValue ReadNote(std::string_view text, bool allowEmpty) {
  text = text.substr(0, kFieldTextLimit);
  size_t i = 0;
  std::string name;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= '0' && c <= '9') || c == '-') break;
    if (!IsBlank(c)) name += c;
  }
  int pitchClass = -1;
  if (!name.empty()) {
    pitchClass = PitchClass(name);
    if (pitchClass < 0) return FieldValue{};
  }
  const FieldValue number = ReadInteger(text.substr(i), true, true);
  if (!number.ok) return FieldValue{};
  if (name.empty() && number.empty) return FieldValue{allowEmpty, 0, true};
  const int64_t note =
      pitchClass < 0 ? int64_t{number.value} : int64_t{number.value} * 12 + pitchClass;
  if (note < 0 || note > 127) return FieldValue{};
  return FieldValue{true, static_cast<int32_t>(note), false};
}

std::string ShowNote(int note, bool flats) {
  note = std::clamp(note, 0, 127);
  return std::string(flats ? kFlatNames[note % 12] : kSharpNames[note % 12]) +
         std::to_string(note / 12);
}

std::optional<MeasureBeat> ReadMeasureBeat(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const FieldValue measure = ReadInteger(text.substr(0, colon), false, false);
  const FieldValue beat = ReadInteger(text.substr(colon + 1), false, false);
  if (!measure.ok || !beat.ok) return std::nullopt;
  return MeasureBeat{measure.value, beat.value};
}

std::optional<int32_t> MeasureBeatPosition(std::span<const BeatMapEntry> beatMap, MeasureBeat at) {
  if (at.measure < 1 || at.beat < 1) return std::nullopt;
  for (const BeatMapEntry& entry : beatMap) {
    if (entry.measure == at.measure && entry.beat == at.beat) {
      return static_cast<int32_t>(entry.time);
    }
  }
  return std::nullopt;
}

std::string RangeRule(std::string_view what, int32_t low, int32_t high, std::string_view unit) {
  return std::string(what) + " must be from " + std::to_string(low) + " to " +
         std::to_string(high) + std::string(unit) + ".";
}

std::string NoteRule(std::string_view what) {
  return std::string(what) + " must be from 0 to 127, or a note name and octave such as C5.";
}

std::string BeatRule(std::span<const BeatMapEntry> beatMap, MeasureBeat at) {
  if (beatMap.empty() || MeasureBeatPosition(beatMap, at)) return {};
  const int32_t first = beatMap.front().measure;
  const int32_t last = beatMap.back().measure;
  if (at.measure < first || at.measure > last) {
    return "This piece has measures " + std::to_string(first) + " to " + std::to_string(last) + ".";
  }
  int32_t beats = 0;
  for (const BeatMapEntry& entry : beatMap)
    if (entry.measure == at.measure) beats = std::max<int32_t>(beats, entry.beat);
  return "Measure " + std::to_string(at.measure) + " has beats 1 to " + std::to_string(beats) + ".";
}

MeasureBeat BeatAtOrBefore(std::span<const BeatMapEntry> beatMap, int32_t position) {
  MeasureBeat at{1, 1};
  for (const BeatMapEntry& entry : beatMap) {
    if (static_cast<int64_t>(entry.time) > position) break;
    at = MeasureBeat{entry.measure, entry.beat};
  }
  return at;
}

std::string MarkerText(MeasureBeat at) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d:%02d", std::clamp(at.measure, 0, 9999),
                std::clamp(at.beat, 0, 99));
  return text;
}

std::optional<MeasureBeat> MarkerPair(std::string_view text) {
  if (text.size() < 7) return std::nullopt;
  const FieldValue measure = ReadInteger(text.substr(0, 4), false, false);
  const FieldValue beat = ReadInteger(text.substr(5, 2), false, false);
  if (!measure.ok || !beat.ok) return std::nullopt;
  return MeasureBeat{measure.value, beat.value};
}

std::string FormatMarker(std::span<const BeatMapEntry> beatMap, int32_t position) {
  return MarkerText(BeatAtOrBefore(beatMap, position));
}

std::string FormatMarkerRange(std::span<const BeatMapEntry> beatMap, int32_t begin, int32_t end) {
  return FormatMarker(beatMap, begin) + "-" + FormatMarker(beatMap, end);
}

std::optional<int32_t> ParseMarker(std::span<const BeatMapEntry> beatMap, std::string_view text) {
  const std::optional<MeasureBeat> at = MarkerPair(text);
  return at ? MeasureBeatPosition(beatMap, *at) : std::nullopt;
}

std::optional<std::pair<int32_t, int32_t>> ParseMarkerRange(std::span<const BeatMapEntry> beatMap,
                                                            std::string_view text) {
  const size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  const std::optional<int32_t> begin = ParseMarker(beatMap, text.substr(0, dash));
  const std::optional<int32_t> end = ParseMarker(beatMap, text.substr(dash + 1));
  if (!begin || !end) return std::nullopt;
  return std::make_pair(*begin, *end);
}

std::vector<std::string> ChannelList() {
  std::vector<std::string> list;
  for (int channel = 1; channel <= 16; ++channel)
    list.push_back("Channel " + std::to_string(channel));
  return list;
}

std::vector<std::string> PortList(std::span<const std::string> outputDeviceNames) {
  std::vector<std::string> list;
  for (size_t port = 0; port < 8; ++port) {
    std::string entry = std::string(1, static_cast<char>('A' + port)) + "--";
    if (port < outputDeviceNames.size()) entry += outputDeviceNames[port];
    list.push_back(entry);
  }
  return list;
}

std::vector<std::string> TrackList(const PieceModel& piece, bool withPerformanceTrack) {
  std::vector<std::string> list;
  const int count = std::min<int>(piece.trackCount + (withPerformanceTrack ? 1 : 0),
                                  static_cast<int>(piece.tracks.size()));
  for (int t = 0; t < count; ++t) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    list.push_back(track.userName ? *track.userName : track.name);
  }
  return list;
}

}  // namespace tuttiro
