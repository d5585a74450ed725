// The rules every settings dialog shares: reading number and note fields,
// showing notes, measure:beat pairs against the piece's beat map, the marker
// texts of the Special Markers lists, the OK state with its single warning beep,
// and the channel, port and track lists. The command-line tools read the same
// texts with the same rules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "piece/piece_model.h"

namespace tuttiro {

// A field's text as read: ok is false when the text is invalid. An empty field
// (or one of blanks or a lone sign) gives 0, and ok only when empty is allowed.
struct FieldValue {
  bool ok = false;
  int32_t value = 0;
  bool empty = false;  // no digit at all
};

inline constexpr size_t kFieldTextLimit = 259;

// Decimal digits with optional leading blanks and one leading sign; at most
// nine digits, nothing after the last digit.
FieldValue ReadInteger(std::string_view text, bool allowSign, bool allowEmpty);
// A number field that must hold a value from low to high (a sign allowed).
std::optional<int32_t> ReadNumber(std::string_view text, int32_t low, int32_t high);
// A note number 0-127, or a note name and octave: C5, c 5 and 60 are all 60.
FieldValue ReadNote(std::string_view text, bool allowEmpty);
// The note's name and octave, with flats when the piece's key has them: C#5 / Db5.
std::string ShowNote(int note, bool flats);

// "M:B", two numbers as the number fields read them.
std::optional<MeasureBeat> ReadMeasureBeat(std::string_view text);
// The position of the beat-map entry with exactly this measure and beat.
std::optional<int32_t> MeasureBeatPosition(std::span<const BeatMapEntry> beatMap, MeasureBeat at);
// The beat-map entry at or before the position (1:1 before the first).
MeasureBeat BeatAtOrBefore(std::span<const BeatMapEntry> beatMap, int32_t position);

// Marker texts: 0012:03 for a position, 0012:03-0014:01 for a range. Parsing
// takes the measure from the first four characters and the beat from the sixth
// and seventh; a text that does not name a beat of the piece gives nothing.
std::string MarkerText(MeasureBeat at);
std::optional<MeasureBeat> MarkerPair(std::string_view text);
std::string FormatMarker(std::span<const BeatMapEntry> beatMap, int32_t position);
std::string FormatMarkerRange(std::span<const BeatMapEntry> beatMap, int32_t begin, int32_t end);
std::optional<int32_t> ParseMarker(std::span<const BeatMapEntry> beatMap, std::string_view text);
std::optional<std::pair<int32_t, int32_t>> ParseMarkerRange(std::span<const BeatMapEntry> beatMap,
                                                            std::string_view text);

// The OK button's state: valid, incomplete (OK off, silently) or invalid (OK off
// and one beep on entering it).
enum class OkState { kValid = 0, kIncomplete = 1, kInvalid = 2 };
// The OK state with the sentence that says what the entry that holds OK back
// must be (empty when OK is on, or when nothing needs saying).
struct OkVerdict {
  OkState state = OkState::kValid;
  std::string why;
};
struct OkButton {
  OkState state = OkState::kValid;
  std::string why;
  // Takes the new state; true when the dialog must beep (it has just become
  // invalid).
  bool Set(OkVerdict next) {
    const bool beep = next.state == OkState::kInvalid && state != OkState::kInvalid;
    state = next.state;
    why = state == OkState::kValid ? std::string() : std::move(next.why);
    return beep;
  }
  bool Set(OkState next) { return Set(OkVerdict{next, {}}); }
  bool enabled() const { return state == OkState::kValid; }
};

// The sentences a refused entry shows: "<what> must be from <low> to <high><unit>.",
// the same for a note that may also be named, and where a measure and beat
// fall outside the piece (empty when they name one of its beats).
std::string RangeRule(std::string_view what, int32_t low, int32_t high, std::string_view unit = {});
std::string NoteRule(std::string_view what);
std::string BeatRule(std::span<const BeatMapEntry> beatMap, MeasureBeat at);

// "Channel 1" ... "Channel 16".
std::vector<std::string> ChannelList();
// "A--device" ... "H--device": each port's output device name, or "A--" when
// the device is unknown.
std::vector<std::string> PortList(std::span<const std::string> outputDeviceNames);
// The tracks by their user-given names, else their names from the file, in track
// order, with the performance track last when asked for.
std::vector<std::string> TrackList(const PieceModel& piece, bool withPerformanceTrack);

}  // namespace tuttiro
