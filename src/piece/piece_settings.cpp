// Piece settings: reading the settings record from the piece's first track,
// converting it between storage and host order, applying a slot to the live
// settings, the tracks and the follower, and the piece defaults.
//
// The record comes from a file: every offset and size in it is checked before
// use, in arithmetic wide enough that no sum can wrap, so a damaged record can
// only ever read as absent or as empty areas.
#include "piece/piece_settings.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "piece/smf_format.h"

namespace tuttiro {
namespace {

constexpr size_t kReadStep = 65536;  // the record is read in steps, so memory follows the data
constexpr int kMaxVarLenBytes = 4;
constexpr uint8_t kMaxComboKind = kComboProgramPair;
constexpr size_t kMarkerEntrySize = 4;
constexpr size_t kRangeEntrySize = 8;

void SwapBytes(uint8_t* p, size_t n) {
  if constexpr (std::endian::native == std::endian::little) std::reverse(p, p + n);
}

void Swap16At(PieceSettingsRecord& record, size_t offset) {
  if (offset + 2 <= record.bytes.size()) SwapBytes(record.bytes.data() + offset, 2);
}

void Swap32At(PieceSettingsRecord& record, size_t offset) {
  if (offset + 4 <= record.bytes.size()) SwapBytes(record.bytes.data() + offset, 4);
}

void SwapAreaFields(PieceSettingsRecord& record, size_t base) {
  for (int i = 0; i < 2 * kSettingsAreaCount; ++i) Swap32At(record, base + kSlotAreas + 4 * i);
}

// Reads exactly `count` bytes from the source.
bool ReadExactly(PieceSourceState& sources, uint32_t handle, uint8_t* destination, uint32_t count) {
  uint32_t got = 0;
  return ReadPieceSource(sources, handle, destination, count, got) && got == count;
}

bool ReadBig32(PieceSourceState& sources, uint32_t handle, uint32_t& value) {
  uint8_t b[4];
  if (!ReadExactly(sources, handle, b, 4)) return false;
  value = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  return true;
}

// Steps over the header chunk to the data of the first track chunk.
bool FindFirstTrackData(PieceSourceState& sources, uint32_t handle) {
  uint32_t id = 0;
  uint32_t length = 0;
  if (!ReadBig32(sources, handle, id) || id != kMThd) return false;
  if (!ReadBig32(sources, handle, length) || length > INT32_MAX) return false;
  if (SeekPieceSource(sources, handle, static_cast<int32_t>(length), 1) == kInvalidPieceSource)
    return false;
  uint32_t chunkLength = 0;
  return ReadBig32(sources, handle, id) && id == kMTrk && ReadBig32(sources, handle, chunkLength);
}

// The settings event at the head of the track: its record, in storage order,
// or nothing when the event is missing, damaged or cut short.
std::optional<PieceSettingsRecord> ReadSettingsEvent(PieceSourceState& sources, uint32_t handle) {
  uint8_t head[4];
  if (!ReadExactly(sources, handle, head, 4)) return std::nullopt;
  if (head[0] != 0x00 || head[1] != 0xFF || head[2] != 0x7F) return std::nullopt;
  uint32_t metaLength = head[3] & 0x7Fu;
  uint8_t byte = head[3];
  for (int n = 1; byte & 0x80; ++n) {
    if (n == kMaxVarLenBytes || !ReadExactly(sources, handle, &byte, 1)) return std::nullopt;
    metaLength = metaLength << 7 | (byte & 0x7Fu);
  }
  uint8_t id[sizeof kSettingsEventId];
  if (!ReadExactly(sources, handle, id, sizeof id) ||
      std::memcmp(id, kSettingsEventId, sizeof id) != 0) {
    return std::nullopt;
  }
  uint32_t version = 0;
  uint32_t size = 0;
  if (!ReadBig32(sources, handle, version) || version != kSettingsVersion) return std::nullopt;
  if (!ReadBig32(sources, handle, size) || metaLength < sizeof kSettingsEventId ||
      size != metaLength - sizeof kSettingsEventId) {
    return std::nullopt;
  }
  // A record too short for its five slots would have them read past its end.
  if (size < kSettingsHeaderSize) return std::nullopt;
  PieceSettingsRecord record;
  record.bytes.resize(8);
  for (size_t remaining = size - 8; remaining > 0;) {
    size_t step = std::min(remaining, kReadStep);
    size_t at = record.bytes.size();
    record.bytes.resize(at + step);
    if (!ReadExactly(sources, handle, record.bytes.data() + at, static_cast<uint32_t>(step)))
      return std::nullopt;
    remaining -= step;
  }
  // The version and size are kept in host order; the slots stay as stored.
  RecordSet32(record, 0, version);
  RecordSet32(record, 4, size);
  return record;
}

int16_t ReadLittle16(const PieceSettingsRecord& record, size_t offset) {
  if (offset + 2 > record.bytes.size()) return 0;
  return static_cast<int16_t>(record.bytes[offset] | record.bytes[offset + 1] << 8);
}

std::vector<int32_t> ReadPositions(const PieceSettingsRecord& record, SettingsAreaSpan area) {
  std::vector<int32_t> positions(area.size / kMarkerEntrySize);
  for (size_t i = 0; i < positions.size(); ++i)
    positions[i] = static_cast<int32_t>(RecordGet32(record, area.offset + i * kMarkerEntrySize));
  return positions;
}

std::vector<MarkerRange> ReadRanges(const PieceSettingsRecord& record, SettingsAreaSpan area) {
  std::vector<MarkerRange> ranges(area.size / kRangeEntrySize);
  for (size_t i = 0; i < ranges.size(); ++i) {
    size_t at = area.offset + i * kRangeEntrySize;
    ranges[i] = {static_cast<int32_t>(RecordGet32(record, at)),
                 static_cast<int32_t>(RecordGet32(record, at + 4))};
  }
  return ranges;
}

ProgramCombo ComboAt(const PieceSettingsRecord& record, size_t offset) {
  ProgramCombo combo;
  combo.kind = offset < record.bytes.size() ? record.bytes[offset] : 0;
  for (size_t v = 0; v < 3; ++v) {
    size_t at = offset + 1 + v;
    combo.values[v] = at < record.bytes.size() ? record.bytes[at] : 0;
  }
  // A kind no instrument selection has plays the file's choice.
  return combo.kind > kMaxComboKind ? ProgramCombo{} : combo;
}

void ApplyTrackSettings(const PieceSettingsRecord& record, size_t at, TrackRec& track) {
  track.volume = RecordGet16(record, at + kTrackVolume);
  uint16_t channel = RecordGet16(record, at + kTrackOutputChannel);
  uint16_t port = RecordGet16(record, at + kTrackOutputPort);
  // A channel or port no message can carry keeps the one the file gives.
  track.outputChannel = channel < 16 ? channel : static_cast<uint16_t>(track.fileChannel);
  track.outputPort = port < kSettingsPortCount ? port : static_cast<uint16_t>(track.filePort);
  track.transposition = static_cast<int16_t>(RecordGet16(record, at + kTrackTransposition));
  track.play = record.bytes[at + kTrackPlay];
  track.substitutePrograms = record.bytes[at + kTrackSubstitutePrograms];
  for (size_t i = 0; i < kMaxProgramCombos; ++i) {
    if (i > 0 && track.programCombos[i].file.kind == kComboNone) break;
    track.programCombos[i].substitute = ComboAt(record, at + kTrackCombos + i * 8 + 4);
  }
  track.userName.reset();
  size_t nameLength = record.bytes[at + kTrackUserNameLength];
  if (nameLength > 0) {
    const auto* chars = reinterpret_cast<const char*>(record.bytes.data() + at + kTrackUserName);
    track.userName.emplace(chars, nameLength);
  }
}

// The piece-level fields of slot fields 32-111.
void ApplySlotFields(const PieceSettingsRecord& record, size_t base, PieceSettings& live) {
  live.loopStart = static_cast<int32_t>(RecordGet32(record, base + kSlotLoopStart));
  live.loopEnd = static_cast<int32_t>(RecordGet32(record, base + kSlotLoopEnd));
  live.masterVolume = RecordGet16(record, base + kSlotMasterVolume);
  live.tempoFactor = RecordGet16(record, base + kSlotTempoFactor);
  live.masterTranspose = static_cast<int16_t>(RecordGet16(record, base + kSlotMasterTranspose));
  live.followTrack1 = static_cast<int16_t>(RecordGet16(record, base + kSlotFollowTrack1));
  live.followTrack2 = static_cast<int16_t>(RecordGet16(record, base + kSlotFollowTrack2));
  for (size_t v = 0; v < kViewCount; ++v) {
    live.viewOrder[v] = static_cast<uint16_t>(ReadLittle16(record, base + kSlotViewOrder + 2 * v));
    size_t at = base + kSlotViewPositions + 4 * v;
    live.savedViewPositions[v] = {static_cast<int16_t>(RecordGet16(record, at)),
                                  static_cast<int16_t>(RecordGet16(record, at + 2))};
    live.viewVisible[v] = record.bytes[base + kSlotViewVisible + v];
  }
  live.followTwoTracks = record.bytes[base + kSlotFollowTwoTracks];
  live.performanceUsesOwnPort = record.bytes[base + kSlotPerformanceOwnPort];
}

// An order naming a view twice, or one that does not exist, cannot lay out
// the views: the default order replaces it.
void RepairSettings(PieceSettings& live, int16_t trackCount) {
  if (live.followTrack1 < 0 || live.followTrack1 >= trackCount) live.followTrack1 = 0;
  if (live.followTrack2 < 0 || live.followTrack2 >= trackCount) live.followTrack2 = 0;
  std::array<bool, kViewCount> seen{};
  for (uint16_t view : live.viewOrder) {
    if (view >= kViewCount || seen[view]) {
      live.viewOrder = kDefaultViewOrder;
      return;
    }
    seen[view] = true;
  }
}

// Hands the four follower lists over; false when the follower cannot take them.
bool GiveFollowerMarkers(SettingsContext& context) {
  return !context.follower.setMarkers || context.follower.setMarkers(context.live);
}

void Call(const std::function<void()>& hook) {
  if (hook) hook();
}

void ShowViewsMenu(SettingsContext& context) {
  if (context.hooks.setViewsMenu)
    context.hooks.setViewsMenu(ViewsMenuFromFlags(context.live.viewVisible));
}

// Steps 3 to 6 of applying a slot; throws std::bad_alloc when storage fails.
bool CopySlot(SettingsContext& context, const PieceSettingsRecord& record, int slot) {
  PieceModel& piece = context.piece;
  PieceSettings& live = context.live;
  ApplySlotFields(record, SlotStart(slot), live);

  SettingsAreaSpan tracks = SettingsAreaOf(record, slot, kAreaTrackSettings);
  size_t stored = tracks.size / kTrackSettingsSize;
  for (size_t t = 0;
       t <= static_cast<size_t>(piece.trackCount) && t < stored && t < piece.tracks.size(); ++t) {
    ApplyTrackSettings(record, tracks.offset + t * kTrackSettingsSize, piece.tracks[t]);
  }

  SettingsAreaSpan name = SettingsAreaOf(record, slot, kAreaDisplayName);
  piece.pieceDisplayName.reset();
  if (name.size > 0) {
    const auto* chars = reinterpret_cast<const char*>(record.bytes.data() + name.offset + 1);
    piece.pieceDisplayName.emplace(chars, name.size - 1);
  }

  live.rehearsalPoints = ReadPositions(record, SettingsAreaOf(record, slot, kAreaRehearsalPoints));
  live.waitForSoloistMarkers =
      ReadPositions(record, SettingsAreaOf(record, slot, kAreaWaitForSoloist));
  live.waitForSignalMarkers =
      ReadPositions(record, SettingsAreaOf(record, slot, kAreaWaitForSignal));
  live.restoreTempoMarkers = ReadPositions(record, SettingsAreaOf(record, slot, kAreaRestoreTempo));
  live.ignoreSoloistRanges = ReadRanges(record, SettingsAreaOf(record, slot, kAreaIgnoreSoloist));
  return GiveFollowerMarkers(context);
}

}  // namespace

uint32_t RecordGet32(const PieceSettingsRecord& record, size_t offset) {
  uint32_t value = 0;
  if (offset <= record.bytes.size() && record.bytes.size() - offset >= 4)
    std::memcpy(&value, record.bytes.data() + offset, 4);
  return value;
}

uint16_t RecordGet16(const PieceSettingsRecord& record, size_t offset) {
  uint16_t value = 0;
  if (offset <= record.bytes.size() && record.bytes.size() - offset >= 2)
    std::memcpy(&value, record.bytes.data() + offset, 2);
  return value;
}

void RecordSet32(PieceSettingsRecord& record, size_t offset, uint32_t value) {
  if (offset <= record.bytes.size() && record.bytes.size() - offset >= 4)
    std::memcpy(record.bytes.data() + offset, &value, 4);
}

void RecordSet16(PieceSettingsRecord& record, size_t offset, uint16_t value) {
  if (offset <= record.bytes.size() && record.bytes.size() - offset >= 2)
    std::memcpy(record.bytes.data() + offset, &value, 2);
}

PieceSettingsRecord DefaultSettingsRecord() {
  PieceSettingsRecord record;
  record.bytes.assign(kSettingsHeaderSize, 0);
  RecordSet32(record, 0, kSettingsVersion);
  RecordSet32(record, 4, static_cast<uint32_t>(kSettingsHeaderSize));
  return record;
}

std::string SettingsSlotName(const PieceSettingsRecord& record, int slot) {
  if (slot < 0 || slot >= kSettingsSlotCount) return {};
  size_t base = SlotStart(slot);
  if (base + kSlotNameSize > record.bytes.size()) return {};
  const uint8_t* name = record.bytes.data() + base;
  const uint8_t* end = std::find(name, name + kMaxSettingsNameLength, 0);
  return std::string(name, end);
}

SettingsAreaSpan SettingsAreaOf(const PieceSettingsRecord& record, int slot, SettingsArea area) {
  size_t field = SlotStart(slot) + kSlotAreas + 8 * static_cast<size_t>(area);
  uint64_t offset = RecordGet32(record, field);
  uint64_t size = RecordGet32(record, field + 4);
  if (size == 0 || offset < kSettingsHeaderSize || offset + size > record.bytes.size()) return {};
  return {static_cast<size_t>(offset), static_cast<size_t>(size)};
}

std::optional<PieceSettingsRecord> ReadPieceSettings(PieceSourceState& sources,
                                                     const std::string& piecePath) {
  uint32_t handle = OpenPieceSource(sources, piecePath, kGenericRead, kOpenExisting);
  if (handle == kInvalidPieceSource) return std::nullopt;
  std::optional<PieceSettingsRecord> record;
  if (FindFirstTrackData(sources, handle)) {
    try {
      record = ReadSettingsEvent(sources, handle);
    } catch (const std::bad_alloc&) {
      record.reset();
    }
    if (!record) record = DefaultSettingsRecord();
  }
  ClosePieceSource(sources, handle);
  if (!record) return std::nullopt;
  SwapSettingsRecord(*record, SwapDirection::kToHost);
  return record;
}

void SwapSettingsRecord(PieceSettingsRecord& record, SwapDirection direction) {
  for (int slot = 0; slot < kSettingsSlotCount; ++slot) {
    size_t base = SlotStart(slot);
    if (base + kSettingsSlotSize > record.bytes.size()) break;
    if (record.bytes[base + kSlotName] == 0) continue;
    Swap32At(record, base + kSlotLoopStart);
    Swap32At(record, base + kSlotLoopEnd);
    for (size_t at = kSlotMasterVolume; at <= kSlotFollowTrack2; at += 2)
      Swap16At(record, base + at);
    for (size_t i = 0; i < 2 * kViewCount; ++i) Swap16At(record, base + kSlotViewPositions + 2 * i);
    if (direction == SwapDirection::kToHost) SwapAreaFields(record, base);

    SettingsAreaSpan tracks = SettingsAreaOf(record, slot, kAreaTrackSettings);
    for (size_t t = 0; t < tracks.size / kTrackSettingsSize; ++t) {
      size_t at = tracks.offset + t * kTrackSettingsSize;
      for (size_t field = kTrackVolume; field <= kTrackOutputPort; field += 2)
        Swap16At(record, at + field);
    }
    for (SettingsArea area : {kAreaRehearsalPoints, kAreaWaitForSoloist, kAreaWaitForSignal,
                              kAreaRestoreTempo, kAreaIgnoreSoloist}) {
      SettingsAreaSpan span = SettingsAreaOf(record, slot, area);
      size_t entrySize = area == kAreaIgnoreSoloist ? kRangeEntrySize : kMarkerEntrySize;
      size_t values = span.size / entrySize * (entrySize / 4);
      for (size_t i = 0; i < values; ++i) Swap32At(record, span.offset + 4 * i);
    }
    if (direction == SwapDirection::kToStorage) SwapAreaFields(record, base);
  }
}

ViewsMenuState ViewsMenuFromFlags(const std::array<uint8_t, kViewCount>& visible) {
  ViewsMenuState menu;
  for (size_t p = 0; p < kViewCount; ++p) {
    menu.checked[p] = visible[static_cast<size_t>(kViewAtMenuPosition[p])] != 0;
    menu.showAllEnabled = menu.showAllEnabled || !menu.checked[p];
    menu.hideAllEnabled = menu.hideAllEnabled || menu.checked[p];
  }
  return menu;
}

bool ApplySettingsSlot(SettingsContext& context, int slot) {
  if (slot < 0 || slot >= kSettingsSlotCount || !context.piece.pieceLoaded) return false;
  std::optional<PieceSettingsRecord> record =
      ReadPieceSettings(context.sources, context.piece.piecePath);
  return record && ApplySettingsRecord(context, *record, slot);
}

bool ApplySettingsRecord(SettingsContext& context, const PieceSettingsRecord& record, int slot) {
  if (slot < 0 || slot >= kSettingsSlotCount || !context.piece.pieceLoaded) return false;
  if (SettingsSlotName(record, slot).empty()) return false;
  try {
    if (!CopySlot(context, record, slot)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }

  RepairSettings(context.live, context.piece.trackCount);
  if (context.system.rememberViewLocations) Call(context.hooks.moveViewsToSaved);
  Call(context.hooks.showLoopPoints);
  ShowViewsMenu(context);
  Call(context.hooks.updateTitle);
  Call(context.hooks.refreshPosition);
  GiveFollowerScore(context);
  Call(context.hooks.redrawViews);
  return true;
}

void ResetPieceGlobals(SettingsContext& context) {
  PieceSettings& live = context.live;
  live.loopStart = 0;
  live.loopEnd = context.piece.endPosition - 1;
  live.masterVolume = 256;
  live.tempoFactor = 4096;
  live.masterTranspose = 0;
  live.followTrack1 = 0;
  live.followTrack2 = 0;
  live.viewOrder = kDefaultViewOrder;
  live.viewVisible.fill(1);
  live.followTwoTracks = 0;
  live.performanceUsesOwnPort = 0;
  Call(context.hooks.redrawViews);
}

void DefaultPieceSettings(SettingsContext& context) {
  ResetPieceGlobals(context);
  Call(context.hooks.showLoopPoints);
  ShowViewsMenu(context);
  Call(context.hooks.centreViews);
  for (TrackRec& track : context.piece.tracks) {
    track.volume = 256;
    track.outputChannel = static_cast<uint16_t>(track.fileChannel);
    track.outputPort = static_cast<uint16_t>(track.filePort);
    track.transposition = 0;
    track.play = 1;
    track.substitutePrograms = 0;
    for (ProgramComboPair& pair : track.programCombos) pair.substitute = ProgramCombo{};
    track.userName.reset();
  }
  context.piece.pieceDisplayName.reset();
  Call(context.hooks.updateTitle);
  PieceSettings& live = context.live;
  live.rehearsalPoints.clear();
  live.waitForSoloistMarkers.clear();
  live.waitForSignalMarkers.clear();
  live.restoreTempoMarkers.clear();
  live.ignoreSoloistRanges.clear();
  GiveFollowerMarkers(context);
  Call(context.hooks.refreshPosition);
  Call(context.hooks.redrawViews);
  GiveFollowerScore(context);
}

void GiveFollowerScore(SettingsContext& context) {
  if (context.follower.setScore && context.piece.pieceLoaded)
    context.follower.setScore(context.piece, context.live, context.system);
}

void SetPieceSettingsHooks(PieceHooks& hooks, SettingsContext& context) {
  hooks.applySettingsSlot0 = [&context] { return ApplySettingsSlot(context, 0); };
  hooks.defaultPieceSettings = [&context] { DefaultPieceSettings(context); };
}

}  // namespace tuttiro
