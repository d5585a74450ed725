// The Special Markers and Ignore Soloist Range dialogs' rules.
#include "dialogs/markers_dialog.h"

#include <algorithm>

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

int ListOfButton(int button) {
  return kRehearsalPoints + (button - kMarkerButtonsFirst) / 3;
}

int ButtonKind(int button) {  // 0 New, 1 Change, 2 Delete
  return (button - kMarkerButtonsFirst) % 3;
}

bool IsMarkerButton(int button) {
  return button >= kMarkerButtonsFirst && button < kMarkerButtonsFirst + 3 * kMarkerListCount;
}

void FillList(ControlState& list, std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  list.items = std::move(texts);
  list.selection = list.items.empty() ? -1 : 0;
}

std::vector<std::string> Texts(std::span<const BeatMapEntry> map, const std::vector<int32_t>& at) {
  std::vector<std::string> texts;
  for (int32_t position : at) texts.push_back(FormatMarker(map, position));
  return texts;
}

std::vector<int32_t> Positions(std::span<const BeatMapEntry> map, const ControlState& list) {
  std::vector<int32_t> positions;
  for (const std::string& text : list.items) {
    if (std::optional<int32_t> p = ParseMarker(map, text)) positions.push_back(*p);
  }
  return positions;
}

}  // namespace

SpecialMarkersDialog OpenSpecialMarkers(const MarkerLists& lists,
                                        std::span<const BeatMapEntry> beatMap) {
  SpecialMarkersDialog dialog;
  dialog.beatMap.assign(beatMap.begin(), beatMap.end());
  DialogModel& m = dialog.model;
  FillList(m[kRehearsalPoints], Texts(beatMap, lists.rehearsalPoints));
  FillList(m[kWaitForSoloist], Texts(beatMap, lists.waitForSoloist));
  FillList(m[kWaitForSignal], Texts(beatMap, lists.waitForSignal));
  FillList(m[kRestoreTempo], Texts(beatMap, lists.restoreTempo));
  std::vector<std::string> ranges;
  for (const MarkerRange& r : lists.ignoreSoloist)
    ranges.push_back(FormatMarkerRange(beatMap, r.begin, r.end));
  FillList(m[kIgnoreSoloist], ranges);
  SpecialMarkersCommand(dialog);
  return dialog;
}

void SpecialMarkersCommand(SpecialMarkersDialog& dialog) {
  DialogModel& m = dialog.model;
  for (int i = 0; i < kMarkerListCount; ++i) {
    const bool entries = !m[kRehearsalPoints + i].items.empty();
    const int first = kMarkerButtonsFirst + 3 * i;
    m.Enable({first + 1, first + 2}, entries);
  }
}

std::optional<MarkerEdit> MarkerEditFor(const SpecialMarkersDialog& dialog, int button,
                                        int32_t position) {
  if (!IsMarkerButton(button) || ButtonKind(button) == 2) return std::nullopt;
  MarkerEdit edit;
  edit.list = ListOfButton(button);
  edit.change = ButtonKind(button) == 1;
  edit.range = edit.list == kIgnoreSoloist;
  if (!edit.change) {
    edit.begin = edit.end = BeatAtOrBefore(dialog.beatMap, position);
    return edit;
  }
  auto it = dialog.model.controls.find(edit.list);
  if (it == dialog.model.controls.end()) return std::nullopt;
  const ControlState& list = it->second;
  if (list.selection < 0 || list.selection >= static_cast<int>(list.items.size()))
    return std::nullopt;
  const std::string& text = list.items[static_cast<size_t>(list.selection)];
  if (text.size() < 7) return std::nullopt;
  edit.begin = edit.end = MarkerPair(text).value_or(MeasureBeat{0, 0});
  if (edit.range && text.size() >= 15) {
    edit.end = MarkerPair(std::string_view(text).substr(8)).value_or(MeasureBeat{0, 0});
  }
  return edit;
}

void MarkerEditDone(SpecialMarkersDialog& dialog, const MarkerEdit& edit) {
  ControlState& list = dialog.model[edit.list];
  if (edit.change && list.selection >= 0 && list.selection < static_cast<int>(list.items.size()))
    list.items.erase(list.items.begin() + list.selection);
  const std::string text =
      edit.range ? MarkerText(edit.begin) + "-" + MarkerText(edit.end) : MarkerText(edit.begin);
  auto at = std::lower_bound(list.items.begin(), list.items.end(), text);
  if (at == list.items.end() || *at != text) at = list.items.insert(at, text);
  list.selection = static_cast<int>(at - list.items.begin());
  SpecialMarkersCommand(dialog);
}

void MarkerDelete(SpecialMarkersDialog& dialog, int button) {
  if (!IsMarkerButton(button) || ButtonKind(button) != 2) return;
  ControlState& list = dialog.model[ListOfButton(button)];
  const int count = static_cast<int>(list.items.size());
  if (list.selection < 0 || list.selection >= count) return;
  list.items.erase(list.items.begin() + list.selection);
  list.selection = std::min(list.selection, count - 2);
  SpecialMarkersCommand(dialog);
}

MarkerLists StoreSpecialMarkers(const SpecialMarkersDialog& dialog) {
  const DialogModel& m = dialog.model;
  const auto list = [&m](int id) -> const ControlState& { return m.controls.at(id); };
  MarkerLists lists;
  lists.rehearsalPoints = Positions(dialog.beatMap, list(kRehearsalPoints));
  lists.waitForSoloist = Positions(dialog.beatMap, list(kWaitForSoloist));
  lists.waitForSignal = Positions(dialog.beatMap, list(kWaitForSignal));
  lists.restoreTempo = Positions(dialog.beatMap, list(kRestoreTempo));
  std::vector<MarkerRange> ranges;
  for (const std::string& text : list(kIgnoreSoloist).items) {
    if (auto r = ParseMarkerRange(dialog.beatMap, text)) ranges.push_back({r->first, r->second});
  }
  lists.ignoreSoloist = MergeIgnoreRanges(std::move(ranges));
  return lists;
}

std::vector<MarkerRange> MergeIgnoreRanges(std::vector<MarkerRange> ranges) {
  std::vector<MarkerRange> merged;
  for (const MarkerRange& r : ranges) {
    if (!merged.empty() && merged.back().end >= r.begin) {
      merged.back().end = std::max(merged.back().end, r.end);
    } else {
      merged.push_back(r);
    }
  }
  return merged;
}

RangeDialog OpenIgnoreRange(MeasureBeat begin, MeasureBeat end,
                            std::span<const BeatMapEntry> beatMap) {
  RangeDialog dialog;
  dialog.beatMap.assign(beatMap.begin(), beatMap.end());
  DialogModel& m = dialog.model;
  ShowPair(m, kRangeBeginMeasure, kRangeBeginBeat, begin);
  ShowPair(m, kRangeEndMeasure, kRangeEndBeat, end);
  IgnoreRangeCommand(dialog);
  return dialog;
}

void IgnoreRangeCommand(RangeDialog& dialog) {
  const auto [begin, end] = StoreIgnoreRange(dialog);
  const std::optional<int32_t> from = MeasureBeatPosition(dialog.beatMap, begin);
  const std::optional<int32_t> to = MeasureBeatPosition(dialog.beatMap, end);
  if (from && to && *from < *to) {
    dialog.model.ok.Set(OkState::kValid);
    return;
  }
  std::string why = BeatRule(dialog.beatMap, from ? end : begin);
  if (why.empty()) why = "The range must end after it begins.";
  dialog.model.ok.Set({OkState::kIncomplete, std::move(why)});
}

std::pair<MeasureBeat, MeasureBeat> StoreIgnoreRange(const RangeDialog& dialog) {
  const MeasureBeat none{0, 0};
  return {ReadPair(dialog.model, kRangeBeginMeasure, kRangeBeginBeat).value_or(none),
          ReadPair(dialog.model, kRangeEndMeasure, kRangeEndBeat).value_or(none)};
}

}  // namespace tuttiro
