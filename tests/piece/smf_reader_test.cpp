// The byte level: buffer refills, variable-length quantities and the in-memory
// piece source's handles. (The big-endian forms are read by every header, chunk
// and tempo in open_piece_test; files on disk and the built-in pieces by
// corpus_test and builtin_pieces_test.)
#include <gtest/gtest.h>

#include "piece/smf_reader.h"

namespace tuttiro {
namespace {

struct OpenReader {
  PieceSourceState sources;
  SmfReader reader;
  explicit OpenReader(std::vector<uint8_t> bytes) {
    sources.memoryImages["bytes"] = std::move(bytes);
    reader.source = &sources;
    reader.handle = OpenPieceSource(sources, "bytes", kGenericRead, kOpenExisting);
  }
};

uint32_t VarLenOf(std::vector<uint8_t> bytes) {
  OpenReader r(std::move(bytes));
  uint32_t value = 0xDEAD;
  EXPECT_EQ(SmfReadVarLen(r.reader, value), kSmfDone);
  return value;
}

TEST(SmfReader, VariableLengthQuantities) {
  EXPECT_EQ(VarLenOf({0x81, 0x80, 0x00}), 16384u);
  EXPECT_EQ(VarLenOf({0x7F}), 127u);
  EXPECT_EQ(VarLenOf({0xFF, 0x7F}), 16383u);
  EXPECT_EQ(VarLenOf({0x00}), 0u);
  // No byte limit: the value wraps in 32 bits rather than failing.
  EXPECT_EQ(VarLenOf({0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), 0xFFFFFFFFu);
  OpenReader unterminated({0x81, 0x80});
  uint32_t v;
  EXPECT_EQ(SmfReadVarLen(unterminated.reader, v), kSmfDataEnded);
}

TEST(SmfReader, CountsAndTheEndOfTheData) {
  OpenReader r({0x42});
  uint8_t b = 0;
  for (int count : {0, -5}) EXPECT_EQ(SmfRead(r.reader, &b, count, true), kSmfDone) << count;
  EXPECT_EQ(SmfReadByte(r.reader, b), kSmfDone);
  EXPECT_EQ(b, 0x42);
  EXPECT_EQ(SmfReadByte(r.reader, b), kSmfDataEnded);

  // An image of exactly one block ends on the second refill.
  std::vector<uint8_t> bytes(kSmfBlockSize);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  OpenReader block(bytes);
  std::vector<uint8_t> all(kSmfBlockSize);
  ASSERT_EQ(SmfRead(block.reader, all.data(), 16000, true), kSmfDone);
  ASSERT_EQ(SmfRead(block.reader, all.data() + 16000, 384, true), kSmfDone);
  EXPECT_EQ(all, bytes);
  EXPECT_EQ(SmfReadByte(block.reader, b), kSmfDataEnded);
}

TEST(SmfReader, LongBlocksAndSkipsCrossRefills) {
  std::vector<uint8_t> bytes(100000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 251);
  OpenReader r(bytes);
  ASSERT_EQ(SmfSkip(r.reader, 10), kSmfDone);
  std::vector<uint8_t> block;
  ASSERT_EQ(SmfReadBlock(r.reader, 70000, block), kSmfDone);
  EXPECT_EQ(block, std::vector<uint8_t>(bytes.begin() + 10, bytes.begin() + 70010));
  // A length beyond the data ends the read without holding more than the data.
  std::vector<uint8_t> rest;
  EXPECT_EQ(SmfReadBlock(r.reader, 0xFFFFFFF0u, rest), kSmfDataEnded);
  EXPECT_EQ(rest.size(), 100000u - 70010u);
}

TEST(PieceSource, ReadSeekCloseAndStaleHandles) {
  PieceSourceState sources;
  sources.memoryImages["img"] = {1, 2, 3, 4, 5};
  uint32_t h = OpenPieceSource(sources, "img", kGenericRead, kOpenExisting);
  ASSERT_NE(h, kInvalidPieceSource);
  uint8_t buf[8];
  uint32_t got;
  ASSERT_TRUE(ReadPieceSource(sources, h, buf, 3, got));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(SeekPieceSource(sources, h, 1, 1), 4u);
  ASSERT_TRUE(ReadPieceSource(sources, h, buf, 8, got));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(buf[0], 5);
  EXPECT_EQ(SeekPieceSource(sources, h, 0, 0), 0u);
  EXPECT_EQ(SeekPieceSource(sources, h, -1, 0), kInvalidPieceSource);
  EXPECT_EQ(SeekPieceSource(sources, h, 0, 2), kInvalidPieceSource);
  EXPECT_TRUE(ClosePieceSource(sources, h));
  EXPECT_FALSE(ReadPieceSource(sources, h, buf, 1, got));
  EXPECT_FALSE(ClosePieceSource(sources, h));
}

}  // namespace
}  // namespace tuttiro
