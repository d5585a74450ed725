// A recorded performance as a Standard MIDI File that any MIDI player plays
// back as the musician heard it: the piece's own tracks in the soloist's
// tempo (the performance's tempo map becomes the file's tempo events), the
// soloist's notes where they were played instead of the written part, and the
// piece's settings in the settings event. The piece's bytes are rewritten
// event by event, so everything else in them (SysEx, meta events, programs)
// stays as the file had it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "piece/piece_model.h"
#include "piece/piece_settings.h"

namespace tuttiro {

// How the performance moved through the score: the tempo list of the
// recording (milliseconds from its first entry, score position) and the tempo
// factor (4.12) the piece went at before and after the recorded section.
struct PerformanceTiming {
  std::vector<std::array<int32_t, 2>> tempoList;
  int32_t tempoFactor = 4096;
};

// Milliseconds from the start of the piece at which the performance passes
// score position `position`.
double PerformedTime(const PerformanceTiming& timing, double position);

struct PerformanceFileParts {
  std::span<const uint8_t> pieceImage;  // the piece's Standard MIDI File
  const PieceModel* piece = nullptr;    // the same piece, loaded
  std::span<const PieceEvent> soloist;  // the performance track, score order
  std::vector<int> followingTracks;     // whose written notes the soloist replaced
  int32_t sectionStart = 0;             // the recorded section, score units
  int32_t sectionEnd = 0;
  PerformanceTiming timing;
  std::optional<PieceSettingsRecord> settings;  // host order; its positions in performed time
};

enum class PerformanceFileResult { kOk, kNotMidi, kTooLarge };

// Builds the file's bytes into `out`. The soloist's messages take the place of
// the written notes of the following track(s) in the recorded section, in the
// first following track. A format-1 piece gains a first track holding the
// tempo events (and the settings); a format-0 piece keeps its one track.
PerformanceFileResult BuildPerformanceFile(const PerformanceFileParts& parts,
                                           std::vector<uint8_t>& out);

}  // namespace tuttiro
