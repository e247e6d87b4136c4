#include "PackageFormat.h"

namespace FileSystem {

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void WriteU16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

void WriteU32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

PackageHeader ParsePackageHeader(const uint8_t* p) {
  return PackageHeader{ReadU32(p), ReadU32(p + 4), ReadU32(p + 8)};
}

void WritePackageHeader(uint8_t* p, const PackageHeader& header) {
  WriteU32(p, header.magic);
  WriteU32(p + 4, header.counter);
  WriteU32(p + 8, header.usedEnd);
}

IndexBlockHeader ParseBlockHeader(const uint8_t* p) {
  return IndexBlockHeader{ReadU32(p), ReadU32(p + 4), ReadU32(p + 8)};
}

void WriteBlockHeader(uint8_t* p, const IndexBlockHeader& block) {
  WriteU32(p, block.capacity);
  WriteU32(p + 4, block.count);
  WriteU32(p + 8, block.next);
}

FileIndexEntry ParseIndexEntry(const uint8_t* p) {
  FileIndexEntry e;
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

void WriteIndexEntry(uint8_t* p, const FileIndexEntry& e) {
  WriteU32(p, e.hash1);
  WriteU32(p + 4, e.hash2);
  WriteU32(p + 8, e.size);
  WriteU32(p + 12, e.offset);
  WriteU32(p + 16, e.storedSize);
  WriteU32(p + 20, e.capacity);
  WriteU16(p + 24, e.version);
  p[26] = e.flags;
  p[27] = e.method;
}

bool RangeFits(uint64_t offset, uint64_t length, uint64_t fileSize) {
  // Both operands come from 32-bit fields, so the 64-bit sum cannot wrap.
  return offset <= fileSize && length <= fileSize - offset;
}

bool BlockHeaderFits(uint32_t blockOffset, uint64_t fileSize) {
  return blockOffset >= kFirstBlockOffset && RangeFits(blockOffset, kBlockHeaderSize, fileSize);
}

uint64_t BlockEnd(uint32_t blockOffset, uint32_t capacity) {
  return static_cast<uint64_t>(blockOffset) + kBlockHeaderSize +
         static_cast<uint64_t>(capacity) * kIndexEntrySize;
}

bool BlockSlotsFit(uint32_t blockOffset, uint32_t capacity, uint64_t fileSize) {
  return BlockHeaderFits(blockOffset, fileSize) && BlockEnd(blockOffset, capacity) <= fileSize;
}

uint64_t SlotOffset(uint32_t blockOffset, uint32_t slot) {
  return static_cast<uint64_t>(blockOffset) + kBlockHeaderSize +
         static_cast<uint64_t>(slot) * kIndexEntrySize;
}

bool NextBlockValid(uint32_t blockOffset, uint32_t capacity, uint32_t next, uint64_t fileSize) {
  return next != 0 && next >= BlockEnd(blockOffset, capacity) && BlockHeaderFits(next, fileSize);
}

bool EntryDataFits(const FileIndexEntry& entry, uint64_t fileSize) {
  return RangeFits(entry.offset, entry.storedSize, fileSize);
}

uint64_t EntryAreaEnd(const FileIndexEntry& entry) {
  const uint32_t reserved = entry.capacity > entry.storedSize ? entry.capacity : entry.storedSize;
  return static_cast<uint64_t>(entry.offset) + reserved;
}

bool RoomFor(uint64_t usedEnd, uint64_t extra, uint64_t fileSize) {
  return RangeFits(usedEnd, extra, fileSize);
}

bool ParseUnpackagedRecord(const uint8_t* data, uint32_t storedSize, UnpackagedFileRecord* record) {
  if (data == nullptr || record == nullptr || storedSize < 1) return false;
  const uint32_t nameLength = data[0];
  const uint32_t fixed = kUnpackagedRecordFixedSize + nameLength;
  if (storedSize < fixed) return false;
  record->name.assign(reinterpret_cast<const char*>(data + 1), nameLength);
  const uint8_t* p = data + 1 + nameLength;
  record->attributes = ReadU32(p);
  record->timeLow = ReadU32(p + 4);
  record->timeHigh = ReadU32(p + 8);
  record->crc = ReadU32(p + 12);
  record->contentOffset = fixed;
  record->contentLength = storedSize - fixed;
  return true;
}

}  // namespace FileSystem
