#include "DownloadPackageWalker.h"

namespace FileSystem {

bool HasDownloadPackageHeader(const uint8_t* image, uint32_t length) {
  if (image == nullptr || length <= kPackageHeaderSize) return false;
  return ParsePackageHeader(image).magic == kPackageMagic;
}

WalkResult WalkDownloadPackage(const uint8_t* image, uint32_t length,
                               const DownloadEntryVisitor& visit) {
  if (!HasDownloadPackageHeader(image, length)) return WalkResult::kMalformed;
  uint32_t blockOffset = kFirstBlockOffset;
  if (!BlockHeaderFits(blockOffset, length)) return WalkResult::kMalformed;
  for (;;) {
    const IndexBlockHeader block = ParseBlockHeader(image + blockOffset);
    if (!BlockSlotsFit(blockOffset, block.capacity, length) || block.count > block.capacity)
      return WalkResult::kMalformed;
    if (block.next != 0 && !NextBlockValid(blockOffset, block.capacity, block.next, length))
      return WalkResult::kMalformed;
    for (uint32_t slot = 0; slot < block.count; ++slot) {
      const FileIndexEntry entry = ParseIndexEntry(image + SlotOffset(blockOffset, slot));
      if (!EntryDataFits(entry, length)) return WalkResult::kMalformed;
      if (!visit(entry)) return WalkResult::kStopped;
    }
    if (block.next == 0) return WalkResult::kComplete;
    blockOffset = block.next;
  }
}

}  // namespace FileSystem
