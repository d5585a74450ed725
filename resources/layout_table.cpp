// The layout table and the tables of views and tooltips that go with it.
#include "layout_table.h"

namespace tuttiro {

const std::array<LayoutBox, kLayoutBoxCount> kLayoutTable = {{
    {9, 24, 631, 50},      // 0 Title view frame
    {150, 4, 602, 20},     // 1 title text
    {138, 55, 501, 118},   // 2 Main Transport view frame
    {8, 7, 59, 58},        // 3 Rewind
    {65, 7, 116, 58},      // 4 Stop
    {122, 7, 173, 59},     // 5 Play and Follow
    {179, 17, 209, 48},    // 6 Play File
    {214, 17, 244, 48},    // 7 Play Performance
    {250, 7, 301, 58},     // 8 Preview
    {307, 7, 358, 58},     // 9 Fast Forward
    {138, 123, 501, 211},  // 10 Song Position & Looping view frame
    {9, 49, 49, 82},       // 11 Set Loop Start
    {316, 49, 356, 82},    // 12 Set Loop End
    {163, 49, 202, 82},    // 13 Loop Mode
    {10, 8, 40, 38},       // 14 Backward Scroll
    {325, 8, 355, 38},     // 15 Forward Scroll
    {42, 12, 62, 32},      // 16 song position thumb
    {42, 12, 321, 32},     // 17 song position bar
    {56, 51, 70, 78},      // 18-21 loop start measure
    {70, 51, 84, 78},     {84, 51, 98, 78},   {98, 51, 112, 78},
    {112, 51, 117, 78},                        // 22 loop start colon
    {117, 51, 131, 78},                        // 23-24 loop start beat
    {131, 51, 145, 78},   {218, 51, 232, 78},  // 25-28 loop end measure
    {232, 51, 246, 78},   {246, 51, 260, 78}, {260, 51, 274, 78},
    {274, 51, 279, 78},                       // 29 loop end colon
    {279, 51, 293, 78},                       // 30-31 loop end beat
    {293, 51, 307, 78},   {42, 12, 321, 32},  // 32 song position thumb travel
    {507, 55, 631, 118},                      // 33 Current Tempo view frame
    {10, 25, 50, 58},                         // 34 Metronome
    {59, 25, 76, 56},                         // 35-37 current tempo
    {76, 25, 93, 56},     {93, 25, 110, 56},  {507, 123, 631, 211},  // 38 Master Tempo view frame
    {13, 69, 32, 80},                                                // 39 master tempo thumb
    {13, 25, 32, 80},                                                // 40 master tempo indicator
    {48, 49, 65, 80},                                                // 41-43 master tempo percent
    {65, 49, 82, 80},     {82, 49, 99, 80},   {13, 25, 32, 80},      // 44 master tempo thumb travel
    {9, 55, 133, 118},                                               // 45 Measure:Beat view frame
    {9, 25, 26, 56},                                                 // 46-49 measure
    {26, 25, 43, 56},     {43, 25, 60, 56},   {60, 25, 77, 56},
    {77, 25, 83, 56},                                            // 50 colon
    {83, 25, 100, 56},                                           // 51-52 beat
    {100, 25, 117, 56},   {9, 123, 133, 211},                    // 53 Master Volume view frame
    {13, 69, 32, 80},                                            // 54 master volume thumb
    {13, 25, 32, 80},                                            // 55 master volume indicator
    {48, 49, 65, 80},                                            // 56-58 master volume percent
    {65, 49, 82, 80},     {82, 49, 99, 80},   {13, 25, 32, 80},  // 59 master volume thumb travel
    {271, 216, 369, 397},                                        // 60 Tracks view frame, one strip
    {0, 0, 40, 181},                                             // 61 Tracks left part
    {40, 0, 75, 181},                                            // 62 one track strip
    {75, 0, 98, 181},                                            // 63 Tracks right part
    {24, 140, 37, 153},                                          // 64 More Tracks, backward
    {5, 140, 18, 153},  // 65 More Tracks, forward (right part)
    {8, 136, 27, 147},  // 66 track volume thumb
    {8, 61, 27, 147},   // 67 track volume indicator
    {8, 15, 29, 24},    // 68 Play Status
    {8, 26, 29, 35},    // 69 Follow Status
    {0, 2, 35, 11},     // 70 port and channel
    {0, 35, 35, 45},    // 71 transposition
    {0, 48, 35, 58},    // 72 track volume
    {0, 153, 35, 162},  // 73 track name, first line
    {0, 165, 35, 174},  // 74 track name, second line
    {8, 61, 27, 147},   // 75 track volume thumb travel
}};

const std::array<ViewInfo, kViewCount> kViewTable = {{
    {kBoxTitleFrame, kSkinTitle, "Title"},
    {kBoxMainTransportFrame, kSkinMainTransport, "Main Transport"},
    {kBoxSongPositionFrame, kSkinSongPosition, "Song Position & Looping"},
    {kBoxCurrentTempoFrame, kSkinCurrentTempo, "Current Tempo"},
    {kBoxMasterTempoFrame, kSkinMasterTempo, "Master Tempo"},
    {kBoxMeasureBeatFrame, kSkinMeasureBeat, "Measure:Beat"},
    {kBoxMasterVolumeFrame, kSkinMasterVolume, "Master Volume"},
    {kBoxTracksFrame, 0, "Tracks"},
}};

const std::array<ToolInfo, kToolCount> kToolTable = {{
    {"Rewind", kViewMainTransport, kBoxRewind, 0, ToolSpan::kBox},
    {"Stop", kViewMainTransport, kBoxStop, 0, ToolSpan::kBox},
    {"Play and Follow", kViewMainTransport, kBoxPlayAndFollow, 0, ToolSpan::kBox},
    {"Play File", kViewMainTransport, kBoxPlayFile, 0, ToolSpan::kBox},
    {"Play Performance", kViewMainTransport, kBoxPlayPerformance, 0, ToolSpan::kBox},
    {"Preview", kViewMainTransport, kBoxPreview, 0, ToolSpan::kBox},
    {"Fast Forward", kViewMainTransport, kBoxFastForward, 0, ToolSpan::kBox},
    {"Set Loop Start", kViewSongPosition, kBoxSetLoopStart, 0, ToolSpan::kBox},
    {"Set Loop End", kViewSongPosition, kBoxSetLoopEnd, 0, ToolSpan::kBox},
    {"Loop Mode", kViewSongPosition, kBoxLoopMode, 0, ToolSpan::kBox},
    {"Backward Scroll", kViewSongPosition, kBoxBackwardScroll, 0, ToolSpan::kBox},
    {"Forward Scroll", kViewSongPosition, kBoxForwardScroll, 0, ToolSpan::kBox},
    {"Song Position Indicator", kViewSongPosition, kBoxSongBar, 0, ToolSpan::kBox},
    {"Loop Start Location", kViewSongPosition, kBoxLoopStart, 24, ToolSpan::kWidened},
    {"Loop End Location", kViewSongPosition, kBoxLoopEnd, 31, ToolSpan::kWidened},
    {"Metronome", kViewCurrentTempo, kBoxMetronome, 0, ToolSpan::kBox},
    {"Current Tempo", kViewCurrentTempo, kBoxTempoDigits, 37, ToolSpan::kWidened},
    {"Master Tempo Indicator", kViewMasterTempo, kBoxMasterIndicator, 0, ToolSpan::kBox},
    {"Master Tempo", kViewMasterTempo, kBoxMasterDigits, 43, ToolSpan::kWidened},
    {"Current Location", kViewMeasureBeat, kBoxMeasureDigits, 52, ToolSpan::kWidened},
    {"Master Volume Indicator", kViewMasterVolume, kBoxVolumeIndicator, 0, ToolSpan::kBox},
    {"Master Volume", kViewMasterVolume, kBoxVolumeDigits, 58, ToolSpan::kWidened},
    {"More Tracks", kViewTracks, kBoxMoreTracksBack, 0, ToolSpan::kMoreTracks},
    {"More Tracks", kViewTracks, kBoxMoreTracksForward, 0, ToolSpan::kMoreTracks},
    {"Port and Channel", kViewTracks, kBoxPortChannel, 0, ToolSpan::kStrips},
    {"Play Status", kViewTracks, kBoxPlayStatus, 0, ToolSpan::kStrips},
    {"Follow Status", kViewTracks, kBoxFollowStatus, 0, ToolSpan::kStrips},
    {"Transposition", kViewTracks, kBoxTransposition, 0, ToolSpan::kStrips},
    {"Track Volume", kViewTracks, kBoxTrackVolumeText, 0, ToolSpan::kStrips},
    {"Track Volume Indicator", kViewTracks, kBoxTrackIndicator, 0, ToolSpan::kStrips},
    {"Track Name", kViewTracks, kBoxTrackName1, kBoxTrackName2, ToolSpan::kStrips},
}};

int ViewOfBox(int box) {
  if (box < 0 || box >= kLayoutBoxCount) return kNoView;
  // Each view's boxes follow its frame box, and the frames are in view order.
  int view = kViewCount - 1;
  while (box < kViewTable[static_cast<size_t>(view)].frameBox) --view;
  return view;
}

int ButtonSkin(int box) {
  if (box >= kBoxRewind && box <= kBoxFastForward) return kSkinRewind + (box - kBoxRewind);
  if (box >= kBoxSetLoopStart && box <= kBoxForwardScroll) {
    return kSkinSetLoopStart + (box - kBoxSetLoopStart);
  }
  if (box == kBoxMetronome) return kSkinMetronome;
  if (box == kBoxMoreTracksBack) return kSkinMoreTracksBack;
  if (box == kBoxMoreTracksForward) return kSkinMoreTracksForward;
  return 0;
}

int32_t StripPitch() {
  return kLayoutTable[kBoxTrackStrip].Width();
}
int32_t SongThumbTravel() {
  return kLayoutTable[kBoxSongTravel].right - kLayoutTable[kBoxSongPosition].right;
}
int32_t MasterThumbTravel() {
  return kLayoutTable[kBoxMasterThumb].top - kLayoutTable[kBoxMasterTravel].top;
}
int32_t TrackThumbTravel() {
  return kLayoutTable[kBoxTrackThumb].top - kLayoutTable[kBoxTrackTravel].top;
}

}  // namespace tuttiro
