// The Performance Settings dialog's rules: how a recorded performance plays
// back (mode, tapped notes, tempo before, during and after it) and where it
// sounds: through the following track's output and program, or through its
// own port, channel and bank and program selection.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_model.h"
#include "piece/piece_model.h"

namespace tuttiro {

struct PerformanceValues {
  uint16_t performancePlayback =
      0;  // Punch-In, Sound on Sound, Overwrite, Only the Following Track
  uint8_t playTappedNotes = 0;
  uint8_t usesOwnPort = 0;
  uint16_t outputPort = 0;
  uint16_t outputChannel = 0;
  ProgramCombo program;                               // the substitute of combination 0
  std::array<uint16_t, 3> performanceTempo{0, 1, 1};  // before, during, after

  bool operator==(const PerformanceValues&) const = default;
};

struct PerformanceDialog {
  DialogModel model;
};

PerformanceDialog OpenPerformance(const PerformanceValues& values,
                                  const std::vector<std::string>& portNames);
// After control `id` changed: the enabling rule and the OK state. True when
// the dialog must beep.
bool PerformanceCommand(PerformanceDialog& dialog, int id);
// The settings as the dialog shows them (OK, so the program is complete).
PerformanceValues StorePerformance(const PerformanceDialog& dialog);

}  // namespace tuttiro
