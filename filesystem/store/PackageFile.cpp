#include "store/PackageFile.h"

#include <cstring>
#include <memory>

#include "store/FileLock.h"
#include "store/FileMapping.h"
#include "store/FileMappingBuffer.h"
#include "FileSystem.h"
#include "base/KillPoints.h"
#include "base/LogManager.h"
#include "store/PackageIndex.h"

namespace FileSystem {

PackageFile::PackageFile(LogManager* log, PackageIndex* index) : log_(log), index_(index) {}

PackageFile::~PackageFile() { delete mapping_; }

void PackageFile::Log(int level, const char* format) {
  if (log_ != nullptr) log_->Log(level, format, path_.c_str());
}

bool PackageFile::Open(const char* path, bool write, uint32_t maxSize) {
  if (path == nullptr) return false;
  delete mapping_;
  mapping_ = nullptr;
  path_ = path;
  write_ = write;
  counter_ = 0;
  mapping_ = FileMapping::Create(path, write, maxSize);
  const char* writeText = write ? "enabled" : "not enabled";
  if (log_ != nullptr) {
    if (mapping_ != nullptr)
      log_->Log(kLogInfo, "Open package file \"%s\" success, write is %s.", path_.c_str(),
                writeText);
    else
      log_->Log(kLogInfo,
                "Create file mapping failed when open package file \"%s\", write is %s.",
                path_.c_str(), writeText);
  }
  return mapping_ != nullptr;
}

namespace {

// Writes into a view held through a locked operation and flushes it, so that
// the piece reaches the file before the next one is written.
bool Store(FileMappingBuffer* view, uint32_t at, const void* data, uint32_t n) {
  std::memcpy(view->Data() + at, data, n);
  return view->Flush();
}

}  // namespace

bool PackageFile::ReadBytes(uint64_t offset, void* out, uint32_t n) {
  std::unique_ptr<FileMappingBuffer> view(mapping_->MapView(offset, n, true, false));
  if (!view) return false;
  std::memcpy(out, view->Data(), n);
  return true;
}

bool PackageFile::WriteBytes(uint64_t offset, const void* data, uint32_t n) {
  if (n == 0) return true;
  View view = MapPiece(offset, n);
  return view && Store(view.get(), 0, data, n);
}

PackageFile::View PackageFile::MapPiece(uint64_t offset, uint32_t n) {
  return View(mapping_->MapView(offset, n, true, true));
}

bool PackageFile::ReadHeader(PackageHeader* header) {
  uint8_t bytes[kPackageHeaderSize];
  if (!ReadBytes(0, bytes, sizeof bytes)) return false;
  *header = ParsePackageHeader(bytes);
  return true;
}

bool PackageFile::WriteHeader(FileMappingBuffer* headerView, const PackageHeader& header) {
  uint8_t bytes[kPackageHeaderSize];
  WritePackageHeader(bytes, header);
  return Store(headerView, 0, bytes, sizeof bytes);
}

bool PackageFile::LoadFileList() {
  if (mapping_ == nullptr) return false;
  FileLock lock(mapping_->FileHandle());
  if (!lock.IsLocked()) return false;
  uint64_t fileSize = 0;
  if (!mapping_->GetFileSize(&fileSize)) {
    counter_ = 0;
    chainKnown_ = false;
    return false;
  }
  return LoadLocked(fileSize);
}

bool PackageFile::LoadLocked(uint64_t fileSize) {
  counter_ = 0;
  chainKnown_ = false;
  // Offsets are 32-bit: bytes past 4 GiB can never be addressed by an entry.
  if (fileSize > 0xFFFFFFFFu) fileSize = 0xFFFFFFFFu;
  if (fileSize <= kPackageHeaderSize) return false;
  PackageHeader header;
  if (!ReadHeader(&header)) return false;
  if (write_ && (header.magic != kPackageMagic || header.usedEnd > fileSize))
    return ResetDirty(fileSize);
  // A read-only package is never repaired; one without the magic is refused
  // rather than read as an index.
  if (header.magic != kPackageMagic) return false;
  if (!WalkChain(fileSize, header.usedEnd, true, &chain_)) return false;
  counter_ = header.counter;
  RememberChain(header);
  return true;
}

bool PackageFile::ResetDirty(uint64_t fileSize) {
  Log(kLogInfo, "Package file \"%s\" is dirty.");
  // The empty index needs its first block; a shorter file cannot hold it, and
  // writing one would run over the end of the file.
  if (fileSize < kEmptyUsedEnd) return false;
  uint8_t block[kBlockHeaderSize];
  WriteBlockHeader(block, IndexBlockHeader{kBlockCapacity, 0, 0});
  if (!WriteBytes(kFirstBlockOffset, block, sizeof block)) return false;
  View header = MapPiece(0, kPackageHeaderSize);
  return header && WriteHeader(header.get(), PackageHeader{kPackageMagic, 0, kEmptyUsedEnd});
}

bool PackageFile::WalkChain(uint64_t fileSize, uint32_t headerUsedEnd, bool index, Chain* chain) {
  chain->usedEnd = headerUsedEnd;
  chain->blocks.clear();
  uint32_t offset = kFirstBlockOffset;
  // Every step goes strictly forward inside the file, so the walk ends.
  for (;;) {
    if (!BlockHeaderFits(offset, fileSize)) return false;
    uint8_t bytes[kBlockHeaderSize];
    if (!ReadBytes(offset, bytes, sizeof bytes)) return false;
    const IndexBlockHeader block = ParseBlockHeader(bytes);
    if (block.count > block.capacity) return false;
    if (!BlockSlotsFit(offset, block.capacity, fileSize)) return false;
    const uint64_t blockEnd = BlockEnd(offset, block.capacity);
    if (blockEnd > chain->usedEnd) chain->usedEnd = blockEnd;
    if (block.count > 0) {
      // The slots fit inside a file of at most 4 GiB, so their length does too.
      const uint64_t slotBytes = static_cast<uint64_t>(block.count) * kIndexEntrySize;
      std::unique_ptr<FileMappingBuffer> slots(mapping_->MapView(
          SlotOffset(offset, 0), static_cast<uint32_t>(slotBytes), true, false));
      if (!slots) return false;
      for (uint32_t i = 0; i < block.count; ++i) {
        const FileIndexEntry entry = ParseIndexEntry(slots->Data() + i * kIndexEntrySize);
        const uint64_t areaEnd = EntryAreaEnd(entry);
        if (areaEnd > chain->usedEnd) chain->usedEnd = areaEnd;
        if (!index) continue;
        if (!EntryDataFits(entry, fileSize)) return false;
        const uint32_t slotOffset = static_cast<uint32_t>(SlotOffset(offset, i));
        if (!index_->IndexEntry(this, slotOffset, &entry)) return false;
      }
    }
    chain->blocks.push_back(Block{offset, block.capacity, block.count});
    if (block.next == 0) return true;
    if (!NextBlockValid(offset, block.capacity, block.next, fileSize)) return false;
    offset = block.next;
  }
}

void PackageFile::RememberChain(const PackageHeader& header) {
  chainKnown_ = true;
  chainCounter_ = header.counter;
  chainHeaderEnd_ = header.usedEnd;
}

bool PackageFile::KnowChain(uint64_t fileSize, const PackageHeader& header, bool* walked) {
  *walked = false;
  if (chainKnown_ && header.counter == chainCounter_ && header.usedEnd == chainHeaderEnd_)
    return true;
  chainKnown_ = false;
  if (!WalkChain(fileSize, header.usedEnd, false, &chain_)) return false;
  RememberChain(header);
  *walked = true;
  return true;
}

// The block that takes the next slot is the first with room (past the last
// one when all are full). One view of its header (of the last block's when
// all are full) serves the check here and the count or the link written
// later. The check: the block still holds what the remembered chain says, and
// the chain still ends at its last block.
bool PackageFile::MapTail(size_t* freeBlock, View* tailView) {
  const size_t blocks = chain_.blocks.size();
  size_t target = 0;
  while (target < blocks && chain_.blocks[target].count >= chain_.blocks[target].capacity)
    ++target;
  const Block& tail = chain_.blocks[target < blocks ? target : blocks - 1];
  *tailView = MapPiece(tail.offset, kBlockHeaderSize);
  if (!*tailView) return false;
  const IndexBlockHeader seen = ParseBlockHeader((*tailView)->Data());
  if (seen.capacity != tail.capacity || seen.count != tail.count) return false;
  *freeBlock = target;
  if (&tail == &chain_.blocks.back()) return seen.next == 0;
  return LastBlockEnds();
}

bool PackageFile::LastBlockEnds() {
  uint8_t bytes[kBlockHeaderSize];
  if (!ReadBytes(chain_.blocks.back().offset, bytes, sizeof bytes)) return false;
  return ParseBlockHeader(bytes).next == 0;
}

// The remembered chain, read again when its tail does not match; false when
// the package has no room for an area of the given capacity.
bool PackageFile::FindTail(uint64_t fileSize, const PackageHeader& header, uint32_t capacity,
                           size_t* freeBlock, View* tailView) {
  bool walked = false;
  if (!KnowChain(fileSize, header, &walked)) return false;
  for (;;) {
    if (!RoomFor(chain_.usedEnd, capacity, fileSize)) return false;
    if (MapTail(freeBlock, tailView)) return true;
    if (walked) return false;
    // Changed behind an unchanged header: read the chain again.
    chainKnown_ = false;
    if (!KnowChain(fileSize, header, &walked)) return false;
  }
}

bool PackageFile::SlotInChain(uint32_t slotOffset) const {
  for (const Block& block : chain_.blocks) {
    const uint64_t first = SlotOffset(block.offset, 0);
    if (slotOffset < first) continue;
    const uint64_t distance = slotOffset - first;
    if (distance % kIndexEntrySize == 0 && distance / kIndexEntrySize < block.count) return true;
  }
  return false;
}

bool PackageFile::PrepareWrite(uint64_t* fileSize, View* headerView, PackageHeader* header) {
  if (!mapping_->GetFileSize(fileSize) || *fileSize <= kPackageHeaderSize) return false;
  // Offsets are 32-bit: bytes past 4 GiB can never be addressed by an entry.
  if (*fileSize > 0xFFFFFFFFu) *fileSize = 0xFFFFFFFFu;
  // One view of the header serves its read and every write of the operation.
  *headerView = MapPiece(0, kPackageHeaderSize);
  if (!*headerView) return false;
  *header = ParsePackageHeader((*headerView)->Data());
  if (header->magic != kPackageMagic || header->usedEnd > *fileSize) return false;
  if (header->counter == counter_) return true;
  // Another process has written since our last look: take its entries first.
  if (!LoadLocked(*fileSize)) Log(kLogWarning, "Load file list of \"%s\" failed.");
  *header = ParsePackageHeader((*headerView)->Data());
  return header->magic == kPackageMagic && header->usedEnd <= *fileSize &&
         header->counter == counter_;
}

bool PackageFile::IsIndexedAtLeast(uint32_t hash1, uint32_t hash2, uint32_t version) {
  uint32_t indexed = 0;
  return index_->FindEntry(ResourceKey{hash1, hash2}, &indexed) && indexed >= version;
}

bool PackageFile::NormaliseEntry(Entry* e) {
  if (e->version > 0xFFFF) return false;  // the slot holds 16 bits
  if (e->storedMethod < 0 || e->storedMethod > 15 || e->wantedMethod < 0 || e->wantedMethod > 15)
    return false;
  if (e->data == nullptr) e->storedSize = 0;
  else if (e->capacity < e->storedSize) e->capacity = e->storedSize;
  return true;
}

FileIndexEntry PackageFile::MakeEntry(const Entry& e, uint32_t offset, uint32_t capacity) const {
  FileIndexEntry entry;
  entry.hash1 = e.hash1;
  entry.hash2 = e.hash2;
  entry.size = e.size;
  entry.offset = offset;
  entry.storedSize = e.storedSize;
  entry.capacity = capacity;
  entry.version = static_cast<uint16_t>(e.version);
  entry.flags = e.flags;
  entry.method = PackMethod(e.storedMethod, e.wantedMethod);
  return entry;
}

bool PackageFile::AppendEntry(uint32_t hash1, uint32_t hash2, uint32_t version, int storedMethod,
                              int wantedMethod, uint8_t flags, uint32_t size, const void* data,
                              uint32_t storedSize, uint32_t capacity) {
  Entry e{hash1, hash2, version, size, storedSize, capacity, storedMethod, wantedMethod, flags,
          data};
  if (!write_ || mapping_ == nullptr || !NormaliseEntry(&e)) return false;
  FileLock lock(mapping_->FileHandle());
  if (!lock.IsLocked()) return false;
  return AppendLocked(e);
}

bool PackageFile::AddBlock(FileMappingBuffer* headerView, const PackageHeader& header,
                           FileMappingBuffer* lastView, View* blockView) {
  const uint64_t at = chain_.usedEnd;
  *blockView = MapPiece(at, kBlockHeaderSize);
  if (!*blockView) return false;
  uint8_t bytes[kBlockHeaderSize];
  WriteBlockHeader(bytes, IndexBlockHeader{kBlockCapacity, 0, 0});
  if (!Store(blockView->get(), 0, bytes, sizeof bytes)) return false;
  // The used end covers the block before the chain reaches it, so a writer
  // stopped in between leaves a block nobody uses, never one that the next
  // entry's data would run over.
  if (!WriteHeader(headerView, PackageHeader{kPackageMagic, header.counter,
                                             static_cast<uint32_t>(at + kBlockSize)}))
    return false;
  uint8_t next[4];
  WriteU32(next, static_cast<uint32_t>(at));
  if (!Store(lastView, 8, next, sizeof next)) return false;
  chain_.blocks.push_back(Block{static_cast<uint32_t>(at), kBlockCapacity, 0});
  chain_.usedEnd = at + kBlockSize;
  return true;
}

bool PackageFile::Announce(uint32_t slotOffset, const FileIndexEntry& entry) {
  return index_->IndexEntry(this, slotOffset, &entry);
}

bool PackageFile::AppendLocked(Entry e) {
  uint64_t fileSize = 0;
  View headerView;
  PackageHeader header;
  if (!PrepareWrite(&fileSize, &headerView, &header)) return false;
  if (IsIndexedAtLeast(e.hash1, e.hash2, e.version)) return true;
  size_t target = 0;
  View blockView;  // the header of the block that takes the slot, for its count
  if (!FindTail(fileSize, header, e.capacity, &target, &blockView)) return false;
  const bool full = target == chain_.blocks.size();
  if (full && !RoomFor(chain_.usedEnd, static_cast<uint64_t>(kBlockSize) + e.capacity, fileSize))
    return false;
  // Trusted again only once every piece is written.
  chainKnown_ = false;
  if (full) {
    const View lastView = std::move(blockView);
    if (!AddBlock(headerView.get(), header, lastView.get(), &blockView)) return false;
  }
  uint32_t slotOffset = 0;
  FileIndexEntry entry;
  if (!WriteAppended(headerView.get(), header, target, blockView.get(), e, &slotOffset, &entry))
    return false;
  return Announce(slotOffset, entry);
}

bool PackageFile::WriteAppended(FileMappingBuffer* headerView, const PackageHeader& header,
                                size_t target, FileMappingBuffer* blockView, const Entry& e,
                                uint32_t* slotOffset, FileIndexEntry* entry) {
  Block& block = chain_.blocks[target];
  if (!PlaceAtEnd(headerView, header, e, entry)) return false;
  *slotOffset = static_cast<uint32_t>(SlotOffset(block.offset, block.count));
  uint8_t slot[kIndexEntrySize];
  WriteIndexEntry(slot, *entry);
  if (!WriteBytes(*slotOffset, slot, sizeof slot)) return false;
  KillPoints::Reach("store.slot-written", e.hash1, e.hash2);
  uint8_t count[4];
  WriteU32(count, block.count + 1);
  if (!Store(blockView, 4, count, sizeof count)) return false;
  block.count += 1;
  KillPoints::Reach("store.count-written", e.hash1, e.hash2);
  return CompleteWrite(headerView, static_cast<uint32_t>(chain_.usedEnd));
}

bool PackageFile::PlaceAtEnd(FileMappingBuffer* headerView, const PackageHeader& header,
                             const Entry& e, FileIndexEntry* entry) {
  const uint32_t dataOffset = static_cast<uint32_t>(chain_.usedEnd);
  const uint32_t newUsedEnd = static_cast<uint32_t>(chain_.usedEnd + e.capacity);
  if (!WriteBytes(dataOffset, e.data, e.storedSize)) return false;
  KillPoints::Reach("store.data-written", e.hash1, e.hash2);
  // Claim the area before any slot points into it.
  if (!WriteHeader(headerView, PackageHeader{kPackageMagic, header.counter, newUsedEnd}))
    return false;
  chain_.usedEnd = newUsedEnd;
  *entry = MakeEntry(e, dataOffset, e.capacity);
  return true;
}

bool PackageFile::CompleteWrite(FileMappingBuffer* headerView, uint32_t usedEnd) {
  if (!WriteHeader(headerView, PackageHeader{kPackageMagic, counter_ + 1, usedEnd}))
    return false;
  counter_ += 1;
  RememberChain(PackageHeader{kPackageMagic, counter_, usedEnd});
  return true;
}

bool PackageFile::ReplaceEntry(uint32_t entryOffset, uint32_t hash1, uint32_t hash2,
                               uint32_t version, int storedMethod, int wantedMethod,
                               uint8_t flags, uint32_t size, const void* data, uint32_t storedSize,
                               uint32_t capacity) {
  Entry e{hash1, hash2, version, size, storedSize, capacity, storedMethod, wantedMethod, flags,
          data};
  if (!write_ || mapping_ == nullptr || !NormaliseEntry(&e)) return false;
  FileLock lock(mapping_->FileHandle());
  if (!lock.IsLocked()) return false;
  return ReplaceLocked(entryOffset, e);
}

bool PackageFile::FindSlot(uint64_t fileSize, const PackageHeader& header, uint32_t slotOffset) {
  bool walked = false;
  if (!KnowChain(fileSize, header, &walked)) return false;
  if (SlotInChain(slotOffset)) return true;
  if (walked) return false;
  // Counts only grow: a slot may have been counted behind an unchanged header.
  chainKnown_ = false;
  return KnowChain(fileSize, header, &walked) && SlotInChain(slotOffset);
}

bool PackageFile::ReplaceLocked(uint32_t entryOffset, Entry e) {
  uint64_t fileSize = 0;
  View headerView;
  PackageHeader header;
  if (!PrepareWrite(&fileSize, &headerView, &header)) return false;
  if (IsIndexedAtLeast(e.hash1, e.hash2, e.version)) return true;
  // The offset must name a used slot of this package's chain.
  if (!FindSlot(fileSize, header, entryOffset)) return false;
  View slotView = MapPiece(entryOffset, kIndexEntrySize);
  if (!slotView) return false;
  const FileIndexEntry old = ParseIndexEntry(slotView->Data());
  if (old.hash1 != e.hash1 || old.hash2 != e.hash2) return false;
  const bool inPlace =
      old.capacity >= e.storedSize && RangeFits(old.offset, e.storedSize, fileSize);
  size_t target = 0;
  View tailView;
  if (!inPlace && !FindTail(fileSize, header, e.capacity, &target, &tailView)) return false;
  // Trusted again only once every piece is written.
  chainKnown_ = false;
  FileIndexEntry entry;
  const bool written = inPlace ? ReplaceInPlace(headerView.get(), header, slotView.get(), old, e,
                                                &entry)
                               : ReplaceMoving(headerView.get(), header, slotView.get(), e, &entry);
  return written && Announce(entryOffset, entry);
}

bool PackageFile::ReplaceInPlace(FileMappingBuffer* headerView, const PackageHeader& header,
                                 FileMappingBuffer* slotView, FileIndexEntry old, const Entry& e,
                                 FileIndexEntry* entry) {
  // The old content is overwritten in place: until the new slot is written
  // the old one says "removed", so a writer stopped halfway leaves a
  // resource that is fetched again, never one that reads back mixed.
  old.flags |= kFlagRemoved;
  uint8_t slot[kIndexEntrySize];
  WriteIndexEntry(slot, old);
  if (!Store(slotView, 0, slot, sizeof slot)) return false;
  KillPoints::Reach("store.marked-removed", e.hash1, e.hash2);
  if (!WriteBytes(old.offset, e.data, e.storedSize)) return false;
  KillPoints::Reach("store.replaced-in-place", e.hash1, e.hash2);
  *entry = MakeEntry(e, old.offset, old.capacity);
  WriteIndexEntry(slot, *entry);
  if (!Store(slotView, 0, slot, sizeof slot)) return false;
  return CompleteWrite(headerView, header.usedEnd);
}

bool PackageFile::ReplaceMoving(FileMappingBuffer* headerView, const PackageHeader& header,
                                FileMappingBuffer* slotView, const Entry& e,
                                FileIndexEntry* entry) {
  if (!PlaceAtEnd(headerView, header, e, entry)) return false;
  KillPoints::Reach("store.moved", e.hash1, e.hash2);
  uint8_t slot[kIndexEntrySize];
  WriteIndexEntry(slot, *entry);
  if (!Store(slotView, 0, slot, sizeof slot)) return false;
  return CompleteWrite(headerView, static_cast<uint32_t>(chain_.usedEnd));
}

FileMappingBuffer* PackageFile::MapEntry(const FileIndexEntry& entry) {
  if (mapping_ == nullptr || entry.storedSize == 0) return nullptr;
  uint64_t fileSize = 0;
  if (!mapping_->GetFileSize(&fileSize) || !EntryDataFits(entry, fileSize)) return nullptr;
  return mapping_->MapView(entry.offset, entry.storedSize, true, false);
}

}  // namespace FileSystem
