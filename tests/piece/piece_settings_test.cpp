// Piece settings read from a piece and applied: the record's conversions, the
// repairs of stored values, short and long areas, damaged records of every
// kind, and what the follower is handed.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "engine/follower.h"
#include "engine/follower_settings.h"
#include "platform/simulated_platform.h"
#include "settings_fixture.h"

namespace tuttiro {
namespace {

using test::Big32s;
using test::Concat;
using test::PieceWithHead;
using test::PieceWithRecord;
using test::SettingsEvent;
using test::SettingsFixture;
using test::StoredRecord;
using test::StoredTrack;

size_t Slot0(size_t field) {
  return SlotStart(0) + field;
}

TEST(PieceSettings, ABareRecordAppliesThePieceFieldsAndLeavesTracksAsLoaded) {
  // Every piece-level field set to something other than its default.
  StoredRecord r;
  r.Name(0, "Practice")
      .Put32(Slot0(kSlotLoopStart), 1500)
      .Put32(Slot0(kSlotLoopEnd), 0x00012345)
      .Put16(Slot0(kSlotMasterVolume), 300)
      .Put16(Slot0(kSlotTempoFactor), 3072)
      .Put16(Slot0(kSlotMasterTranspose), static_cast<uint16_t>(-3))
      .Put16(Slot0(kSlotFollowTrack1), 1)
      .Put16(Slot0(kSlotFollowTrack2), 2)
      .ViewOrder(0, {7, 6, 5, 4, 3, 2, 1, 0})
      .Put16(Slot0(kSlotViewPositions), static_cast<uint16_t>(-40))
      .Put16(Slot0(kSlotViewPositions) + 2, 25)
      .Put16(Slot0(kSlotViewPositions) + 28, 0x0102);
  const uint8_t visible[8] = {1, 0, 1, 1, 0, 1, 1, 1};
  for (size_t v = 0; v < 8; ++v) r.Byte(Slot0(kSlotViewVisible) + v, visible[v]);
  r.Byte(Slot0(kSlotFollowTwoTracks), 1).Byte(Slot0(kSlotPerformanceOwnPort), 1);

  SettingsFixture fx;
  fx.live.waitForSoloistMarkers = {100, 200};
  fx.piece.pieceDisplayName = "Old";
  int views = 0;
  ViewsMenuState menu;
  fx.context.hooks.moveViewsToSaved = [&views] { ++views; };
  fx.context.hooks.setViewsMenu = [&menu](const ViewsMenuState& m) { menu = m; };
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);

  const PieceSettings& live = fx.live;
  EXPECT_EQ(std::tie(live.loopStart, live.loopEnd, live.masterVolume, live.tempoFactor,
                     live.masterTranspose, live.followTrack1, live.followTrack2,
                     live.followTwoTracks, live.performanceUsesOwnPort),
            std::make_tuple(1500, 0x00012345, 300, 3072, -3, 1, 2, 1, 1));
  EXPECT_EQ(live.viewOrder, (std::array<uint16_t, 8>{7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(live.savedViewPositions[0], (ViewPosition{-40, 25}));
  EXPECT_EQ(live.savedViewPositions[7], (ViewPosition{0x0102, 0}));
  EXPECT_EQ(live.viewVisible, (std::array<uint8_t, 8>{1, 0, 1, 1, 0, 1, 1, 1}));
  EXPECT_TRUE(live.waitForSoloistMarkers.empty());
  EXPECT_FALSE(fx.piece.pieceDisplayName);
  EXPECT_EQ(views, 1);
  // Views 1 and 4 hidden: menu positions 1 and 5 unchecked.
  EXPECT_EQ(menu.checked, (std::array<bool, 8>{true, false, true, true, true, false, true, true}));
  EXPECT_TRUE(menu.showAllEnabled);
  EXPECT_TRUE(menu.hideAllEnabled);
  for (const TrackRec& track : fx.piece.tracks) {
    EXPECT_EQ(track.outputChannel, 0);  // as loaded: nothing set it
    EXPECT_EQ(track.volume, 256);
  }
}

TEST(PieceSettings, ViewOrderAndFollowingTracksAreRepaired) {
  struct Case {
    std::initializer_list<uint16_t> order;
    bool kept;
  };
  for (const Case& c :
       {Case{{0, 1, 2, 2, 4, 5, 6, 7}, false}, Case{{0, 1, 2, 3, 4, 5, 6, 8}, false},
        Case{{0xFFFF, 1, 2, 3, 4, 5, 6, 7}, false}, Case{{3, 1, 2, 0, 4, 5, 7, 6}, true}}) {
    StoredRecord r;
    r.Name(0, "x")
        .ViewOrder(0, c.order)
        .Put16(Slot0(kSlotFollowTrack1), 12)
        .Put16(Slot0(kSlotFollowTrack2), static_cast<uint16_t>(-1));
    SettingsFixture fx;
    fx.context.system.rememberViewLocations = 0;
    int moved = 0;
    fx.context.hooks.moveViewsToSaved = [&moved] { ++moved; };
    ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes(), 5)), kLoadOk);
    EXPECT_EQ(fx.live.followTrack1, 0);
    EXPECT_EQ(fx.live.followTrack2, 0);
    std::vector<uint16_t> expected =
        c.kept ? std::vector<uint16_t>(c.order)
               : std::vector<uint16_t>(kDefaultViewOrder.begin(), kDefaultViewOrder.end());
    EXPECT_EQ(std::vector<uint16_t>(fx.live.viewOrder.begin(), fx.live.viewOrder.end()), expected);
    EXPECT_EQ(moved, 0);
  }
}

TEST(PieceSettings, TrackSettingsCoverAsManyTracksAsTheAreaHolds) {
  StoredTrack first;
  first.volume = 200;
  first.channel = 5;
  first.transposition = -12;
  first.port = 3;
  first.play = 0;
  first.substitute = 1;
  ProgramCombo piano{kComboProgram, {10, 0, 0}};
  // The track has two combinations: the third stored substitute is not taken.
  first.combos = {{piano, {kComboBank0, {1, 40, 0}}},
                  {{kComboProgram, {20, 0, 0}}, {9, {1, 2, 3}}},
                  {{kComboProgram, {30, 0, 0}}, {kComboProgram, {50, 0, 0}}}};
  first.userName = "Melody";
  StoredTrack wild;
  wild.channel = 16;  // no such channel
  wild.port = 8;      // no such port

  {  // fewer records than tracks: the rest stay as loaded
    StoredRecord r;
    r.Name(0, "x").Area(0, kAreaTrackSettings, Concat({first.Bytes(), wild.Bytes()}));
    SettingsFixture fx;
    ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
    const TrackRec& t0 = fx.piece.tracks[0];
    EXPECT_EQ(std::tie(t0.volume, t0.outputChannel, t0.transposition, t0.outputPort, t0.play,
                       t0.substitutePrograms),
              std::make_tuple(200, 5, -12, 3, 0, 1));
    EXPECT_EQ(t0.programCombos[0].substitute, (ProgramCombo{kComboBank0, {1, 40, 0}}));
    EXPECT_EQ(t0.programCombos[1].substitute, ProgramCombo{}) << "an unknown kind plays the file's";
    EXPECT_EQ(t0.programCombos[2].substitute, ProgramCombo{});
    EXPECT_EQ(t0.userName, "Melody");
    const TrackRec& t1 = fx.piece.tracks[1];
    EXPECT_EQ(t1.outputChannel, t1.fileChannel);
    EXPECT_EQ(t1.outputPort, t1.filePort);
    EXPECT_FALSE(t1.userName);
    EXPECT_EQ(fx.piece.tracks[2].outputChannel, 0);
    EXPECT_EQ(fx.piece.performanceTrack().substitutePrograms, 1);
  }
  {  // one record more than the regular tracks sets the performance track too;
     // a partial record at the end is passed over
    StoredTrack perf;
    perf.channel = 9;
    perf.substitute = 0;
    perf.userName = std::string(255, 'p');
    std::vector<uint8_t> area = Concat({first.Bytes(), first.Bytes(), first.Bytes(), perf.Bytes(),
                                        std::vector<uint8_t>(100, 0x77)});
    StoredRecord r;
    r.Name(0, "x").Area(0, kAreaTrackSettings, area);
    SettingsFixture fx;
    ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
    const TrackRec& p = fx.piece.performanceTrack();
    EXPECT_EQ(p.outputChannel, 9);
    EXPECT_EQ(p.substitutePrograms, 0);
    EXPECT_EQ(p.userName, std::string(255, 'p'));
  }
}

TEST(PieceSettings, DisplayNameAndMarkerAreasAreRead) {
  StoredRecord r;
  r.Name(0, "x")
      .Area(0, kAreaDisplayName, {0x05, 'S', 'o', 'n', 'g', 'A'})
      .Area(0, kAreaRehearsalPoints, Big32s({0, 0x00012345, 0xFFFFFFFF}))
      .Area(0, kAreaWaitForSoloist, Big32s({4000}))
      .Area(0, kAreaWaitForSignal, Big32s({5000, 6000}))
      .Area(0, kAreaRestoreTempo, Big32s({7000, 1, 2}))
      .Area(0, kAreaIgnoreSoloist, Concat({Big32s({100, 200, 300, 400}), {1, 2, 3}}));
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  EXPECT_EQ(fx.piece.pieceDisplayName, "SongA");
  EXPECT_EQ(fx.live.rehearsalPoints, (std::vector<int32_t>{0, 0x12345, -1}));
  EXPECT_EQ(fx.live.waitForSoloistMarkers, (std::vector<int32_t>{4000}));
  EXPECT_EQ(fx.live.waitForSignalMarkers, (std::vector<int32_t>{5000, 6000}));
  EXPECT_EQ(fx.live.restoreTempoMarkers, (std::vector<int32_t>{7000, 1, 2}));
  EXPECT_EQ(fx.live.ignoreSoloistRanges, (std::vector<MarkerRange>{{100, 200}, {300, 400}}));
}

// Areas of 32768 bytes and more, which 16-bit counting would lose.
TEST(PieceSettings, LargeAreasAreReadWhole) {
  std::vector<uint32_t> positions(20000);
  for (size_t i = 0; i < positions.size(); ++i)
    positions[i] = static_cast<uint32_t>(i * 10 + 0x10000);
  std::vector<uint8_t> area;
  for (uint32_t p : positions) {
    std::vector<uint8_t> b = Big32s({p});
    area.insert(area.end(), b.begin(), b.end());
  }
  StoredRecord r;
  r.Name(0, "x").Area(0, kAreaRehearsalPoints, area).Area(0, kAreaIgnoreSoloist, area);
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  ASSERT_EQ(fx.live.rehearsalPoints.size(), 20000u);
  EXPECT_EQ(fx.live.rehearsalPoints.back(), static_cast<int32_t>(positions.back()));
  ASSERT_EQ(fx.live.ignoreSoloistRanges.size(), 10000u);
  EXPECT_EQ(fx.live.ignoreSoloistRanges.back(),
            (MarkerRange{static_cast<int32_t>(positions[19998]),
                         static_cast<int32_t>(positions[19999])}));
}

// A piece without settings, and every kind of damage, leave the piece loaded
// with the default settings.
TEST(PieceSettings, MissingOrDamagedRecordsGiveTheDefaults) {
  StoredRecord named;
  named.Name(0, "x").Put32(Slot0(kSlotLoopStart), 777);
  std::vector<uint8_t> good = named.Bytes();
  std::vector<uint8_t> data = test::SettingsData(good);
  std::vector<uint8_t> wrongId = data;
  wrongId[2] = 0x22;
  std::vector<uint8_t> shortRecord = StoredRecord().Name(0, "x").Bytes(kSettingsVersion, 600);
  shortRecord.resize(600);
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"no settings event", PieceWithHead({})},
      {"wrong identification", PieceWithHead(SettingsEvent(wrongId))},
      {"wrong version", PieceWithRecord(named.Bytes(0x00030000))},
      {"size above the meta length", PieceWithRecord(named.Bytes(kSettingsVersion, 900))},
      {"size below the meta length", PieceWithRecord(named.Bytes(kSettingsVersion, 840))},
      {"record shorter than its slots", PieceWithRecord(shortRecord)},
      {"meta length too small", PieceWithHead(SettingsEvent({0x00, 0x01, 0x21}))},
      {"length of five bytes", PieceWithHead(SettingsEvent(data, {0x80, 0x80, 0x80, 0x80, 0x01}))},
      {"not a settings event", PieceWithHead({0x00, 0xFF, 0x7E, 0x00})},
  };
  // A record cut off by the end of the file.
  std::vector<uint8_t> cut = PieceWithRecord(good);
  cut.resize(14 + 8 + 4 + 5 + 400);
  cases.push_back({"truncated", cut});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsFixture fx;
    fx.live.loopStart = 5;
    fx.live.rehearsalPoints = {5};
    fx.live.viewOrder = {1, 0, 2, 3, 4, 5, 6, 7};
    int result = fx.Open(c.bytes);
    // The record read is the default one, also where the piece itself is damaged.
    std::optional<PieceSettingsRecord> record = ReadPieceSettings(fx.sources, "p.mid");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->bytes, DefaultSettingsRecord().bytes);
    if (result != kLoadOk) continue;
    EXPECT_EQ(fx.live.loopStart, 0);
    EXPECT_EQ(fx.live.loopEnd, fx.piece.endPosition - 1);
    EXPECT_EQ(fx.live.viewOrder, kDefaultViewOrder);
    EXPECT_TRUE(fx.live.rehearsalPoints.empty());
    for (int t = 0; t < fx.piece.trackCount; ++t) {
      const TrackRec& track = fx.piece.tracks[static_cast<size_t>(t)];
      EXPECT_EQ(std::tie(track.outputChannel, track.volume), std::make_tuple(t, 256));
      EXPECT_EQ(track.outputPort, track.filePort);
    }
    EXPECT_EQ(fx.piece.performanceTrack().substitutePrograms, 0);
    EXPECT_FALSE(ApplySettingsSlot(fx.context, 0));
  }
  // Without a piece, or in something not a Standard MIDI File, there is no record.
  PieceSourceState sources;
  EXPECT_FALSE(ReadPieceSettings(sources, "/no/such/piece.mid"));
  sources.memoryImages["junk"] = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
  EXPECT_FALSE(ReadPieceSettings(sources, "junk"));
  sources.memoryImages["headeronly"] = test::SmfBuilder(1, 480).Bytes();
  EXPECT_FALSE(ReadPieceSettings(sources, "headeronly"));
}

// Areas that start in the header or reach past the record read as empty; the
// rest of the slot still applies.
TEST(PieceSettings, AreasOutsideTheRecordReadAsEmpty) {
  StoredRecord r;
  r.Name(0, "x").Put32(Slot0(kSlotLoopStart), 321);
  r.Area(0, kAreaWaitForSoloist, Big32s({4000}));
  r.AreaFields(0, kAreaRehearsalPoints, static_cast<uint32_t>(kSettingsHeaderSize),
               400);                                    // past the end
  r.AreaFields(0, kAreaIgnoreSoloist, 0xFFFFFFF8, 16);  // wraps in 32 bits
  r.AreaFields(0, kAreaDisplayName, 0, 20);             // inside the header
  r.AreaFields(0, kAreaTrackSettings, 0xFFFFFFFF, 0xFFFFFFFF);
  SettingsFixture fx;
  fx.live.rehearsalPoints = {1};
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  EXPECT_EQ(fx.live.loopStart, 321);
  EXPECT_TRUE(fx.live.rehearsalPoints.empty());
  EXPECT_TRUE(fx.live.ignoreSoloistRanges.empty());
  EXPECT_FALSE(fx.piece.pieceDisplayName);
  EXPECT_EQ(fx.live.waitForSoloistMarkers, (std::vector<int32_t>{4000}));
  EXPECT_EQ(fx.piece.tracks[0].volume, 256);
}

TEST(PieceSettings, SwapConvertsUsedSlotsBothWays) {
  StoredRecord r;
  r.Name(2, "Slow")
      .Put32(SlotStart(2) + kSlotLoopEnd, 0x01020304)
      .ViewOrder(2, {1, 0, 2, 3, 4, 5, 6, 7});
  r.Area(2, kAreaRestoreTempo, Big32s({0x0A0B0C0D}));
  StoredTrack track;
  track.volume = 0x0102;
  r.Area(2, kAreaTrackSettings, track.Bytes());
  r.Put32(SlotStart(1) + kSlotLoopEnd, 0x11223344);  // an unused slot is left alone
  PieceSettingsRecord stored{r.Bytes()};
  PieceSettingsRecord host = stored;
  SwapSettingsRecord(host, SwapDirection::kToHost);
  EXPECT_EQ(RecordGet32(host, SlotStart(2) + kSlotLoopEnd), 0x01020304u);
  SettingsAreaSpan restore = SettingsAreaOf(host, 2, kAreaRestoreTempo);
  ASSERT_EQ(restore.size, 4u);
  EXPECT_EQ(RecordGet32(host, restore.offset), 0x0A0B0C0Du);
  EXPECT_EQ(RecordGet16(host, SettingsAreaOf(host, 2, kAreaTrackSettings).offset), 0x0102);
  EXPECT_EQ(host.bytes[SlotStart(2) + kSlotViewOrder], 1) << "the view order is not converted";
  EXPECT_EQ(0, std::memcmp(&host.bytes[SlotStart(1) + kSlotLoopEnd], "\x11\x22\x33\x44", 4));
  SwapSettingsRecord(host, SwapDirection::kToStorage);
  EXPECT_EQ(host.bytes, stored.bytes);
  EXPECT_EQ(SettingsSlotName(host, 2), "Slow");
  EXPECT_EQ(SettingsSlotName(host, 0), "");
}

TEST(PieceSettings, NamedSlotsApplyOnlyWhenUsed) {
  StoredRecord r;
  r.Name(3, std::string(32, 'n')).Put32(SlotStart(3) + kSlotLoopStart, 42);  // no terminator
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  EXPECT_EQ(fx.live.loopStart, 0) << "slot 0 is unused: defaults";
  EXPECT_TRUE(ApplySettingsSlot(fx.context, 3));
  EXPECT_EQ(fx.live.loopStart, 42);
  EXPECT_EQ(SettingsSlotName(*ReadPieceSettings(fx.sources, "p.mid"), 3), std::string(31, 'n'));
  for (int unused : {1, 5, -1}) EXPECT_FALSE(ApplySettingsSlot(fx.context, unused)) << unused;
}

TEST(PieceSettings, TheFollowerGetsTheMarkersAndTheFollowingTracks) {
  StoredRecord r;
  r.Name(0, "x")
      .Put16(Slot0(kSlotFollowTrack1), 1)
      .Area(0, kAreaWaitForSoloist, Big32s({3000, 1000}))
      .Area(0, kAreaRestoreTempo, Big32s({1500}))
      .Area(0, kAreaIgnoreSoloist, Big32s({100, 200}));
  SimulatedPlatform platform;
  FollowerState follower;
  FollowerInit(follower, platform, [](int, int64_t, int64_t, int64_t) -> int64_t { return 0; });
  SettingsFixture fx;
  fx.context.follower = FollowerSettingsHooks(follower);
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  EXPECT_EQ(follower.waitForSoloist.positions, (std::vector<int32_t>{1000, 3000}));
  EXPECT_EQ(follower.restoreTempo.positions, (std::vector<int32_t>{1500}));
  ASSERT_EQ(follower.ignoreRanges.size(), 1u);
  EXPECT_EQ(follower.ignoreRanges[0].end, 200);
  // Track 1 plays pitch 61 only.
  ASSERT_FALSE(follower.notes.empty());
  EXPECT_EQ(follower.notes[0].pitch & 0x7F, 61);

  fx.system.followSource = 1;
  DefaultPieceSettings(fx.context);
  EXPECT_TRUE(follower.waitForSoloist.positions.empty());
  EXPECT_TRUE(follower.ignoreRanges.empty());
  EXPECT_FALSE(follower.tapBeats.empty()) << "tapped beats follow the beat list";
  EXPECT_TRUE(follower.notes.empty());
  FollowerFreeAll(follower);
}

TEST(PieceSettings, DefaultsResetTracksAndTellTheViews) {
  StoredTrack t;
  t.volume = 10;
  t.channel = 7;
  t.userName = "Lead";
  StoredRecord r;
  r.Name(0, "x")
      .Area(0, kAreaTrackSettings, Concat({t.Bytes(), t.Bytes()}))
      .Area(0, kAreaDisplayName, {3, 'A', 'B', 'C'});
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithRecord(r.Bytes())), kLoadOk);
  ASSERT_EQ(fx.piece.tracks[0].userName, "Lead");
  fx.piece.tracks[0].programCombos[0].substitute = {kComboProgram, {5, 0, 0}};
  std::vector<std::string> calls;
  ViewsMenuState menu;
  auto log = [&calls](const char* name) { return [&calls, name] { calls.push_back(name); }; };
  fx.context.hooks = {
      .moveViewsToSaved = log("move"),
      .storeViewPositions = log("store"),
      .centreViews = log("centre"),
      .showLoopPoints = log("loop"),
      .setViewsMenu = [&](const ViewsMenuState& m) { menu = m, log("menu")(); },
      .updateTitle = log("title"),
      .refreshPosition = log("position"),
      .redrawViews = log("redraw"),
  };
  fx.live.viewVisible[3] = 0;
  DefaultPieceSettings(fx.context);
  EXPECT_EQ(calls, (std::vector<std::string>{"redraw", "loop", "menu", "centre", "title",
                                             "position", "redraw"}));
  EXPECT_EQ(menu.checked, (std::array<bool, 8>{true, true, true, true, true, true, true, true}));
  EXPECT_FALSE(menu.showAllEnabled);
  EXPECT_TRUE(menu.hideAllEnabled);
  for (const TrackRec& track : fx.piece.tracks) {
    EXPECT_EQ(track.volume, 256);
    EXPECT_EQ(track.outputChannel, track.fileChannel);
    EXPECT_FALSE(track.userName);
    EXPECT_EQ(track.programCombos[0].substitute, ProgramCombo{});
  }
  EXPECT_FALSE(fx.piece.pieceDisplayName);
}

}  // namespace
}  // namespace tuttiro
