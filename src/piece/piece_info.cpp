// Piece information and load-result texts.
#include "piece/piece_info.h"

#include "string_table.h"

namespace tuttiro {

int PieceLengthBars(const PieceModel& piece) {
  if (piece.beatMap.empty()) return 0;
  size_t index = piece.beatMap.size() >= 2 ? piece.beatMap.size() - 2 : 0;
  return piece.beatMap[index].measure;
}

std::string PieceShownFileName(const PieceModel& piece) {
  const size_t slash = piece.pieceFileName.rfind('/');
  return slash == std::string::npos ? piece.pieceFileName : piece.pieceFileName.substr(slash + 1);
}

PieceInfo GetPieceInfo(const PieceModel& piece) {
  PieceInfo info;
  info.fileName = piece.pieceFileName;
  info.displayName = piece.pieceDisplayName.value_or(piece.pieceFileName);
  info.lengthBars = PieceLengthBars(piece);
  const char* key = StringText(kStringNoKey + 1 + piece.initialKey);
  info.keyName = key && piece.initialKey >= -1 && piece.initialKey <= 29 ? key : "";
  info.timeSigNumerator = piece.initialTimeSigNumerator;
  info.timeSigDenominator = piece.initialTimeSigDenominator;
  return info;
}

int LoadResultStringId(int result) {
  switch (result) {
    case kLoadOk:
      return 0;
    case kLoadDataEnded:
    case kLoadWrongFormat:
      return kStringWrongFormat;
    case kLoadNotOpened:
      return kStringFileNotFound;
    case kLoadNoChannelMessages:
      return kStringNoMidiData;
    case kLoadTooLarge:
      return kStringTooLarge;
    default:
      return kStringLoadError;
  }
}

const char* LoadResultMeaning(int result) {
  switch (result) {
    case kLoadOk:
      return "the piece was loaded";
    case kLoadNoMemory:
      return "memory could not be obtained";
    case kLoadDataEnded:
      return "the data ended before the end of a track";
    case kLoadWrongFormat:
      return "wrong format";
    case kLoadSourceFailed:
      return "the source failed to read or to close";
    case kLoadNotOpened:
      return "the source could not be opened";
    case kLoadNoChannelMessages:
      return "no track holds any channel message";
    case kLoadTooLarge:
      return "more bars or tracks than a piece can have (32767)";
    default:
      return "unknown result";
  }
}

}  // namespace tuttiro
