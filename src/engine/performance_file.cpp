// Writing a recorded performance as a Standard MIDI File: the piece's events
// re-timed on a finer tick grid, its tempo events replaced by the performed
// tempo, the written part replaced by the soloist's notes in the recorded
// section (in the first following track, so the tracks keep their numbers).
#include "engine/performance_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "piece/settings_writer.h"
#include "piece/smf_format.h"

namespace tuttiro {
namespace {

constexpr uint32_t kDefaultTempo = 500000;
constexpr uint32_t kMaxTempo = 0xFFFFFF;
constexpr uint64_t kMaxDelta = 0x0FFFFFFF;
// Ticks per quarter note wanted in the file: fine enough that a note lands
// within a fraction of a millisecond of when it was played.
constexpr int kFineDivision = 3840;

struct TimedBytes {
  uint64_t tick;
  int order;  // at the same tick: tempo 0, the piece 1, the soloist 2
  std::vector<uint8_t> bytes;
};

struct Chunk {
  std::vector<TimedBytes> events;
  uint64_t endTick = 0;
  bool hasChannelEvents = false;
};

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutVarLen(std::vector<uint8_t>& out, uint64_t v) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = static_cast<uint8_t>(v & 0x7F);
  for (v >>= 7; v && n < 5; v >>= 7) bytes[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
  while (n > 0) out.push_back(bytes[--n]);
}

// Reads the events of one track chunk's data, with running status made
// explicit. False when the data is not a sequence of whole events.
class TrackParser {
 public:
  explicit TrackParser(std::span<const uint8_t> data) : data_(data) {}

  bool Parse(Chunk& chunk) {
    uint64_t tick = 0;
    uint8_t running = 0;
    while (at_ < data_.size()) {
      uint64_t delta;
      if (!VarLen(delta)) return false;
      tick += delta;
      if (at_ >= data_.size()) return false;
      uint8_t status = data_[at_];
      if (status >= 0x80) {
        ++at_;
      } else if (running) {
        status = running;
      } else {
        return false;
      }
      std::vector<uint8_t> bytes{status};
      if (status == 0xFF) {
        if (!Meta(bytes)) return false;
        if (bytes[1] == kMetaEndOfTrack) {
          chunk.endTick = tick;
          return true;
        }
      } else if (status == 0xF0 || status == 0xF7) {
        if (!Sized(bytes)) return false;
      } else if (status >= 0xF0) {
        if (!Take(bytes, status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0))
          return false;
      } else {
        running = status;
        chunk.hasChannelEvents = true;
        const uint8_t kind = status & 0xF0;
        if (!Take(bytes, kind == 0xC0 || kind == 0xD0 ? 1 : 2)) return false;
      }
      chunk.endTick = tick;
      chunk.events.push_back({tick, 1, std::move(bytes)});
    }
    return true;
  }

 private:
  bool VarLen(uint64_t& value) {
    value = 0;
    for (int i = 0; i < 4 && at_ < data_.size(); ++i) {
      const uint8_t b = data_[at_++];
      value = value << 7 | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Take(std::vector<uint8_t>& bytes, size_t n) {
    if (data_.size() - at_ < n) return false;
    bytes.insert(bytes.end(), data_.begin() + static_cast<long>(at_),
                 data_.begin() + static_cast<long>(at_ + n));
    at_ += n;
    return true;
  }
  bool Sized(std::vector<uint8_t>& bytes) {
    const size_t start = at_;
    uint64_t length;
    if (!VarLen(length)) return false;
    bytes.insert(bytes.end(), data_.begin() + static_cast<long>(start),
                 data_.begin() + static_cast<long>(at_));
    return length <= data_.size() - at_ && Take(bytes, static_cast<size_t>(length));
  }
  bool Meta(std::vector<uint8_t>& bytes) { return Take(bytes, 1) && Sized(bytes); }

  std::span<const uint8_t> data_;
  size_t at_ = 0;
};

// The piece's tempo map, exactly: score milliseconds at a tick and back.
class PieceTempoMap {
 public:
  explicit PieceTempoMap(const PieceModel& piece) : division_(piece.division) {
    for (const SmfTempoEntry& e : piece.smfTempoList) {
      if (e.tick == kSentinelTick) break;
      // A tempo of 0 would stop time; it counts as the shortest there is.
      entries_.push_back(
          {static_cast<double>(e.tick), static_cast<double>(e.time), std::max(e.tempo, 1u)});
    }
    if (entries_.empty() || entries_.front().tick > 0) {
      entries_.insert(entries_.begin(), {0.0, 0.0, kDefaultTempo});
    }
  }

  double ScoreAt(double tick) const {
    const Entry* e = &entries_.front();
    for (const Entry& next : entries_) {
      if (next.tick <= tick) e = &next;
    }
    return Micros(tick, *e) / 1000.0;
  }

  double TickAt(double score) const {
    const Entry* e = &entries_.front();
    for (const Entry& next : entries_) {
      if (next.micros <= score * 1000.0) e = &next;
    }
    return e->tick + (score * 1000.0 - e->micros) * division_ / e->tempo;
  }

  std::vector<double> ChangeTicks() const {
    std::vector<double> ticks;
    for (const Entry& e : entries_) ticks.push_back(e.tick);
    return ticks;
  }

 private:
  struct Entry {
    double tick;
    double micros;
    uint32_t tempo;
  };
  double Micros(double tick, const Entry& e) const {
    return e.micros + (tick - e.tick) * e.tempo / division_;
  }

  double division_;
  std::vector<Entry> entries_;
};

bool IsOurSettingsEvent(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != kMetaSequencerSpecific) return false;
  size_t at = 2;
  while (at < bytes.size() && (bytes[at] & 0x80)) ++at;
  ++at;
  return bytes.size() - std::min(at, bytes.size()) >= sizeof kSettingsEventId &&
         std::memcmp(bytes.data() + at, kSettingsEventId, sizeof kSettingsEventId) == 0;
}

// Removes the written notes of the following part inside the recorded
// section, with the note-offs that end them. `channels` empty: every channel.
void DropWrittenNotes(Chunk& chunk, const PieceTempoMap& map, const PerformanceFileParts& parts,
                      const std::vector<int>& channels, int scale) {
  std::array<uint16_t, 16 * 128> dropped{};
  const auto ours = [&](uint8_t status) {
    return channels.empty() ||
           std::find(channels.begin(), channels.end(), status & 0x0F) != channels.end();
  };
  std::erase_if(chunk.events, [&](const TimedBytes& e) {
    const uint8_t status = e.bytes[0];
    const uint8_t kind = status & 0xF0;
    if ((kind != 0x90 && kind != 0x80) || !ours(status)) return false;
    uint16_t& count = dropped[(status & 0x0F) * 128u + (e.bytes[1] & 0x7Fu)];
    if (kind == 0x90 && e.bytes[2] > 0) {
      const double score = map.ScoreAt(static_cast<double>(e.tick) / scale);
      if (score < parts.sectionStart || score >= parts.sectionEnd) return false;
      ++count;
      return true;
    }
    if (count == 0) return false;
    --count;
    return true;
  });
}

// A track whose every message was a written note of the soloist's part keeps
// one silent message on its channel, so that it stays a track and the tracks
// keep their numbers (the settings address them by number). In a format-0
// file each channel is a track; in a format-1 file each chunk.
void KeepTrack(Chunk& chunk, uint8_t channel, bool anyChannel) {
  const bool kept = std::any_of(chunk.events.begin(), chunk.events.end(), [&](const TimedBytes& e) {
    const uint8_t status = e.bytes[0];
    return status >= 0x80 && status < 0xF0 && (anyChannel || (status & 0x0F) == channel);
  });
  if (!kept) chunk.events.push_back({0, 1, {static_cast<uint8_t>(0x80 | channel), 0, 0}});
}

uint8_t FirstChannel(const Chunk& chunk) {
  for (const TimedBytes& e : chunk.events) {
    if (e.bytes[0] >= 0x80 && e.bytes[0] < 0xF0) return e.bytes[0] & 0x0F;
  }
  return 0;
}

std::vector<TimedBytes> SoloistEvents(const PerformanceFileParts& parts, const PieceTempoMap& map,
                                      uint8_t channel, int scale) {
  std::vector<TimedBytes> events;
  for (const PieceEvent& e : parts.soloist) {
    const uint8_t kind = e.status & 0xF0;
    if (kind < 0x80 || kind == 0xF0) continue;
    const double tick = std::round(map.TickAt(e.time) * scale);
    std::vector<uint8_t> bytes{static_cast<uint8_t>(kind | channel), e.data1};
    if (kind != 0xC0 && kind != 0xD0) bytes.push_back(e.data2);
    events.push_back({static_cast<uint64_t>(std::max(0.0, tick)), 2, std::move(bytes)});
  }
  return events;
}

// Tempo events that make the file's time at every tick the performed time.
std::vector<TimedBytes> TempoEvents(const PerformanceFileParts& parts, const PieceTempoMap& map,
                                    int scale, int division) {
  std::vector<uint64_t> breaks{0};
  for (double tick : map.ChangeTicks()) breaks.push_back(static_cast<uint64_t>(tick) * scale);
  for (const auto& entry : parts.timing.tempoList) {
    breaks.push_back(
        static_cast<uint64_t>(std::max(0.0, std::round(map.TickAt(entry[1]) * scale))));
  }
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  const auto target = [&](uint64_t tick) {
    return PerformedTime(parts.timing, map.ScoreAt(static_cast<double>(tick) / scale)) * 1000.0;
  };
  std::vector<TimedBytes> events;
  double actual = 0;  // microseconds the tempo events so far give
  for (size_t i = 0; i < breaks.size(); ++i) {
    const uint64_t a = breaks[i];
    const uint64_t b = i + 1 < breaks.size() ? breaks[i + 1] : a + static_cast<uint64_t>(division);
    const double ticks = static_cast<double>(b - a);
    const double wanted = std::round((target(b) - actual) * division / ticks);
    const auto tempo = static_cast<uint32_t>(std::clamp(wanted, 1.0, double{kMaxTempo}));
    actual += tempo * ticks / division;
    events.push_back({a,
                      0,
                      {0xFF, kMetaTempo, 3, static_cast<uint8_t>(tempo >> 16),
                       static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)}});
  }
  return events;
}

bool WriteChunk(std::vector<uint8_t>& out, std::vector<TimedBytes> events, uint64_t endTick) {
  std::stable_sort(events.begin(), events.end(), [](const TimedBytes& a, const TimedBytes& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<uint8_t> data;
  uint64_t tick = 0;
  for (const TimedBytes& e : events) {
    if (e.tick - tick > kMaxDelta) return false;
    PutVarLen(data, e.tick - tick);
    data.insert(data.end(), e.bytes.begin(), e.bytes.end());
    tick = e.tick;
  }
  endTick = std::max(endTick, tick);
  if (endTick - tick > kMaxDelta) return false;
  PutVarLen(data, endTick - tick);
  data.insert(data.end(), {0xFF, kMetaEndOfTrack, 0x00});
  if (data.size() > UINT32_MAX) return false;
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  PutBig32(out, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return true;
}

// The piece's track chunks, parsed, its tempo and settings events left out.
bool ReadChunks(std::span<const uint8_t> image, std::vector<Chunk>& chunks) {
  size_t at = 8 + size_t{Big32At(image, 4)};
  while (at + 8 <= image.size()) {
    const uint32_t length = Big32At(image, at + 4);
    if (length > image.size() - at - 8) return false;
    if (std::memcmp(image.data() + at, "MTrk", 4) == 0) {
      Chunk chunk;
      if (!TrackParser(image.subspan(at + 8, length)).Parse(chunk)) return false;
      std::erase_if(chunk.events, [](const TimedBytes& e) {
        return (e.bytes[0] == 0xFF && e.bytes[1] == kMetaTempo) || IsOurSettingsEvent(e.bytes);
      });
      chunks.push_back(std::move(chunk));
    }
    at += 8 + size_t{length};
  }
  return !chunks.empty();
}

}  // namespace

double PerformedTime(const PerformanceTiming& timing, double position) {
  const double outside = 4096.0 / std::max(1, timing.tempoFactor);
  const auto& list = timing.tempoList;
  if (list.empty() || position <= list.front()[1]) return position * outside;
  const double start = list.front()[1] * outside;
  for (size_t i = 1; i < list.size(); ++i) {
    const double p0 = list[i - 1][1];
    const double p1 = list[i][1];
    if (position > p1) continue;
    const double fraction = p1 > p0 ? (position - p0) / (p1 - p0) : 1.0;
    return start + list[i - 1][0] + fraction * (list[i][0] - list[i - 1][0]);
  }
  return start + list.back()[0] + (position - list.back()[1]) * outside;
}

PerformanceFileResult BuildPerformanceFile(const PerformanceFileParts& parts,
                                           std::vector<uint8_t>& out) {
  out.clear();
  const std::span<const uint8_t> image = parts.pieceImage;
  if (!parts.piece || image.size() < 14 || std::memcmp(image.data(), "MThd", 4) != 0 ||
      Big32At(image, 4) < 6 || Big32At(image, 4) > image.size() - 8)
    return PerformanceFileResult::kNotMidi;
  const PieceModel& piece = *parts.piece;
  const int format = image[8] << 8 | image[9];
  if (piece.division <= 0 || format > 1) return PerformanceFileResult::kNotMidi;
  std::vector<Chunk> chunks;
  if (!ReadChunks(image, chunks) || (format == 0 && chunks.size() != 1))
    return PerformanceFileResult::kNotMidi;

  const int scale = std::max(1, std::min(kFineDivision / piece.division, 32767 / piece.division));
  const int division = piece.division * scale;
  for (Chunk& chunk : chunks) {
    for (TimedBytes& e : chunk.events) e.tick *= static_cast<uint64_t>(scale);
    chunk.endTick *= static_cast<uint64_t>(scale);
  }
  const PieceTempoMap map(piece);
  const auto fileChannel = [&](int track) {
    return track >= 0 && track < piece.trackCount
               ? piece.tracks[static_cast<size_t>(track)].fileChannel & 0x0F
               : 0;
  };
  const int first = parts.followingTracks.empty() ? 0 : parts.followingTracks.front();
  const auto channel = static_cast<uint8_t>(fileChannel(first));
  std::vector<TimedBytes> soloist = SoloistEvents(parts, map, channel, scale);
  std::vector<TimedBytes> tempo = TempoEvents(parts, map, scale, division);

  std::vector<Chunk> written;
  if (format == 0) {
    std::vector<int> channels;
    for (int t : parts.followingTracks) channels.push_back(fileChannel(t));
    Chunk& only = chunks.front();
    DropWrittenNotes(only, map, parts, channels, scale);
    only.events.insert(only.events.end(), tempo.begin(), tempo.end());
    only.events.insert(only.events.end(), soloist.begin(), soloist.end());
    for (int c : channels) KeepTrack(only, static_cast<uint8_t>(c), false);
    written.push_back(std::move(only));
  } else {
    written.push_back(Chunk{std::move(tempo), 0, false});
    int ordinal = 0;
    for (Chunk& chunk : chunks) {
      const bool isTrack = chunk.hasChannelEvents;
      const auto found =
          std::find(parts.followingTracks.begin(), parts.followingTracks.end(), ordinal);
      ordinal += isTrack ? 1 : 0;
      if (isTrack && found != parts.followingTracks.end()) {
        const uint8_t own = FirstChannel(chunk);
        DropWrittenNotes(chunk, map, parts, {}, scale);
        if (found == parts.followingTracks.begin()) {
          chunk.events.insert(chunk.events.end(), soloist.begin(), soloist.end());
        }
        KeepTrack(chunk, own, true);
      }
      written.push_back(std::move(chunk));
    }
  }
  if (written.size() > 0xFFFF) return PerformanceFileResult::kTooLarge;

  out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format)};
  out.push_back(static_cast<uint8_t>(written.size() >> 8));
  out.push_back(static_cast<uint8_t>(written.size()));
  out.push_back(static_cast<uint8_t>(division >> 8));
  out.push_back(static_cast<uint8_t>(division));
  for (Chunk& chunk : written) {
    if (!WriteChunk(out, std::move(chunk.events), chunk.endTick)) {
      out.clear();
      return PerformanceFileResult::kTooLarge;
    }
  }
  if (parts.settings && PlaceSettingsEvent(out, *parts.settings) != SettingsWriteResult::kOk) {
    out.clear();
    return PerformanceFileResult::kTooLarge;
  }
  return PerformanceFileResult::kOk;
}

}  // namespace tuttiro
