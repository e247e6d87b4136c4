#include "PackageFile.h"

#include <cstring>
#include <memory>

#include "FileLock.h"
#include "FileMapping.h"
#include "FileMappingBuffer.h"
#include "FileSystemFacade.h"
#include "PackageManager.h"

namespace FileSystem {

PackageFile::PackageFile(FileSystem* fileSystem, PackageManager* packages)
    : fileSystem_(fileSystem), packages_(packages) {}

PackageFile::~PackageFile() { delete mapping_; }

void PackageFile::Log(int level, const char* format) {
  if (fileSystem_ != nullptr) fileSystem_->Logger().Log(level, format, path_.c_str());
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
  if (fileSystem_ != nullptr) {
    if (mapping_ != nullptr)
      fileSystem_->Logger().Log(kLogInfo, "Open package file \"%s\" success, write is %s.",
                                path_.c_str(), writeText);
    else
      fileSystem_->Logger().Log(kLogInfo,
                                "Create file mapping failed when open package file \"%s\", "
                                "write is %s.",
                                path_.c_str(), writeText);
  }
  return mapping_ != nullptr;
}

bool PackageFile::ReadBytes(uint64_t offset, void* out, uint32_t n) {
  std::unique_ptr<FileMappingBuffer> view(mapping_->MapView(offset, n, true, false));
  if (!view) return false;
  std::memcpy(out, view->Data(), n);
  return true;
}

bool PackageFile::WriteBytes(uint64_t offset, const void* data, uint32_t n) {
  if (n == 0) return true;
  std::unique_ptr<FileMappingBuffer> view(mapping_->MapView(offset, n, true, true));
  if (!view) return false;
  std::memcpy(view->Data(), data, n);
  return view->Flush();
}

bool PackageFile::ReadHeader(PackageHeader* header) {
  uint8_t bytes[kPackageHeaderSize];
  if (!ReadBytes(0, bytes, sizeof bytes)) return false;
  *header = ParsePackageHeader(bytes);
  return true;
}

bool PackageFile::WriteHeader(const PackageHeader& header) {
  uint8_t bytes[kPackageHeaderSize];
  WritePackageHeader(bytes, header);
  return WriteBytes(0, bytes, sizeof bytes);
}

bool PackageFile::LoadFileList() {
  if (mapping_ == nullptr) return false;
  FileLock lock(mapping_->FileHandle());
  if (!lock.IsLocked()) return false;
  uint64_t fileSize = 0;
  if (!mapping_->GetFileSize(&fileSize)) {
    counter_ = 0;
    return false;
  }
  return LoadLocked(fileSize);
}

bool PackageFile::LoadLocked(uint64_t fileSize) {
  counter_ = 0;
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
  ChainInfo info;
  if (!WalkChain(fileSize, header.usedEnd, true, 0, &info)) return false;
  counter_ = header.counter;
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
  return WriteHeader(PackageHeader{kPackageMagic, 0, kEmptyUsedEnd});
}

bool PackageFile::WalkChain(uint64_t fileSize, uint32_t headerUsedEnd, bool index,
                            uint32_t wantedSlot, ChainInfo* info) {
  info->usedEnd = headerUsedEnd;
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
    if (blockEnd > info->usedEnd) info->usedEnd = blockEnd;
    if (block.count > 0) {
      // The slots fit inside a file of at most 4 GiB, so their length does too.
      const uint64_t slotBytes = static_cast<uint64_t>(block.count) * kIndexEntrySize;
      std::unique_ptr<FileMappingBuffer> slots(mapping_->MapView(
          SlotOffset(offset, 0), static_cast<uint32_t>(slotBytes), true, false));
      if (!slots) return false;
      for (uint32_t i = 0; i < block.count; ++i) {
        const FileIndexEntry entry = ParseIndexEntry(slots->Data() + i * kIndexEntrySize);
        const uint32_t slotOffset = static_cast<uint32_t>(SlotOffset(offset, i));
        if (slotOffset == wantedSlot) info->slotFound = true;
        const uint64_t areaEnd = EntryAreaEnd(entry);
        if (areaEnd > info->usedEnd) info->usedEnd = areaEnd;
        if (!index) continue;
        if (!EntryDataFits(entry, fileSize)) return false;
        if (!packages_->IndexEntry(this, slotOffset, &entry)) return false;
      }
    }
    if (!info->haveFreeBlock && block.count < block.capacity) {
      info->haveFreeBlock = true;
      info->freeBlock = offset;
      info->freeBlockCount = block.count;
    }
    info->lastBlock = offset;
    if (block.next == 0) return true;
    if (!NextBlockValid(offset, block.capacity, block.next, fileSize)) return false;
    offset = block.next;
  }
}

bool PackageFile::PrepareWrite(uint64_t* fileSize, PackageHeader* header) {
  if (!mapping_->GetFileSize(fileSize) || *fileSize <= kPackageHeaderSize) return false;
  // Offsets are 32-bit: bytes past 4 GiB can never be addressed by an entry.
  if (*fileSize > 0xFFFFFFFFu) *fileSize = 0xFFFFFFFFu;
  if (!ReadHeader(header)) return false;
  if (header->magic != kPackageMagic || header->usedEnd > *fileSize) return false;
  if (header->counter == counter_) return true;
  // Another process has written since our last look: take its entries first.
  if (!LoadLocked(*fileSize)) Log(kLogWarning, "Load file list of \"%s\" failed.");
  if (!ReadHeader(header)) return false;
  return header->magic == kPackageMagic && header->usedEnd <= *fileSize &&
         header->counter == counter_;
}

bool PackageFile::IsIndexedAtLeast(uint32_t hash1, uint32_t hash2, uint32_t version) {
  uint32_t indexed = 0;
  return packages_->FindEntry(ResourceKey{hash1, hash2}, &indexed) && indexed >= version;
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

bool PackageFile::AddBlock(uint64_t fileSize, const PackageHeader& header, ChainInfo* info) {
  const uint64_t at = info->usedEnd;
  uint8_t bytes[kBlockHeaderSize];
  WriteBlockHeader(bytes, IndexBlockHeader{kBlockCapacity, 0, 0});
  if (!WriteBytes(at, bytes, sizeof bytes)) return false;
  // The used end covers the block before the chain reaches it, so a writer
  // stopped in between leaves a block nobody uses, never one that the next
  // entry's data would run over.
  if (!WriteHeader(PackageHeader{kPackageMagic, header.counter,
                                 static_cast<uint32_t>(at + kBlockSize)}))
    return false;
  uint8_t next[4];
  WriteU32(next, static_cast<uint32_t>(at));
  if (!WriteBytes(static_cast<uint64_t>(info->lastBlock) + 8, next, sizeof next)) return false;
  info->haveFreeBlock = true;
  info->freeBlock = static_cast<uint32_t>(at);
  info->freeBlockCount = 0;
  info->lastBlock = static_cast<uint32_t>(at);
  info->usedEnd = at + kBlockSize;
  return true;
}

bool PackageFile::Announce(uint32_t slotOffset, const FileIndexEntry& entry) {
  return packages_->IndexEntry(this, slotOffset, &entry);
}

bool PackageFile::AppendLocked(Entry e) {
  uint64_t fileSize = 0;
  PackageHeader header;
  if (!PrepareWrite(&fileSize, &header)) return false;
  if (IsIndexedAtLeast(e.hash1, e.hash2, e.version)) return true;
  ChainInfo info;
  if (!WalkChain(fileSize, header.usedEnd, false, 0, &info)) return false;
  if (!RoomFor(info.usedEnd, e.capacity, fileSize)) return false;
  if (!info.haveFreeBlock) {
    if (!RoomFor(info.usedEnd, static_cast<uint64_t>(kBlockSize) + e.capacity, fileSize))
      return false;
    if (!AddBlock(fileSize, header, &info)) return false;
  }
  const uint32_t dataOffset = static_cast<uint32_t>(info.usedEnd);
  const uint32_t newUsedEnd = static_cast<uint32_t>(info.usedEnd + e.capacity);
  if (!WriteBytes(dataOffset, e.data, e.storedSize)) return false;
  // Claim the area before any slot points into it.
  if (!WriteHeader(PackageHeader{kPackageMagic, header.counter, newUsedEnd})) return false;
  const FileIndexEntry entry = MakeEntry(e, dataOffset, e.capacity);
  const uint32_t slotOffset = static_cast<uint32_t>(SlotOffset(info.freeBlock, info.freeBlockCount));
  uint8_t slot[kIndexEntrySize];
  WriteIndexEntry(slot, entry);
  if (!WriteBytes(slotOffset, slot, sizeof slot)) return false;
  uint8_t count[4];
  WriteU32(count, info.freeBlockCount + 1);
  if (!WriteBytes(static_cast<uint64_t>(info.freeBlock) + 4, count, sizeof count)) return false;
  if (!WriteHeader(PackageHeader{kPackageMagic, counter_ + 1, newUsedEnd})) return false;
  counter_ += 1;
  return Announce(slotOffset, entry);
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

bool PackageFile::ReplaceLocked(uint32_t entryOffset, Entry e) {
  uint64_t fileSize = 0;
  PackageHeader header;
  if (!PrepareWrite(&fileSize, &header)) return false;
  if (IsIndexedAtLeast(e.hash1, e.hash2, e.version)) return true;
  // The offset must name a used slot of this package's chain.
  ChainInfo info;
  if (!WalkChain(fileSize, header.usedEnd, false, entryOffset, &info) || !info.slotFound)
    return false;
  uint8_t slot[kIndexEntrySize];
  if (!ReadBytes(entryOffset, slot, sizeof slot)) return false;
  FileIndexEntry old = ParseIndexEntry(slot);
  if (old.hash1 != e.hash1 || old.hash2 != e.hash2) return false;
  FileIndexEntry entry;
  if (old.capacity >= e.storedSize && RangeFits(old.offset, e.storedSize, fileSize)) {
    // The old content is overwritten in place: until the new slot is written
    // the old one says "removed", so a writer stopped halfway leaves a
    // resource that is fetched again, never one that reads back mixed.
    old.flags |= kFlagRemoved;
    WriteIndexEntry(slot, old);
    if (!WriteBytes(entryOffset, slot, sizeof slot)) return false;
    if (!WriteBytes(old.offset, e.data, e.storedSize)) return false;
    entry = MakeEntry(e, old.offset, old.capacity);
    WriteIndexEntry(slot, entry);
    if (!WriteBytes(entryOffset, slot, sizeof slot)) return false;
    if (!WriteHeader(PackageHeader{kPackageMagic, counter_ + 1, header.usedEnd})) return false;
  } else {
    if (!RoomFor(info.usedEnd, e.capacity, fileSize)) return false;
    const uint32_t dataOffset = static_cast<uint32_t>(info.usedEnd);
    const uint32_t newUsedEnd = static_cast<uint32_t>(info.usedEnd + e.capacity);
    if (!WriteBytes(dataOffset, e.data, e.storedSize)) return false;
    if (!WriteHeader(PackageHeader{kPackageMagic, header.counter, newUsedEnd})) return false;
    entry = MakeEntry(e, dataOffset, e.capacity);
    WriteIndexEntry(slot, entry);
    if (!WriteBytes(entryOffset, slot, sizeof slot)) return false;
    if (!WriteHeader(PackageHeader{kPackageMagic, counter_ + 1, newUsedEnd})) return false;
  }
  counter_ += 1;
  return Announce(entryOffset, entry);
}

FileMappingBuffer* PackageFile::MapEntry(const FileIndexEntry& entry) {
  if (mapping_ == nullptr || entry.storedSize == 0) return nullptr;
  uint64_t fileSize = 0;
  if (!mapping_->GetFileSize(&fileSize) || !EntryDataFits(entry, fileSize)) return nullptr;
  return mapping_->MapView(entry.offset, entry.storedSize, true, false);
}

}  // namespace FileSystem
