// On-disk layout of package files and download package images: the 12-byte
// header, the chain of index blocks, the 28-byte index entry and the record
// of an unpackaged file. Pure arithmetic, no Windows headers.
//
// Every bounds check takes its operands as 64-bit values so that no sum or
// product of 32-bit fields read from a file can wrap.
#pragma once

#include <cstdint>
#include <string>

namespace FileSystem {

constexpr uint32_t kPackageMagic = 0x4B415048;  // "HPAK"
constexpr uint32_t kPackageHeaderSize = 12;
constexpr uint32_t kBlockHeaderSize = 12;
constexpr uint32_t kIndexEntrySize = 28;
constexpr uint32_t kFirstBlockOffset = 12;
constexpr uint32_t kBlockCapacity = 1000;
constexpr uint32_t kBlockSize = kBlockHeaderSize + kBlockCapacity * kIndexEntrySize;  // 28012
constexpr uint32_t kEmptyUsedEnd = kFirstBlockOffset + kBlockSize;                   // 28024
constexpr uint32_t kUnpackagedRecordFixedSize = 17;

enum EntryFlag : uint8_t { kFlagUnpackaged = 1, kFlagRemoved = 2 };

struct PackageHeader {
  uint32_t magic;
  uint32_t counter;
  uint32_t usedEnd;
};

struct IndexBlockHeader {
  uint32_t capacity;
  uint32_t count;
  uint32_t next;
};

struct FileIndexEntry {
  uint32_t hash1;
  uint32_t hash2;
  uint32_t size;
  uint32_t offset;
  uint32_t storedSize;
  uint32_t capacity;
  uint16_t version;
  uint8_t flags;
  uint8_t method;
};

struct UnpackagedFileRecord {
  std::string name;
  uint32_t attributes;
  uint32_t timeLow;
  uint32_t timeHigh;
  uint32_t crc;
  uint32_t contentOffset;  // from the start of the stored data
  uint32_t contentLength;
};

uint16_t ReadU16(const uint8_t* p);
uint32_t ReadU32(const uint8_t* p);
void WriteU16(uint8_t* p, uint16_t value);
void WriteU32(uint8_t* p, uint32_t value);

PackageHeader ParsePackageHeader(const uint8_t* p);
void WritePackageHeader(uint8_t* p, const PackageHeader& header);
IndexBlockHeader ParseBlockHeader(const uint8_t* p);
void WriteBlockHeader(uint8_t* p, const IndexBlockHeader& block);
FileIndexEntry ParseIndexEntry(const uint8_t* p);
void WriteIndexEntry(uint8_t* p, const FileIndexEntry& entry);

inline int StoredMethod(uint8_t method) { return method & 0x0F; }
inline int WantedMethod(uint8_t method) { return (method >> 4) & 0x0F; }
inline uint8_t PackMethod(int stored, int wanted) {
  return static_cast<uint8_t>((stored & 0x0F) | ((wanted & 0x0F) << 4));
}

// [offset, offset + length) lies inside a file of fileSize bytes.
bool RangeFits(uint64_t offset, uint64_t length, uint64_t fileSize);
// The 12-byte header of a block at blockOffset lies inside the file, after
// the package header.
bool BlockHeaderFits(uint32_t blockOffset, uint64_t fileSize);
// The block's capacity x 28 slots lie inside the file.
bool BlockSlotsFit(uint32_t blockOffset, uint32_t capacity, uint64_t fileSize);
// End of a block's slot area (as 64-bit, it cannot wrap).
uint64_t BlockEnd(uint32_t blockOffset, uint32_t capacity);
// File offset of slot number slot of a block.
uint64_t SlotOffset(uint32_t blockOffset, uint32_t slot);
// A next field continues the chain only when it points past the whole
// current block and its header lies inside the file; anything else (a loop,
// a step back, an overlap, a jump past the end) ends the walk as a failure.
// A next of 0 ends the chain and is not checked here.
bool NextBlockValid(uint32_t blockOffset, uint32_t capacity, uint32_t next, uint64_t fileSize);
// The entry's stored data lies inside the file.
bool EntryDataFits(const FileIndexEntry& entry, uint64_t fileSize);
// End of the area an entry reserves: offset + max(capacity, storedSize).
uint64_t EntryAreaEnd(const FileIndexEntry& entry);
// usedEnd + extra stays within the file.
bool RoomFor(uint64_t usedEnd, uint64_t extra, uint64_t fileSize);

// Parses the record at the start of an unpackaged entry's stored data; false
// when the data is shorter than the record says.
bool ParseUnpackagedRecord(const uint8_t* data, uint32_t storedSize, UnpackagedFileRecord* record);

}  // namespace FileSystem
