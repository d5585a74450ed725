// The settings dialogs' models, headless: enabling tables, OK states with their
// single beep, values taken from MIDI, the marker lists, the Location and Loop
// Mode checks and the display name.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialogs/dialog_frame.h"
#include "dialogs/dialogs.h"
#include "dialogs/following_dialog.h"
#include "dialogs/location_dialogs.h"
#include "dialogs/markers_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

// Four bars of 4/4, one beat every 500 units, and the closing beat.
std::vector<BeatMapEntry> FourBars() {
  std::vector<BeatMapEntry> map;
  for (int i = 0; i <= 16; ++i) {
    map.push_back(BeatMapEntry{static_cast<uint32_t>(i * 500), static_cast<int16_t>(i / 4 + 1),
                               static_cast<int16_t>(i % 4 + 1), static_cast<uint32_t>(i * 4)});
  }
  return map;
}

FollowingDialog OpenDefaultFollowing() {
  return OpenFollowing(FollowingValues{}, {"Solo", "Piano", "Bass"}, false);
}

// Sets a field's text or a button as the user would, then runs the rules.
bool Type(FollowingDialog& d, int id, const std::string& text) {
  d.model[id].text = text;
  return FollowingCommand(d);
}
void Choose(FollowingDialog& d, std::initializer_list<int> group, int id) {
  for (int member : group) d.model[member].checked = member == id;
  FollowingCommand(d);
}

TEST(FollowingDialog, EnablingFollowsSourceTapSourceAndTiming) {
  FollowingDialog d = OpenDefaultFollowing();
  const DialogModel& m = d.model;
  // The soloist's playing: tracks, Start Automatically and jumping on, taps off.
  for (int id : {kFirstTrack, kOneTrack, kTwoTracks, kStartAutomatically, kJumpAnywhere, kVolume})
    EXPECT_TRUE(m.Enabled(id)) << id;
  for (int id : {kSecondTrack, kTapSpaceBar, kAllowMidiInput, kTapNoteField, kStopDelay})
    EXPECT_FALSE(m.Enabled(id)) << id;

  Choose(d, {kSoloistsPlaying, kTappedBeats}, kTappedBeats);
  for (int id : {kFirstTrack, kSecondTrack, kStartAutomatically, kJumpOff, kJumpSeveralBeats,
                 kJumpAnywhere, kVolume})
    EXPECT_FALSE(m.Enabled(id)) << id;
  for (int id : {kTapSpaceBar, kTapRightMouse, kTapNote, kTapAnyController, kAllowMidiInput})
    EXPECT_TRUE(m.Enabled(id)) << id;
  // Volume comes back for note taps.
  Choose(d, {kTapSpaceBar, kTapNote, kTapAnyNote}, kTapAnyNote);
  EXPECT_TRUE(m.Enabled(kVolume));
  EXPECT_FALSE(m.Enabled(kTapNoteField));

  Choose(d, {kSoloistsPlaying, kTappedBeats}, kSoloistsPlaying);
  d.model[kTiming].selection = 4;  // None
  d.model[kStopAutomatically].checked = true;
  FollowingCommand(d);
  for (int id : {kVolume, kWaitForSolo, kStopAutomatically, kStopDelay, kJumpOff, kStrictTime})
    EXPECT_FALSE(m.Enabled(id)) << id;
  d.model[kTiming].selection = 3;  // Low: level 1
  FollowingCommand(d);
  EXPECT_TRUE(m.Enabled(kWaitForSolo));
  EXPECT_FALSE(m.Enabled(kStopAutomatically));
  d.model[kTiming].selection = 2;  // Medium: level 2
  FollowingCommand(d);
  EXPECT_TRUE(m.Enabled(kStopDelay));
  EXPECT_TRUE(m.Enabled(kJumpSeveralBeats));
  EXPECT_TRUE(m.Enabled(kStrictTime));
}

TEST(FollowingDialog, OkStatesAndTheSingleBeep) {
  FollowingDialog d = OpenDefaultFollowing();
  EXPECT_TRUE(d.model.ok.enabled());
  struct Step {
    int field;
    const char* text;
    OkState state;
    bool beep;
  };
  Choose(d, {kSoloistsPlaying, kTappedBeats}, kTappedBeats);
  Choose(d, {kTapSpaceBar, kTapController}, kTapController);
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);  // no controller yet, silently
  const Step steps[] = {
      {kTapControllerField, "121", OkState::kValid, false},
      {kTapControllerField, "122", OkState::kInvalid, true},
      {kTapControllerField, "122x", OkState::kInvalid, false},  // still invalid: no second beep
      {kTapControllerField, "12", OkState::kValid, false},
      {kTapNoteField, "H3", OkState::kInvalid, true},  // checked even while disabled
      {kTapNoteField, "c#4", OkState::kValid, false},
      {kStopDelay, "61", OkState::kInvalid, true},
      {kStopDelay, "60", OkState::kValid, false},
      {kTapControllerField, "", OkState::kIncomplete, false},
  };
  const std::map<int, std::string> why = {
      {kTapControllerField, "The tap controller must be from 0 to 121."},
      {kTapNoteField, "The tap note must be from 0 to 127, or a note name and octave such as C5."},
      {kStopDelay, "Stop after must be from 0 to 60 seconds."}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.field) + " " + s.text);
    EXPECT_EQ(Type(d, s.field, s.text), s.beep);
    EXPECT_EQ(d.model.ok.state, s.state);
    if (s.state == OkState::kInvalid) {
      EXPECT_EQ(d.model.ok.why, why.at(s.field));
    }
  }
  EXPECT_EQ(d.model.ok.why, "Give the controller that taps the beat.");
  // An empty delay only matters while Stop Automatically is on.
  Type(d, kTapControllerField, "7");
  Type(d, kStopDelay, "");
  EXPECT_EQ(d.model.ok.state, OkState::kValid);
  d.model[kStopAutomatically].checked = true;
  FollowingCommand(d);
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);
}

TEST(FollowingDialog, CaptureWritesEachNewValueOnce) {
  FollowingDialog d = OpenDefaultFollowing();
  EXPECT_FALSE(FollowingCapture(d, 0x003C90));  // not capturing: ignored
  EXPECT_EQ(d.model.Text(kTapNoteField), "");
  Choose(d, {kSoloistsPlaying, kTappedBeats}, kTappedBeats);
  d.model[kAllowMidiInput].checked = true;
  ASSERT_TRUE(FollowingCaptureOn(d));

  FollowingCapture(d, 0x403C90);  // note on C5
  EXPECT_EQ(d.model.Text(kTapNoteField), "C5");
  EXPECT_TRUE(d.model.Checked(kTapNote));
  d.model[kTapNoteField].text = "D5";  // typed over; the same note again writes nothing
  FollowingCapture(d, 0x003C80);
  EXPECT_EQ(d.model.Text(kTapNoteField), "D5");
  FollowingCapture(d, 0x403D90);
  EXPECT_EQ(d.model.Text(kTapNoteField), "C#5");

  FollowingCapture(d, 0x7F40B0);  // controller 64
  EXPECT_EQ(d.model.Text(kTapControllerField), "64");
  EXPECT_TRUE(d.model.Checked(kTapController));
  EXPECT_FALSE(d.model.Checked(kTapNote));
  EXPECT_TRUE(d.model.Enabled(kTapControllerField));
  EXPECT_FALSE(d.model.Enabled(kTapNoteField));

  const FollowingValues v = StoreFollowing(d);
  EXPECT_EQ(v.followSource, 1);
  EXPECT_EQ(v.tapSource, 4);
  EXPECT_EQ(v.tapNote, 61);
  EXPECT_EQ(v.tapController, 64);
}

TEST(FollowingDialog, StoresWhatItShows) {
  FollowingValues in;
  in.followTwoTracks = 1;
  in.followTrack1 = 2;
  in.followTrack2 = 1;
  in.tapSource = 2;
  in.tapNote = 61;
  in.stopDelay = 12400;  // shown as whole seconds
  in.autoJump = 1;
  in.localJumps = 1;
  in.timingSensitivity = 1;
  in.volumeSensitivity = 3;
  in.waitForSolo = 1;
  in.strictTime = 1;
  const FollowingDialog flats = OpenFollowing(in, {"A", "B", "C"}, true);
  EXPECT_EQ(flats.model.Text(kTapNoteField), "Db5");
  EXPECT_EQ(flats.model.Text(kStopDelay), "12");
  EXPECT_EQ(flats.model.Selection(kTiming), 3);
  EXPECT_EQ(flats.model.Selection(kVolume), 0);
  FollowingValues expected = in;
  expected.stopDelay = 12000;
  EXPECT_EQ(StoreFollowing(flats), expected);

  FollowingDialog d = OpenDefaultFollowing();
  Choose(d, {kJumpOff, kJumpSeveralBeats, kJumpAnywhere}, kJumpOff);
  Type(d, kTapNoteField, "");
  const FollowingValues off = StoreFollowing(d);
  EXPECT_EQ(off.autoJump, 0);
  EXPECT_EQ(off.tapNote, 255);  // empty: none
}

TEST(SpecialMarkers, ListsSortMergeAndRefuseDuplicates) {
  const std::vector<BeatMapEntry> map = FourBars();
  MarkerLists lists;
  lists.rehearsalPoints = {4000, 500, 2000};
  SpecialMarkersDialog d = OpenSpecialMarkers(lists, map);
  EXPECT_EQ(d.model[kRehearsalPoints].items,
            (std::vector<std::string>{"0001:02", "0002:01", "0003:01"}));
  EXPECT_EQ(d.model[kRehearsalPoints].selection, 0);
  // Change and Delete only for a list with entries.
  EXPECT_TRUE(d.model.Enabled(kMarkerButtonsFirst + 1));
  EXPECT_FALSE(d.model.Enabled(kMarkerButtonsFirst + 3 + 1));
  EXPECT_FALSE(d.model.Enabled(kMarkerButtonsFirst + 3 + 2));

  // New proposes the beat at or before the current position; a place already
  // listed adds nothing but is selected.
  std::optional<MarkerEdit> edit = MarkerEditFor(d, kMarkerButtonsFirst, 2100);
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->begin, (MeasureBeat{2, 1}));
  MarkerEditDone(d, *edit);
  EXPECT_EQ(d.model[kRehearsalPoints].items.size(), 3u);
  EXPECT_EQ(d.model[kRehearsalPoints].selection, 1);
  // Change offers the selected entry and replaces it.
  edit = MarkerEditFor(d, kMarkerButtonsFirst + 1, 0);
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->begin, (MeasureBeat{2, 1}));
  edit->begin = MeasureBeat{4, 3};
  MarkerEditDone(d, *edit);
  EXPECT_EQ(d.model[kRehearsalPoints].items,
            (std::vector<std::string>{"0001:02", "0003:01", "0004:03"}));
  EXPECT_EQ(d.model[kRehearsalPoints].selection, 2);
  // Deleting the last entry selects the one before; the list empties.
  MarkerDelete(d, kMarkerButtonsFirst + 2);
  EXPECT_EQ(d.model[kRehearsalPoints].selection, 1);
  MarkerDelete(d, kMarkerButtonsFirst + 2);
  MarkerDelete(d, kMarkerButtonsFirst + 2);
  EXPECT_EQ(d.model[kRehearsalPoints].selection, -1);
  EXPECT_FALSE(d.model.Enabled(kMarkerButtonsFirst + 2));
  EXPECT_FALSE(MarkerEditFor(d, kMarkerButtonsFirst + 1, 0));

  // Ignore Soloist: New offers the beat as begin and end; ranges merge on OK.
  const int ignoreNew = kMarkerButtonsFirst + 12;
  edit = MarkerEditFor(d, ignoreNew, 0);
  ASSERT_TRUE(edit && edit->range);
  EXPECT_EQ(edit->end, (MeasureBeat{1, 1}));
  edit->end = MeasureBeat{2, 1};
  MarkerEditDone(d, *edit);
  edit = MarkerEditFor(d, ignoreNew, 1000);  // 0001:03
  edit->end = MeasureBeat{3, 1};
  MarkerEditDone(d, *edit);
  edit = MarkerEditFor(d, ignoreNew, 7000);  // 0004:03, apart from the others
  edit->end = MeasureBeat{4, 4};
  MarkerEditDone(d, *edit);
  EXPECT_EQ(d.model[kIgnoreSoloist].items,
            (std::vector<std::string>{"0001:01-0002:01", "0001:03-0003:01", "0004:03-0004:04"}));
  edit = MarkerEditFor(d, ignoreNew + 1, 0);  // Change offers the selected range
  EXPECT_EQ(edit->begin, (MeasureBeat{4, 3}));
  EXPECT_EQ(edit->end, (MeasureBeat{4, 4}));
  const MarkerLists stored = StoreSpecialMarkers(d);
  EXPECT_TRUE(stored.rehearsalPoints.empty());
  EXPECT_EQ(stored.ignoreSoloist, (std::vector<MarkerRange>{{0, 4000}, {7000, 7500}}));
}

TEST(SpecialMarkers, MergingRanges) {
  struct Case {
    std::vector<MarkerRange> in, out;
  };
  const Case cases[] = {
      {{}, {}},
      {{{0, 100}, {200, 300}}, {{0, 100}, {200, 300}}},
      {{{0, 100}, {100, 300}}, {{0, 300}}},              // touching
      {{{0, 500}, {100, 200}, {300, 600}}, {{0, 600}}},  // inside, then overlapping the merged one
      {{{0, 500}, {100, 200}, {700, 800}}, {{0, 500}, {700, 800}}},
  };
  for (const Case& c : cases) EXPECT_EQ(MergeIgnoreRanges(c.in), c.out);
}

TEST(IgnoreRangeDialog, OkOnlyForABeginBeforeTheEnd) {
  const std::vector<BeatMapEntry> map = FourBars();
  RangeDialog d = OpenIgnoreRange({2, 1}, {2, 1}, map);
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);  // begin = end
  struct Case {
    const char* endMeasure;
    const char* endBeat;
    OkState state;
  };
  const Case cases[] = {{"2", "2", OkState::kValid},      {"1", "4", OkState::kIncomplete},
                        {"2", "5", OkState::kIncomplete}, {"x", "1", OkState::kIncomplete},
                        {"", "1", OkState::kIncomplete},  {"5", "1", OkState::kValid}};
  for (const Case& c : cases) {
    d.model[kRangeEndMeasure].text = c.endMeasure;
    d.model[kRangeEndBeat].text = c.endBeat;
    IgnoreRangeCommand(d);
    EXPECT_EQ(d.model.ok.state, c.state) << c.endMeasure << ":" << c.endBeat;
  }
  EXPECT_EQ(StoreIgnoreRange(d).second, (MeasureBeat{5, 1}));
}

TEST(LocationDialog, OnlyABeatOfThePieceEnablesOk) {
  const std::vector<BeatMapEntry> map = FourBars();
  LocationDialog d = OpenLocation({3, 1}, map);
  EXPECT_EQ(LocationPosition(d), 4000);
  EXPECT_TRUE(d.model.ok.enabled());
  struct Case {
    const char* measure;
    const char* beat;
    std::optional<int32_t> position;
    const char* why;  // what the dialog says while OK is off
  };
  const Case cases[] = {
      {"0", "1", std::nullopt, "This piece has measures 1 to 5."},
      {"999", "1", std::nullopt, "This piece has measures 1 to 5."},
      {"2", "5", std::nullopt, "Measure 2 has beats 1 to 4."},
      {"", "1", std::nullopt, "This piece has measures 1 to 5."},
      {"2", "-1", std::nullopt, ""},  // not a number: nothing to say about the piece
      {"4", "4", 7500, ""},
      {" 5", "1", 8000, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.measure) + ":" + c.beat);
    d.model[kLocationMeasure].text = c.measure;
    d.model[kLocationBeat].text = c.beat;
    LocationCommand(d);
    EXPECT_EQ(LocationPosition(d), c.position);
    EXPECT_EQ(d.model.ok.state, c.position ? OkState::kValid : OkState::kIncomplete);
    EXPECT_EQ(d.model.ok.why, c.why);
  }
}

TEST(LoopModeDialog, ChecksBeepsAndStores) {
  const std::vector<BeatMapEntry> map = FourBars();
  LoopValues in;
  in.loopMode = 1;
  in.loopStart = 2000;
  in.loopEnd = 7999;  // shown as the beat at or before it
  LoopModeDialog d = OpenLoopMode(in, map);
  EXPECT_EQ(d.model.Text(kLoopEndMeasure), "4");
  EXPECT_EQ(d.model.Text(kLoopEndBeat), "4");
  EXPECT_TRUE(d.model.ok.enabled());
  struct Step {
    int field;
    const char* text;
    OkState state;
    bool beep;
    const char* why;
  };
  const char* order = "The loop must end after it begins.";
  const char* delay = "Restart after must be from 0 to 10 seconds.";
  const Step steps[] = {
      {kLoopBeginMeasure, "5", OkState::kInvalid, true, order},  // start after the end
      // Not a beat either: no second beep.
      {kLoopBeginMeasure, "6", OkState::kInvalid, false, "This piece has measures 1 to 5."},
      {kLoopBeginMeasure, "4", OkState::kValid, false, ""},
      {kLoopBeginBeat, "4", OkState::kIncomplete, false, order},  // start = end: silently
      {kLoopBeginBeat, "1", OkState::kValid, false, ""},
      {kRestartDelay, "10", OkState::kValid, false, ""},
      {kRestartDelay, "11", OkState::kInvalid, true, delay},
      {kRestartDelay, "", OkState::kIncomplete, false, delay},
      // An empty field is 0, never a beat.
      {kLoopEndBeat, "", OkState::kInvalid, true, "Measure 4 has beats 1 to 4."},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.field) + " " + s.text);
    d.model[s.field].text = s.text;
    EXPECT_EQ(LoopModeCommand(d), s.beep);
    EXPECT_EQ(d.model.ok.state, s.state);
    EXPECT_EQ(d.model.ok.why, s.why);
  }
  d.model[kLoopEndBeat].text = "4";
  d.model[kRestartDelay].text = "10";
  d.model.CheckRadio(std::vector<int>{kLoopOn, kLoopOff}, kLoopOff);
  LoopModeCommand(d);
  EXPECT_FALSE(d.model.Enabled(kLoopBeginMeasure));
  EXPECT_FALSE(d.model.Enabled(kRestartAutomatically));
  EXPECT_FALSE(d.model.Enabled(kLoopLabelLast));
  EXPECT_TRUE(d.model.Enabled(kSetLoopPointsAutomatically));
  const LoopValues out = StoreLoopMode(d);
  EXPECT_EQ(out.loopMode, 0);
  EXPECT_EQ(out.loopStart, 6000);
  EXPECT_EQ(out.loopEnd, 7500);
  EXPECT_EQ(out.restartDelay, 10);
}

TEST(FileInformationDialog, DisplayNameRules) {
  FileFacts facts;
  facts.fileName = "ecossaise";
  facts.lengthBars = 24;
  facts.initialKey = 8;  // string 7009
  facts.timeSigNumerator = 6;
  facts.timeSigDenominator = 8;
  FileInformationDialog d = OpenFileInformation(facts);
  EXPECT_EQ(d.model.Text(kDisplayName), "ecossaise");
  EXPECT_EQ(d.model.Text(kLength), "24 bars");
  EXPECT_EQ(d.model.Text(kInitialKey), "G major (one sharp)");
  EXPECT_EQ(d.model.Text(kInitialTimeSignature), "6/8");
  EXPECT_FALSE(d.model.Enabled(kResetToFileName));

  d.model[kDisplayName].text = "";
  FileInformationCommand(d);
  EXPECT_EQ(d.model.ok.state, OkState::kIncomplete);
  d.model[kDisplayName].text = "Ecossaise in G";
  FileInformationCommand(d);
  EXPECT_TRUE(d.model.ok.enabled());
  EXPECT_TRUE(d.model.Enabled(kResetToFileName));
  EXPECT_EQ(StoreDisplayName(d), "Ecossaise in G");
  ResetToFileName(d);
  EXPECT_FALSE(d.model.Enabled(kResetToFileName));
  EXPECT_EQ(StoreDisplayName(d), std::nullopt);  // the file name itself: no display name

  facts.displayName = "My Piece";
  facts.initialKey = -1;
  const FileInformationDialog named = OpenFileInformation(facts);
  EXPECT_EQ(named.model.Text(kDisplayName), "My Piece");
  EXPECT_EQ(named.model.Text(kInitialKey), "none");
  EXPECT_TRUE(named.model.Enabled(kResetToFileName));
}

TEST(DisplayPreferencesDialog, FreezingGreysOutShiftDrag) {
  DisplayPreferencesDialog d = OpenDisplayPreferences(DisplayValues{1, 0, 1});
  EXPECT_TRUE(d.model.Checked(kViewsMove));
  EXPECT_TRUE(d.model.Enabled(kRequireShiftDrag));
  d.model.CheckRadio(std::vector<int>{kFreezeViews, kViewsMove}, kFreezeViews);
  DisplayPreferencesCommand(d);
  EXPECT_FALSE(d.model.Enabled(kRequireShiftDrag));
  EXPECT_EQ(StoreDisplayPreferences(d), (DisplayValues{0, 0, 1}));
}

TEST(DialogFrame, CentredOnTheMainWindowAndTheZoomTrail) {
  EXPECT_EQ(CentreDialog({10, 20, 1011, 820}, 300, 200), (FrameRect{360, 320, 660, 520}));

  const FrameRect pointer{100, 100, 100, 100};
  const FrameRect dialog{400, 300, 800, 600};
  for (bool opening : {true, false}) {
    const auto frames = ZoomFrames(pointer, dialog, opening);
    ASSERT_EQ(frames.size(), static_cast<size_t>(kZoomSteps));
    for (size_t k = 0; k < frames.size(); ++k) {
      // A trail of at most four rectangles, growing to four after four steps.
      EXPECT_EQ(frames[k].size(), k < 4 ? k + 1 : (k < 18 ? 4u : 21 - k)) << k;
      for (const FrameRect& r : frames[k]) {
        EXPECT_LE(r.right, 100 + 490) << k;  // never past 70 % of the way
        EXPECT_LE(r.bottom, 100 + 350) << k;
        EXPECT_GE(r.left, 100);
      }
    }
    EXPECT_TRUE(frames.back().empty());
    // Opening starts at the pointer, closing at 70 % of the way.
    const FrameRect first = frames[0][0];
    if (opening) {
      EXPECT_EQ(first, (FrameRect{100, 100, 101, 100}));
    } else {
      EXPECT_EQ(first, (FrameRect{309, 239, 589, 449}));
    }
  }
}

}  // namespace
}  // namespace tuttiro
