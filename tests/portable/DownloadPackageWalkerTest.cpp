#include "DownloadPackageWalker.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "UnpackagedName.h"

using FileSystem::FileIndexEntry;
using FileSystem::WalkDownloadPackage;
using FileSystem::WalkResult;

namespace {

class Image {
 public:
  Image() : bytes_(12, 0) { Put32(0, FileSystem::kPackageMagic); }

  // Appends a block header with capacity slots (all zero) and returns its offset.
  uint32_t AddBlock(uint32_t capacity, uint32_t count, uint32_t next) {
    const uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(bytes_.size() + 12 + capacity * 28, 0);
    Put32(at, capacity);
    Put32(at + 4, count);
    Put32(at + 8, next);
    return at;
  }
  void SetSlot(uint32_t block, uint32_t slot, uint32_t hash1, uint32_t offset, uint32_t stored) {
    const uint32_t at = block + 12 + slot * 28;
    Put32(at, hash1);
    Put32(at + 4, hash1 ^ 0x55u);
    Put32(at + 8, stored);
    Put32(at + 12, offset);
    Put32(at + 16, stored);
    Put32(at + 20, stored);
    bytes_[at + 24] = 7;
    bytes_[at + 26] = 2;
    bytes_[at + 27] = 0x21;
  }
  uint32_t AddData(uint32_t n) {
    const uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(bytes_.size() + n, 0xAB);
    return at;
  }
  void Put32(uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  uint32_t Length() const { return static_cast<uint32_t>(bytes_.size()); }

 private:
  std::vector<uint8_t> bytes_;
};

WalkResult Walk(Image& image, std::vector<uint32_t>* seen) {
  return WalkDownloadPackage(image.Bytes().data(), image.Length(), [seen](const FileIndexEntry& e) {
    seen->push_back(e.hash1);
    return true;
  });
}

TEST(DownloadPackageWalker, VisitsUsedEntriesOfEveryBlockInChainOrder) {
  Image image;
  const uint32_t first = image.AddBlock(3, 2, 0);
  const uint32_t second = image.AddBlock(2, 1, 0);
  image.Put32(first + 8, second);
  const uint32_t data = image.AddData(10);
  image.SetSlot(first, 0, 1, data, 10);
  image.SetSlot(first, 1, 2, data, 4);
  image.SetSlot(first, 2, 99, data, 4);  // beyond count: not visited
  image.SetSlot(second, 0, 3, data + 10, 0);
  std::vector<uint32_t> seen;
  EXPECT_EQ(Walk(image, &seen), WalkResult::kComplete);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
}

TEST(DownloadPackageWalker, DecodesEveryFieldOfASlot) {
  Image image;
  const uint32_t block = image.AddBlock(1, 1, 0);
  const uint32_t data = image.AddData(5);
  image.SetSlot(block, 0, 0xDEADBEEFu, data, 5);
  image.Put32(block + 12 + 8, 77);  // size
  image.Put32(block + 12 + 20, 4096);
  image.Bytes()[block + 12 + 25] = 0x01;  // version high byte
  FileIndexEntry got{};
  EXPECT_EQ(WalkDownloadPackage(image.Bytes().data(), image.Length(),
                                [&got](const FileIndexEntry& e) {
                                  got = e;
                                  return true;
                                }),
            WalkResult::kComplete);
  EXPECT_EQ(got.hash1, 0xDEADBEEFu);
  EXPECT_EQ(got.hash2, 0xDEADBEEFu ^ 0x55u);
  EXPECT_EQ(got.size, 77u);
  EXPECT_EQ(got.offset, data);
  EXPECT_EQ(got.storedSize, 5u);
  EXPECT_EQ(got.capacity, 4096u);
  EXPECT_EQ(got.version, 0x0107u);
  EXPECT_EQ(got.flags, 2u);
  EXPECT_EQ(got.method, 0x21u);
}

TEST(DownloadPackageWalker, StopsAtTheEntryTheVisitorRefuses) {
  Image image;
  const uint32_t block = image.AddBlock(3, 3, 0);
  for (uint32_t i = 0; i < 3; ++i) image.SetSlot(block, i, i + 1, 12, 0);
  std::vector<uint32_t> seen;
  const WalkResult result = WalkDownloadPackage(
      image.Bytes().data(), image.Length(), [&seen](const FileIndexEntry& e) {
        seen.push_back(e.hash1);
        return e.hash1 != 2;
      });
  EXPECT_EQ(result, WalkResult::kStopped);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2}));
}

TEST(DownloadPackageWalker, AnEmptyBlockIsAComplete) {
  Image image;
  image.AddBlock(0, 0, 0);
  std::vector<uint32_t> seen;
  EXPECT_EQ(Walk(image, &seen), WalkResult::kComplete);
  EXPECT_TRUE(seen.empty());
}

// A hostile image: built, then damaged by the case's edit.
struct HostileCase {
  const char* label;
  void (*damage)(Image& image, uint32_t block, uint32_t data);
  size_t entriesBefore;  // entries handed out before the fault is found
};

const HostileCase kHostileCases[] = {
    {"next points back at the block itself",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 8, b); }, 0},
    {"next points into the header", [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 8, 4); }, 0},
    {"next points past the end",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 8, im.Length()); }, 0},
    {"next leaves no room for a block header",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 8, im.Length() - 11); }, 0},
    {"next near 4 GiB", [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 8, 0xFFFFFFF8u); }, 0},
    {"slot area past the end",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b, 1 + (im.Length() - b - 12) / 28); }, 0},
    {"capacity that wraps 32 bits when multiplied",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b, 0x92492493u); }, 0},
    {"count above capacity", [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 4, 2); }, 0},
    {"offset plus stored size past the end",
     [](Image& im, uint32_t b, uint32_t d) { im.Put32(b + 12 + 16, im.Length() - d + 1); }, 0},
    {"stored size that wraps 32 bits",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 12 + 16, 0xFFFFFFFFu); }, 0},
    {"offset that wraps 32 bits",
     [](Image& im, uint32_t b, uint32_t) { im.Put32(b + 12 + 12, 0xFFFFFFF0u); }, 0},
    {"wrong magic", [](Image& im, uint32_t, uint32_t) { im.Bytes()[0] ^= 1; }, 0},
};

class HostileImage : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileImage, IsRejectedWithoutReadingOutside) {
  const HostileCase& c = GetParam();
  Image image;
  const uint32_t block = image.AddBlock(1, 1, 0);
  const uint32_t data = image.AddData(8);
  image.SetSlot(block, 0, 1, data, 8);
  c.damage(image, block, data);
  // Copy into an exact-size buffer so the sanitizer sees any overread.
  std::vector<uint8_t> exact(image.Bytes());
  std::vector<uint32_t> seen;
  const WalkResult result = WalkDownloadPackage(exact.data(), static_cast<uint32_t>(exact.size()),
                                                [&seen](const FileIndexEntry& e) {
                                                  seen.push_back(e.hash1);
                                                  return true;
                                                });
  EXPECT_EQ(result, WalkResult::kMalformed) << c.label;
  EXPECT_EQ(seen.size(), c.entriesBefore) << c.label;
}

std::string CaseName(const testing::TestParamInfo<HostileCase>& info) {
  std::string name;
  for (const char* p = info.param.label; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileImage, testing::ValuesIn(kHostileCases), CaseName);

TEST(DownloadPackageWalker, ImageOfExactlyTheHeaderHoldsNoBlockAndIsRejected) {
  Image image;
  std::vector<uint8_t> exact(image.Bytes());
  ASSERT_EQ(exact.size(), 12u);
  EXPECT_FALSE(FileSystem::HasDownloadPackageHeader(exact.data(), 12));
  EXPECT_EQ(WalkDownloadPackage(exact.data(), 12, [](const FileIndexEntry&) { return true; }),
            WalkResult::kMalformed);
}

TEST(DownloadPackageWalker, ImageTooShortForABlockHeaderIsRejected) {
  Image image;
  image.Bytes().resize(23, 0);
  std::vector<uint8_t> exact(image.Bytes());
  EXPECT_EQ(WalkDownloadPackage(exact.data(), 23, [](const FileIndexEntry&) { return true; }),
            WalkResult::kMalformed);
}

TEST(DownloadPackageWalker, NullImageIsRejected) {
  EXPECT_FALSE(FileSystem::HasDownloadPackageHeader(nullptr, 100));
  EXPECT_EQ(WalkDownloadPackage(nullptr, 100, [](const FileIndexEntry&) { return true; }),
            WalkResult::kMalformed);
}

TEST(DownloadPackageWalker, EntryEndingExactlyAtTheImageEndIsAccepted) {
  Image image;
  const uint32_t block = image.AddBlock(1, 1, 0);
  const uint32_t data = image.AddData(6);
  image.SetSlot(block, 0, 5, data, 6);
  std::vector<uint32_t> seen;
  EXPECT_EQ(Walk(image, &seen), WalkResult::kComplete);
  EXPECT_EQ(seen, (std::vector<uint32_t>{5}));
}

TEST(DownloadPackageWalker, ChainOfForwardBlocksEndsAtNextZero) {
  Image image;
  const uint32_t a = image.AddBlock(1, 1, 0);
  const uint32_t b = image.AddBlock(1, 1, 0);
  const uint32_t c = image.AddBlock(1, 1, 0);
  image.Put32(a + 8, b);
  image.Put32(b + 8, c);
  image.SetSlot(a, 0, 1, 12, 0);
  image.SetSlot(b, 0, 2, 12, 0);
  image.SetSlot(c, 0, 3, 12, 0);
  std::vector<uint32_t> seen;
  EXPECT_EQ(Walk(image, &seen), WalkResult::kComplete);
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2, 3}));
}

TEST(DownloadPackageWalker, CycleThroughAnEarlierBlockIsRejected) {
  Image image;
  const uint32_t a = image.AddBlock(1, 1, 0);
  const uint32_t b = image.AddBlock(1, 1, 0);
  image.Put32(a + 8, b);
  image.Put32(b + 8, a);
  image.SetSlot(a, 0, 1, 12, 0);
  image.SetSlot(b, 0, 2, 12, 0);
  std::vector<uint32_t> seen;
  EXPECT_EQ(Walk(image, &seen), WalkResult::kMalformed);
  // The looping block is refused before any of its entries is handed out.
  EXPECT_EQ(seen, (std::vector<uint32_t>{1}));
}

// Every field of a valid two-block image with unpackaged records, mutated
// many times over: whatever the walk accepts lies inside the image, and the
// records it hands out parse within their stored data. Run under the
// sanitizers, any read outside the exact-size copy fails the test.
TEST(DownloadPackageWalker, MutatedImagesNeverLeadOutsideTheImage) {
  Image base;
  const uint32_t first = base.AddBlock(2, 2, 0);
  const uint32_t second = base.AddBlock(1, 1, 0);
  base.Put32(first + 8, second);
  const char record[] = "\x05" "a.txt" "\x20\0\0\0" "\x01\x02\x03\x04\x05\x06\x07\x08" "\0\0\0\0" "hi";
  static_assert(sizeof record - 1 == 24, "a record of 24 bytes");
  const uint32_t data = base.AddData(sizeof record - 1);
  std::memcpy(base.Bytes().data() + data, record, sizeof record - 1);
  for (uint32_t slot = 0; slot < 2; ++slot) base.SetSlot(first, slot, slot + 1, data, 24);
  base.SetSlot(second, 0, 3, data, 24);

  uint32_t state = 2463534242u;
  auto next = [&state]() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  const uint32_t interesting[] = {0, 1, 11, 12, 13, 27, 28, 0x7FFFFFFF, 0x80000000u,
                                  0xFFFFFFE4u, 0xFFFFFFFFu, first, second, data};
  size_t accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> image(base.Bytes());
    const int edits = 1 + static_cast<int>(next() % 3);
    for (int e = 0; e < edits; ++e) {
      const uint32_t at = next() % static_cast<uint32_t>(image.size() - 3) & ~3u;
      uint32_t value = next() % 2 ? interesting[next() % (sizeof interesting / 4)] : next();
      for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    if (next() % 4 == 0) image.resize(12 + next() % (image.size() - 12));
    std::vector<uint8_t> exact(image);
    const uint32_t length = static_cast<uint32_t>(exact.size());
    const WalkResult result =
        WalkDownloadPackage(exact.data(), length, [&](const FileIndexEntry& entry) {
          EXPECT_LE(uint64_t{entry.offset} + entry.storedSize, length);
          FileSystem::UnpackagedFileRecord parsed;
          if (entry.storedSize != 0 &&
              FileSystem::ParseUnpackagedRecord(exact.data() + entry.offset, entry.storedSize,
                                                &parsed))
            FileSystem::IsSafeUnpackagedName(parsed.name);
          return true;
        });
    if (result == WalkResult::kComplete) ++accepted;
  }
  // Some mutations leave the chain intact (a changed hash or size).
  EXPECT_GT(accepted, 0u);
}

}  // namespace
