// The reader's corpus: every file in valid/ loads; every file in
// invalid/<defect>/ fails with the result its folder names.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "piece/piece_model.h"

namespace tuttiro {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(TUTTIRO_TEST_DATA) / "piece" / "corpus";

TEST(Corpus, ValidFilesLoad) {
  int files = 0;
  for (const auto& entry : fs::directory_iterator(kCorpus / "valid")) {
    PieceModel piece;
    PieceSourceState sources;
    EXPECT_EQ(OpenPiece(piece, sources, entry.path().string()), kLoadOk) << entry.path();
    EXPECT_GE(piece.trackCount, 1);
    ++files;
  }
  EXPECT_GE(files, 5);
}

TEST(Corpus, DamagedFilesFailWithTheirResult) {
  const std::map<std::string, int> expected = {{"wrong-format", kLoadWrongFormat},
                                               {"data-ended", kLoadDataEnded},
                                               {"no-channel-messages", kLoadNoChannelMessages}};
  int files = 0;
  for (const auto& defect : fs::directory_iterator(kCorpus / "invalid")) {
    const std::string name = defect.path().filename().string();
    ASSERT_TRUE(expected.count(name)) << "unknown defect folder " << name;
    for (const auto& entry : fs::directory_iterator(defect.path())) {
      PieceModel piece;
      PieceSourceState sources;
      EXPECT_EQ(OpenPiece(piece, sources, entry.path().string()), expected.at(name))
          << entry.path();
      EXPECT_FALSE(piece.pieceLoaded);
      ++files;
    }
  }
  EXPECT_GE(files, 10);
}

}  // namespace
}  // namespace tuttiro
