// The Special Markers dialog's five lists and the Ignore Soloist Range dialog:
// entries kept as marker texts (so sorting them as text is chronological), New,
// Change and Delete, and what OK hands back, with the Ignore Soloist ranges
// merged where they touch or overlap.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/piece_settings.h"

namespace tuttiro {

struct MarkerLists {
  std::vector<int32_t> rehearsalPoints;
  std::vector<int32_t> waitForSoloist;
  std::vector<int32_t> waitForSignal;
  std::vector<int32_t> restoreTempo;
  std::vector<MarkerRange> ignoreSoloist;

  bool operator==(const MarkerLists&) const = default;
};

struct SpecialMarkersDialog {
  DialogModel model;
  std::vector<BeatMapEntry> beatMap;
};

// What a New or Change button asks for: the list it edits and the location to
// offer (begin and end are the same for a position list's Location dialog).
struct MarkerEdit {
  int list = 0;
  bool change = false;
  bool range = false;
  MeasureBeat begin{1, 1};
  MeasureBeat end{1, 1};
};

SpecialMarkersDialog OpenSpecialMarkers(const MarkerLists& lists,
                                        std::span<const BeatMapEntry> beatMap);
// Change and Delete enabled only while their list has entries.
void SpecialMarkersCommand(SpecialMarkersDialog& dialog);
// The location a New (proposed: the beat at `position`) or Change (the
// selected entry) button offers; none for another control or an empty list.
std::optional<MarkerEdit> MarkerEditFor(const SpecialMarkersDialog& dialog, int button,
                                        int32_t position);
// The edit's answer: a Change deletes the old entry, then the new text goes in
// unless the list has it already, and is selected.
void MarkerEditDone(SpecialMarkersDialog& dialog, const MarkerEdit& edit);
// Deletes the selected entry of the list whose Delete button this is; the
// entry now at its place (or the one before) is selected.
void MarkerDelete(SpecialMarkersDialog& dialog, int button);
MarkerLists StoreSpecialMarkers(const SpecialMarkersDialog& dialog);

// Ranges in list order, each one that starts at or before the end of the one
// before it joined to it.
std::vector<MarkerRange> MergeIgnoreRanges(std::vector<MarkerRange> ranges);

// Ignore Soloist Range: begin and end measure:beat; OK only for two beats of
// the piece with the begin before the end (never a beep).
struct RangeDialog {
  DialogModel model;
  std::vector<BeatMapEntry> beatMap;
};
RangeDialog OpenIgnoreRange(MeasureBeat begin, MeasureBeat end,
                            std::span<const BeatMapEntry> beatMap);
void IgnoreRangeCommand(RangeDialog& dialog);
std::pair<MeasureBeat, MeasureBeat> StoreIgnoreRange(const RangeDialog& dialog);

}  // namespace tuttiro
