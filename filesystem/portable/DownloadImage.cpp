#include "DownloadImage.h"

#include <zlib.h>

namespace FileSystem {

namespace {

uint32_t ReadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

DownloadImage::Header DownloadImage::ReadHeader(const uint8_t* bytes) {
  return Header{ReadU32(bytes), ReadU32(bytes + 4), ReadU32(bytes + 8)};
}

bool DownloadImage::IsHeaderUsable(const Header& header) {
  return header.magic == kMagic && header.usedEnd >= kHeaderSize;
}

bool DownloadImage::IsAcceptableLength(int64_t length) {
  return length >= static_cast<int64_t>(kHeaderSize) && length <= static_cast<int64_t>(UINT32_MAX);
}

uint32_t DownloadImage::ContinueCrc(uint32_t crc, const uint8_t* image, uint64_t before,
                                    uint32_t count) {
  const uint64_t end = before + count;
  if (end <= kHeaderSize) return crc;
  const uint64_t from = before >= kHeaderSize ? before : kHeaderSize;
  // zlib takes at most a uInt per call; count already fits 32 bits.
  return static_cast<uint32_t>(
      crc32(crc, image + from, static_cast<uInt>(end - from)));
}

bool DownloadImage::IsComplete(const uint8_t* image, int64_t totalSize, uint32_t runningCrc) {
  if (image == nullptr || !IsAcceptableLength(totalSize)) return false;
  const Header header = ReadHeader(image);
  return header.magic == kMagic && header.usedEnd == static_cast<uint32_t>(totalSize) &&
         header.counter == runningCrc;
}

}  // namespace FileSystem
