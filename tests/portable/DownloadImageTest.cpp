#include "DownloadImage.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

using FileSystem::DownloadImage;

namespace {

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> MakeImage(size_t length) {
  std::vector<uint8_t> image(length);
  for (size_t i = 12; i < length; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
  PutU32(&image, 0, DownloadImage::kMagic);
  PutU32(&image, 4, static_cast<uint32_t>(crc32(0, image.data() + 12, static_cast<uInt>(length - 12))));
  PutU32(&image, 8, static_cast<uint32_t>(length));
  return image;
}

// Receives the image in chunks of the given size, as the downloader does.
uint32_t CrcInChunks(const std::vector<uint8_t>& image, uint32_t chunk) {
  uint32_t crc = 0;
  for (uint64_t at = 0; at < image.size(); at += chunk) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(chunk, image.size() - at));
    crc = DownloadImage::ContinueCrc(crc, image.data(), at, count);
  }
  return crc;
}

class RunningCrc : public testing::TestWithParam<uint32_t> {};

TEST_P(RunningCrc, AnyChunkingGivesTheHeaderCounter) {
  const std::vector<uint8_t> image = MakeImage(1000);
  const uint32_t crc = CrcInChunks(image, GetParam());
  EXPECT_TRUE(DownloadImage::IsComplete(image.data(), static_cast<int64_t>(image.size()), crc));
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, RunningCrc, testing::Values(1u, 5u, 11u, 12u, 13u, 64u, 1000u));

TEST(DownloadImage, BadCounterIsRejected) {
  std::vector<uint8_t> image = MakeImage(100);
  const uint32_t crc = CrcInChunks(image, 7);
  image[50] ^= 1;
  EXPECT_FALSE(DownloadImage::IsComplete(image.data(), 100, CrcInChunks(image, 7)));
  EXPECT_TRUE(DownloadImage::IsComplete(MakeImage(100).data(), 100, crc));
}

TEST(DownloadImage, UsedEndOtherThanTheLengthIsRejected) {
  std::vector<uint8_t> image = MakeImage(100);
  PutU32(&image, 8, 99);
  EXPECT_FALSE(DownloadImage::IsComplete(image.data(), 100, CrcInChunks(image, 100)));
}

TEST(DownloadImage, WrongMagicIsRejected) {
  std::vector<uint8_t> image = MakeImage(100);
  image[0] = 'X';
  EXPECT_FALSE(DownloadImage::IsComplete(image.data(), 100, CrcInChunks(image, 100)));
  EXPECT_FALSE(DownloadImage::IsHeaderUsable(DownloadImage::ReadHeader(image.data())));
}

TEST(DownloadImage, HeaderOnlyImageIsComplete) {
  const std::vector<uint8_t> image = MakeImage(12);
  EXPECT_TRUE(DownloadImage::IsComplete(image.data(), 12, 0));
  EXPECT_FALSE(DownloadImage::IsComplete(nullptr, 12, 0));
}

struct LengthCase {
  int64_t length;
  bool acceptable;
};

class NetworkLength : public testing::TestWithParam<LengthCase> {};

TEST_P(NetworkLength, MustHoldTheHeaderAndFit32Bits) {
  EXPECT_EQ(DownloadImage::IsAcceptableLength(GetParam().length), GetParam().acceptable);
}

INSTANTIATE_TEST_SUITE_P(Boundary, NetworkLength,
                         testing::Values(LengthCase{-1, false}, LengthCase{0, false},
                                         LengthCase{11, false}, LengthCase{12, true},
                                         LengthCase{0xFFFFFFFFLL, true},
                                         LengthCase{0x100000000LL, false},
                                         LengthCase{INT64_MAX, false}));

TEST(DownloadImage, HeaderIsLittleEndian) {
  const uint8_t bytes[12] = {'H', 'P', 'A', 'K', 1, 2, 3, 4, 12, 0, 0, 0};
  const DownloadImage::Header header = DownloadImage::ReadHeader(bytes);
  EXPECT_EQ(header.magic, DownloadImage::kMagic);
  EXPECT_EQ(header.counter, 0x04030201u);
  EXPECT_EQ(header.usedEnd, 12u);
  EXPECT_TRUE(DownloadImage::IsHeaderUsable(header));
}

}  // namespace
