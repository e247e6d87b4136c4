// Another writer between two of our writes to one package: one that finished
// (the counter moved on) and ones that were stopped halfway and left the
// counter as it was. Our next write must go after everything they placed
// and must leave every entry they counted readable.
#include <gtest/gtest.h>

#include <string>

#include "Held.h"
#include "store/PackageFile.h"
#include "PackageFormat.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"

using FileSystem::HashResourceName;
using FileSystem::IndexedEntry;
using FileSystem::ResourceKey;
using StoreTest::AddContent;
using StoreTest::Expected;
using StoreTest::Lookup;
using StoreTest::OpenStore;
using StoreTest::Read;
using TestFixtures::EntryContent;
using TestSupport::TempFolder;

namespace {

// Reads and writes a package file behind the back of the file system that
// has it open, as another process would.
class RawPackage {
 public:
  explicit RawPackage(const std::string& path) {
    file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~RawPackage() {
    if (Ok()) CloseHandle(file_);
  }
  RawPackage(const RawPackage&) = delete;
  RawPackage& operator=(const RawPackage&) = delete;

  bool Ok() const { return file_ != INVALID_HANDLE_VALUE; }
  uint32_t GetU32(uint32_t offset) {
    uint8_t bytes[4] = {};
    DWORD done = 0;
    OVERLAPPED at = At(offset);
    ReadFile(file_, bytes, 4, &done, &at);
    return FileSystem::ReadU32(bytes);
  }
  void Put(uint32_t offset, const std::string& bytes) {
    DWORD done = 0;
    OVERLAPPED at = At(offset);
    WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &done, &at);
  }
  void PutU32(uint32_t offset, uint32_t value) {
    uint8_t bytes[4];
    FileSystem::WriteU32(bytes, value);
    Put(offset, std::string(reinterpret_cast<char*>(bytes), 4));
  }
  // Writes a slot and counts it, leaving the header alone.
  void CountEntry(uint32_t block, const FileSystem::FileIndexEntry& entry) {
    const uint32_t count = GetU32(block + 4);
    uint8_t slot[FileSystem::kIndexEntrySize];
    FileSystem::WriteIndexEntry(slot, entry);
    Put(block + 12 + count * 28, std::string(reinterpret_cast<char*>(slot), sizeof slot));
    PutU32(block + 4, count + 1);
  }

 private:
  static OVERLAPPED At(uint32_t offset) {
    OVERLAPPED at{};
    at.Offset = offset;
    return at;
  }
  HANDLE file_;
};

// A name whose content at version 2 is longer than at version 1, so that
// replacing the one by the other moves the entry.
std::string GrowingName() {
  for (int i = 0;; ++i) {
    const std::string name = "first" + std::to_string(i);
    if (Expected(name.c_str(), 1).size() < Expected(name.c_str(), 2).size()) return name;
  }
}

FileSystem::FileIndexEntry OrphanEntry(uint32_t offset, uint32_t length) {
  const ResourceKey key = HashResourceName("orphan");
  return FileSystem::FileIndexEntry{key.hash1, key.hash2, length, offset, length, length, 1, 0, 0};
}

// What a writer stopped halfway leaves after our first entry, whose package
// header said usedEnd; the end of everything it placed.
enum class Stopped {
  kAreaClaimed,          // data written and the used end raised, nothing counted
  kEmptyEntryCounted,    // an entry without data counted, the counter not raised
  kEntryCountedPastEnd,  // data and a counted slot, the header untouched
  kBlockLinked,          // a new block linked, the header untouched
};

uint32_t LeaveBehind(RawPackage* raw, Stopped state, uint32_t usedEnd) {
  const std::string orphan = EntryContent(HashResourceName("orphan").hash1, 1);
  const uint32_t n = static_cast<uint32_t>(orphan.size());
  switch (state) {
    case Stopped::kAreaClaimed:
      raw->Put(usedEnd, orphan);
      raw->PutU32(8, usedEnd + n);
      return usedEnd + n;
    case Stopped::kEmptyEntryCounted:
      raw->CountEntry(FileSystem::kFirstBlockOffset, OrphanEntry(usedEnd, 0));
      return usedEnd;
    case Stopped::kEntryCountedPastEnd:
      raw->Put(usedEnd, orphan);
      raw->CountEntry(FileSystem::kFirstBlockOffset, OrphanEntry(usedEnd, n));
      return usedEnd + n;
    case Stopped::kBlockLinked:
      raw->PutU32(usedEnd, FileSystem::kBlockCapacity);
      raw->PutU32(usedEnd + 4, 0);
      raw->PutU32(usedEnd + 8, 0);
      raw->PutU32(FileSystem::kFirstBlockOffset + 8, usedEnd);
      return usedEnd + FileSystem::kBlockSize;
  }
  return usedEnd;
}

struct StoppedCase {
  const char* label;
  Stopped state;
  bool replace;  // our next write moves the first entry to version 2 instead of adding "second"
  bool orphanCounted;
};

class StoppedWriter : public testing::TestWithParam<StoppedCase> {};

TEST_P(StoppedWriter, OurNextWriteGoesAfterWhatItLeftAndKeepsWhatItCounted) {
  const StoppedCase& c = GetParam();
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  const std::string first = GrowingName();
  ASSERT_TRUE(AddContent(fs, first.c_str(), 1));
  const std::string path = fs->Packages().NumberedPath(1);
  uint32_t end = 0;
  {
    RawPackage raw(path);
    ASSERT_TRUE(raw.Ok());
    const uint32_t counter = raw.GetU32(4);
    end = LeaveBehind(&raw, c.state, raw.GetU32(8));
    ASSERT_EQ(raw.GetU32(4), counter);
  }
  const char* written = c.replace ? first.c_str() : "second";
  ASSERT_TRUE(AddContent(fs, written, c.replace ? 2 : 1));
  EXPECT_GE(Lookup(fs, written).entry.offset, end);
  fs.reset();

  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(Read(fs, first.c_str()), Expected(first.c_str(), c.replace ? 2 : 1));
  if (!c.replace) {
    EXPECT_EQ(Read(fs, "second"), Expected("second", 1));
  }
  if (c.orphanCounted) {
    const IndexedEntry orphan = Lookup(fs, "orphan");
    EXPECT_EQ(Read(fs, "orphan"), orphan.entry.size == 0 ? "" : Expected("orphan", 1));
  }
  EXPECT_EQ(fs->Packages().ListEntries().size(),
            (c.replace ? 1u : 2u) + (c.orphanCounted ? 1u : 0u));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedWriter,
    testing::Values(StoppedCase{"AreaClaimedThenAppend", Stopped::kAreaClaimed, false, false},
                    StoppedCase{"AreaClaimedThenMove", Stopped::kAreaClaimed, true, false},
                    StoppedCase{"EmptyEntryCountedThenAppend", Stopped::kEmptyEntryCounted, false,
                                true},
                    StoppedCase{"EmptyEntryCountedThenMove", Stopped::kEmptyEntryCounted, true,
                                true},
                    StoppedCase{"EntryCountedPastEndThenAppend", Stopped::kEntryCountedPastEnd,
                                false, true},
                    StoppedCase{"EntryCountedPastEndThenMove", Stopped::kEntryCountedPastEnd, true,
                                true},
                    StoppedCase{"BlockLinkedThenAppend", Stopped::kBlockLinked, false, false},
                    StoppedCase{"BlockLinkedThenMove", Stopped::kBlockLinked, true, false}),
    [](const testing::TestParamInfo<StoppedCase>& i) { return std::string(i.param.label); });

// The index may name a slot that a stopped writer counted without raising
// the counter; it is still a slot of the chain.
TEST(InterleavedWriter, ASlotCountedBehindAnUnchangedHeaderCanBeReplaced) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(AddContent(fs, "first", 1));
  const IndexedEntry first = Lookup(fs, "first");
  {
    RawPackage raw(fs->Packages().NumberedPath(1));
    ASSERT_TRUE(raw.Ok());
    LeaveBehind(&raw, Stopped::kEntryCountedPastEnd, raw.GetU32(8));
  }
  const ResourceKey orphan = HashResourceName("orphan");
  const std::string content = Expected("orphan", 2);
  const uint32_t n = static_cast<uint32_t>(content.size());
  EXPECT_TRUE(first.package->ReplaceEntry(first.slotOffset + 28, orphan.hash1, orphan.hash2, 2, 0,
                                          0, 0, n, content.data(), n, n));
  fs.reset();

  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(Read(fs, "orphan"), content);
  EXPECT_EQ(Read(fs, "first"), Expected("first", 1));
}

// The other process fills our block and starts the next one between two of
// our appends: ours follows its entry in the new block.
TEST(InterleavedWriter, AnotherProcessStartingABlockBetweenOurAppendsIsFollowed) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  for (uint32_t i = 0; i < FileSystem::kBlockCapacity - 1; ++i) {
    const std::string name = "mine/" + std::to_string(i);
    ASSERT_TRUE(AddContent(fs, name.c_str(), 1)) << i;
  }
  ASSERT_EQ(StoreTest::RunChild("append \"" + folder.Path() + "\" other/last 1"), 0);
  ASSERT_EQ(StoreTest::RunChild("append \"" + folder.Path() + "\" other/next 1"), 0);
  ASSERT_TRUE(AddContent(fs, "mine/after", 1));
  const IndexedEntry next = Lookup(fs, "other/next");
  const IndexedEntry after = Lookup(fs, "mine/after");
  EXPECT_EQ(after.slotOffset, next.slotOffset + 28);
  EXPECT_GE(after.entry.offset, next.entry.offset + next.entry.capacity);
  fs.reset();

  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->Packages().ListEntries().size(), FileSystem::kBlockCapacity + 2);
  for (const char* name : {"other/last", "other/next", "mine/after", "mine/0", "mine/998"})
    EXPECT_EQ(Read(fs, name), Expected(name, 1)) << name;
}

}  // namespace
