#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "MemoryLookInStream.h"

namespace {

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

}  // namespace

TEST(MemoryLookInStream, LookOfNothingAnswersAtOnce) {
  std::vector<uint8_t> bytes = Bytes(10);
  MemoryLookInStream stream(bytes.data(), 10);
  const void* buffer = nullptr;
  size_t size = 0;
  EXPECT_EQ(SZ_OK, ILookInStream_Look(stream.Stream(), &buffer, &size));
  EXPECT_EQ(0u, size);
}

TEST(MemoryLookInStream, LookIsCutToWhatRemainsAndToTheChunkWithoutMoving) {
  std::vector<uint8_t> bytes = Bytes(100000);
  MemoryLookInStream stream(bytes.data(), 100000);
  const void* buffer = nullptr;
  size_t size = 50000;
  ASSERT_EQ(SZ_OK, ILookInStream_Look(stream.Stream(), &buffer, &size));
  EXPECT_EQ(32768u, size);
  EXPECT_EQ(bytes.data(), buffer);
  EXPECT_EQ(0u, stream.position);
  ASSERT_EQ(SZ_OK, ILookInStream_Skip(stream.Stream(), 99990));
  size = 50;
  ASSERT_EQ(SZ_OK, ILookInStream_Look(stream.Stream(), &buffer, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(bytes.data() + 99990, buffer);
}

TEST(MemoryLookInStream, SkipPastTheEndFailsAndDoesNotMove) {
  std::vector<uint8_t> bytes = Bytes(10);
  MemoryLookInStream stream(bytes.data(), 10);
  EXPECT_EQ(SZ_OK, ILookInStream_Skip(stream.Stream(), 4));
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, ILookInStream_Skip(stream.Stream(), 7));
  EXPECT_EQ(4u, stream.position);
  EXPECT_EQ(SZ_OK, ILookInStream_Skip(stream.Stream(), 6));
  EXPECT_EQ(10u, stream.position);
}

TEST(MemoryLookInStream, SkipThatWouldWrapAroundFails) {
  std::vector<uint8_t> bytes = Bytes(10);
  MemoryLookInStream stream(bytes.data(), 10);
  ASSERT_EQ(SZ_OK, ILookInStream_Skip(stream.Stream(), 5));
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, ILookInStream_Skip(stream.Stream(), SIZE_MAX));
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, ILookInStream_Skip(stream.Stream(), SIZE_MAX - 2));
  EXPECT_EQ(SZ_ERROR_INPUT_EOF, ILookInStream_Skip(stream.Stream(), 0xFFFFFFFFu));
  EXPECT_EQ(5u, stream.position);
}

TEST(MemoryLookInStream, ReadCopiesAndAdvances) {
  std::vector<uint8_t> bytes = Bytes(40000);
  MemoryLookInStream stream(bytes.data(), 40000);
  std::vector<uint8_t> out(40000);
  size_t size = 40000;
  ASSERT_EQ(SZ_OK, ILookInStream_Read(stream.Stream(), out.data(), &size));
  EXPECT_EQ(32768u, size);
  EXPECT_EQ(32768u, stream.position);
  size = 40000;
  ASSERT_EQ(SZ_OK, ILookInStream_Read(stream.Stream(), out.data() + 32768, &size));
  EXPECT_EQ(40000u - 32768u, size);
  EXPECT_EQ(bytes, out);
  size = 5;
  ASSERT_EQ(SZ_OK, ILookInStream_Read(stream.Stream(), out.data(), &size));
  EXPECT_EQ(0u, size);
}

struct SeekCase {
  uint32_t start;
  int64_t offset;
  ESzSeek origin;
  SRes result;
  int64_t target;
};

TEST(MemoryLookInStream, SeekTable) {
  const SeekCase cases[] = {
      {3, 0, SZ_SEEK_END, SZ_OK, 100},
      {3, 7, SZ_SEEK_SET, SZ_OK, 7},
      {3, 100, SZ_SEEK_SET, SZ_OK, 100},
      {3, 101, SZ_SEEK_SET, SZ_ERROR_INPUT_EOF, 3},
      {3, -1, SZ_SEEK_SET, SZ_ERROR_INPUT_EOF, 3},
      {50, -50, SZ_SEEK_CUR, SZ_OK, 0},
      {50, -51, SZ_SEEK_CUR, SZ_ERROR_INPUT_EOF, 50},
      {50, 50, SZ_SEEK_CUR, SZ_OK, 100},
      {50, -100, SZ_SEEK_END, SZ_OK, 0},
      {50, 1, SZ_SEEK_END, SZ_ERROR_INPUT_EOF, 50},
      {50, INT64_MAX, SZ_SEEK_CUR, SZ_ERROR_INPUT_EOF, 50},
      {50, INT64_MIN, SZ_SEEK_END, SZ_ERROR_INPUT_EOF, 50},
  };
  std::vector<uint8_t> bytes = Bytes(100);
  for (const SeekCase& c : cases) {
    MemoryLookInStream stream(bytes.data(), 100);
    stream.position = c.start;
    Int64 offset = c.offset;
    SCOPED_TRACE(testing::Message() << c.start << " " << c.offset << " " << c.origin);
    EXPECT_EQ(c.result, ILookInStream_Seek(stream.Stream(), &offset, c.origin));
    EXPECT_EQ(c.target, static_cast<int64_t>(stream.position));
    if (c.result == SZ_OK) {
      EXPECT_EQ(c.target, offset);
    }
  }
}
