// Writing piece settings: the record built from the live settings reads back
// identically, the event replaces the old one and nothing else changes, the
// piece model stays the same, and a file is replaced only whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "piece/settings_writer.h"
#include "settings_fixture.h"

namespace tuttiro {
namespace {

using test::Big32s;
using test::PieceWithHead;
using test::PieceWithRecord;
using test::SettingsFixture;
using test::StoredRecord;

// A temporary folder removed with the test.
struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::string name =
        (std::filesystem::temp_directory_path() / "tuttiro-settings-XXXXXX").string();
    path = ::mkdtemp(name.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

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

TEST(SettingsWriter, WrittenSettingsReadBackAndApplyIdentically) {
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(PieceWithHead({})), kLoadOk);
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

  const PieceSettings& a = fx.live;
  const PieceSettings& b = back.live;
  EXPECT_EQ(b.loopStart, a.loopStart);
  EXPECT_EQ(b.loopEnd, a.loopEnd);
  EXPECT_EQ(b.masterVolume, a.masterVolume);
  EXPECT_EQ(b.tempoFactor, a.tempoFactor);
  EXPECT_EQ(b.masterTranspose, a.masterTranspose);
  EXPECT_EQ(b.followTrack1, a.followTrack1);
  EXPECT_EQ(b.followTrack2, a.followTrack2);
  EXPECT_EQ(b.viewOrder, a.viewOrder);
  EXPECT_EQ(b.savedViewPositions, a.savedViewPositions);
  EXPECT_EQ(b.viewVisible, a.viewVisible);
  EXPECT_EQ(b.followTwoTracks, a.followTwoTracks);
  EXPECT_EQ(b.performanceUsesOwnPort, a.performanceUsesOwnPort);
  EXPECT_EQ(b.rehearsalPoints, a.rehearsalPoints);
  EXPECT_EQ(b.waitForSoloistMarkers, a.waitForSoloistMarkers);
  EXPECT_EQ(b.waitForSignalMarkers, a.waitForSignalMarkers);
  EXPECT_EQ(b.restoreTempoMarkers, a.restoreTempoMarkers);
  EXPECT_EQ(b.ignoreSoloistRanges, a.ignoreSoloistRanges);
  EXPECT_EQ(back.piece.pieceDisplayName, "My Piece");
  for (size_t t = 0; t < fx.piece.tracks.size(); ++t) {
    SCOPED_TRACE(t);
    const TrackRec& x = fx.piece.tracks[t];
    const TrackRec& y = back.piece.tracks[t];
    EXPECT_EQ(y.volume, x.volume);
    EXPECT_EQ(y.outputChannel, x.outputChannel);
    EXPECT_EQ(y.outputPort, x.outputPort);
    EXPECT_EQ(y.transposition, x.transposition);
    EXPECT_EQ(y.play, x.play);
    EXPECT_EQ(y.substitutePrograms, x.substitutePrograms);
    EXPECT_EQ(y.userName, x.userName);
    for (size_t c = 0; c < kMaxProgramCombos; ++c)
      EXPECT_EQ(y.programCombos[c].substitute, x.programCombos[c].substitute);
  }
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
  uint32_t oldLength = static_cast<uint32_t>(original[18] << 24 | original[19] << 16 |
                                             original[20] << 8 | original[21]);
  uint32_t newLength =
      static_cast<uint32_t>(image[18] << 24 | image[19] << 16 | image[20] << 8 | image[21]);
  EXPECT_EQ(newLength, oldLength - oldEvent + event.size());

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

TEST(SettingsWriter, ThePieceModelIsTheSameAfterWriting) {
  std::vector<uint8_t> otherEvent{0x00, 0xFF, 0x7F, 0x04,
                                  0x00, 0x00, 0x41, 0x01};  // another maker's
  std::vector<uint8_t> original = PieceWithHead(otherEvent);
  PieceModel before;
  ASSERT_EQ(test::LoadBytes(before, original), kLoadOk);
  SettingsFixture fx;
  ASSERT_EQ(fx.Open(original), kLoadOk);
  ChangeEverything(fx);
  std::vector<uint8_t> image = original;
  ASSERT_EQ(PlaceSettingsEvent(image, BuildPieceSettingsRecord(DefaultSettingsRecord(), 0, "s",
                                                               fx.live, fx.piece)),
            SettingsWriteResult::kOk);
  // The other event is kept, after ours.
  std::vector<uint8_t> event = SettingsEventBytes(
      BuildPieceSettingsRecord(DefaultSettingsRecord(), 0, "s", fx.live, fx.piece));
  EXPECT_TRUE(std::equal(otherEvent.begin(), otherEvent.end(),
                         image.begin() + 22 + static_cast<long>(event.size())));
  PieceModel after;
  ASSERT_EQ(test::LoadBytes(after, image), kLoadOk);
  ASSERT_EQ(after.trackCount, before.trackCount);
  for (size_t t = 0; t < before.tracks.size(); ++t) {
    ASSERT_EQ(after.tracks[t].events.size(), before.tracks[t].events.size());
    for (size_t e = 0; e < before.tracks[t].events.size(); ++e) {
      EXPECT_EQ(after.tracks[t].events[e].time, before.tracks[t].events[e].time);
      EXPECT_EQ(after.tracks[t].events[e].data1, before.tracks[t].events[e].data1);
    }
    EXPECT_EQ(after.tracks[t].name, before.tracks[t].name);
  }
  EXPECT_EQ(after.endPosition, before.endPosition);
  EXPECT_EQ(after.beatMap.size(), before.beatMap.size());
  EXPECT_EQ(after.otherMetaEvents.size(), before.otherMetaEvents.size());
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
  EXPECT_EQ(WritePieceWithSettings(fx.sources, folder.File("none.mid"), folder.File("out.mid"),
                                   DefaultSettingsRecord()),
            SettingsWriteResult::kReadFailed);
  EXPECT_EQ(ReadFile(path), saved);

  SettingsFixture builtin;
  ASSERT_EQ(OpenPiece(builtin.piece, builtin.sources, "Longing"), kLoadOk);
  EXPECT_EQ(SavePieceSettingsSlot(builtin.context, 0, "x"), SettingsWriteResult::kNotAFile);
}

}  // namespace
}  // namespace tuttiro
