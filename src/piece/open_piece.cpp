// OpenPiece: reads a Standard MIDI File in two passes (the conductor pass for
// tempo, meter, key and SysEx; the note pass for the tracks' channel messages)
// and builds the piece model in score units, with its beat map.
//
// Every count, length and offset comes from an untrusted file: nothing is
// allocated ahead of the data that backs it, times are kept in 64 bits while
// they are summed, and every loop is bounded by the file or by a fixed limit.
#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "piece/piece_model.h"
#include "piece/smf_format.h"
#include "piece/smf_reader.h"

namespace tuttiro {
namespace {

constexpr uint32_t kMicrosPerTickWithoutTempo = 1042;
constexpr uint32_t kRoundingHalf = 500;  // microseconds: rounds to the nearest millisecond
constexpr uint64_t kMaxTick = 0x7FFFFFFE;
constexpr uint64_t kMaxScoreTime = 0x7FFFFFFE;
constexpr size_t kMaxBeats = size_t{1} << 18;
constexpr int kMaxPortTexts = 8;
constexpr uint32_t kMaxEventHint = uint32_t{1} << 20;
constexpr size_t kMaxSysexMessages = 0xFFFF;
constexpr uint8_t kSettingsId[5] = {0x00, 0x01, 0x21, 0x04, 0x00};

// Thrown inside the loader only, to end a pass with a load result.
struct LoadFailure {
  int result;
};

void Check(int smfResult) {
  if (smfResult != kSmfDone) throw LoadFailure{smfResult};
}

uint32_t ClampTick(uint64_t tick) {
  return static_cast<uint32_t>(std::min(tick, kMaxTick));
}

uint32_t ScoreTime(uint64_t micros) {
  return static_cast<uint32_t>(std::min(micros / 1000, kMaxScoreTime));
}

// T(tempo, d): microseconds of d ticks at `tempo`, rounded, in double precision.
uint64_t TempoMicros(uint32_t tempo, uint64_t ticks, int16_t division) {
  double exact = (static_cast<double>(tempo) * static_cast<double>(ticks) + division / 2.0) /
                 static_cast<double>(division);
  return exact >= 1.8e19 ? UINT64_MAX / 2 : static_cast<uint64_t>(exact);
}

// Walks ticks forward through the tempo list, accumulating microseconds.
struct TempoWalk {
  const std::vector<SmfTempoEntry>& list;
  int16_t division;
  size_t next = 0;
  uint32_t tempo = 0;
  uint64_t anchor = 0;
  uint64_t accumulator = kRoundingHalf;

  TempoWalk(const std::vector<SmfTempoEntry>& tempos, int16_t div) : list(tempos), division(div) {
    if (!list.empty() && list[0].tick == 0 && list[0].tick != kSentinelTick) {
      tempo = list[0].tempo;
      next = 1;
    } else {
      tempo = static_cast<uint32_t>(division) * kMicrosPerTickWithoutTempo;
    }
  }

  bool HasChange() const { return next < list.size() && list[next].tick != kSentinelTick; }

  void Advance(uint64_t delta) {
    while (HasChange() && list[next].tick <= anchor + delta) {
      delta -= list[next].tick - anchor;
      accumulator = list[next].time + kRoundingHalf;
      tempo = list[next].tempo;
      anchor = list[next].tick;
      ++next;
    }
    anchor += delta;
    if (delta) accumulator += TempoMicros(tempo, delta, division);
  }
};

bool IsSettingsEvent(uint8_t type, const std::vector<uint8_t>& data) {
  return type == kMetaSequencerSpecific && data.size() > 4 &&
         std::equal(std::begin(kSettingsId), std::end(kSettingsId), data.begin());
}

uint32_t BigEndianPrefix(const std::vector<uint8_t>& data, size_t n) {
  uint32_t value = 0;
  for (size_t i = 0; i < std::min(n, data.size()); ++i) value = value << 8 | data[i];
  return value;
}

uint8_t ByteAt(const std::vector<uint8_t>& data, size_t i) {
  return i < data.size() ? data[i] : 0;
}

int ChannelDataBytes(uint8_t status) {
  return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
}

bool IsChannelStatus(uint8_t status) {
  return status >= 0x80 && status <= 0xEF;
}

struct RawEvent {
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// Shared state of one loading run.
struct Loader {
  PieceModel& piece;
  PieceSourceState& sources;
  SmfReader& reader;
  uint16_t ntrks = 0;
  uint32_t firstTrackOffset = 0;  // where the first track chunk starts
  uint64_t longestEndTick = 0;    // the latest end of a note-pass chunk
  std::vector<std::string> portTexts{};
  int distinctPortTexts = 0;
  std::vector<uint32_t> sysexTicks{};  // conductor-pass SysEx, converted after the pass
  // A format-1 file's first track may carry notes besides the tempo and meter:
  // they are kept, by tick, and become a track of their own after the others.
  struct TimedEvent {
    uint64_t tick;
    RawEvent event;
  };
  std::vector<TimedEvent> conductorEvents{};
};

// Reads one framed event's status (with running status resolved) into `status`
// and, for channel messages, the data bytes. Returns false for a meta event,
// SysEx or system message, whose status is left in `status` for the caller.

void ReadChannelData(SmfReader& reader, RawEvent& event, bool firstDataRead) {
  if (!firstDataRead) Check(SmfReadByte(reader, event.data1));
  if (ChannelDataBytes(event.status) == 2) {
    Check(SmfReadByte(reader, event.data2));
  } else {
    event.data2 = 0;
  }
}

void SkipSystemCommon(SmfReader& reader, uint8_t status) {
  if (status == 0xF1 || status == 0xF3) Check(SmfSkip(reader, 1));
  if (status == 0xF2) Check(SmfSkip(reader, 2));
}

// Returns the chunk's stated length. A track ends at its end-of-track event,
// never by this length; it serves only as a hint for the first allocation.
uint32_t ReadChunkHeader(SmfReader& reader) {
  uint32_t id;
  uint32_t length;
  Check(SmfReadU32(reader, id));
  if (id != kMTrk) throw LoadFailure{kLoadWrongFormat};
  Check(SmfReadU32(reader, length));
  return length;
}

// F0 starts a new stored message: F0, its data, F7. The message index must fit
// the event record; further messages of a hostile file are passed over.
void StoreSysex(Loader& loader, uint32_t length, uint32_t tick, uint32_t time, bool tickPending) {
  PieceModel& piece = loader.piece;
  if (piece.sysexMessages.size() >= kMaxSysexMessages) {
    Check(SmfSkip(loader.reader, length));
    return;
  }
  std::vector<uint8_t> message{0xF0};
  Check(SmfReadBlock(loader.reader, length, message));
  message.push_back(0xF7);
  piece.sysexEvents.push_back(
      SysexEvent{time, 0xF0, 0, static_cast<uint16_t>(piece.sysexMessages.size())});
  piece.sysexMessages.push_back(std::move(message));
  if (tickPending) loader.sysexTicks.push_back(tick);
}

// F7 continues the last stored message: its closing F7 gives way to the new data.
void ContinueSysex(Loader& loader, uint32_t length) {
  PieceModel& piece = loader.piece;
  if (piece.sysexMessages.empty()) throw LoadFailure{kLoadWrongFormat};
  std::vector<uint8_t>& message = piece.sysexMessages.back();
  message.pop_back();
  Check(SmfReadBlock(loader.reader, length, message));
  message.push_back(0xF7);
}

// ---- Conductor pass ----

void AppendTempo(PieceModel& piece, uint64_t tick, uint32_t tempo) {
  SmfTempoEntry entry{ClampTick(tick), 0, tempo};
  if (piece.smfTempoList.empty()) {
    entry.time = uint64_t{entry.tick} * kMicrosPerTickWithoutTempo;
  } else {
    const SmfTempoEntry& prev = piece.smfTempoList.back();
    entry.time = prev.time + TempoMicros(prev.tempo, entry.tick - prev.tick, piece.division);
  }
  piece.smfTempoList.push_back(entry);
}

void AppendTimeSignature(PieceModel& piece, uint64_t tick, const std::vector<uint8_t>& data) {
  TimeSigEntry entry{ClampTick(tick), ByteAt(data, 0), ByteAt(data, 1), ByteAt(data, 2),
                     ByteAt(data, 3)};
  if (piece.timeSigList.empty()) {
    piece.initialTimeSigNumerator = entry.numerator;
    piece.initialTimeSigDenominator =
        entry.denominatorPower < 32 ? 1u << entry.denominatorPower : 0;
  }
  piece.timeSigList.push_back(entry);
}

void TakeKeySignature(PieceModel& piece, const std::vector<uint8_t>& data) {
  if (piece.initialKey != -1) return;
  int sf = static_cast<int8_t>(ByteAt(data, 0));
  bool minor = ByteAt(data, 1) != 0;
  piece.initialKey = static_cast<int16_t>((minor ? 22 : 7) + sf);
  piece.keyUsesFlats = sf < 0 ? 1 : 0;
}

// Returns true at the end of the track.
bool ConductorMeta(Loader& loader, uint64_t tick) {
  PieceModel& piece = loader.piece;
  uint8_t type;
  uint32_t length;
  Check(SmfReadByte(loader.reader, type));
  Check(SmfReadVarLen(loader.reader, length));
  std::vector<uint8_t> data;
  Check(SmfReadBlock(loader.reader, length, data));
  switch (type) {
    case kMetaEndOfTrack:
      return true;
    case kMetaTempo:
      AppendTempo(piece, tick, BigEndianPrefix(data, 4));
      return false;
    case kMetaTimeSignature:
      AppendTimeSignature(piece, tick, data);
      return false;
    default:
      break;
  }
  if (IsSettingsEvent(type, data)) return false;
  if (type == kMetaKeySignature) TakeKeySignature(piece, data);
  piece.otherMetaEvents.push_back(MetaEventRec{ClampTick(tick), type, std::move(data)});
  return false;
}

void ConductorPass(Loader& loader) {
  SmfReader& reader = loader.reader;
  uint64_t tick = 0;
  uint8_t lastStatus = 0;
  for (;;) {
    uint32_t delta;
    Check(SmfReadVarLen(reader, delta));
    tick += delta;
    RawEvent event;
    Check(SmfReadByte(reader, event.status));
    bool firstDataRead = false;
    if (event.status < 0x80) {
      if (!IsChannelStatus(lastStatus)) throw LoadFailure{kLoadWrongFormat};
      event.data1 = event.status;
      event.status = lastStatus;
      firstDataRead = true;
    } else if (event.status != 0xFF) {
      lastStatus = event.status;
    }
    if (IsChannelStatus(event.status)) {
      ReadChannelData(reader, event, firstDataRead);
      if (loader.piece.format == 1) loader.conductorEvents.push_back({tick, event});
    } else if (event.status == 0xFF) {
      if (ConductorMeta(loader, tick)) return;
    } else if (event.status == 0xF0 || event.status == 0xF7) {
      uint32_t length;
      Check(SmfReadVarLen(reader, length));
      if (event.status == 0xF0) {
        StoreSysex(loader, length, ClampTick(tick), 0, true);
      } else {
        ContinueSysex(loader, length);
      }
    } else {
      SkipSystemCommon(reader, event.status);
    }
  }
}

void FinishConductorPass(Loader& loader) {
  PieceModel& piece = loader.piece;
  piece.smfTempoList.push_back(SmfTempoEntry{kSentinelTick, 0xFFFFFFFF, 0});
  piece.timeSigList.push_back(TimeSigEntry{kSentinelTick, 0, 0, 0, 0});
  TempoWalk walk(piece.smfTempoList, piece.division);
  for (size_t i = 0; i < loader.sysexTicks.size(); ++i) {
    walk.Advance(loader.sysexTicks[i] - std::min<uint64_t>(walk.anchor, loader.sysexTicks[i]));
    piece.sysexEvents[i].time = ScoreTime(walk.accumulator);
  }
  piece.firstEventTime = kNoEventTime;
  piece.lastEventTime = 0;
}

// ---- Note pass ----

ProgramCombo ComboFromControllers(const TrackRec& track, uint8_t program) {
  uint8_t bank0 = track.controllerValues[0];
  uint8_t bank32 = track.controllerValues[32];
  if (bank0 == kNone && bank32 == kNone) return {kComboProgram, {program, 0, 0}};
  if (bank0 == kNone) return {kComboBank32, {bank32, program, 0}};
  if (bank32 == kNone) return {kComboBank0, {bank0, program, 0}};
  return {kComboBank0And32, {bank0, bank32, program}};
}

// The index of the combination last stored (the one the previous program change made).
int LastStoredCombo(const TrackRec& track) {
  return track.overflowCombos.empty()
             ? track.comboCount - 1
             : kMaxProgramCombos + static_cast<int>(track.overflowCombos.size()) - 1;
}

void RemoveLastStoredCombo(TrackRec& track) {
  if (!track.overflowCombos.empty()) {
    track.overflowCombos.pop_back();
  } else {
    track.programCombos[static_cast<size_t>(track.comboCount - 1)].file = ProgramCombo{};
    --track.comboCount;
  }
}

// A program change 100-127 followed at once by one below 100 is one selection
// (a two-step bank switch on some instruments): the pair becomes one entry.
void MergeProgramPair(TrackRec& track, ProgramCombo& combo) {
  if (combo.kind != kComboProgram || combo.values[0] >= 100 || track.events.empty()) return;
  int last = LastStoredCombo(track);
  const PieceEvent& previous = track.events.back();
  if (last < 0 || previous.status != 0xC0 || previous.data1 != last) return;
  ProgramCombo stored = FileComboAt(track, static_cast<uint8_t>(last));
  if (stored.kind != kComboProgram || stored.values[0] < 100) return;
  combo = ProgramCombo{kComboProgramPair, {stored.values[0], combo.values[0], 0}};
  RemoveLastStoredCombo(track);
}

// Returns the combination's index, or -1 when the track holds as many as an index can name.
int StoreCombo(TrackRec& track, const ProgramCombo& combo) {
  for (int i = 0; i < track.comboCount; ++i) {
    if (track.programCombos[static_cast<size_t>(i)].file == combo) return i;
  }
  for (size_t i = 0; i < track.overflowCombos.size(); ++i) {
    if (track.overflowCombos[i] == combo) return kMaxProgramCombos + static_cast<int>(i);
  }
  if (track.comboCount < kMaxProgramCombos) {
    track.programCombos[static_cast<size_t>(track.comboCount)].file = combo;
    return track.comboCount++;
  }
  if (track.overflowCombos.size() < static_cast<size_t>(kMaxOverflowCombos)) {
    track.overflowCombos.push_back(combo);
    return kMaxProgramCombos + static_cast<int>(track.overflowCombos.size()) - 1;
  }
  return -1;
}

void AppendChannelEvent(PieceModel& piece, TrackRec& track, const RawEvent& raw, uint32_t time) {
  uint8_t kind = raw.status & 0xF0;
  PieceEvent event{time, kind, raw.data1, raw.data2, 0};
  if (kind == 0xB0 && raw.data1 < 128) track.controllerValues[raw.data1] = raw.data2;
  if (kind == 0xC0) {
    ProgramCombo combo = ComboFromControllers(track, raw.data1);
    MergeProgramPair(track, combo);
    int index = StoreCombo(track, combo);
    if (index < 0) return;
    event.data1 = static_cast<uint8_t>(index);
  }
  track.events.push_back(event);
  if (static_cast<int32_t>(time) < piece.firstEventTime) {
    piece.firstEventTime = static_cast<int32_t>(time);
  } else if (static_cast<int32_t>(time) > piece.lastEventTime) {
    piece.lastEventTime = static_cast<int32_t>(time);
  }
}

void TakePortName(Loader& loader, TrackRec& track, const std::vector<uint8_t>& data) {
  std::string text(data.begin(),
                   data.begin() + static_cast<long>(std::min<size_t>(data.size(), 255)));
  auto known = std::find(loader.portTexts.begin(), loader.portTexts.end(), text);
  if (known != loader.portTexts.end()) {
    track.filePort = static_cast<int16_t>(known - loader.portTexts.begin());
    return;
  }
  track.filePort = static_cast<int16_t>(loader.distinctPortTexts % kMaxPortTexts);
  if (loader.portTexts.size() < static_cast<size_t>(kMaxPortTexts))
    loader.portTexts.push_back(text);
  ++loader.distinctPortTexts;
}

// Returns true at the end of the chunk.
bool NoteMeta(Loader& loader, TrackRec* chunkTrack) {
  PieceModel& piece = loader.piece;
  uint8_t type;
  uint32_t length;
  Check(SmfReadByte(loader.reader, type));
  Check(SmfReadVarLen(loader.reader, length));
  if (type == kMetaEndOfTrack) {
    Check(SmfSkip(loader.reader, length));
    return true;
  }
  if (type != kMetaPortName && !(type == kMetaTrackName && piece.format == 1)) {
    Check(SmfSkip(loader.reader, length));
    return false;
  }
  std::vector<uint8_t> data;
  Check(SmfReadBlock(loader.reader, length, data));
  TrackRec& track = chunkTrack ? *chunkTrack : piece.tracks[0];
  if (type == kMetaTrackName) {
    track.name.assign(data.begin(), data.end());
  } else {
    TakePortName(loader, track, data);
  }
  return false;
}

void NoteChunk(Loader& loader, TrackRec* chunkTrack) {
  PieceModel& piece = loader.piece;
  SmfReader& reader = loader.reader;
  TempoWalk walk(piece.smfTempoList, piece.division);
  uint8_t runningStatus = 0;
  bool channelSet = false;
  for (;;) {
    uint32_t delta;
    Check(SmfReadVarLen(reader, delta));
    walk.Advance(delta);
    RawEvent event;
    Check(SmfReadByte(reader, event.status));
    bool firstDataRead = false;
    if (event.status < 0x80) {
      if (runningStatus == 0) throw LoadFailure{kLoadWrongFormat};
      event.data1 = event.status;
      event.status = runningStatus;
      firstDataRead = true;
    }
    if (IsChannelStatus(event.status)) {
      runningStatus = event.status;
      ReadChannelData(reader, event, firstDataRead);
      TrackRec& track = chunkTrack ? *chunkTrack : piece.tracks[event.status & 0x0F];
      if (chunkTrack && !channelSet) {
        chunkTrack->fileChannel = event.status & 0x0F;
        channelSet = true;
      }
      AppendChannelEvent(piece, track, event, ScoreTime(walk.accumulator));
    } else if (event.status == 0xFF) {
      if (NoteMeta(loader, chunkTrack)) break;
    } else if (event.status == 0xF0 || event.status == 0xF7) {
      uint32_t length;
      Check(SmfReadVarLen(reader, length));
      if (piece.format == 0) {
        Check(SmfSkip(reader, length));
      } else if (event.status == 0xF0) {
        StoreSysex(loader, length, 0, ScoreTime(walk.accumulator), false);
      } else {
        ContinueSysex(loader, length);
      }
    } else {
      SkipSystemCommon(reader, event.status);
    }
  }
  loader.longestEndTick = std::max(loader.longestEndTick, walk.anchor);
}

void NotePass(Loader& loader) {
  PieceModel& piece = loader.piece;
  if (piece.format == 1) {
    for (int chunk = 0; chunk < piece.trackCount; ++chunk) {
      uint32_t stated = ReadChunkHeader(loader.reader);
      TrackRec& track = piece.tracks.emplace_back();
      // An event takes three bytes or more; the untrusted length is bounded and
      // the array trimmed as soon as the chunk ends.
      track.events.reserve(std::min<uint32_t>(stated / 3, kMaxEventHint));
      NoteChunk(loader, &track);
      track.events.shrink_to_fit();
    }
  } else {
    ReadChunkHeader(loader.reader);
    NoteChunk(loader, nullptr);
  }
}

// The notes and controls of a format-1 file's first track, as the last of the
// tracks: appended, not put first, so that the settings a piece stored for its
// tracks keep their numbers.
void ConductorTrack(Loader& loader) {
  if (loader.conductorEvents.empty()) return;
  PieceModel& piece = loader.piece;
  if (piece.trackCount == INT16_MAX) throw LoadFailure{kLoadTooLarge};
  TrackRec& track = piece.tracks.emplace_back();
  ++piece.trackCount;
  track.fileChannel = loader.conductorEvents.front().event.status & 0x0F;
  track.events.reserve(loader.conductorEvents.size());
  TempoWalk walk(piece.smfTempoList, piece.division);
  for (const Loader::TimedEvent& e : loader.conductorEvents) {
    walk.Advance(e.tick - std::min<uint64_t>(walk.anchor, e.tick));
    AppendChannelEvent(piece, track, e.event, ScoreTime(walk.accumulator));
  }
  loader.longestEndTick = std::max(loader.longestEndTick, loader.conductorEvents.back().tick);
  loader.conductorEvents = {};
}

// Drops the tracks without events and names the rest; the performance track goes last.
void FinishTracks(PieceModel& piece) {
  for (int t = piece.trackCount - 1; t >= 0; --t) {
    TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    if (piece.format != 1) track.fileChannel = static_cast<int16_t>(t);
    if (track.events.empty()) {
      piece.tracks.erase(piece.tracks.begin() + t);
      --piece.trackCount;
    } else {
      track.events.shrink_to_fit();
      track.playCursor = 0;
    }
  }
  if (piece.trackCount == 0) throw LoadFailure{kLoadNoChannelMessages};
  for (int t = 0; t < piece.trackCount; ++t) {
    TrackRec& track = piece.tracks[static_cast<size_t>(t)];
    if (track.name.empty()) track.name = "Track " + std::to_string(t + 1);
  }
  TrackRec performance;
  performance.name = "(Performance Track)";
  performance.substitutePrograms = 1;
  piece.tracks.push_back(std::move(performance));
  piece.tracks.shrink_to_fit();
}

// One entry per beat from the start to the first beat at or after the end of
// the longest track. The end is compared in ticks: rounded microseconds summed
// over many small deltas run a little ahead of the same span walked beat by
// beat, which would add a beat after a piece that ends on a bar line. A hostile
// file cannot make the map endless: a beat is at least one tick and the map is
// limited in length.
void BuildBeatMap(Loader& loader) {
  PieceModel& piece = loader.piece;
  piece.beatMap.push_back(BeatMapEntry{0, 1, 1, 0});
  TempoWalk walk(piece.smfTempoList, piece.division);
  size_t sigCursor = 0;
  unsigned numerator = 4;
  unsigned power = 2;
  int measure = 1;
  unsigned beat = 1;
  if (loader.longestEndTick > 0) {
    while (walk.anchor < loader.longestEndTick) {
      while (piece.timeSigList[sigCursor].tick != kSentinelTick &&
             piece.timeSigList[sigCursor].tick <= walk.anchor) {
        numerator = piece.timeSigList[sigCursor].numerator;
        power = piece.timeSigList[sigCursor].denominatorPower;
        ++sigCursor;
      }
      uint64_t beatTicks =
          power < 31 ? (uint64_t{4} * static_cast<uint64_t>(piece.division)) >> power : 0;
      walk.Advance(std::max<uint64_t>(beatTicks, 1));
      if (++beat > numerator) {
        beat = 1;
        ++measure;
      }
      if (measure > INT16_MAX || piece.beatMap.size() >= kMaxBeats)
        throw LoadFailure{kLoadTooLarge};
      piece.beatMap.push_back(BeatMapEntry{
          ScoreTime(walk.accumulator), static_cast<int16_t>(measure), static_cast<int16_t>(beat),
          static_cast<uint32_t>(walk.anchor * 4 / static_cast<uint64_t>(piece.division))});
    }
  }
  piece.endPosition = static_cast<int32_t>(ScoreTime(walk.accumulator) + 1);
  piece.beatMap.shrink_to_fit();
  piece.beatCursor = 0;
}

void ReadHeader(Loader& loader) {
  PieceModel& piece = loader.piece;
  SmfReader& reader = loader.reader;
  uint32_t id;
  uint32_t length;
  uint16_t format;
  uint16_t division;
  Check(SmfReadU32(reader, id));
  if (id != kMThd) throw LoadFailure{kLoadWrongFormat};
  Check(SmfReadU32(reader, length));
  Check(SmfReadU16(reader, format));
  Check(SmfReadU16(reader, loader.ntrks));
  Check(SmfReadU16(reader, division));
  piece.format = static_cast<int16_t>(format);
  piece.division = static_cast<int16_t>(division);
  if (piece.division <= 0) throw LoadFailure{kLoadWrongFormat};
  if (format == 1 && loader.ntrks > INT16_MAX) throw LoadFailure{kLoadTooLarge};
  piece.trackCount = format == 1 ? static_cast<int16_t>(std::max(0, loader.ntrks - 1)) : 16;
  if (format != 1) piece.tracks.resize(16);
  if (length > 6) Check(SmfSkip(reader, length - 6));
  // Format 0 reads its one chunk twice; the second pass starts here.
  uint64_t firstTrack = uint64_t{8} + std::max<uint32_t>(length, 6);
  if (firstTrack > INT32_MAX) throw LoadFailure{kLoadWrongFormat};
  loader.firstTrackOffset = static_cast<uint32_t>(firstTrack);
}

void ReadPiece(Loader& loader, uint32_t handle) {
  PieceModel& piece = loader.piece;
  loader.reader.source = &loader.sources;
  loader.reader.handle = handle;
  SmfReaderReset(loader.reader);
  ReadHeader(loader);
  ReadChunkHeader(loader.reader);
  ConductorPass(loader);
  FinishConductorPass(loader);
  if (piece.format == 0) {
    if (SeekPieceSource(loader.sources, handle, static_cast<int32_t>(loader.firstTrackOffset), 0) ==
        kInvalidPieceSource) {
      throw LoadFailure{kLoadSourceFailed};
    }
    SmfReaderReset(loader.reader);
  }
  NotePass(loader);
  ConductorTrack(loader);
  FinishTracks(piece);
  BuildBeatMap(loader);
}

void ClearPieceLists(PieceModel& piece) {
  piece.smfTempoList.clear();
  piece.timeSigList.clear();
  piece.otherMetaEvents.clear();
  piece.sysexEvents.clear();
  piece.sysexMessages.clear();
  piece.beatMap.clear();
}

void Call(const std::function<void()>& hook) {
  if (hook) hook();
}

}  // namespace

ProgramCombo FileComboAt(const TrackRec& track, uint8_t index) {
  if (index < kMaxProgramCombos) return track.programCombos[index].file;
  size_t overflow = index - static_cast<size_t>(kMaxProgramCombos);
  return overflow < track.overflowCombos.size() ? track.overflowCombos[overflow] : ProgramCombo{};
}

void ReleasePiece(PieceModel& piece) {
  ClearPieceLists(piece);
  piece.tracks.clear();
  piece.tracks.shrink_to_fit();
  piece.pieceDisplayName.reset();
  piece.trackCount = 0;
  piece.pieceLoaded = false;
}

uint32_t TickToScoreTime(const PieceModel& piece, uint32_t tick) {
  if (piece.division <= 0 || piece.smfTempoList.empty()) return 0;
  TempoWalk walk(piece.smfTempoList, piece.division);
  walk.Advance(tick);
  return ScoreTime(walk.accumulator);
}

int OpenPiece(PieceModel& piece, PieceSourceState& sources, const std::string& name,
              const PieceHooks& hooks) {
  if (piece.pieceLoaded) {
    Call(hooks.sendClosingSysex);
    Call(hooks.hideTitleAndTracks);
  }
  piece.pieceLoaded = false;
  piece.piecePath = name;
  // Only the file's own name loses its extension: a dot in a folder's name stays.
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  const bool extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  piece.pieceFileName = extension ? name.substr(0, dot) : name;
  ReleasePiece(piece);
  piece.initialKey = -1;
  piece.keyUsesFlats = 0;
  piece.initialTimeSigNumerator = 4;
  piece.initialTimeSigDenominator = 4;
  piece.sysexCursor = 0;

  // A file on disk is read whole and loaded from those bytes, which stay the
  // piece's image for every later read and save.
  sources.loadedPath.clear();
  sources.loadedImage.clear();
  if (!sources.memoryImages.count(name) && FindBuiltinPiece(name) < 0) {
    bool tooLarge = false;
    if (!ReadWholeFile(name, kMaxPieceFileBytes, sources.loadedImage, tooLarge)) {
      sources.loadedImage = {};
      return tooLarge ? kLoadTooLarge : kLoadNotOpened;
    }
    sources.loadedPath = name;
  }
  uint32_t handle = OpenPieceSource(sources, name, kGenericRead, kOpenExisting);
  int result = kLoadOk;
  if (handle == kInvalidPieceSource) {
    result = kLoadNotOpened;
  } else {
    try {
      auto reader = std::make_unique<SmfReader>();
      Loader loader{piece, sources, *reader};
      ReadPiece(loader, handle);
    } catch (const LoadFailure& failure) {
      result = failure.result;
    } catch (const std::bad_alloc&) {
      result = kLoadNoMemory;
    } catch (const std::length_error&) {
      result = kLoadNoMemory;
    }
    bool closed = ClosePieceSource(sources, handle);
    if (result == kLoadOk && !closed) result = kLoadSourceFailed;
  }
  if (result != kLoadOk) {
    piece.tracks.clear();
    piece.trackCount = 0;
    sources.loadedPath.clear();
    sources.loadedImage = {};
    return result;
  }

  piece.pieceLoaded = true;
  std::stable_sort(piece.sysexEvents.begin(), piece.sysexEvents.end(),
                   [](const SysexEvent& a, const SysexEvent& b) { return a.time < b.time; });
  piece.sysexEvents.shrink_to_fit();
  piece.sysexMessages.shrink_to_fit();
  Call(hooks.layoutViews);
  if (!hooks.applySettingsSlot0 || !hooks.applySettingsSlot0()) Call(hooks.defaultPieceSettings);
  Call(hooks.clearJumpHistory);
  Call(hooks.sendOpeningSysex);
  if (!piece.openedOnce) Call(hooks.firstOpenRepaint);
  piece.openedOnce = true;
  Call(hooks.resetPlaybackState);
  return kLoadOk;
}

}  // namespace tuttiro
