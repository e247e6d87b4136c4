// The package layout: field order, little-endian encoding and the bounds
// checks that guard every walk of a package or download image.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "PackageFormat.h"

using namespace FileSystem;

TEST(PackageFormat, LayoutConstantsMatchTheFileFormat) {
  EXPECT_EQ(kBlockSize, 28012u);
  EXPECT_EQ(kEmptyUsedEnd, 28024u);
}

TEST(PackageFormat, HeaderIsLittleEndianMagicCounterUsedEnd) {
  uint8_t bytes[12];
  WritePackageHeader(bytes, PackageHeader{kPackageMagic, 0x01020304, 28024});
  EXPECT_EQ(std::memcmp(bytes, "HPAK", 4), 0);
  EXPECT_EQ(bytes[4], 0x04);
  EXPECT_EQ(bytes[7], 0x01);
  const PackageHeader back = ParsePackageHeader(bytes);
  EXPECT_EQ(back.counter, 0x01020304u);
  EXPECT_EQ(back.usedEnd, 28024u);
}

TEST(PackageFormat, IndexEntryRoundTripsAllTwentyEightBytes) {
  FileIndexEntry e{0x11223344, 0x55667788, 10, 28024, 7, 9, 0xBEEF, kFlagUnpackaged, 0x21};
  uint8_t bytes[28];
  WriteIndexEntry(bytes, e);
  EXPECT_EQ(bytes[24], 0xEF);
  EXPECT_EQ(bytes[25], 0xBE);
  EXPECT_EQ(bytes[26], 1);
  EXPECT_EQ(bytes[27], 0x21);
  const FileIndexEntry b = ParseIndexEntry(bytes);
  EXPECT_EQ(b.hash1, e.hash1);
  EXPECT_EQ(b.hash2, e.hash2);
  EXPECT_EQ(b.size, e.size);
  EXPECT_EQ(b.offset, e.offset);
  EXPECT_EQ(b.storedSize, e.storedSize);
  EXPECT_EQ(b.capacity, e.capacity);
  EXPECT_EQ(b.version, e.version);
  EXPECT_EQ(StoredMethod(b.method), 1);
  EXPECT_EQ(WantedMethod(b.method), 2);
  EXPECT_EQ(PackMethod(2, 2), 0x22);
}

// The layout written out byte by byte, every field a different value, so
// that two fields swapped in both writer and reader cannot go unseen.
const uint8_t kSlotBytes[28] = {
    0x44, 0x33, 0x22, 0x11,  // hash1 0x11223344
    0x88, 0x77, 0x66, 0x55,  // hash2 0x55667788
    0x0A, 0x00, 0x00, 0x00,  // size 10
    0x78, 0x6D, 0x00, 0x00,  // offset 28024
    0x07, 0x00, 0x00, 0x00,  // storedSize 7
    0x09, 0x00, 0x00, 0x00,  // capacity 9
    0xEF, 0xBE,              // version 0xBEEF
    0x01,                    // flags: unpackaged
    0x21,                    // method: stored 1 (LZO), wanted 2 (LZMA)
};

TEST(PackageFormat, IndexSlotReadsFieldByFieldFromTheLayout) {
  const FileIndexEntry e = ParseIndexEntry(kSlotBytes);
  EXPECT_EQ(e.hash1, 0x11223344u);
  EXPECT_EQ(e.hash2, 0x55667788u);
  EXPECT_EQ(e.size, 10u);
  EXPECT_EQ(e.offset, 28024u);
  EXPECT_EQ(e.storedSize, 7u);
  EXPECT_EQ(e.capacity, 9u);
  EXPECT_EQ(e.version, 0xBEEF);
  EXPECT_EQ(e.flags, kFlagUnpackaged);
  EXPECT_EQ(e.method, 0x21);
}

TEST(PackageFormat, IndexSlotWritesEveryByteOfTheLayout) {
  FileIndexEntry e{0x11223344, 0x55667788, 10, 28024, 7, 9, 0xBEEF, kFlagUnpackaged, 0x21};
  uint8_t bytes[28];
  std::memset(bytes, 0xCC, sizeof bytes);
  WriteIndexEntry(bytes, e);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 28),
            std::vector<uint8_t>(kSlotBytes, kSlotBytes + 28));
}

TEST(PackageFormat, PackageAndBlockHeadersMatchTheLayoutByteForByte) {
  const uint8_t header[12] = {'H', 'P', 'A', 'K', 0x04, 0x03, 0x02, 0x01, 0x78, 0x6D, 0x00, 0x00};
  const uint8_t block[12] = {0xE8, 0x03, 0x00, 0x00,   // capacity 1000
                             0x05, 0x00, 0x00, 0x00,   // count 5
                             0xC4, 0xDA, 0x00, 0x00};  // next 56004
  const PackageHeader h = ParsePackageHeader(header);
  EXPECT_EQ(h.magic, kPackageMagic);
  EXPECT_EQ(h.counter, 0x01020304u);
  EXPECT_EQ(h.usedEnd, 28024u);
  const IndexBlockHeader b = ParseBlockHeader(block);
  EXPECT_EQ(b.capacity, 1000u);
  EXPECT_EQ(b.count, 5u);
  EXPECT_EQ(b.next, 56004u);
  uint8_t written[12];
  WritePackageHeader(written, h);
  EXPECT_EQ(std::memcmp(written, header, 12), 0);
  WriteBlockHeader(written, b);
  EXPECT_EQ(std::memcmp(written, block, 12), 0);
}

struct RangeCase {
  uint64_t offset, length, fileSize;
  bool fits;
};

class RangeFitsTable : public testing::TestWithParam<RangeCase> {};

TEST_P(RangeFitsTable, NeverWraps) {
  const RangeCase& c = GetParam();
  EXPECT_EQ(RangeFits(c.offset, c.length, c.fileSize), c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeFitsTable,
    testing::Values(RangeCase{0, 0, 0, true}, RangeCase{10, 0, 10, true},
                    RangeCase{10, 1, 10, false}, RangeCase{11, 0, 10, false},
                    RangeCase{0xFFFFFFFF, 2, 100, false}, RangeCase{2, 0xFFFFFFFF, 100, false},
                    RangeCase{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, false},
                    RangeCase{28024, 100, 28124, true}));

TEST(PackageFormat, BlockSlotsOfAHugeCapacityDoNotWrap) {
  // 0x0924924A x 28 wraps to a small number in 32 bits.
  EXPECT_FALSE(BlockSlotsFit(12, 0x0924924A, 1u << 20));
  EXPECT_TRUE(BlockSlotsFit(12, 1000, 28024));
  EXPECT_FALSE(BlockSlotsFit(12, 1000, 28023));
  EXPECT_FALSE(BlockSlotsFit(0, 0, 100));  // over the package header
}

struct NextCase {
  const char* label;
  uint32_t block, capacity, next;
  uint64_t fileSize;
  bool valid;
};

class NextBlockTable : public testing::TestWithParam<NextCase> {};

TEST_P(NextBlockTable, OnlyForwardPastTheBlockAndInsideTheFile) {
  const NextCase& c = GetParam();
  EXPECT_EQ(NextBlockValid(c.block, c.capacity, c.next, c.fileSize), c.valid) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NextBlockTable,
    testing::Values(NextCase{"self", 12, 1000, 12, 100000, false},
                    NextCase{"back", 28024, 1000, 12, 100000, false},
                    NextCase{"inside", 12, 1000, 20000, 100000, false},
                    NextCase{"rightAfter", 12, 1000, 28024, 100000, true},
                    NextCase{"pastEnd", 12, 1000, 99990, 100000, false},
                    NextCase{"headerAtEnd", 12, 1000, 99988, 100000, true},
                    NextCase{"zero", 12, 1000, 0, 100000, false},
                    NextCase{"hugeCapacity", 12, 0xFFFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF, false}));

TEST(PackageFormat, EntryAreaCoversTheLargerOfCapacityAndStoredSize) {
  FileIndexEntry e{};
  e.offset = 0xFFFFFFF0;
  e.storedSize = 0x20;
  e.capacity = 0x10;
  EXPECT_EQ(EntryAreaEnd(e), 0x100000010ull);
  EXPECT_FALSE(EntryDataFits(e, 0xFFFFFFFF));
  EXPECT_FALSE(RoomFor(0xFFFFFF00u, 0x200, 0xFFFFFFFFu));
  EXPECT_TRUE(RoomFor(28024, 0, 28024));
  EXPECT_FALSE(RoomFor(28024, 1, 28024));
}

TEST(PackageFormat, UnpackagedRecordParsesNameAttributesTimeCrcAndContent) {
  std::vector<uint8_t> data = {3, 'a', '/', 'b'};
  uint8_t tail[14 + 2] = {};
  WriteU32(tail, 0x20);
  WriteU32(tail + 4, 0x01234567);
  WriteU32(tail + 8, 0x89ABCDEF);
  WriteU32(tail + 12, 0xCAFEBABE);
  tail[14] = 'x';
  tail[15] = 'y';
  // 4 + 12 + 4 bytes of header fields then 2 of content.
  data.insert(data.end(), tail, tail + 12);
  data.insert(data.end(), {0xBE, 0xBA, 0xFE, 0xCA, 'x', 'y'});
  UnpackagedFileRecord r;
  ASSERT_TRUE(ParseUnpackagedRecord(data.data(), static_cast<uint32_t>(data.size()), &r));
  EXPECT_EQ(r.name, "a/b");
  EXPECT_EQ(r.attributes, 0x20u);
  EXPECT_EQ(r.timeLow, 0x01234567u);
  EXPECT_EQ(r.timeHigh, 0x89ABCDEFu);
  EXPECT_EQ(r.crc, 0xCAFEBABEu);
  EXPECT_EQ(r.contentOffset, 20u);
  EXPECT_EQ(r.contentLength, 2u);
}

TEST(PackageFormat, UnpackagedRecordShorterThanItsNameIsInvalid) {
  std::vector<uint8_t> data(17 + 5 - 1, 0);
  data[0] = 5;
  UnpackagedFileRecord r;
  EXPECT_FALSE(ParseUnpackagedRecord(data.data(), static_cast<uint32_t>(data.size()), &r));
  data.push_back(0);
  EXPECT_TRUE(ParseUnpackagedRecord(data.data(), static_cast<uint32_t>(data.size()), &r));
  EXPECT_EQ(r.contentLength, 0u);
  EXPECT_FALSE(ParseUnpackagedRecord(data.data(), 0, &r));
}
