// The files a musician opened lately, listed under File for quick reopening
// and kept between runs as a small text file (one path a line) in the
// settings folder.
#pragma once

#include <string>
#include <vector>

namespace tuttiro {

inline constexpr const char* kRecentFilesFileName = "recent-files.txt";

// Puts `path` first, removing an earlier entry of it; keeps at most four.
void RecentFilesAdd(std::vector<std::string>& list, const std::string& path);
void RecentFilesRemove(std::vector<std::string>& list, const std::string& path);

// The menu text of entry `index`: its number as the mnemonic, then the file's name.
std::string RecentFileLabel(int index, const std::string& path);

// A missing or unreadable file gives an empty list; lines that are not
// absolute paths are skipped.
std::vector<std::string> LoadRecentFiles(const std::string& folder);
// Creates the folder if needed; false when the list could not be written.
bool SaveRecentFiles(const std::string& folder, const std::vector<std::string>& list);

}  // namespace tuttiro
