// Fuzz target for download package images: the input is the image as it was
// received. Its header is read, its CRC is run the way receives add bytes
// (in pieces whose sizes come from the input) and checked against one pass
// over the whole, and its index is walked; every entry the walker hands out
// must have its stored data inside the image.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "DownloadImage.h"
#include "DownloadPackageWalker.h"
#include "FuzzCheck.h"

using namespace FileSystem;

namespace {

uint32_t CrcInPieces(const uint8_t* image, uint32_t size) {
  uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  uint64_t before = 0;
  uint32_t step = size ? 1 + image[size - 1] : 1;
  while (before < size) {
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(step, size - before));
    crc = DownloadImage::ContinueCrc(crc, image, before, count);
    before += count;
    step = step * 7 % 1021 + 1;
  }
  return crc;
}

uint32_t CrcWhole(const uint8_t* image, uint32_t size) {
  uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
  if (size <= DownloadImage::kHeaderSize) return crc;
  return static_cast<uint32_t>(crc32(crc, image + DownloadImage::kHeaderSize,
                                     size - DownloadImage::kHeaderSize));
}

void CheckHeader(const uint8_t* image, uint32_t size) {
  const uint32_t crc = CrcInPieces(image, size);
  FUZZ_CHECK(crc == CrcWhole(image, size));
  const bool complete = DownloadImage::IsComplete(image, size, crc);
  if (size < DownloadImage::kHeaderSize) {
    FUZZ_CHECK(!complete);
    FUZZ_CHECK(!DownloadImage::IsAcceptableLength(size));
    return;
  }
  const DownloadImage::Header header = DownloadImage::ReadHeader(image);
  const bool framed = header.magic == DownloadImage::kMagic && header.usedEnd == size;
  FUZZ_CHECK(complete == (framed && header.counter == crc));
  if (complete) FUZZ_CHECK(DownloadImage::IsHeaderUsable(header));
  // Any other running CRC is held to the header's counter too.
  const uint32_t other = crc ^ 1u;
  FUZZ_CHECK(DownloadImage::IsComplete(image, size, other) == (framed && header.counter == other));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  if (len > UINT32_MAX) return 0;
  const FuzzSupport::ExactCopy copy(data, len);
  const uint8_t* image = copy.Data();
  const uint32_t size = static_cast<uint32_t>(len);
  CheckHeader(image, size);

  // The visitor refuses the entry whose number the image's second byte
  // names, so stopped walks are reached too.
  const uint32_t stopAt = size > 1 ? image[1] : 0;
  uint32_t visited = 0;
  const WalkResult result = WalkDownloadPackage(image, size, [&](const FileIndexEntry& entry) {
    FUZZ_CHECK(static_cast<uint64_t>(entry.offset) + entry.storedSize <= size);
    ++visited;
    FUZZ_CHECK(visited <= size / kIndexEntrySize);
    return visited != stopAt;
  });
  if (result != WalkResult::kMalformed) FUZZ_CHECK(HasDownloadPackageHeader(image, size));
  if (result == WalkResult::kStopped) FUZZ_CHECK(visited == stopAt);
  if (!HasDownloadPackageHeader(image, size)) FUZZ_CHECK(visited == 0);
  return 0;
}
