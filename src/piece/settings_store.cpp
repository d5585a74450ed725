// System settings files: one list of every stored setting with its JSON group,
// key and valid values serves both writing and reading, so the two cannot
// drift apart. JSON is parsed without exceptions; a value of the wrong type or
// out of range is a problem that keeps the default.
#include "piece/settings_store.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "piece/atomic_file.h"

namespace tuttiro {
namespace {

using Json = nlohmann::json;

constexpr int kFileVersion = 1;
constexpr int64_t kNoSpecial = -1;  // special values are never negative

// Valid values: min..max, and up to two special values outside that range.
struct Valid {
  int64_t min;
  int64_t max;
  int64_t special1 = kNoSpecial;
  int64_t special2 = kNoSpecial;
  bool Accepts(int64_t v) const {
    return (v >= min && v <= max) || (special1 != kNoSpecial && v == special1) ||
           (special2 != kNoSpecial && v == special2);
  }
};

constexpr Valid kFlag{0, 1};
constexpr Valid kPort{0, kSettingsPortCount - 1};
constexpr Valid kPortOrAll{0, kSettingsPortCount - 1, kAllOutputPorts};
constexpr Valid kMidiValue{0, 127};
constexpr Valid kMidiValueOrNone{0, 127, kNoNoteOrController};
constexpr Valid kDevice{0, 65535};
// Device names and the soundfont path are texts up to this length.
constexpr size_t kMaxNameLength = 4096;

// Every stored setting, visited in file order. The visitor is called as
// v(group, key, member, valid), v.Grid(...) for the channel switches, or
// v.Name / v.Names for texts.
template <class Settings, class Visitor>
void VisitSettings(Settings& s, Visitor& v) {
  v("following", "followSource", s.followSource, Valid{0, 1});
  v("following", "tapSource", s.tapSource, Valid{0, 5});
  v("following", "tapNote", s.tapNote, kMidiValueOrNone);
  v("following", "tapController", s.tapController, kMidiValueOrNone);
  v("following", "waitForSolo", s.waitForSolo, kFlag);
  v("following", "previewBeforeStarting", s.previewBeforeStarting, kFlag);
  v("following", "startAutomatically", s.startAutomatically, kFlag);
  v("following", "stopAutomatically", s.stopAutomatically, kFlag);
  v("following", "stopDelayMs", s.stopDelay, Valid{0, UINT32_MAX});
  v("following", "autoJump", s.autoJump, kFlag);
  v("following", "localJumps", s.localJumps, kFlag);
  v("following", "strictTime", s.strictTime, kFlag);
  v("following", "timingSensitivity", s.timingSensitivity, Valid{0, 4});
  v("following", "volumeSensitivity", s.volumeSensitivity, Valid{0, 3});
  // A note, 256 + a controller, or none.
  v("remoteControl", "entries", s.remoteControl,
    Valid{0, kRemoteControllerBase + 127, kRemoteNone});
  v("metronome", "on", s.metronomeOn, kFlag);
  v("metronome", "port", s.metronomePort, kPort);
  v("metronome", "channel", s.metronomeChannel, Valid{0, 15});
  v("metronome", "patch", s.metronomePatch, kMidiValueOrNone);
  v("metronome", "downbeatNote", s.downbeatNote, kMidiValueOrNone);
  v("metronome", "downbeatVelocity", s.downbeatVelocity, kMidiValue);
  v("metronome", "beatNote", s.beatNote, kMidiValueOrNone);
  v("metronome", "beatVelocity", s.beatVelocity, kMidiValue);
  v("loopMode", "on", s.loopMode, kFlag);
  v("loopMode", "restartAutomatically", s.restartLoopAutomatically, kFlag);
  v("loopMode", "restartDelaySeconds", s.restartDelay, Valid{0, 65535});
  v("loopMode", "setLoopPointsAutomatically", s.setLoopPointsAutomatically, kFlag);
  v("midiSync", "transmitSysex", s.transmitSysex, kFlag);
  v("midiSync", "sysexMode", s.sysexMode, Valid{0, 2});
  v("midiSync", "sysexPort", s.sysexPort, kPortOrAll);
  v("midiSync", "soundHeldNotes", s.soundHeldNotes, kFlag);
  v("midiSync", "thru", s.midiThru, kFlag);
  v("midiSync", "thruPort", s.thruPort, kPortOrAll);
  v("midiSync", "thruChannel", s.thruChannel, Valid{0, 15, kThruSameChannel});
  v("midiSync", "thruProcessFirst", s.thruProcessFirst, kFlag);
  v("midiSync", "transmitSync", s.transmitSync, kFlag);
  v("midiSync", "syncPort", s.syncPort, kPort);
  v("midiSync", "syncType", s.syncType, Valid{0, 1});
  v("midiSync", "frameRate", s.frameRate, Valid{0, 3});
  v("performance", "playback", s.performancePlayback, Valid{0, 3});
  v("performance", "playTappedNotes", s.playTappedNotes, kFlag);
  v("performance", "tempoBefore", s.performanceTempo[0], Valid{0, 1});
  v("performance", "tempoDuring", s.performanceTempo[1], Valid{0, 1});
  v("performance", "tempoAfter", s.performanceTempo[2], Valid{0, 2});
  v("ports", "inputDevices", s.inputDevice, kDevice);
  v("ports", "outputDevices", s.outputDevice, kDevice);
  v("ports", "outputLeadMs", s.outputLeadMs, Valid{0, kMaxOutputLeadMs});
  v.Grid("ports", "incomingChannels", s.incomingChannels, kFlag);
  v.Names("ports", "inputDeviceNames", s.inputDeviceName);
  v.Names("ports", "outputDeviceNames", s.outputDeviceName);
  v.Name("synthesizer", "soundfont", s.soundfont);
  v("display", "viewsMovable", s.viewsMovable, kFlag);
  v("display", "requireShiftDrag", s.requireShiftDrag, kFlag);
  v("display", "rememberViewLocations", s.rememberViewLocations, kFlag);
  v("display", "connectNotice", s.connectNotice, kFlag);
}

struct JsonWriter {
  Json root = Json::object();

  template <class T>
  void operator()(const char* group, const char* key, const T& value, Valid) {
    root[group][key] = value;
  }
  template <class T, size_t N>
  void operator()(const char* group, const char* key, const std::array<T, N>& values, Valid) {
    root[group][key] = Json(values);
  }
  template <size_t N>
  void Grid(const char* group, const char* key, const std::array<uint8_t, N>& values, Valid) {
    Json rows = Json::array();
    for (size_t r = 0; r < kSettingsPortCount; ++r) {
      auto first = values.begin() + static_cast<long>(r * 16);
      rows.push_back(Json(std::vector<uint8_t>(first, first + 16)));
    }
    root[group][key] = rows;
  }
  void Name(const char* group, const char* key, const std::string& value) {
    root[group][key] = value;
  }
  template <size_t N>
  void Names(const char* group, const char* key, const std::array<std::string, N>& values) {
    root[group][key] = Json(values);
  }
};

// A text that fits; anything else (a number, a huge string) is refused.
bool TakeName(const Json& j, std::string& out) {
  if (!j.is_string() || j.get_ref<const std::string&>().size() > kMaxNameLength) return false;
  out = j.get<std::string>();
  return true;
}

struct JsonReader {
  const Json& root;
  std::vector<std::string> problems;

  // The value at group/key, or null when it is absent (absent values keep
  // their defaults silently: a file from an older version lacks them).
  const Json* Find(const char* group, const char* key) {
    auto g = root.find(group);
    if (g == root.end()) return nullptr;
    if (!g->is_object()) {
      if (std::find(problems.begin(), problems.end(), group) == problems.end())
        problems.push_back(group);
      return nullptr;
    }
    auto k = g->find(key);
    return k == g->end() ? nullptr : &*k;
  }
  void Problem(const char* group, const char* key) {
    std::string name = std::string(group) + "." + key;
    if (problems.empty() || problems.back() != name) problems.push_back(name);
  }
  template <class T>
  bool Take(const Json& j, T& out, Valid valid) {
    int64_t v = 0;
    if (j.is_number_unsigned()) {
      uint64_t u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(INT64_MAX)) return false;
      v = static_cast<int64_t>(u);
    } else if (j.is_number_integer()) {
      v = j.get<int64_t>();
    } else {
      return false;
    }
    if (!valid.Accepts(v)) return false;
    out = static_cast<T>(v);
    return true;
  }
  template <class T>
  void operator()(const char* group, const char* key, T& value, Valid valid) {
    if (const Json* j = Find(group, key); j && !Take(*j, value, valid)) Problem(group, key);
  }
  // An array entry that cannot be read keeps its default; so do entries
  // beyond a short array.
  template <class T, size_t N>
  void operator()(const char* group, const char* key, std::array<T, N>& values, Valid valid) {
    const Json* j = Find(group, key);
    if (!j) return;
    if (!j->is_array() || j->size() != N) Problem(group, key);
    if (!j->is_array()) return;
    for (size_t i = 0; i < N && i < j->size(); ++i) {
      if (!Take((*j)[i], values[i], valid)) Problem(group, key);
    }
  }
  template <size_t N>
  void Grid(const char* group, const char* key, std::array<uint8_t, N>& values, Valid valid) {
    const Json* j = Find(group, key);
    if (!j) return;
    if (!j->is_array() || j->size() != kSettingsPortCount) Problem(group, key);
    if (!j->is_array()) return;
    for (size_t r = 0; r < kSettingsPortCount && r < j->size(); ++r) {
      const Json& row = (*j)[r];
      if (!row.is_array() || row.size() != 16) Problem(group, key);
      if (!row.is_array()) continue;
      for (size_t c = 0; c < 16 && c < row.size(); ++c) {
        if (!Take(row[c], values[r * 16 + c], valid)) Problem(group, key);
      }
    }
  }
  void Name(const char* group, const char* key, std::string& value) {
    if (const Json* j = Find(group, key); j && !TakeName(*j, value)) Problem(group, key);
  }
  template <size_t N>
  void Names(const char* group, const char* key, std::array<std::string, N>& values) {
    const Json* j = Find(group, key);
    if (!j) return;
    if (!j->is_array() || j->size() != N) Problem(group, key);
    if (!j->is_array()) return;
    for (size_t i = 0; i < N && i < j->size(); ++i) {
      if (!TakeName((*j)[i], values[i])) Problem(group, key);
    }
  }
};

Json SettingsToJsonValue(const SystemSettings& settings) {
  JsonWriter writer;
  VisitSettings(settings, writer);
  return writer.root;
}

SystemSettings SettingsFromJsonValue(const Json& value, const SystemSettings& defaults,
                                     std::string& problem) {
  SystemSettings settings = defaults;
  problem.clear();
  if (!value.is_object()) {
    problem = "not a settings object";
    return settings;
  }
  JsonReader reader{value, {}};
  VisitSettings(settings, reader);
  for (const std::string& name : reader.problems) problem += (problem.empty() ? "" : ", ") + name;
  settings.followerInputMode = IdleFollowerInputMode(settings);
  return settings;
}

std::string Dump(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The file's text; false when it does not exist or cannot be read.
bool ReadText(const std::filesystem::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

bool WriteText(const std::string& folder, const char* fileName, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  std::string path = (std::filesystem::path(folder) / fileName).string();
  return WriteFileAtomically(
      path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string UnreadableMessage(const std::filesystem::path& path) {
  return "The settings file " + path.string() +
         " could not be read. Tuttiro uses the default settings instead.";
}

std::string PartlyReadMessage(const std::filesystem::path& path, const std::string& problem) {
  return "Some settings in " + path.string() + " could not be read (" + problem +
         "). Tuttiro uses their default values instead.";
}

// The named sets file: an array of {name, settings}, in saving order.
struct NamedEntry {
  std::string name;
  Json settings;
};

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= kMaxNamedSettingsLength;
}

// Reads the named sets that can be read; `damaged` tells whether anything could not.
std::vector<NamedEntry> ReadNamed(const std::string& folder, bool& damaged) {
  damaged = false;
  std::vector<NamedEntry> entries;
  std::string text;
  if (!ReadText(std::filesystem::path(folder) / kNamedSettingsFileName, text)) return entries;
  Json root = Json::parse(text, nullptr, false);
  auto list = root.is_object() ? root.find("named") : root.end();
  if (!root.is_object() || list == root.end() || !list->is_array()) {
    damaged = true;
    return entries;
  }
  for (const Json& item : *list) {
    auto name = item.is_object() ? item.find("name") : item.end();
    auto settings = item.is_object() ? item.find("settings") : item.end();
    bool ok = item.is_object() && name != item.end() && name->is_string() &&
              settings != item.end() && settings->is_object() &&
              ValidName(name->get<std::string>()) &&
              static_cast<int>(entries.size()) < kMaxNamedSettings;
    if (ok) {
      for (const NamedEntry& e : entries) ok = ok && e.name != name->get<std::string>();
    }
    if (!ok) {
      damaged = true;
      continue;
    }
    entries.push_back({name->get<std::string>(), *settings});
  }
  return entries;
}

bool WriteNamed(const std::string& folder, const std::vector<NamedEntry>& entries) {
  Json list = Json::array();
  for (const NamedEntry& e : entries)
    list.push_back(Json{{"name", e.name}, {"settings", e.settings}});
  Json root{{"version", kFileVersion}, {"named", list}};
  return WriteText(folder, kNamedSettingsFileName, Dump(root));
}

// A damaged named file is kept beside the new one rather than overwritten,
// so that sets it still holds are not lost.
void SetDamagedFileAside(const std::string& folder) {
  std::filesystem::path path = std::filesystem::path(folder) / kNamedSettingsFileName;
  std::error_code error;
  std::filesystem::rename(path, path.string() + ".damaged", error);
}

// A system settings file that cannot be read is moved aside as
// NAME.damaged before the defaults are written over it at exit, unless an
// earlier damaged copy is already kept there (the first is never lost). Adds
// where it went to the message.
void SetDamagedSystemFileAside(const std::filesystem::path& path, std::string& message) {
  const std::filesystem::path aside = path.string() + ".damaged";
  std::error_code error;
  if (std::filesystem::exists(aside, error)) {
    message += " An earlier damaged copy is kept as " + aside.string() + ".";
    return;
  }
  std::filesystem::rename(path, aside, error);
  if (!error) message += " The damaged file is kept as " + aside.string() + ".";
}

}  // namespace

std::string SettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return (std::filesystem::path(config) / "tuttiro").string();
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0')
    return (std::filesystem::path(home) / ".config" / "tuttiro").string();
  return {};
}

std::string SystemSettingsToJson(const SystemSettings& settings) {
  Json root{{"version", kFileVersion}};
  root.update(SettingsToJsonValue(settings));
  return Dump(root);
}

SystemSettings SystemSettingsFromJson(const std::string& text, const SystemSettings& defaults,
                                      std::string& problem) {
  Json root = Json::parse(text, nullptr, false);
  if (root.is_discarded()) {
    problem = "not valid JSON";
    return defaults;
  }
  return SettingsFromJsonValue(root, defaults, problem);
}

SystemSettings LoadSystemSettings(const std::string& folder, const SystemSettings& defaults,
                                  std::string& message) {
  message.clear();
  std::filesystem::path path = std::filesystem::path(folder) / kSystemSettingsFileName;
  std::error_code error;
  if (folder.empty() || !std::filesystem::exists(path, error)) return defaults;
  std::string text;
  if (!ReadText(path, text)) {
    message = UnreadableMessage(path);
    SetDamagedSystemFileAside(path, message);
    return defaults;
  }
  std::string problem;
  Json root = Json::parse(text, nullptr, false);
  if (!root.is_object()) {
    message = UnreadableMessage(path);
    SetDamagedSystemFileAside(path, message);
    return defaults;
  }
  SystemSettings settings = SettingsFromJsonValue(root, defaults, problem);
  if (!problem.empty()) message = PartlyReadMessage(path, problem);
  return settings;
}

bool SaveSystemSettings(const std::string& folder, const SystemSettings& settings) {
  return !folder.empty() &&
         WriteText(folder, kSystemSettingsFileName, SystemSettingsToJson(settings));
}

std::vector<std::string> NamedSettingsList(const std::string& folder, std::string& message) {
  bool damaged = false;
  std::vector<std::string> names;
  message.clear();
  for (const NamedEntry& e : ReadNamed(folder, damaged)) names.push_back(e.name);
  if (damaged)
    message =
        PartlyReadMessage(std::filesystem::path(folder) / kNamedSettingsFileName, "saved settings");
  return names;
}

NamedSettingsResult SaveNamedSettings(const std::string& folder, const std::string& name,
                                      const SystemSettings& settings, bool replace) {
  if (!ValidName(name)) return NamedSettingsResult::kInvalidName;
  bool damaged = false;
  std::vector<NamedEntry> entries = ReadNamed(folder, damaged);
  Json value = SettingsToJsonValue(settings);
  auto found = std::find_if(entries.begin(), entries.end(),
                            [&](const NamedEntry& e) { return e.name == name; });
  if (found != entries.end()) {
    if (!replace) return NamedSettingsResult::kExists;
    found->settings = value;
  } else {
    if (static_cast<int>(entries.size()) >= kMaxNamedSettings) return NamedSettingsResult::kFull;
    entries.push_back({name, value});
  }
  if (damaged) SetDamagedFileAside(folder);
  return WriteNamed(folder, entries) ? NamedSettingsResult::kOk : NamedSettingsResult::kWriteFailed;
}

NamedSettingsResult LoadNamedSettings(const std::string& folder, const std::string& name,
                                      const SystemSettings& defaults, SystemSettings& settings,
                                      std::string& message) {
  bool damaged = false;
  message.clear();
  for (const NamedEntry& e : ReadNamed(folder, damaged)) {
    if (e.name != name) continue;
    std::string problem;
    settings = SettingsFromJsonValue(e.settings, defaults, problem);
    if (!problem.empty())
      message = PartlyReadMessage(std::filesystem::path(folder) / kNamedSettingsFileName,
                                  "'" + name + "': " + problem);
    return NamedSettingsResult::kOk;
  }
  return NamedSettingsResult::kNotFound;
}

NamedSettingsResult RemoveNamedSettings(const std::string& folder, const std::string& name) {
  bool damaged = false;
  std::vector<NamedEntry> entries = ReadNamed(folder, damaged);
  auto found = std::find_if(entries.begin(), entries.end(),
                            [&](const NamedEntry& e) { return e.name == name; });
  if (found == entries.end()) return NamedSettingsResult::kNotFound;
  entries.erase(found);
  if (damaged) SetDamagedFileAside(folder);
  return WriteNamed(folder, entries) ? NamedSettingsResult::kOk : NamedSettingsResult::kWriteFailed;
}

}  // namespace tuttiro
