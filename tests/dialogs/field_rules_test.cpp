// The dialogs' field rules: numbers, notes, measure:beat pairs, marker texts, the
// OK state's single beep and the standard lists.
#include "dialogs/field_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace tuttiro {
namespace {

TEST(FieldRules, IntegerFields) {
  struct Case {
    const char* text;
    bool allowSign;
    bool allowEmpty;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"12", false, false, true, 12},
      {"  12", false, false, true, 12},  // leading blanks are skipped
      {"12 ", false, false, false, 0},   // a trailing blank is not
      {"1 2", false, false, false, 0},
      {"-7", true, false, true, -7},
      {"-7", false, false, false, 0},  // no sign where signs are not allowed
      {"+-7", true, false, false, 0},
      {"7-", true, false, false, 0},
      {"-", true, true, true, 0},  // a lone sign reads as empty
      {"-", true, false, false, 0},
      {"", false, true, true, 0},
      {"", false, false, false, 0},
      {"   ", false, true, true, 0},
      {"999999999", false, false, true, 999999999},
      {"1000000000", false, false, false, 0},  // ten digits
      {"12a", false, false, false, 0},
      {"0x10", false, false, false, 0},
  };
  for (const Case& c : cases) {
    const FieldValue v = ReadInteger(c.text, c.allowSign, c.allowEmpty);
    EXPECT_EQ(v.ok, c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v.value, c.ok ? c.value : 0) << c.text;
  }
  // Only the first 259 characters are read.
  EXPECT_TRUE(ReadInteger(std::string(259, ' ') + "x", false, true).ok);
}

TEST(FieldRules, NoteFieldsAndNoteNames) {
  struct Case {
    const char* text;
    bool ok;
    int32_t note;
  };
  const Case cases[] = {
      {"C5", true, 60}, {"c 5", true, 60},  {"60", true, 60},   {"G10", true, 127},
      {"B", true, 11},  {"c#4", true, 49},  {"Db4", true, 49},  {"bb3", true, 46},
      {"H3", false, 0}, {"Bb-1", false, 0}, {"G#10", false, 0}, {"128", false, 0},
      {"C-0", true, 0}, {"C5 ", false, 0},  {"", true, 0},
  };
  for (const Case& c : cases) {
    const FieldValue v = ReadNote(c.text, true);
    EXPECT_EQ(v.ok, c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v.value, c.ok ? c.note : 0) << c.text;
  }
  EXPECT_FALSE(ReadNote("", false).ok);
  EXPECT_EQ(ShowNote(60, false), "C5");
  EXPECT_EQ(ShowNote(61, false), "C#5");
  EXPECT_EQ(ShowNote(61, true), "Db5");
  EXPECT_EQ(ShowNote(0, true), "C0");
  EXPECT_EQ(ShowNote(127, false), "G10");
  for (int note = 0; note < 128; ++note) {
    EXPECT_EQ(ReadNote(ShowNote(note, note % 2 == 0), false).value, note);
  }
}

// A piece of two bars of 3/4, then one bar of 2/4.
std::vector<BeatMapEntry> Beats() {
  return {{0, 1, 1, 0},     {500, 1, 2, 4},   {1000, 1, 3, 8},  {1500, 2, 1, 12}, {2000, 2, 2, 16},
          {2500, 2, 3, 20}, {3000, 3, 1, 24}, {3500, 3, 2, 28}, {4000, 4, 1, 32}};
}

TEST(FieldRules, MeasureBeatPairsAndMarkerTexts) {
  const std::vector<BeatMapEntry> beats = Beats();
  EXPECT_EQ(MeasureBeatPosition(beats, {2, 3}), 2500);
  EXPECT_EQ(MeasureBeatPosition(beats, {3, 3}), std::nullopt);  // 2/4 has no third beat
  EXPECT_EQ(MeasureBeatPosition(beats, {0, 1}), std::nullopt);
  EXPECT_EQ(MeasureBeatPosition(beats, {9, 1}), std::nullopt);
  EXPECT_EQ(BeatAtOrBefore(beats, 2700), (MeasureBeat{2, 3}));
  EXPECT_EQ(BeatAtOrBefore(beats, 2500), (MeasureBeat{2, 3}));

  EXPECT_EQ(FormatMarker(beats, 2500), "0002:03");
  EXPECT_EQ(FormatMarkerRange(beats, 500, 3000), "0001:02-0003:01");
  EXPECT_EQ(ParseMarker(beats, "0002:03"), 2500);
  EXPECT_EQ(ParseMarker(beats, "0003:03"), std::nullopt);
  EXPECT_EQ(ParseMarker(beats, "02:3"), std::nullopt);
  const auto range = ParseMarkerRange(beats, "0001:02-0003:01");
  ASSERT_TRUE(range);
  EXPECT_EQ(*range, std::make_pair(500, 3000));
  EXPECT_EQ(ParseMarkerRange(beats, "0001:02"), std::nullopt);
  // Sorting the texts sorts the markers by time.
  EXPECT_LT(FormatMarker(beats, 1000), FormatMarker(beats, 1500));
}

TEST(FieldRules, OkStateBeepsOnceOnEnteringInvalid) {
  OkButton ok;
  EXPECT_FALSE(ok.Set(OkState::kIncomplete));
  EXPECT_FALSE(ok.enabled());
  EXPECT_TRUE(ok.Set(OkState::kInvalid));
  EXPECT_FALSE(ok.Set(OkState::kInvalid));  // a second bad character: no second beep
  EXPECT_FALSE(ok.Set(OkState::kValid));
  EXPECT_TRUE(ok.enabled());
  EXPECT_TRUE(ok.Set(OkState::kInvalid));  // broken again: beeps again
}

TEST(FieldRules, ChannelPortAndTrackLists) {
  const std::vector<std::string> channels = ChannelList();
  ASSERT_EQ(channels.size(), 16u);
  EXPECT_EQ(channels.front(), "Channel 1");
  EXPECT_EQ(channels.back(), "Channel 16");
  const std::vector<std::string> devices = {"Built-in synthesizer", "Keyboard"};
  const std::vector<std::string> ports = PortList(devices);
  ASSERT_EQ(ports.size(), 8u);
  EXPECT_EQ(ports[0], "A--Built-in synthesizer");
  EXPECT_EQ(ports[1], "B--Keyboard");
  EXPECT_EQ(ports[7], "H--");

  PieceModel piece;
  piece.tracks.resize(3);
  piece.trackCount = 2;
  piece.tracks[0].name = "Solo Violin";
  piece.tracks[1].name = "Piano";
  piece.tracks[1].userName = "Accompaniment";
  piece.tracks[2].name = "(Performance Track)";
  EXPECT_EQ(TrackList(piece, false), (std::vector<std::string>{"Solo Violin", "Accompaniment"}));
  EXPECT_EQ(TrackList(piece, true).back(), "(Performance Track)");
}

}  // namespace
}  // namespace tuttiro
