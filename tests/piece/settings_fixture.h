// Builds settings records byte by byte as they stand in a file (big-endian),
// independently of the settings writer, and pieces that carry them; plus a
// fixture that opens such a piece with the settings hooks in place, and a
// temporary folder removed with the test.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "piece/piece_settings.h"
#include "smf_builder.h"

namespace tuttiro::test {

// A record in storage order: 848 bytes of header and slots, then areas.
class StoredRecord {
 public:
  StoredRecord() : bytes_(kSettingsHeaderSize, 0) {}

  StoredRecord& Put32(size_t at, uint32_t v) { return PutBig(at, v, 4); }
  StoredRecord& Put16(size_t at, uint16_t v) { return PutBig(at, v, 2); }
  StoredRecord& Byte(size_t at, uint8_t v) {
    Grow(at + 1);
    bytes_[at] = v;
    return *this;
  }
  StoredRecord& Name(int slot, const std::string& name) {
    std::copy(name.begin(), name.end(), bytes_.begin() + static_cast<long>(SlotStart(slot)));
    return *this;
  }
  // The view order is stored little-endian.
  StoredRecord& ViewOrder(int slot, std::initializer_list<uint16_t> order) {
    size_t at = SlotStart(slot) + kSlotViewOrder;
    for (uint16_t v : order) {
      bytes_[at++] = static_cast<uint8_t>(v);
      bytes_[at++] = static_cast<uint8_t>(v >> 8);
    }
    return *this;
  }
  // Appends an area's bytes and points the slot's area fields at them.
  StoredRecord& Area(int slot, SettingsArea area, const std::vector<uint8_t>& data) {
    size_t field = SlotStart(slot) + kSlotAreas + 8 * static_cast<size_t>(area);
    Put32(field, static_cast<uint32_t>(bytes_.size()));
    Put32(field + 4, static_cast<uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  StoredRecord& AreaFields(int slot, SettingsArea area, uint32_t offset, uint32_t size) {
    size_t field = SlotStart(slot) + kSlotAreas + 8 * static_cast<size_t>(area);
    return Put32(field, offset).Put32(field + 4, size);
  }
  // With the version and the record's own size filled in (unless overridden).
  std::vector<uint8_t> Bytes(uint32_t version = kSettingsVersion, int64_t size = -1) const {
    StoredRecord head = *this;
    head.Put32(0, version).Put32(4, static_cast<uint32_t>(size < 0 ? bytes_.size() : size));
    return head.bytes_;
  }

 private:
  StoredRecord& PutBig(size_t at, uint32_t v, size_t n) {
    Grow(at + n);
    for (size_t i = 0; i < n; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
    return *this;
  }
  void Grow(size_t n) {
    if (bytes_.size() < n) bytes_.resize(n, 0);
  }
  std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> Big32s(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out;
  for (uint32_t v : values) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  }
  return out;
}

// One TrackSettingsRec in storage order.
struct StoredTrack {
  uint16_t volume = 256;
  uint16_t channel = 0;
  int16_t transposition = 0;
  uint16_t port = 0;
  uint8_t play = 1;
  uint8_t substitute = 0;
  std::vector<std::pair<ProgramCombo, ProgramCombo>> combos;
  std::string userName;

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out(kTrackSettingsSize, 0);
    auto put16 = [&out](size_t at, uint16_t v) {
      out[at] = static_cast<uint8_t>(v >> 8);
      out[at + 1] = static_cast<uint8_t>(v);
    };
    put16(kTrackVolume, volume);
    put16(kTrackOutputChannel, channel);
    put16(kTrackTransposition, static_cast<uint16_t>(transposition));
    put16(kTrackOutputPort, port);
    out[kTrackPlay] = play;
    out[kTrackSubstitutePrograms] = substitute;
    for (size_t i = 0; i < combos.size(); ++i) {
      size_t at = kTrackCombos + 8 * i;
      out[at] = combos[i].first.kind;
      std::copy(combos[i].first.values.begin(), combos[i].first.values.end(),
                out.begin() + static_cast<long>(at) + 1);
      out[at + 4] = combos[i].second.kind;
      std::copy(combos[i].second.values.begin(), combos[i].second.values.end(),
                out.begin() + static_cast<long>(at) + 5);
    }
    out[kTrackUserNameLength] = static_cast<uint8_t>(userName.size());
    std::copy(userName.begin(), userName.end(), out.begin() + kTrackUserName);
    return out;
  }
};

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The settings meta event's data: identification, then the record.
inline std::vector<uint8_t> SettingsData(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> data(std::begin(kSettingsEventId), std::end(kSettingsEventId));
  data.insert(data.end(), record.begin(), record.end());
  return data;
}

// A format-1 piece: a conductor track that starts with `head` (raw bytes,
// delta time included) and `noteTracks` tracks on channels 1, 2, 3, ..., one
// bar of quarter notes each. Track 0 changes program twice (two combinations).
inline std::vector<uint8_t> PieceWithHead(const std::vector<uint8_t>& head, int noteTracks = 3) {
  SmfBuilder smf(1, 480);
  smf.Track().Raw(head).Tempo(0, 500000).TimeSig(0, 4, 2).End();
  for (int t = 0; t < noteTracks; ++t) {
    uint8_t ch = static_cast<uint8_t>(t);
    smf.Track().Event(0, {static_cast<uint8_t>(0xC0 | ch), 10});
    if (t == 0) smf.Event(0, {0xC0, 20});
    for (int beat = 0; beat < 4; ++beat) {
      smf.Event(0, {static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(60 + t), 100})
          .Event(480, {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(60 + t), 0});
    }
    smf.End();
  }
  return smf.Bytes();
}

// A settings meta event (delta time included) carrying `data`, with `length`
// as its length bytes when given.
inline std::vector<uint8_t> SettingsEvent(const std::vector<uint8_t>& data,
                                          std::vector<uint8_t> length = {}) {
  if (length.empty()) length = SmfBuilder::EncodeVarLen(static_cast<uint32_t>(data.size()));
  return Concat({{0x00, 0xFF, 0x7F}, length, data});
}

// A piece whose first event is the settings event carrying `record`.
inline std::vector<uint8_t> PieceWithRecord(const std::vector<uint8_t>& record,
                                            int noteTracks = 3) {
  return PieceWithHead(SettingsEvent(SettingsData(record)), noteTracks);
}

struct SettingsFixture {
  PieceModel piece;
  PieceSourceState sources;
  PieceSettings live;
  SystemSettings system;
  SettingsContext context{piece, sources, live, system};

  // Opens `bytes` as "p.mid" with the settings hooks OpenPiece calls.
  int Open(const std::vector<uint8_t>& bytes, const std::string& name = "p.mid") {
    sources.memoryImages[name] = bytes;
    PieceHooks hooks;
    SetPieceSettingsHooks(hooks, context);
    return OpenPiece(piece, sources, name, hooks);
  }
};

struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "tuttiro-piece-XXXXXX").string();
    path = ::mkdtemp(name.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string Str() const { return path.string(); }
  std::string File(const std::string& name) const { return (path / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name) << text;
  }
};

}  // namespace tuttiro::test
