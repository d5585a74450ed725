// The recent files list and its file.
#include "app/recent_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "menu_table.h"
#include "piece/atomic_file.h"

namespace tuttiro {
namespace {

// No path is longer than this; a longer line is not a file name.
constexpr size_t kMaxPathBytes = 4096;
// The file is read no further than this many lines or bytes, however much of
// it is junk.
constexpr int kMaxLinesRead = 64;
constexpr size_t kMaxBytesRead = 64 * 1024;
// A label shows at most this many characters of a name, the middle elided.
constexpr size_t kMaxLabelName = 60;

// The next line, or nothing when it is longer than a path can be (the rest of
// it is passed over without being kept). False at the end of the stream or
// once `budget` bytes have been read.
bool ReadBoundedLine(std::istream& in, std::string& line, bool& tooLong, size_t& budget) {
  line.clear();
  tooLong = false;
  if (budget == 0) return false;
  int c = in.get();
  if (c == EOF) return false;
  for (; c != EOF && c != '\n'; c = in.get()) {
    if (--budget == 0) return false;
    if (line.size() < kMaxPathBytes + 1) {
      line += static_cast<char>(c);
    } else {
      tooLong = true;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  tooLong = tooLong || line.size() > kMaxPathBytes;
  return true;
}

std::string Elided(const std::string& name) {
  if (name.size() <= kMaxLabelName) return name;
  const size_t half = (kMaxLabelName - 3) / 2;
  return name.substr(0, half) + "..." + name.substr(name.size() - half);
}

}  // namespace

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
  for (char c : Elided(std::filesystem::path(path).filename().string())) {
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
  bool tooLong = false;
  size_t budget = kMaxBytesRead;
  for (int read = 0; read < kMaxLinesRead && list.size() < static_cast<size_t>(kRecentFileCount) &&
                     ReadBoundedLine(stream, line, tooLong, budget);
       ++read) {
    const std::filesystem::path path(line);
    if (!tooLong && path.is_absolute() && path.has_filename() &&
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
