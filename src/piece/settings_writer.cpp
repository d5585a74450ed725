// Settings record building and the settings event's placement in a piece file.
// Each slot's data areas are laid out afresh after the header, in slot order,
// so a record never carries areas no slot points to.
#include "piece/settings_writer.h"

#include <algorithm>
#include <cstring>

#include "piece/atomic_file.h"
#include "piece/smf_format.h"

namespace tuttiro {
namespace {

constexpr uint32_t kMaxMetaLength = 0x0FFFFFFF;  // a four-byte variable-length quantity
constexpr size_t kSlotPlainFields = kSlotAreas;  // name up to the area fields

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  uint8_t b[2];
  std::memcpy(b, &value, 2);
  out.insert(out.end(), b, b + 2);
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t b[4];
  std::memcpy(b, &value, 4);
  out.insert(out.end(), b, b + 4);
}

void AppendCombo(std::vector<uint8_t>& out, const ProgramCombo& combo) {
  out.push_back(combo.kind);
  out.insert(out.end(), combo.values.begin(), combo.values.end());
}

// The data areas of one slot, host order, in the order of the area fields.
using SlotAreas = std::array<std::vector<uint8_t>, kSettingsAreaCount>;

std::vector<uint8_t> TrackArea(const PieceModel& piece) {
  std::vector<uint8_t> out;
  for (size_t t = 0; t <= static_cast<size_t>(piece.trackCount) && t < piece.tracks.size(); ++t) {
    const TrackRec& track = piece.tracks[t];
    size_t start = out.size();
    Append16(out, track.volume);
    Append16(out, track.outputChannel);
    Append16(out, static_cast<uint16_t>(track.transposition));
    Append16(out, track.outputPort);
    Append16(out, 0);
    out.push_back(track.play);
    out.push_back(track.substitutePrograms);
    for (const ProgramComboPair& pair : track.programCombos) {
      AppendCombo(out, pair.file);
      AppendCombo(out, pair.substitute);
    }
    std::string name = track.userName.value_or("").substr(0, kMaxTrackUserNameLength);
    out.push_back(static_cast<uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    out.resize(start + kTrackSettingsSize, 0);
  }
  return out;
}

std::vector<uint8_t> PositionArea(const std::vector<int32_t>& positions) {
  std::vector<uint8_t> out;
  for (int32_t p : positions) Append32(out, static_cast<uint32_t>(p));
  return out;
}

SlotAreas LiveAreas(const PieceSettings& live, const PieceModel& piece) {
  SlotAreas areas;
  areas[kAreaTrackSettings] = TrackArea(piece);
  if (piece.pieceDisplayName) {
    const std::string& name = *piece.pieceDisplayName;
    // The leading byte is passed over by readers; it holds the length, as far as it fits.
    areas[kAreaDisplayName].push_back(static_cast<uint8_t>(std::min<size_t>(name.size(), 255)));
    areas[kAreaDisplayName].insert(areas[kAreaDisplayName].end(), name.begin(), name.end());
  }
  areas[kAreaRehearsalPoints] = PositionArea(live.rehearsalPoints);
  areas[kAreaWaitForSoloist] = PositionArea(live.waitForSoloistMarkers);
  areas[kAreaWaitForSignal] = PositionArea(live.waitForSignalMarkers);
  areas[kAreaRestoreTempo] = PositionArea(live.restoreTempoMarkers);
  for (const MarkerRange& range : live.ignoreSoloistRanges) {
    Append32(areas[kAreaIgnoreSoloist], static_cast<uint32_t>(range.begin));
    Append32(areas[kAreaIgnoreSoloist], static_cast<uint32_t>(range.end));
  }
  return areas;
}

// The slot's fields from its name up to the area fields.
std::array<uint8_t, kSlotPlainFields> LiveSlotFields(const std::string& name,
                                                     const PieceSettings& live) {
  PieceSettingsRecord slot;
  slot.bytes.assign(kSlotPlainFields, 0);
  std::string shortName = name.substr(0, kMaxSettingsNameLength);
  std::copy(shortName.begin(), shortName.end(), slot.bytes.begin());
  RecordSet32(slot, kSlotLoopStart, static_cast<uint32_t>(live.loopStart));
  RecordSet32(slot, kSlotLoopEnd, static_cast<uint32_t>(live.loopEnd));
  RecordSet16(slot, kSlotMasterVolume, live.masterVolume);
  RecordSet16(slot, kSlotTempoFactor, live.tempoFactor);
  RecordSet16(slot, kSlotMasterTranspose, static_cast<uint16_t>(live.masterTranspose));
  RecordSet16(slot, kSlotFollowTrack1, static_cast<uint16_t>(live.followTrack1));
  RecordSet16(slot, kSlotFollowTrack2, static_cast<uint16_t>(live.followTrack2));
  for (size_t v = 0; v < kViewCount; ++v) {
    slot.bytes[kSlotViewOrder + 2 * v] = static_cast<uint8_t>(live.viewOrder[v]);
    slot.bytes[kSlotViewOrder + 2 * v + 1] = static_cast<uint8_t>(live.viewOrder[v] >> 8);
    RecordSet16(slot, kSlotViewPositions + 4 * v,
                static_cast<uint16_t>(live.savedViewPositions[v].vertical));
    RecordSet16(slot, kSlotViewPositions + 4 * v + 2,
                static_cast<uint16_t>(live.savedViewPositions[v].horizontal));
    slot.bytes[kSlotViewVisible + v] = live.viewVisible[v];
  }
  slot.bytes[kSlotFollowTwoTracks] = live.followTwoTracks;
  slot.bytes[kSlotPerformanceOwnPort] = live.performanceUsesOwnPort;
  std::array<uint8_t, kSlotPlainFields> out{};
  std::copy(slot.bytes.begin(), slot.bytes.end(), out.begin());
  return out;
}

// A new record: each used slot's plain fields and areas, the areas packed
// after the header in slot order.
PieceSettingsRecord PackRecord(const std::array<const uint8_t*, kSettingsSlotCount>& fields,
                               const std::array<SlotAreas, kSettingsSlotCount>& areas) {
  PieceSettingsRecord record = DefaultSettingsRecord();
  for (int slot = 0; slot < kSettingsSlotCount; ++slot) {
    if (!fields[static_cast<size_t>(slot)]) continue;
    size_t base = SlotStart(slot);
    std::copy_n(fields[static_cast<size_t>(slot)], kSlotPlainFields, record.bytes.begin() + base);
    for (int a = 0; a < kSettingsAreaCount; ++a) {
      const std::vector<uint8_t>& area = areas[static_cast<size_t>(slot)][static_cast<size_t>(a)];
      if (area.empty()) continue;
      size_t field = base + kSlotAreas + 8 * static_cast<size_t>(a);
      RecordSet32(record, field, static_cast<uint32_t>(record.bytes.size()));
      RecordSet32(record, field + 4, static_cast<uint32_t>(area.size()));
      record.bytes.insert(record.bytes.end(), area.begin(), area.end());
    }
  }
  RecordSet32(record, 4, static_cast<uint32_t>(record.bytes.size()));
  return record;
}

// Copies the slots of `existing` other than `skip` into the packing lists.
void KeepSlots(const PieceSettingsRecord& existing, int skip,
               std::array<const uint8_t*, kSettingsSlotCount>& fields,
               std::array<SlotAreas, kSettingsSlotCount>& areas) {
  for (int slot = 0; slot < kSettingsSlotCount; ++slot) {
    if (slot == skip || SettingsSlotName(existing, slot).empty()) continue;
    fields[static_cast<size_t>(slot)] = existing.bytes.data() + SlotStart(slot);
    for (int a = 0; a < kSettingsAreaCount; ++a) {
      SettingsAreaSpan span = SettingsAreaOf(existing, slot, static_cast<SettingsArea>(a));
      auto first = existing.bytes.begin() + static_cast<long>(span.offset);
      areas[static_cast<size_t>(slot)][static_cast<size_t>(a)].assign(
          first, first + static_cast<long>(span.size));
    }
  }
}

void PutBig32(std::vector<uint8_t>& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The length of a settings event at `at`: 0 when none starts there, -1 when
// one starts there but is damaged or cut off.
int64_t SettingsEventLength(const std::vector<uint8_t>& image, size_t at) {
  if (at + 3 > image.size() || image[at] != 0x00 || image[at + 1] != 0xFF || image[at + 2] != 0x7F)
    return 0;
  size_t p = at + 3;
  uint64_t length = 0;
  for (int n = 0;; ++n) {
    if (n == 4 || p >= image.size()) return -1;
    uint8_t b = image[p++];
    length = length << 7 | (b & 0x7Fu);
    if (!(b & 0x80)) break;
  }
  if (p + sizeof kSettingsEventId > image.size() ||
      !std::equal(std::begin(kSettingsEventId), std::end(kSettingsEventId),
                  image.begin() + static_cast<long>(p)))
    return 0;  // another program's sequencer-specific event: it stays
  uint64_t total = (p - at) + length;
  return at + total <= image.size() ? static_cast<int64_t>(total) : -1;
}

}  // namespace

PieceSettingsRecord BuildPieceSettingsRecord(const PieceSettingsRecord& existing, int slot,
                                             const std::string& name, const PieceSettings& live,
                                             const PieceModel& piece) {
  std::array<const uint8_t*, kSettingsSlotCount> fields{};
  std::array<SlotAreas, kSettingsSlotCount> areas{};
  KeepSlots(existing, slot, fields, areas);
  std::array<uint8_t, kSlotPlainFields> liveFields = LiveSlotFields(name, live);
  if (slot >= 0 && slot < kSettingsSlotCount && !name.empty()) {
    fields[static_cast<size_t>(slot)] = liveFields.data();
    areas[static_cast<size_t>(slot)] = LiveAreas(live, piece);
  }
  return PackRecord(fields, areas);
}

PieceSettingsRecord RemoveSettingsSlot(const PieceSettingsRecord& existing, int slot) {
  std::array<const uint8_t*, kSettingsSlotCount> fields{};
  std::array<SlotAreas, kSettingsSlotCount> areas{};
  KeepSlots(existing, slot, fields, areas);
  return PackRecord(fields, areas);
}

std::vector<uint8_t> SettingsEventBytes(const PieceSettingsRecord& record) {
  uint64_t metaLength = uint64_t{sizeof kSettingsEventId} + record.bytes.size();
  if (record.bytes.size() < 8 || metaLength > kMaxMetaLength) return {};
  PieceSettingsRecord stored = record;
  SwapSettingsRecord(stored, SwapDirection::kToStorage);
  PutBig32(stored.bytes, 0, RecordGet32(record, 0));
  PutBig32(stored.bytes, 4, static_cast<uint32_t>(record.bytes.size()));
  std::vector<uint8_t> event{0x00, 0xFF, 0x7F};
  std::vector<uint8_t> length{static_cast<uint8_t>(metaLength & 0x7F)};
  for (uint64_t v = metaLength >> 7; v; v >>= 7)
    length.insert(length.begin(), static_cast<uint8_t>(0x80 | (v & 0x7F)));
  event.insert(event.end(), length.begin(), length.end());
  event.insert(event.end(), std::begin(kSettingsEventId), std::end(kSettingsEventId));
  event.insert(event.end(), stored.bytes.begin(), stored.bytes.end());
  return event;
}

SettingsWriteResult PlaceSettingsEvent(std::vector<uint8_t>& image,
                                       const PieceSettingsRecord& record) {
  if (image.size() < 8 || std::memcmp(image.data(), "MThd", 4) != 0)
    return SettingsWriteResult::kNotMidi;
  uint64_t track = 8 + uint64_t{Big32At(image, 4)};
  if (track + 8 > image.size() || std::memcmp(image.data() + track, "MTrk", 4) != 0)
    return SettingsWriteResult::kNotMidi;
  size_t data = static_cast<size_t>(track) + 8;
  uint32_t chunkLength = Big32At(image, static_cast<size_t>(track) + 4);
  int64_t old = SettingsEventLength(image, data);
  if (old < 0 || static_cast<uint64_t>(old) > chunkLength) return SettingsWriteResult::kNotMidi;
  std::vector<uint8_t> event = SettingsEventBytes(record);
  if (event.empty()) return SettingsWriteResult::kTooLarge;
  uint64_t newLength = uint64_t{chunkLength} - static_cast<uint64_t>(old) + event.size();
  if (newLength > UINT32_MAX) return SettingsWriteResult::kTooLarge;
  PutBig32(image, static_cast<size_t>(track) + 4, static_cast<uint32_t>(newLength));
  auto first = image.begin() + static_cast<long>(data);
  image.erase(first, first + static_cast<long>(old));
  image.insert(image.begin() + static_cast<long>(data), event.begin(), event.end());
  return SettingsWriteResult::kOk;
}

bool ReadPieceImage(PieceSourceState& sources, const std::string& name,
                    std::vector<uint8_t>& image) {
  image.clear();
  uint32_t handle = OpenPieceSource(sources, name, kGenericRead, kOpenExisting);
  if (handle == kInvalidPieceSource) return false;
  bool ok = true;
  for (;;) {
    constexpr uint32_t kStep = 65536;
    size_t at = image.size();
    image.resize(at + kStep);
    uint32_t got = 0;
    ok = ReadPieceSource(sources, handle, image.data() + at, kStep, got);
    image.resize(at + got);
    if (!ok || got == 0) break;
  }
  return ClosePieceSource(sources, handle) && ok;
}

namespace {

// Whether the file at `path` holds exactly `bytes`.
bool FileHolds(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> onDisk;
  bool tooLarge = false;
  return ReadWholeFile(path, bytes.size(), onDisk, tooLarge) && onDisk == bytes;
}

}  // namespace

SettingsWriteResult WritePieceWithSettings(PieceSourceState& sources, const std::string& name,
                                           const std::string& path,
                                           const PieceSettingsRecord& record,
                                           bool overwriteChanged) {
  std::vector<uint8_t> image;
  if (!ReadPieceImage(sources, name, image)) return SettingsWriteResult::kReadFailed;
  SettingsWriteResult result = PlaceSettingsEvent(image, record);
  if (result != SettingsWriteResult::kOk) return result;
  const bool ownFile = !sources.loadedPath.empty() && path == sources.loadedPath;
  if (ownFile && !overwriteChanged && !FileHolds(path, sources.loadedImage)) {
    return SettingsWriteResult::kPieceChanged;
  }
  if (!WriteFileAtomically(path, image)) return SettingsWriteResult::kWriteFailed;
  if (ownFile) sources.loadedImage = std::move(image);  // the file now holds these bytes
  return SettingsWriteResult::kOk;
}

SettingsWriteResult SavePieceSettingsSlot(SettingsContext& context, int slot,
                                          const std::string& name) {
  const std::string& path = context.piece.piecePath;
  if (FindBuiltinPiece(path) >= 0 || context.sources.memoryImages.count(path))
    return SettingsWriteResult::kNotAFile;
  std::optional<PieceSettingsRecord> existing = ReadPieceSettings(context.sources, path);
  if (!existing) return SettingsWriteResult::kReadFailed;
  if (context.hooks.storeViewPositions) context.hooks.storeViewPositions();
  PieceSettingsRecord record =
      BuildPieceSettingsRecord(*existing, slot, name, context.live, context.piece);
  return WritePieceWithSettings(context.sources, path, path, record);
}

}  // namespace tuttiro
