// Writing piece settings: the record built from the live settings reads back
// identically and leaves the music as it was, the event replaces the old one
// and nothing else changes, damaged images are refused, and a file is
// replaced only whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "piece/atomic_file.h"
#include "piece/settings_writer.h"
#include "settings_fixture.h"

namespace tuttiro {
namespace {

using test::Big32s;
using test::PieceWithHead;
using test::PieceWithRecord;
using test::SettingsFixture;
using test::StoredRecord;
using test::TempFolder;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Live settings and track settings unlike the defaults in every field.
void ChangeEverything(SettingsFixture& fx) {
  PieceSettings& live = fx.live;
  live.loopStart = 250;
  live.loopEnd = 1900;
  live.masterVolume = 384;
  live.tempoFactor = 2048;
  live.masterTranspose = -5;
  live.followTrack1 = 2;
  live.followTrack2 = 1;
  live.viewOrder = {3, 1, 2, 0, 4, 5, 7, 6};
  live.savedViewPositions[2] = {-120, 33};
  live.viewVisible = {1, 1, 0, 1, 1, 1, 1, 0};
  live.followTwoTracks = 1;
  live.performanceUsesOwnPort = 1;
  live.rehearsalPoints = {0, 1000};
  live.waitForSoloistMarkers = {1500};
  live.waitForSignalMarkers = {700};
  live.restoreTempoMarkers = {1800, -4};
  live.ignoreSoloistRanges = {{10, 20}};
  TrackRec& t0 = fx.piece.tracks[0];
  t0.volume = 111;
  t0.outputChannel = 12;
  t0.outputPort = 6;
  t0.transposition = 7;
  t0.play = 0;
  t0.substitutePrograms = 1;
  t0.programCombos[0].substitute = {kComboBank0And32, {1, 2, 3}};
  t0.programCombos[1].substitute = {kComboProgramPair, {120, 5, 0}};
  t0.userName = "Lead line";
  fx.piece.performanceTrack().outputChannel = 4;
  fx.piece.pieceDisplayName = "My Piece";
}

// Every field the record keeps, to compare settings whole.
auto Kept(const PieceSettings& s) {
  return std::tie(s.loopStart, s.loopEnd, s.masterVolume, s.tempoFactor, s.masterTranspose,
                  s.followTrack1, s.followTrack2, s.viewOrder, s.savedViewPositions, s.viewVisible,
                  s.followTwoTracks, s.performanceUsesOwnPort, s.rehearsalPoints,
                  s.waitForSoloistMarkers, s.waitForSignalMarkers, s.restoreTempoMarkers,
                  s.ignoreSoloistRanges);
}
auto Kept(const TrackRec& t) {
  return std::tie(t.volume, t.outputChannel, t.outputPort, t.transposition, t.play,
                  t.substitutePrograms, t.userName);
}

// The piece opened again has the same settings and the same music; another
// maker's settings event is kept, after ours.
TEST(SettingsWriter, WrittenSettingsReadBackAndApplyIdenticallyAndThePieceIsTheSame) {
  std::vector<uint8_t> otherEvent{0x00, 0xFF, 0x7F, 0x04, 0x00, 0x00, 0x41, 0x01};
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithHead(otherEvent)), kLoadOk);
  ChangeEverything(fx);
  PieceSettingsRecord built =
      BuildPieceSettingsRecord(DefaultSettingsRecord(), 0, "Lesson one", fx.live, fx.piece);
  std::vector<uint8_t> image = fx.sources.memoryImages["p.mid"];
  ASSERT_EQ(PlaceSettingsEvent(image, built), SettingsWriteResult::kOk);

  SettingsFixture back;
  ASSERT_EQ(back.Open(image), kLoadOk);
  std::optional<PieceSettingsRecord> read = ReadPieceSettings(back.sources, "p.mid");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->bytes, built.bytes);
  EXPECT_EQ(SettingsSlotName(*read, 0), "Lesson one");

  EXPECT_EQ(Kept(back.live), Kept(fx.live));
  EXPECT_EQ(back.piece.pieceDisplayName, "My Piece");
  for (size_t t = 0; t < fx.piece.tracks.size(); ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(Kept(back.piece.tracks[t]), Kept(fx.piece.tracks[t]));
    for (size_t c = 0; c < kMaxProgramCombos; ++c)
      EXPECT_EQ(back.piece.tracks[t].programCombos[c].substitute,
                fx.piece.tracks[t].programCombos[c].substitute);
  }

  EXPECT_TRUE(std::equal(otherEvent.begin(), otherEvent.end(),
                         image.begin() + 22 + static_cast<long>(SettingsEventBytes(built).size())));
  const PieceModel& before = fx.piece;
  const PieceModel& after = back.piece;
  ASSERT_EQ(after.trackCount, before.trackCount);
  for (size_t t = 0; t < before.tracks.size(); ++t) {
    EXPECT_EQ(after.tracks[t].name, before.tracks[t].name);
    ASSERT_EQ(after.tracks[t].events.size(), before.tracks[t].events.size());
    for (size_t e = 0; e < before.tracks[t].events.size(); ++e) {
      const PieceEvent& x = before.tracks[t].events[e];
      const PieceEvent& y = after.tracks[t].events[e];
      EXPECT_EQ(std::tie(y.time, y.data1), std::tie(x.time, x.data1)) << t << ":" << e;
    }
  }
  EXPECT_EQ(
      std::make_tuple(after.endPosition, after.beatMap.size(), after.otherMetaEvents.size()),
      std::make_tuple(before.endPosition, before.beatMap.size(), before.otherMetaEvents.size()));
}

TEST(SettingsWriter, TheEventIsReplacedAndEveryOtherByteKept) {
  StoredRecord old;
  old.Name(0, "Old").Name(2, "Keep me").Put32(SlotStart(2) + kSlotLoopStart, 900);
  old.Area(2, kAreaRehearsalPoints, Big32s({1, 2, 3}));
  old.Area(0, kAreaWaitForSoloist, Big32s({5}));
  std::vector<uint8_t> original = PieceWithRecord(old.Bytes());
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(original), kLoadOk);
  fx.live.loopStart = 17;
  fx.live.waitForSoloistMarkers.clear();
  PieceSettingsRecord existing = *ReadPieceSettings(fx.sources, "p.mid");
  PieceSettingsRecord record = BuildPieceSettingsRecord(existing, 0, "New", fx.live, fx.piece);
  std::vector<uint8_t> image = original;
  ASSERT_EQ(PlaceSettingsEvent(image, record), SettingsWriteResult::kOk);

  // The header, and everything after the old event, are unchanged.
  size_t data = 14 + 8;
  size_t oldEvent = 3 + 2 + 5 + old.Bytes().size();
  std::vector<uint8_t> event = SettingsEventBytes(record);
  ASSERT_EQ(image.size(), original.size() - oldEvent + event.size());
  EXPECT_TRUE(std::equal(original.begin(), original.begin() + 18, image.begin()));
  EXPECT_TRUE(std::equal(original.begin() + static_cast<long>(data + oldEvent), original.end(),
                         image.begin() + static_cast<long>(data + event.size())));
  auto chunkLength = [](const std::vector<uint8_t>& b) {
    return static_cast<size_t>(b[18] << 24 | b[19] << 16 | b[20] << 8 | b[21]);
  };
  EXPECT_EQ(chunkLength(image), chunkLength(original) - oldEvent + event.size());

  SettingsFixture back;
  ASSERT_EQ(back.Open(image), kLoadOk);
  EXPECT_EQ(back.live.loopStart, 17);
  EXPECT_TRUE(back.live.waitForSoloistMarkers.empty());
  ASSERT_TRUE(ApplySettingsSlot(back.context, 2));
  EXPECT_EQ(back.live.loopStart, 900);
  EXPECT_EQ(back.live.rehearsalPoints, (std::vector<int32_t>{1, 2, 3}));

  // Placing the same record again changes nothing.
  std::vector<uint8_t> again = image;
  ASSERT_EQ(PlaceSettingsEvent(again, record), SettingsWriteResult::kOk);
  EXPECT_EQ(again, image);

  // Removing slot 2 keeps slot 0.
  PieceSettingsRecord removed = RemoveSettingsSlot(record, 2);
  EXPECT_EQ(SettingsSlotName(removed, 2), "");
  EXPECT_EQ(SettingsSlotName(removed, 0), "New");
  EXPECT_EQ(SettingsAreaOf(removed, 2, kAreaRehearsalPoints).size, 0u);
  EXPECT_EQ(removed.bytes.size(), record.bytes.size() - 12);
}

TEST(SettingsWriter, DamagedImagesAreRefusedUnchanged) {
  PieceSettingsRecord record = DefaultSettingsRecord();
  std::vector<uint8_t> notMidi{'R', 'I', 'F', 'F', 0, 0, 0, 0, 0};
  EXPECT_EQ(PlaceSettingsEvent(notMidi, record), SettingsWriteResult::kNotMidi);
  std::vector<uint8_t> noTrack = test::SmfBuilder(1, 480).Bytes();
  EXPECT_EQ(PlaceSettingsEvent(noTrack, record), SettingsWriteResult::kNotMidi);
  std::vector<uint8_t> hugeHeader = PieceWithHead({});
  hugeHeader[4] = 0xFF;  // header length beyond the file
  EXPECT_EQ(PlaceSettingsEvent(hugeHeader, record), SettingsWriteResult::kNotMidi);
  // A settings event whose length runs past the end of the file.
  std::vector<uint8_t> cut = PieceWithRecord(StoredRecord().Name(0, "x").Bytes());
  cut.resize(200);
  std::vector<uint8_t> copy = cut;
  EXPECT_EQ(PlaceSettingsEvent(copy, record), SettingsWriteResult::kNotMidi);
  EXPECT_EQ(copy, cut);
}

TEST(SettingsWriter, FilesAreReplacedWholeOrNotAtAll) {
  TempFolder folder;
  std::string path = folder.File("piece.mid");
  std::vector<uint8_t> original = PieceWithHead({});
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(original.data()), static_cast<long>(original.size()));
  }
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  SettingsFixture fx;
  ASSERT_EQ(OpenPiece(fx.piece, fx.sources, path), kLoadOk);
  fx.live.loopStart = 64;
  fx.live.rehearsalPoints = {3};
  ASSERT_EQ(SavePieceSettingsSlot(fx.context, 1, "Slot one"), SettingsWriteResult::kOk);
  EXPECT_EQ(LastWriteFailure(), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1)
      << "no temporary file is left";
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(ApplySettingsSlot(fx.context, 1));
  EXPECT_EQ(fx.live.rehearsalPoints, (std::vector<int32_t>{3}));
  EXPECT_FALSE(ApplySettingsSlot(fx.context, 0));

  std::vector<uint8_t> saved = ReadFile(path);
  EXPECT_EQ(WritePieceWithSettings(fx.sources, path, folder.File("missing/dir/out.mid"),
                                   DefaultSettingsRecord()),
            SettingsWriteResult::kWriteFailed);
  // The failure says why, with the path.
  EXPECT_EQ(LastWriteFailure(), "No such file or directory: " + folder.File("missing/dir/out.mid"));
  EXPECT_EQ(WritePieceWithSettings(fx.sources, folder.File("none.mid"), folder.File("out.mid"),
                                   DefaultSettingsRecord()),
            SettingsWriteResult::kReadFailed);
  EXPECT_EQ(ReadFile(path), saved);

  SettingsFixture builtin;
  ASSERT_EQ(OpenPiece(builtin.piece, builtin.sources, "Longing"), kLoadOk);
  EXPECT_EQ(SavePieceSettingsSlot(builtin.context, 0, "x"), SettingsWriteResult::kNotAFile);
}

// Saving works from the bytes the piece was loaded from: a file changed, replaced
// or removed since is never read back into the piece, and is overwritten only
// when asked to.
TEST(SettingsWriter, AChangedOrRemovedPieceFileIsNeverReadAgainNorOverwrittenUnasked) {
  for (const bool removed : {false, true}) {
    SCOPED_TRACE(removed ? "removed" : "replaced by another piece");
    TempFolder folder;
    const std::string path = folder.File("piece.mid");
    const std::vector<uint8_t> original = PieceWithHead({});
    const auto write = [&path](const std::vector<uint8_t>& bytes) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    };
    write(original);
    SettingsFixture fx;
    ASSERT_EQ(OpenPiece(fx.piece, fx.sources, path), kLoadOk);
    fx.live.rehearsalPoints = {3};
    ASSERT_EQ(SavePieceSettingsSlot(fx.context, 1, "Ours"), SettingsWriteResult::kOk);
    std::vector<uint8_t> other = BuiltinPieceImage(FindBuiltinPiece("Longing"));
    if (removed) {
      std::filesystem::remove(path);
    } else {
      write(other);
    }
    // The settings saved a moment ago are still the piece's, whatever the disk holds.
    ASSERT_TRUE(ApplySettingsSlot(fx.context, 1));
    EXPECT_EQ(fx.live.rehearsalPoints, (std::vector<int32_t>{3}));
    EXPECT_EQ(SavePieceSettingsSlot(fx.context, 2, "Again"), SettingsWriteResult::kPieceChanged);
    EXPECT_EQ(std::filesystem::exists(path), !removed);
    if (!removed) {
      EXPECT_EQ(ReadFile(path), other);
    }
    // Asked to, the piece as it was loaded goes back in its place, with its settings.
    const std::optional<PieceSettingsRecord> record = ReadPieceSettings(fx.sources, path);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(WritePieceWithSettings(fx.sources, path, path, *record, true),
              SettingsWriteResult::kOk);
    SettingsFixture reopened;
    ASSERT_EQ(OpenPiece(reopened.piece, reopened.sources, path), kLoadOk);
    ASSERT_TRUE(ApplySettingsSlot(reopened.context, 1));
    EXPECT_EQ(reopened.live.rehearsalPoints, (std::vector<int32_t>{3}));
  }
}

}  // namespace
}  // namespace tuttiro
