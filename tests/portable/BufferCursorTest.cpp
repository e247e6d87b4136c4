// Read and seek rules of the in-memory readers.
#include <gtest/gtest.h>

#include <string>

#include "BufferCursor.h"

using namespace FileSystem;

TEST(BufferCursor, SeekToTheEndIsAllowedAndAReadThereFails) {
  const char data[] = "abcd";
  uint32_t pos = 0;
  char out[4];
  EXPECT_TRUE(CursorSeek(4, &pos, 0, 2));
  EXPECT_EQ(pos, 4u);
  EXPECT_FALSE(CursorRead(data, 4, &pos, out, 1));
  EXPECT_EQ(pos, 4u);
  EXPECT_FALSE(CursorSeek(4, &pos, 5, 0));
  EXPECT_EQ(pos, 4u);
}

struct SeekCase {
  uint32_t start;
  int32_t offset;
  int origin;
  bool ok;
  uint32_t end;
};

class CursorSeekTable : public testing::TestWithParam<SeekCase> {};

TEST_P(CursorSeekTable, LandsInsideZeroToSize) {
  const SeekCase& c = GetParam();
  uint32_t pos = c.start;
  EXPECT_EQ(CursorSeek(10, &pos, c.offset, c.origin), c.ok);
  EXPECT_EQ(pos, c.end);
}

INSTANTIATE_TEST_SUITE_P(Cases, CursorSeekTable,
                         testing::Values(SeekCase{3, 2, 0, true, 2}, SeekCase{3, 2, 1, true, 5},
                                         SeekCase{3, -2, 2, true, 8}, SeekCase{3, -4, 1, false, 3},
                                         SeekCase{3, 1, 2, false, 3}, SeekCase{3, 0, 3, false, 3},
                                         SeekCase{3, 0x7FFFFFFF, 1, false, 3},
                                         SeekCase{3, -11, 2, false, 3}));

TEST(BufferCursor, ReadCopiesAndAdvancesOrLeavesThePosition) {
  const char data[] = "abcdef";
  uint32_t pos = 1;
  char out[3] = {};
  EXPECT_TRUE(CursorRead(data, 6, &pos, out, 3));
  EXPECT_EQ(std::string(out, 3), "bcd");
  EXPECT_EQ(pos, 4u);
  EXPECT_FALSE(CursorRead(data, 6, &pos, out, 3));
  EXPECT_FALSE(CursorRead(data, 6, &pos, nullptr, 1));
  EXPECT_EQ(pos, 4u);
  EXPECT_TRUE(CursorRead(data, 6, &pos, out, 0));
  // Only the bytes loaded so far count for an asynchronous reader.
  EXPECT_FALSE(CursorRead(data, 5, &pos, out, 2));
}
