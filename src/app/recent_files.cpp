// The recent files list and its file.
#include "app/recent_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "menu_table.h"
#include "piece/atomic_file.h"

namespace tuttiro {

void RecentFilesAdd(std::vector<std::string>& list, const std::string& path) {
  RecentFilesRemove(list, path);
  list.insert(list.begin(), path);
  if (list.size() > static_cast<size_t>(kRecentFileCount)) list.resize(kRecentFileCount);
}

void RecentFilesRemove(std::vector<std::string>& list, const std::string& path) {
  std::erase(list, path);
}

std::string RecentFileLabel(int index, const std::string& path) {
  std::string label = "&" + std::to_string(index + 1) + " ";
  // A '&' in the name is shown as it is rather than taken as a mnemonic.
  for (char c : std::filesystem::path(path).filename().string()) {
    label += c;
    if (c == '&') label += '&';
  }
  return label;
}

std::vector<std::string> LoadRecentFiles(const std::string& folder) {
  std::vector<std::string> list;
  if (folder.empty()) return list;
  std::ifstream stream(std::filesystem::path(folder) / kRecentFilesFileName);
  std::string line;
  while (std::getline(stream, line) && list.size() < static_cast<size_t>(kRecentFileCount)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (std::filesystem::path(line).is_absolute() &&
        std::find(list.begin(), list.end(), line) == list.end()) {
      list.push_back(line);
    }
  }
  return list;
}

bool SaveRecentFiles(const std::string& folder, const std::vector<std::string>& list) {
  if (folder.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::string text;
  for (const std::string& path : list) {
    // A name with a line break cannot be stored one a line; it is not remembered.
    if (path.find_first_of("\r\n") == std::string::npos) text += path + "\n";
  }
  const std::string file = (std::filesystem::path(folder) / kRecentFilesFileName).string();
  return WriteFileAtomically(file,
                             std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace tuttiro
