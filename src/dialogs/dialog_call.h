// What a dialog is opened with and gives back through the one dialog runner
// besides OK or Cancel: the Location dialog's measure:beat and the position it
// names, the Ignore Soloist Range dialog's begin and end, the track the
// Tracks dialog opens on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "piece/piece_model.h"

namespace tuttiro {

struct DialogCall {
  MeasureBeat begin{1, 1};          // the Location dialog's pair, or the range's begin
  MeasureBeat end{1, 1};            // the range's end
  std::optional<int32_t> position;  // the Location dialog's answer on OK
  int track = 0;                    // the Tracks dialog's first track shown
  std::string name;                 // the Save Settings dialog's name on OK
};

}  // namespace tuttiro
