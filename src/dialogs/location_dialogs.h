// The Location, Loop Mode, File Information and Display Preferences dialogs'
// rules: what each shows, its enabling rule, its OK state and what it stores.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/piece_model.h"

namespace tuttiro {

// Location: a measure and beat of the piece, offered and given back.
struct LocationDialog {
  DialogModel model;
  std::vector<BeatMapEntry> beatMap;
};
LocationDialog OpenLocation(MeasureBeat at, std::span<const BeatMapEntry> beatMap);
// OK only for a beat of the piece; never a beep.
void LocationCommand(LocationDialog& dialog);
MeasureBeat StoreLocation(const LocationDialog& dialog);
// The position of the chosen beat, none while it is not a beat of the piece.
std::optional<int32_t> LocationPosition(const LocationDialog& dialog);

struct LoopValues {
  uint8_t loopMode = 0;
  int32_t loopStart = 0;
  int32_t loopEnd = 0;
  uint8_t restartLoopAutomatically = 1;
  uint16_t restartDelay = 3;
  uint8_t setLoopPointsAutomatically = 0;

  bool operator==(const LoopValues&) const = default;
};
struct LoopModeDialog {
  DialogModel model;
  std::vector<BeatMapEntry> beatMap;
};
LoopModeDialog OpenLoopMode(const LoopValues& values, std::span<const BeatMapEntry> beatMap);
// True when the dialog must beep.
bool LoopModeCommand(LoopModeDialog& dialog);
LoopValues StoreLoopMode(const LoopModeDialog& dialog);

// File Information: the facts shown and the display name edited.
struct FileFacts {
  std::string fileName;
  std::optional<std::string> displayName;
  int lengthBars = 0;
  int16_t initialKey = -1;  // -1: none
  uint32_t timeSigNumerator = 4;
  uint32_t timeSigDenominator = 4;
};
struct FileInformationDialog {
  DialogModel model;
  std::string fileName;
};
FileInformationDialog OpenFileInformation(const FileFacts& facts);
void FileInformationCommand(FileInformationDialog& dialog);
// "Reset to File Name": the file name back in the field.
void ResetToFileName(FileInformationDialog& dialog);
// The display name OK stores: none when the text is the file name.
std::optional<std::string> StoreDisplayName(const FileInformationDialog& dialog);

struct DisplayValues {
  uint8_t viewsMovable = 1;
  uint8_t requireShiftDrag = 1;
  uint8_t rememberViewLocations = 1;

  bool operator==(const DisplayValues&) const = default;
};
struct DisplayPreferencesDialog {
  DialogModel model;
};
DisplayPreferencesDialog OpenDisplayPreferences(const DisplayValues& values);
void DisplayPreferencesCommand(DisplayPreferencesDialog& dialog);
DisplayValues StoreDisplayPreferences(const DisplayPreferencesDialog& dialog);

}  // namespace tuttiro
