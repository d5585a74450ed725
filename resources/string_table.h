// The string table: every text the program shows, keyed by its string id.
#pragma once

namespace tuttiro {

inline constexpr int kStringProgramTitle = 1001;
inline constexpr int kStringWrongFormat = 2002;
inline constexpr int kStringLoadError = 2004;
inline constexpr int kStringFileNotFound = 2005;
inline constexpr int kStringNoMidiData = 2006;
inline constexpr int kStringRecordingOutOfMemory = 2012;
inline constexpr int kStringTooLarge = 2030;
inline constexpr int kStringSpecialSignalUndefined = 6040;
inline constexpr int kStringNoKey = 7000;  // key names follow from 7001

// The text of string `id`, or nullptr when the table has none.
const char* StringText(int id);

}  // namespace tuttiro
