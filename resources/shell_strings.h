// String ids of the texts the application shell shows (start-up failures, help,
// opening files, the ports' input labels). The texts are in the string table.
#pragma once

namespace tuttiro {

inline constexpr int kStringHelpMissing = 2001;
inline constexpr int kStringSeriousProblem = 2015;
inline constexpr int kStringDisplayColours = 2020;
inline constexpr int kStringMidiFilesFilter = 6011;
inline constexpr int kStringMidiFilesPattern = 6012;
inline constexpr int kStringNoSettingsSaved = 6014;
inline constexpr int kStringDialogNotReady = 8001;
inline constexpr int kStringNoInputDevice = 8002;

}  // namespace tuttiro
