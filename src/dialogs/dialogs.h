// Control ids of the settings dialogs, the numbers their controls keep in every
// layer: the dialog models address controls by them and the Qt dialogs give each
// widget its id, so a test or a model speaks of "control 210" the same way.
#pragma once

namespace tuttiro::dialogs {

// Every dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kHelp = 3;

// Save Settings (100).
inline constexpr int kSettingsName = 101;

// Following (200).
inline constexpr int kSoloistsPlaying = 201;
inline constexpr int kTappedBeats = 202;
inline constexpr int kTapSpaceBar = 203;
inline constexpr int kTapRightMouse = 204;
inline constexpr int kTapNote = 205;
inline constexpr int kTapAnyNote = 206;
inline constexpr int kTapController = 207;
inline constexpr int kTapAnyController = 208;
inline constexpr int kAllowMidiInput = 209;
inline constexpr int kTapNoteField = 210;
inline constexpr int kTapControllerField = 211;
inline constexpr int kFirstTrack = 212;
inline constexpr int kSecondTrack = 214;
inline constexpr int kTiming = 215;
inline constexpr int kVolume = 216;
inline constexpr int kWaitForSolo = 217;
inline constexpr int kPreviewBeforeStarting = 218;
inline constexpr int kStartAutomatically = 219;
inline constexpr int kStopAutomatically = 220;
inline constexpr int kStopDelay = 221;
inline constexpr int kFirstTrackLabel = 224;
inline constexpr int kSecondTrackLabel = 225;
inline constexpr int kStopAfterLabel = 226;
inline constexpr int kStopSecondsLabel = 227;
inline constexpr int kStrictTime = 228;
inline constexpr int kVolumeLabel = 229;
inline constexpr int kOneTrack = 231;
inline constexpr int kTwoTracks = 232;
inline constexpr int kJumpOff = 236;
inline constexpr int kJumpSeveralBeats = 237;
inline constexpr int kJumpAnywhere = 238;

// Loop Mode (300).
inline constexpr int kLoopBeginMeasure = 301;
inline constexpr int kLoopBeginBeat = 302;
inline constexpr int kLoopEndMeasure = 303;
inline constexpr int kLoopEndBeat = 304;
inline constexpr int kRestartDelay = 305;
inline constexpr int kRestartAutomatically = 307;
inline constexpr int kSetLoopPointsAutomatically = 308;
inline constexpr int kLoopOn = 311;
inline constexpr int kLoopOff = 312;
inline constexpr int kLoopLabelFirst = 320;
inline constexpr int kLoopLabelLast = 328;

// MIDI Metronome (400).
inline constexpr int kMetronomeChannel = 404;
inline constexpr int kMetronomePatch = 405;
inline constexpr int kDownbeatNote = 406;
inline constexpr int kDownbeatVelocity = 407;
inline constexpr int kBeatNote = 408;
inline constexpr int kBeatVelocity = 409;
inline constexpr int kMetronomeCapture = 410;
inline constexpr int kMetronomeOn = 411;
inline constexpr int kMetronomeOff = 412;
inline constexpr int kMetronomePort = 413;
inline constexpr int kMetronomeLabelFirst = 420;  // the labels of the port list and the five fields
inline constexpr int kMetronomeLabelLast = 426;

// Location (500).
inline constexpr int kLocationMeasure = 501;
inline constexpr int kLocationBeat = 502;

// Remote Control (600): row r has its Note radio at 601 + r, its Controller
// radio at 615 + r, its note field at 629 + r and its controller field at 643 + r.
inline constexpr int kRemoteRows = 14;
inline constexpr int kRemoteNoteRadio = 601;
inline constexpr int kRemoteControllerRadio = 615;
inline constexpr int kRemoteNoteField = 629;
inline constexpr int kRemoteControllerField = 643;
inline constexpr int kRemoteCapture = 657;
inline constexpr int kRemoteClearAll = 658;

// Special Markers (800): the five lists, then New / Change / Delete of each.
inline constexpr int kRehearsalPoints = 801;
inline constexpr int kWaitForSoloist = 802;
inline constexpr int kWaitForSignal = 803;
inline constexpr int kRestoreTempo = 804;
inline constexpr int kIgnoreSoloist = 805;
inline constexpr int kMarkerListCount = 5;
inline constexpr int kMarkerButtonsFirst = 806;  // list i: 806 + 3i New, +1 Change, +2 Delete

// Master Transpose (900).
inline constexpr int kTransposeField = 901;
inline constexpr int kTransposeReset = 902;

// Tempo (1000).
inline constexpr int kTempoPercent = 1001;
inline constexpr int kTempoBpm = 1002;
inline constexpr int kTempoReset = 1003;

// MIDI & Sync Setup (1100).
inline constexpr int kThruChannelLabel = 1101;
inline constexpr int kTransmitSysex = 1102;
inline constexpr int kFrameTypeLabel = 1103;
inline constexpr int kSoundHeldNotes = 1104;
inline constexpr int kThruChannel = 1106;
inline constexpr int kThruProcessFirst = 1107;
inline constexpr int kTransmitSync = 1108;
inline constexpr int kMidiClockSync = 1109;
inline constexpr int kTimeCodeSync = 1110;
inline constexpr int kFrameType = 1111;
inline constexpr int kSyncPort = 1132;
inline constexpr int kThruOn = 1134;
inline constexpr int kThruOff = 1135;
inline constexpr int kThruPort = 1137;
inline constexpr int kSysexPort = 1138;
inline constexpr int kSysexEveryTime = 1139;
inline constexpr int kSysexAsTheyAppear = 1140;
inline constexpr int kSysexWhenOpened = 1141;
inline constexpr int kSyncPortLabel = 1150;
inline constexpr int kThruPortLabel = 1151;
inline constexpr int kSysexPortLabel = 1152;

// Ignore Soloist Range (1200).
inline constexpr int kRangeBeginMeasure = 1201;
inline constexpr int kRangeBeginBeat = 1202;
inline constexpr int kRangeEndMeasure = 1203;
inline constexpr int kRangeEndBeat = 1204;

// File Information (1300).
inline constexpr int kDisplayName = 1301;
inline constexpr int kResetToFileName = 1302;
inline constexpr int kFileName = 1303;
inline constexpr int kLength = 1304;
inline constexpr int kInitialKey = 1305;
inline constexpr int kInitialTimeSignature = 1306;

// MIDI Ports & Devices (1600): port p (0-7 for A-H) has its input combo at
// 1601 + p, its output combo at 1609 + p and its lead field at 1617 + p; the
// labels follow the same order from 1640, 1650 and 1660.
inline constexpr int kPortInputFirst = 1601;
inline constexpr int kPortOutputFirst = 1609;
inline constexpr int kPortLeadFirst = 1617;
inline constexpr int kSoundfont = 1625;
inline constexpr int kSoundfontBrowse = 1626;
inline constexpr int kSoundfontProblem = 1627;
inline constexpr int kPortInputLabelFirst = 1640;
inline constexpr int kPortOutputLabelFirst = 1650;
inline constexpr int kPortLeadLabelFirst = 1660;
inline constexpr int kSoundfontLabel = 1670;

// Display Preferences (1500).
inline constexpr int kFreezeViews = 1501;
inline constexpr int kViewsMove = 1502;
inline constexpr int kRequireShiftDrag = 1503;
inline constexpr int kRememberViewLocations = 1504;

// Performance Settings (1400).
inline constexpr int kPerformanceMode = 1401;
inline constexpr int kPlayTappedNotes = 1402;
inline constexpr int kFollowingTrackOutput = 1403;
inline constexpr int kOwnPort = 1404;
inline constexpr int kPerformancePort = 1405;
inline constexpr int kPerformanceChannel = 1406;
inline constexpr int kPerformanceKind = 1407;
inline constexpr int kPerformanceValue1 = 1408;
inline constexpr int kPerformanceValue2 = 1409;
inline constexpr int kPerformanceValue3 = 1410;
inline constexpr int kTempoBefore = 1411;
inline constexpr int kTempoDuring = 1412;
inline constexpr int kTempoAfter = 1413;
inline constexpr int kPerformanceValuesLabel = 1414;

// Tracks (700).
inline constexpr int kTrackName = 701;
inline constexpr int kTrackList = 702;
inline constexpr int kResetToOriginalName = 703;
inline constexpr int kTrackChannel = 705;
inline constexpr int kTrackTranspose = 706;
inline constexpr int kResetTranspose = 707;
inline constexpr int kTrackVolumeField = 708;
inline constexpr int kResetVolume = 709;
inline constexpr int kPlayTrack = 715;
inline constexpr int kMuteTrack = 716;
inline constexpr int kTrackPort = 717;
inline constexpr int kResetTrack = 719;
inline constexpr int kUndoChanges = 722;

// Banks & Programs (1700).
inline constexpr int kNewChangeKind = 1702;
inline constexpr int kNewValue1 = 1703;
inline constexpr int kNewValue2 = 1704;
inline constexpr int kNewValue3 = 1705;
inline constexpr int kSetNew = 1706;
inline constexpr int kUseFilesPrograms = 1707;
inline constexpr int kSubstitutePrograms = 1708;
inline constexpr int kProgramEntries = 1709;
inline constexpr int kBanksTrackList = 1710;
inline constexpr int kNewValueLabel = 1711;
inline constexpr int kNewValuesLabel = 1712;

}  // namespace tuttiro::dialogs
