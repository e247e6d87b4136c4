// Fuzz target for the package file layout: the input is a whole package
// file. It is walked the way the store opens a package (header, block chain,
// used slots, the stored data of each entry, the record of an unpackaged
// file and its name) with the layout's own bound checks, and each check that
// passes is held to what it promises: every read it allowed lies inside the
// file, the chain only goes forward, fields read back write the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "PackageFormat.h"
#include "UnpackagedName.h"

using namespace FileSystem;

namespace {

void CheckRoundTrip(const uint8_t* slot) {
  uint8_t written[kIndexEntrySize];
  WriteIndexEntry(written, ParseIndexEntry(slot));
  FUZZ_CHECK(std::memcmp(written, slot, kIndexEntrySize) == 0);
}

void CheckName(const std::string& name) {
  if (!IsSafeUnpackagedName(name)) return;
  FUZZ_CHECK(!name.empty() && name[0] != '/' && name[0] != '\\');
  FUZZ_CHECK(name.find(':') == std::string::npos);
  FUZZ_CHECK(name.find('\0') == std::string::npos);
  FUZZ_CHECK(name != ".." && name.compare(0, 3, "../") != 0 && name.compare(0, 3, "..\\") != 0);
  FUZZ_CHECK(name.find("/../") == std::string::npos && name.find("\\..\\") == std::string::npos);
}

void CheckEntry(const uint8_t* file, uint64_t size, const FileIndexEntry& entry) {
  FUZZ_CHECK(EntryAreaEnd(entry) >= entry.offset);
  FUZZ_CHECK(EntryAreaEnd(entry) >= static_cast<uint64_t>(entry.offset) + entry.storedSize);
  if (!EntryDataFits(entry, size)) return;
  FUZZ_CHECK(static_cast<uint64_t>(entry.offset) + entry.storedSize <= size);
  if (!(entry.flags & kFlagUnpackaged)) return;
  UnpackagedFileRecord record;
  if (!ParseUnpackagedRecord(file + entry.offset, entry.storedSize, &record)) return;
  FUZZ_CHECK(record.name.size() == file[entry.offset]);
  FUZZ_CHECK(record.contentOffset >= kUnpackagedRecordFixedSize);
  FUZZ_CHECK(static_cast<uint64_t>(record.contentOffset) + record.contentLength ==
             entry.storedSize);
  CheckName(record.name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  const FuzzSupport::ExactCopy copy(data, len);
  const uint8_t* file = copy.Data();
  const uint64_t size = len;
  if (size < kPackageHeaderSize) return 0;
  const PackageHeader header = ParsePackageHeader(file);
  uint8_t written[kPackageHeaderSize];
  WritePackageHeader(written, header);
  FUZZ_CHECK(std::memcmp(written, file, kPackageHeaderSize) == 0);
  if (header.magic != kPackageMagic) return 0;
  RoomFor(header.usedEnd, kBlockSize, size);

  uint32_t offset = kFirstBlockOffset;
  for (;;) {
    if (!BlockHeaderFits(offset, size)) return 0;
    FUZZ_CHECK(offset >= kFirstBlockOffset && offset + uint64_t{kBlockHeaderSize} <= size);
    const IndexBlockHeader block = ParseBlockHeader(file + offset);
    if (block.count > block.capacity || !BlockSlotsFit(offset, block.capacity, size)) return 0;
    FUZZ_CHECK(BlockEnd(offset, block.capacity) <= size);
    for (uint32_t slot = 0; slot < block.count; ++slot) {
      const uint64_t at = SlotOffset(offset, slot);
      FUZZ_CHECK(at + kIndexEntrySize <= BlockEnd(offset, block.capacity));
      CheckRoundTrip(file + at);
      CheckEntry(file, size, ParseIndexEntry(file + at));
    }
    if (block.next == 0) return 0;
    if (!NextBlockValid(offset, block.capacity, block.next, size)) return 0;
    // Strictly forward, past the whole block: the walk cannot loop.
    FUZZ_CHECK(block.next >= BlockEnd(offset, block.capacity));
    offset = block.next;
  }
}
