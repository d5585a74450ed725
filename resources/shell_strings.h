// String ids of the texts the application shell shows (start-up failures, help,
// opening files, the ports' input labels). The texts are in the string table.
#pragma once

namespace tuttiro {

inline constexpr int kStringHelpMissing = 2001;
inline constexpr int kStringCannotLoadSettings = 2007;
inline constexpr int kStringCannotSaveSettings = 2008;
inline constexpr int kStringCannotRevert = 2009;
inline constexpr int kStringCannotSaveFile = 2017;
inline constexpr int kStringPieceChanged = 2031;
inline constexpr int kStringSeriousProblem = 2015;
inline constexpr int kStringDisplayColours = 2020;
inline constexpr int kStringReplaceSettings = 6001;  // + name + 6002
inline constexpr int kStringReplaceSettingsEnd = 6002;
inline constexpr int kStringRemoveSettings = 6003;  // + name + 6004
inline constexpr int kStringRemoveSettingsEnd = 6004;
inline constexpr int kStringPerformancePrefix = 6010;
inline constexpr int kStringMidiFilesFilter = 6011;
inline constexpr int kStringMidiFilesPattern = 6012;
inline constexpr int kStringNoSettingsSaved = 6014;
inline constexpr int kStringBuiltinCopy = 6030;
inline constexpr int kStringSaveChanges = 6031;  // + name + 6032
inline constexpr int kStringSaveChangesEnd = 6032;
inline constexpr int kStringNoInputDevice = 8002;

}  // namespace tuttiro
