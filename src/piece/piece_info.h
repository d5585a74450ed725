// What the File Information dialog and `tuttiro-cli info` tell about a loaded
// piece, and the user's words for each load result.
#pragma once

#include <cstdint>
#include <string>

#include "piece/piece_model.h"

namespace tuttiro {

struct PieceInfo {
  std::string fileName;
  std::string displayName;
  int lengthBars = 0;
  std::string keyName;  // empty when the key code names no string
  uint32_t timeSigNumerator = 4;
  uint32_t timeSigDenominator = 4;
};

PieceInfo GetPieceInfo(const PieceModel& piece);

// The piece's file as the title and File Information name it: the file's own
// name without its folders or extension.
std::string PieceShownFileName(const PieceModel& piece);

// The measure of the next-to-last beat: the last beat is the first one at or
// after the end, so a piece ending on a bar line counts the bars it fills.
int PieceLengthBars(const PieceModel& piece);

// String id of the message a failed load shows (0 for a successful load).
int LoadResultStringId(int result);
// A short technical description of a load result, for logs and the CLI.
const char* LoadResultMeaning(int result);

}  // namespace tuttiro
