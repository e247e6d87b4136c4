#include "DownloadPackageWalker.h"

namespace FileSystem {

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t ReadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

DownloadEntry ReadEntry(const uint8_t* p) {
  DownloadEntry e;
  e.hash1 = ReadU32(p);
  e.hash2 = ReadU32(p + 4);
  e.size = ReadU32(p + 8);
  e.offset = ReadU32(p + 12);
  e.storedSize = ReadU32(p + 16);
  e.capacity = ReadU32(p + 20);
  e.version = ReadU16(p + 24);
  e.flags = p[26];
  e.method = p[27];
  return e;
}

}  // namespace

bool HasDownloadPackageHeader(const uint8_t* image, uint32_t length) {
  if (image == nullptr || length <= kDownloadHeaderSize) return false;
  return ReadU32(image) == kDownloadPackageMagic;
}

WalkResult WalkDownloadPackage(const uint8_t* image, uint32_t length,
                               const DownloadEntryVisitor& visit) {
  if (!HasDownloadPackageHeader(image, length)) return WalkResult::kMalformed;
  uint32_t blockOffset = kDownloadHeaderSize;
  // Every sum below is taken in 64 bits, where no 32-bit field can wrap it.
  for (;;) {
    if (blockOffset < kDownloadHeaderSize ||
        uint64_t{blockOffset} + kDownloadBlockHeaderSize > length)
      return WalkResult::kMalformed;
    const uint8_t* block = image + blockOffset;
    const uint32_t capacity = ReadU32(block);
    const uint32_t count = ReadU32(block + 4);
    const uint32_t next = ReadU32(block + 8);
    const uint64_t slotsEnd =
        uint64_t{blockOffset} + kDownloadBlockHeaderSize + uint64_t{capacity} * kDownloadEntrySize;
    if (slotsEnd > length || count > capacity) return WalkResult::kMalformed;
    // A next that does not point forward would revisit blocks for ever.
    if (next != 0 && next <= blockOffset) return WalkResult::kMalformed;
    for (uint32_t i = 0; i < count; ++i) {
      const DownloadEntry entry =
          ReadEntry(block + kDownloadBlockHeaderSize + uint64_t{i} * kDownloadEntrySize);
      if (uint64_t{entry.offset} + entry.storedSize > length) return WalkResult::kMalformed;
      if (!visit(entry)) return WalkResult::kStopped;
    }
    if (next == 0) return WalkResult::kComplete;
    blockOffset = next;
  }
}

}  // namespace FileSystem
