// Builds Standard MIDI File bytes for tests, event by event, including files
// that are damaged on purpose.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "piece/piece_model.h"

namespace tuttiro::test {

class SmfBuilder {
 public:
  SmfBuilder(uint16_t format, int16_t division) : format_(format), division_(division) {}

  // Starts a new track chunk; its events follow.
  SmfBuilder& Track() {
    tracks_.emplace_back();
    return *this;
  }
  // A delta time followed by the event's bytes as they stand in the file.
  SmfBuilder& Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    VarLen(delta);
    Raw(bytes);
    return *this;
  }
  SmfBuilder& Raw(std::initializer_list<uint8_t> bytes) {
    tracks_.back().insert(tracks_.back().end(), bytes);
    return *this;
  }
  SmfBuilder& Raw(const std::vector<uint8_t>& bytes) {
    tracks_.back().insert(tracks_.back().end(), bytes.begin(), bytes.end());
    return *this;
  }
  SmfBuilder& VarLen(uint32_t value) {
    Raw(EncodeVarLen(value));
    return *this;
  }
  // A meta event with its length.
  SmfBuilder& Meta(uint32_t delta, uint8_t type, const std::vector<uint8_t>& data) {
    VarLen(delta);
    Raw({0xFF, type});
    VarLen(static_cast<uint32_t>(data.size()));
    Raw(data);
    return *this;
  }
  SmfBuilder& Text(uint32_t delta, uint8_t type, const std::string& text) {
    return Meta(delta, type, std::vector<uint8_t>(text.begin(), text.end()));
  }
  SmfBuilder& Tempo(uint32_t delta, uint32_t microsPerQuarter) {
    return Meta(
        delta, 0x51,
        {static_cast<uint8_t>(microsPerQuarter >> 16), static_cast<uint8_t>(microsPerQuarter >> 8),
         static_cast<uint8_t>(microsPerQuarter)});
  }
  SmfBuilder& TimeSig(uint32_t delta, uint8_t numerator, uint8_t power) {
    return Meta(delta, 0x58, {numerator, power, 24, 8});
  }
  SmfBuilder& End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
  // Overrides the track count written in the header.
  SmfBuilder& HeaderTracks(uint16_t ntrks) {
    ntrks_ = ntrks;
    return *this;
  }
  SmfBuilder& HeaderLength(uint32_t length) {
    headerLength_ = length;
    return *this;
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    U32(out, headerLength_);
    U16(out, format_);
    U16(out, ntrks_ ? ntrks_ : static_cast<uint16_t>(tracks_.size()));
    U16(out, static_cast<uint16_t>(division_));
    out.resize(out.size() + (headerLength_ > 6 ? headerLength_ - 6 : 0), 0);
    for (const auto& t : tracks_) {
      out.insert(out.end(), {'M', 'T', 'r', 'k'});
      U32(out, static_cast<uint32_t>(t.size()));
      out.insert(out.end(), t.begin(), t.end());
    }
    return out;
  }

  static std::vector<uint8_t> EncodeVarLen(uint32_t value) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(value & 0x7F)};
    while (value >>= 7) bytes.insert(bytes.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    return bytes;
  }

 private:
  static void U32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
  }
  static void U16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  }

  uint16_t format_;
  int16_t division_;
  uint16_t ntrks_ = 0;
  uint32_t headerLength_ = 6;
  std::vector<std::vector<uint8_t>> tracks_;
};

// Opens `bytes` as a piece through the in-memory source.
inline int LoadBytes(PieceModel& piece, const std::vector<uint8_t>& bytes) {
  PieceSourceState sources;
  sources.memoryImages["test.mid"] = bytes;
  return OpenPiece(piece, sources, "test.mid");
}

// A format-1 file with a conductor track (tempo 500000, 4/4) and one note track
// holding `body` followed by the end of the track.
inline SmfBuilder OneTrackPiece(int16_t division = 480) {
  SmfBuilder smf(1, division);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track();
  return smf;
}

}  // namespace tuttiro::test
