// The piece model built by OpenPiece: tracks, times, combinations, beat map,
// SysEx and the results of damaged files.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "piece/piece_info.h"
#include "settings_fixture.h"
#include "string_table.h"

namespace tuttiro {
namespace {

using test::Concat;
using test::LoadBytes;
using test::OneTrackPiece;
using test::SmfBuilder;

TEST(OpenPiece, FormatZeroSplitsByChannel) {
  SmfBuilder smf(0, 96);
  smf.Track().Tempo(0, 500000).Event(0, {0x90, 60, 100}).Event(0, {0x92, 64, 100});
  smf.Event(0, {0x99, 36, 100}).Event(96, {0x80, 60, 0}).Event(0, {0x82, 64, 0});
  smf.Event(0, {0x89, 36, 0}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  ASSERT_EQ(piece.trackCount, 3);
  ASSERT_EQ(piece.tracks.size(), 4u);
  const int16_t channels[] = {0, 2, 9};
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(piece.tracks[t].name, "Track " + std::to_string(t + 1));
    EXPECT_EQ(piece.tracks[t].fileChannel, channels[t]);
    EXPECT_EQ(piece.tracks[t].eventCount(), 2);
    EXPECT_EQ(piece.tracks[t].events[1].time, 500u);
  }
  EXPECT_EQ(piece.performanceTrack().name, "(Performance Track)");
  EXPECT_EQ(piece.performanceTrack().eventCount(), 0);
}

// A first track that carries notes besides the tempo keeps them, as the last
// track (real files do this; the part must not be lost).
TEST(OpenPiece, FormatOneTracksByChunk) {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).Event(0, {0x94, 1, 1}).Event(960, {0x84, 1, 0}).End();
  smf.Track().Text(0, 0x03, "Solo Flute").Event(0, {0x91, 60, 90}).Event(480, {0x92, 60, 0}).End();
  smf.Track().Text(0, 0x05, "la la").End();  // lyrics only
  smf.Track().Event(0, {0x93, 40, 90}).Event(480, {0x83, 40, 0}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  ASSERT_EQ(piece.trackCount, 3);
  EXPECT_EQ(piece.tracks[0].name, "Solo Flute");
  EXPECT_EQ(piece.tracks[0].fileChannel, 1);   // the first channel message's channel
  EXPECT_EQ(piece.tracks[0].eventCount(), 2);  // a later channel stays on the track
  EXPECT_EQ(piece.tracks[1].name, "Track 2");  // numbered after the lyrics track left
  EXPECT_EQ(piece.tracks[1].fileChannel, 3);
  EXPECT_EQ(piece.tracks[0].events[0].status, 0x90);
  EXPECT_EQ(piece.tracks[0].events[1].status, 0x90);
  const TrackRec& first = piece.tracks[2];
  EXPECT_EQ(first.name, "Track 3");
  EXPECT_EQ(first.fileChannel, 4);
  ASSERT_EQ(first.eventCount(), 2);
  EXPECT_EQ(first.events[1].time, 1000u);
  EXPECT_EQ(piece.endPosition, 1001);  // the first track's last note ends the piece
  EXPECT_EQ(piece.performanceTrack().name, "(Performance Track)");
}

TEST(OpenPiece, TicksToScoreUnits) {
  // Without a tempo event a tick lasts 1042 microseconds whatever the division.
  PieceModel noTempo;
  SmfBuilder smf(1, 480);
  smf.Track().End().Track().Event(480, {0x90, 60, 1}).End();
  ASSERT_EQ(LoadBytes(noTempo, smf.Bytes()), kLoadOk);
  EXPECT_EQ(noTempo.tracks[0].events[0].time, 500u);  // (480 * 1042 + 500) / 1000
  EXPECT_EQ(noTempo.firstEventTime, 500);
  EXPECT_EQ(noTempo.lastEventTime, 0);  // the first event only lowers firstEventTime

  // Division 96 at 500000: 96 ticks are exactly 500000 us, one tick rounds to 5208 us.
  PieceModel piece;
  SmfBuilder smf2 = OneTrackPiece(96);
  smf2.Event(1, {0x90, 60, 1}).Event(95, {0x90, 62, 1}).Event(96 * 4, {0x90, 64, 1}).End();
  ASSERT_EQ(LoadBytes(piece, smf2.Bytes()), kLoadOk);
  EXPECT_EQ(piece.tracks[0].events[0].time, 5u);    // 500 + 5208 us
  EXPECT_EQ(piece.tracks[0].events[1].time, 500u);  // 500 + 5208 + 494792 us
  EXPECT_EQ(piece.tracks[0].events[2].time, 2500u);

  // A tempo change inside a delta splits it at the change.
  PieceModel changes;
  SmfBuilder smf3(1, 100);
  smf3.Track().Tempo(0, 1000000).Tempo(100, 500000).End();
  smf3.Track().Event(200, {0x90, 60, 1}).End();
  ASSERT_EQ(LoadBytes(changes, smf3.Bytes()), kLoadOk);
  ASSERT_EQ(changes.smfTempoList.size(), 3u);
  EXPECT_EQ(changes.smfTempoList[1].time, 1000000u);
  EXPECT_EQ(changes.smfTempoList[2].tick, kSentinelTick);
  EXPECT_EQ(changes.tracks[0].events[0].time, 1500u);
  EXPECT_EQ(TickToScoreTime(changes, 200), 1500u);
}

TEST(OpenPiece, ProgramCombinations) {
  SmfBuilder smf = OneTrackPiece();
  smf.Event(0, {0xC0, 120}).Event(0, {0xC0, 5});                          // merged pair
  smf.Event(0, {0xB0, 0, 2}).Event(0, {0xC0, 5});                         // bank via controller 0
  smf.Event(0, {0xB0, 32, 7}).Event(0, {0xC0, 5});                        // both banks
  smf.Event(0, {0xC0, 120}).Event(0, {0x90, 60, 1}).Event(0, {0xC0, 5});  // not adjacent
  smf.End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  const TrackRec& t = piece.tracks[0];
  const auto& e = t.events;
  ASSERT_EQ(e.size(), 9u);
  EXPECT_EQ(e[0].data1, e[1].data1);
  EXPECT_EQ(FileComboAt(t, e[1].data1), (ProgramCombo{kComboProgramPair, {120, 5, 0}}));
  EXPECT_EQ(FileComboAt(t, e[3].data1), (ProgramCombo{kComboBank0, {2, 5, 0}}));
  EXPECT_EQ(FileComboAt(t, e[5].data1), (ProgramCombo{kComboBank0And32, {2, 7, 5}}));
  EXPECT_EQ(FileComboAt(t, e[6].data1), (ProgramCombo{kComboBank0And32, {2, 7, 120}}));
  EXPECT_EQ(e[0].data2, 0);
}

TEST(OpenPiece, ThirtyThirdCombinationStillSounds) {
  SmfBuilder smf = OneTrackPiece();
  for (uint8_t p = 0; p < 40; ++p) smf.Event(10, {0xC0, p}).Event(0, {0x90, 60, 1});
  smf.End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  const TrackRec& t = piece.tracks[0];
  EXPECT_EQ(t.comboCount, kMaxProgramCombos);
  EXPECT_EQ(t.overflowCombos.size(), 8u);
  for (uint8_t p = 0; p < 40; ++p) {
    const PieceEvent& change = t.events[2u * p];
    ASSERT_EQ(change.status, 0xC0);
    EXPECT_EQ(change.data1, p);
    EXPECT_EQ(FileComboAt(t, change.data1), (ProgramCombo{kComboProgram, {p, 0, 0}}));
  }
}

TEST(OpenPiece, BeatMapAndLength) {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 3, 2).End();
  smf.Track().Event(0, {0x90, 60, 90}).Event(480 * 24, {0x80, 60, 0}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  EXPECT_EQ(PieceLengthBars(piece), 8);
  ASSERT_EQ(piece.beatMap.size(), 25u);
  const BeatMapEntry& b = piece.beatMap[3];
  EXPECT_EQ(std::tie(b.measure, b.beat, b.time, b.sixteenths), std::make_tuple(2, 1, 1500u, 12u));
  EXPECT_EQ(piece.beatMap.back().measure, 9);
  EXPECT_EQ(piece.endPosition, 12001);
  PieceInfo info = GetPieceInfo(piece);
  EXPECT_EQ(info.timeSigNumerator, 3u);
  EXPECT_EQ(info.timeSigDenominator, 4u);
  EXPECT_EQ(info.keyName, "none");

  // Many short notes at a tempo whose ticks round: the piece still ends on its bar line.
  SmfBuilder rounding(1, 480);
  rounding.Track().Tempo(0, 476190).TimeSig(0, 2, 2).End();
  rounding.Track();
  for (int n = 0; n < 64; ++n) rounding.Event(0, {0x90, 60, 90}).Event(60, {0x80, 60, 0});
  rounding.End();
  ASSERT_EQ(LoadBytes(piece, rounding.Bytes()), kLoadOk);
  EXPECT_EQ(PieceLengthBars(piece), 4);

  // 6/8 counts eighth-note beats.
  SmfBuilder eighths(1, 480);
  eighths.Track().Tempo(0, 500000).TimeSig(0, 6, 3).End();
  eighths.Track().Event(0, {0x90, 60, 90}).Event(240 * 12, {0x80, 60, 0}).End();
  ASSERT_EQ(LoadBytes(piece, eighths.Bytes()), kLoadOk);
  EXPECT_EQ(PieceLengthBars(piece), 2);
  EXPECT_EQ(piece.beatMap[1].time, 250u);
}

TEST(OpenPiece, KeyAndTimeSignatureOfEachOpen) {
  SmfBuilder smf(1, 480);
  smf.Track().TimeSig(0, 3, 2).Meta(0, 0x59, {0xFD, 0x00}).Meta(0, 0x59, {0x02, 0x01}).End();
  smf.Track().Event(0, {0x90, 60, 90}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  EXPECT_EQ(piece.initialKey, 4);  // E-flat major: only the first key signature counts
  EXPECT_EQ(piece.keyUsesFlats, 1);
  EXPECT_EQ(GetPieceInfo(piece).keyName, "E-flat major (three flats)");
  EXPECT_EQ(piece.otherMetaEvents.size(), 2u);

  // The next piece has no key or time signature: nothing of the last one remains.
  SmfBuilder noMeter(1, 480);
  noMeter.Track().End().Track().Event(0, {0x90, 60, 90}).End();
  ASSERT_EQ(LoadBytes(piece, noMeter.Bytes()), kLoadOk);
  EXPECT_EQ(std::tie(piece.initialKey, piece.keyUsesFlats, piece.initialTimeSigNumerator,
                     piece.initialTimeSigDenominator),
            std::make_tuple(-1, 0, 4u, 4u));

  SmfBuilder minor(1, 480);
  minor.Track().Meta(0, 0x59, {0x07, 0x01}).End().Track().Event(0, {0x90, 60, 90}).End();
  ASSERT_EQ(LoadBytes(piece, minor.Bytes()), kLoadOk);
  EXPECT_EQ(GetPieceInfo(piece).keyName, "A-sharp minor (seven sharps)");
  SmfBuilder wild(1, 480);
  wild.Track().Meta(0, 0x59, {0x40}).End().Track().Event(0, {0x90, 60, 90}).End();
  ASSERT_EQ(LoadBytes(piece, wild.Bytes()), kLoadOk);
  EXPECT_EQ(GetPieceInfo(piece).keyName, "");  // a key outside -7..7 names nothing
}

TEST(OpenPiece, SettingsEventIsPassedOver) {
  SmfBuilder smf(1, 480);
  smf.Track().Meta(0, 0x7F, {0x00, 0x01, 0x21, 0x04, 0x00, 9, 9, 9}).Meta(0, 0x7F, {0x00, 0x01});
  smf.End().Track().Event(0, {0x90, 60, 90}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  ASSERT_EQ(piece.otherMetaEvents.size(), 1u);
  EXPECT_EQ(piece.otherMetaEvents[0].data.size(), 2u);
}

TEST(OpenPiece, SysexMessagesAndTheirOrder) {
  SmfBuilder smf(1, 96);
  smf.Track().Tempo(0, 500000);
  smf.Event(96, {0xF0, 3, 0x41, 0x10, 0xF7}).Event(0, {0xF0, 2, 0x42, 0xF7});
  smf.Event(0, {0xF7, 2, 0x11, 0xF7}).End();  // continues the second message
  smf.Track().Event(0, {0xF0, 2, 0x43, 0xF7}).Event(96, {0xF0, 2, 0x44, 0xF7});
  smf.Event(0, {0x90, 60, 90}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  ASSERT_EQ(piece.sysexEvents.size(), 4u);
  std::vector<uint8_t> order;
  for (const SysexEvent& e : piece.sysexEvents)
    order.push_back(piece.sysexMessages[e.messageIndex][1]);
  EXPECT_EQ(order, (std::vector<uint8_t>{0x43, 0x41, 0x42, 0x44}));  // stable by time
  EXPECT_EQ(piece.sysexEvents[1].time, 500u);
  EXPECT_EQ(piece.sysexEvents[3].time, 500u);
  EXPECT_EQ(piece.sysexMessages[1], (std::vector<uint8_t>{0xF0, 0x42, 0xF7, 0x11, 0xF7, 0xF7}));
}

TEST(OpenPiece, LongMetaAndSysexDataAreReadWhole) {
  std::vector<uint8_t> big(40000, 0x11);
  SmfBuilder smf(1, 480);
  smf.Track().Meta(0, 0x01, big).VarLen(0).Raw({0xF0}).VarLen(40001).Raw(big).Raw({0xF7}).End();
  smf.Track().Event(0, {0x90, 60, 90}).End();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  ASSERT_EQ(piece.otherMetaEvents.size(), 1u);
  EXPECT_EQ(piece.otherMetaEvents[0].data.size(), 40000u);
  ASSERT_EQ(piece.sysexMessages.size(), 1u);
  EXPECT_EQ(piece.sysexMessages[0].size(), 40003u);
}

TEST(OpenPiece, RunningStatusSurvivesSysex) {
  PieceModel piece;
  SmfBuilder repeats = OneTrackPiece();
  repeats.Event(0, {0x90, 60, 90}).Event(10, {62, 90}).Event(0, {0xF0, 1, 0xF7});
  repeats.Event(0, {64, 90}).End();  // after SysEx the last channel status still runs
  ASSERT_EQ(LoadBytes(piece, repeats.Bytes()), kLoadOk);
  ASSERT_EQ(piece.tracks[0].eventCount(), 3);
  EXPECT_EQ(piece.tracks[0].events[2].data1, 64);
}

TEST(OpenPiece, PortNamesBecomeFilePorts) {
  SmfBuilder smf(1, 480);
  smf.Track().End();
  for (const char* port : {"Synth A", "Synth B", "Synth A"}) {
    smf.Track().Text(0, 0x21, port).Event(0, {0x90, 60, 90}).End();
  }
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, smf.Bytes()), kLoadOk);
  EXPECT_EQ(piece.tracks[0].filePort, 0);
  EXPECT_EQ(piece.tracks[1].filePort, 1);
  EXPECT_EQ(piece.tracks[2].filePort, 0);
}

// A format-1 file of track chunks holding the given raw events (delta times
// included), with `ntrks` in the header when it is not 0.
std::vector<uint8_t> Chunks(std::initializer_list<std::vector<uint8_t>> tracks,
                            int16_t division = 480, uint16_t ntrks = 0) {
  SmfBuilder smf(1, division);
  for (const std::vector<uint8_t>& t : tracks) smf.Track().Raw(t);
  return smf.HeaderTracks(ntrks).Bytes();
}

// Damaged and hostile files give their result (a failed load leaves nothing
// loaded); hostile values are bounded rather than endless.
TEST(OpenPiece, DefectsGiveTheirResult) {
  const std::vector<uint8_t> end{0x00, 0xFF, 0x2F, 0x00}, note{0x00, 0x90, 60, 90},
      noteTrack = Concat({note, end}), sysex{0x00, 0xF0, 1, 0xF7}, farOff{0xFF, 0xFF, 0xFF, 0x7F};
  const std::set<int> failed{kLoadDataEnded, kLoadWrongFormat};
  const std::set<int> bounded{kLoadOk, kLoadTooLarge};
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::set<int> results;
  };
  std::vector<uint8_t> longHeader = Chunks({end, noteTrack});
  longHeader[7] = 10;
  longHeader.insert(longHeader.begin() + 14, 4, 0);
  const Case cases[] = {
      {"header longer than six bytes", longHeader, {kLoadOk}},
      {"division 0", Chunks({end, noteTrack}, 0), {kLoadWrongFormat}},
      {"SMPTE division", Chunks({end, noteTrack}, -25 * 256 + 40), {kLoadWrongFormat}},
      {"not MIDI", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 1, 0, 1, 1, 0xE0}, {kLoadWrongFormat}},
      {"a single track with its notes", Chunks({noteTrack}), {kLoadOk}},
      {"only meta events",
       Chunks({end, {0x00, 0xFF, 0x03, 1, 'e', 0x00, 0xFF, 0x2F, 0x00}}),
       {kLoadNoChannelMessages}},
      {"a chunk missing", Chunks({end, noteTrack}, 480, 3), {kLoadDataEnded}},
      {"no end of track: the next chunk is read as events", Chunks({end, note, noteTrack}), failed},
      {"running status with nothing to run",
       Chunks({end, {0x00, 60, 90, 0x00, 0xFF, 0x2F, 0}}),
       {kLoadWrongFormat}},
      {"running status after SysEx on the conductor track",
       Chunks({Concat({note, sysex, {0x00, 60, 90}, end}), noteTrack}),
       {kLoadWrongFormat}},
      {"a SysEx continuation first",
       Chunks({end, {0x00, 0xF7, 1, 0xF7, 0x00, 0xFF, 0x2F, 0}}),
       {kLoadWrongFormat}},
      {"tempo zero and a far-away end",
       Chunks({{0x00, 0xFF, 0x51, 3, 0, 0, 0, 0x00, 0xFF, 0x2F, 0},
               Concat({note, farOff, {0x80, 60, 0}, end})},
              1),
       bounded},
      {"a far-away end at a tempo of one microsecond",
       Chunks({{0x00, 0xFF, 0x51, 3, 0, 0, 1, 0x00, 0xFF, 0x2F, 0},
               Concat({note, farOff, {0x80, 60, 0}, end})},
              1),
       bounded},
      {"a meta length far beyond the data (nothing allocated for it)",
       Chunks({{0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}}),
       {kLoadDataEnded}},
      {"65535 tracks: sound, but too many", Chunks({end, noteTrack}, 480, 0xFFFF), {kLoadTooLarge}},
      {"30000 tracks", Chunks({end, noteTrack}, 480, 30000), {kLoadDataEnded}},
  };
  PieceModel piece;
  for (const Case& c : cases) {
    int r = LoadBytes(piece, c.bytes);
    EXPECT_TRUE(c.results.count(r)) << c.what << ": " << r;
    if (r == kLoadOk) continue;
    EXPECT_FALSE(piece.pieceLoaded) << c.what;
    EXPECT_TRUE(piece.tracks.empty()) << c.what;
  }
}

// A file refused for its size is not called damaged: the musician keeps a good
// file, and is told the limit.
TEST(OpenPiece, EachResultHasItsOwnMessage) {
  EXPECT_EQ(LoadResultStringId(kLoadTooLarge), kStringTooLarge);
  EXPECT_NE(std::string(StringText(kStringTooLarge)).find("32767"), std::string::npos);
  EXPECT_EQ(LoadResultStringId(kLoadWrongFormat), kStringWrongFormat);
  EXPECT_EQ(LoadResultStringId(kLoadNoChannelMessages), kStringNoMidiData);
}

TEST(OpenPiece, HostileValuesStayBounded) {
  PieceModel piece;
  // A meter with a 2^200 denominator and a time signature two bytes short.
  SmfBuilder meter(1, 480);
  meter.Track().Meta(0, 0x58, {4, 200, 24, 8}).Meta(480, 0x58, {3}).End();
  meter.Track().Event(0, {0x90, 60, 90}).Event(4800, {0x80, 60, 0}).End();
  ASSERT_EQ(LoadBytes(piece, meter.Bytes()), kLoadOk);
  EXPECT_GT(piece.beatMap.size(), 1u);

  // Controller numbers with the top bit set are events, not indexes out of range.
  SmfBuilder wideData = OneTrackPiece();
  wideData.Event(0, {0xB0, 0xC8, 0xFF}).End();
  ASSERT_EQ(LoadBytes(piece, wideData.Bytes()), kLoadOk);
  EXPECT_EQ(piece.tracks[0].events[0].data1, 0xC8);
}

TEST(OpenPiece, EveryTruncationFailsCleanly) {
  SmfBuilder smf(1, 96);
  smf.Track()
      .Tempo(0, 600000)
      .TimeSig(0, 3, 2)
      .Meta(0, 0x59, {0xFF, 0})
      .Event(0, {0xF0, 2, 1, 0xF7});
  smf.End();
  smf.Track().Text(0, 3, "Melody").Event(0, {0xB0, 0, 1}).Event(0, {0xC0, 5});
  for (uint8_t n = 0; n < 20; ++n)
    smf.Event(48, {0x90, static_cast<uint8_t>(60 + n), 80})
        .Event(48, {static_cast<uint8_t>(60 + n), 0});
  smf.End();
  std::vector<uint8_t> bytes = smf.Bytes();
  PieceModel piece;
  ASSERT_EQ(LoadBytes(piece, bytes), kLoadOk);
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(n));
    int r = LoadBytes(piece, prefix);
    EXPECT_TRUE(r == kLoadDataEnded || r == kLoadWrongFormat) << "prefix " << n << ": " << r;
    EXPECT_FALSE(piece.pieceLoaded);
  }
}

TEST(OpenPiece, NamesAndHooks) {
  SmfBuilder smf = OneTrackPiece();
  smf.Event(0, {0x90, 60, 90}).End();
  PieceSourceState sources;
  sources.memoryImages["songs/My.Song.mid"] = smf.Bytes();
  sources.memoryImages["noext"] = smf.Bytes();
  sources.memoryImages["dir.v2/noext"] = smf.Bytes();
  PieceModel piece;
  std::vector<std::string> calls;
  auto log = [&calls](const char* name) { return [&calls, name] { calls.push_back(name); }; };
  PieceHooks hooks;
  hooks.sendClosingSysex = log("closing");
  hooks.layoutViews = log("layout");
  hooks.applySettingsSlot0 = [&] { return log("settings")(), false; };
  hooks.defaultPieceSettings = log("defaults");
  hooks.firstOpenRepaint = log("first");
  hooks.resetPlaybackState = log("reset");
  ASSERT_EQ(OpenPiece(piece, sources, "songs/My.Song.mid", hooks), kLoadOk);
  EXPECT_EQ(piece.pieceFileName, "songs/My.Song");
  EXPECT_EQ(PieceShownFileName(piece), "My.Song");
  EXPECT_EQ(calls, (std::vector<std::string>{"layout", "settings", "defaults", "first", "reset"}));
  calls.clear();
  piece.pieceDisplayName = "Mine";
  ASSERT_EQ(OpenPiece(piece, sources, "noext", hooks), kLoadOk);
  EXPECT_EQ(piece.pieceFileName, "noext");
  EXPECT_EQ(PieceShownFileName(piece), "noext");
  ASSERT_EQ(OpenPiece(piece, sources, "dir.v2/noext"), kLoadOk);
  EXPECT_EQ(piece.pieceFileName, "dir.v2/noext") << "a dot in a folder name is no extension";
  EXPECT_EQ(PieceShownFileName(piece), "noext");
  EXPECT_FALSE(piece.pieceDisplayName.has_value());
  EXPECT_EQ(calls,
            (std::vector<std::string>{"closing", "layout", "settings", "defaults", "reset"}));
  EXPECT_EQ(OpenPiece(piece, sources, "/no/such/file.mid", hooks), kLoadNotOpened);
  EXPECT_FALSE(piece.pieceLoaded);
}

}  // namespace
}  // namespace tuttiro
