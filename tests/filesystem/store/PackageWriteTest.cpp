// Writing entries: new packages, appends, replaces, new index blocks, full
// packages, and the one-new-package rule of AddFile.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "store/FileMappingBuffer.h"
#include "Held.h"
#include "store/PackageFile.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"

using FileSystem::HashResourceName;
using FileSystem::IndexedEntry;
using FileSystem::ResourceKey;
using StoreTest::Lookup;
using StoreTest::OpenStore;
using StoreTest::Read;
using StoreTest::ReadAll;
using TestSupport::RecordingLog;
using TestSupport::TempFolder;

namespace {

bool Add(FileSystem::FileSystem* fs, const char* name, uint32_t version, const std::string& data,
         uint32_t capacity = 0) {
  const uint32_t n = static_cast<uint32_t>(data.size());
  return fs->Packages().AddFile(HashResourceName(name), version, 0, 0, 0, n, data.data(), n,
                                capacity);
}

TEST(PackageWrite, ANewPackageHasItsFullSizeAndStartsEmpty) {
  TempFolder folder;
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true, &log));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a.txt", 1, "alpha"));
  const std::string path = fs->Packages().NumberedPath(1);
  EXPECT_EQ(StoreTest::FileSizeOf(path), 10485760u);
  EXPECT_TRUE(log.Contains("Open package file \"" + path + "\" success, write is enabled."));
  EXPECT_TRUE(log.Contains("Package file \"" + path + "\" is dirty."));
  EXPECT_EQ(Lookup(fs, "a.txt").entry.offset, 28024u);
  EXPECT_EQ(Read(fs, "a.txt"), "alpha");
  fs.reset();

  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(ReadAll(fs->OpenFile("a.txt", 2, false, false)), "alpha");
}

// A writer stopped between creating a package file and sizing it leaves it
// empty: the next writer sizes and uses it, so that no later scan stops there.
TEST(PackageWrite, AnEmptyPackageFileIsSizedAndUsedLikeANewOne) {
  TempFolder folder;
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("data_1.pak"), ""));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a.txt", 1, "alpha"));
  const std::string path = fs->Packages().NumberedPath(1);
  EXPECT_EQ(Lookup(fs, "a.txt").package->Path(), path);
  EXPECT_EQ(fs->Packages().PackagePaths().size(), 1u);
  EXPECT_EQ(StoreTest::FileSizeOf(path), 10485760u);
  fs.reset();

  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(ReadAll(fs->OpenFile("a.txt", 2, false, false)), "alpha");
}

TEST(PackageWrite, AnEqualOrLowerVersionWritesNothing) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a.txt", 2, "two"));
  const uint32_t counter = Lookup(fs, "a.txt").package->Counter();
  EXPECT_TRUE(Add(fs, "a.txt", 2, "other"));
  EXPECT_TRUE(Add(fs, "a.txt", 1, "older"));
  EXPECT_EQ(Lookup(fs, "a.txt").package->Counter(), counter);
  EXPECT_EQ(Read(fs, "a.txt"), "two");
}

TEST(PackageWrite, AReplacementThatFitsStaysInPlaceAndALargerOneMoves) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a.txt", 1, "0123456789", 16));
  ASSERT_TRUE(Add(fs, "b.txt", 1, "b"));
  const IndexedEntry first = Lookup(fs, "a.txt");
  ASSERT_TRUE(Add(fs, "a.txt", 2, "fits"));
  const IndexedEntry inPlace = Lookup(fs, "a.txt");
  EXPECT_EQ(inPlace.entry.offset, first.entry.offset);
  EXPECT_EQ(inPlace.entry.capacity, 16u);
  EXPECT_EQ(inPlace.slotOffset, first.slotOffset);
  EXPECT_EQ(inPlace.entry.flags, 0);
  EXPECT_EQ(Read(fs, "a.txt"), "fits");
  const uint32_t bEnd = Lookup(fs, "b.txt").entry.offset + 1;
  ASSERT_TRUE(Add(fs, "a.txt", 3, std::string(40, 'x')));
  const IndexedEntry moved = Lookup(fs, "a.txt");
  EXPECT_EQ(moved.entry.offset, bEnd);
  EXPECT_EQ(moved.slotOffset, first.slotOffset);
  EXPECT_EQ(Read(fs, "a.txt"), std::string(40, 'x'));
  EXPECT_EQ(Read(fs, "b.txt"), "b");
}

TEST(PackageWrite, ANewIndexBlockIsPlacedBeforeTheEntryData) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  for (int i = 0; i < 1000; ++i) {
    const std::string name = "n" + std::to_string(i);
    ASSERT_TRUE(Add(fs, name.c_str(), 1, "x")) << i;
  }
  const uint32_t usedEnd = 28024 + 1000;
  ASSERT_TRUE(Add(fs, "overflow", 1, "over the block"));
  const IndexedEntry entry = Lookup(fs, "overflow");
  EXPECT_EQ(entry.slotOffset, usedEnd + 12);
  EXPECT_EQ(entry.entry.offset, usedEnd + 28012);
  fs.reset();
  fs.reset(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(ReadAll(fs->OpenFile("overflow", 2, false, false)), "over the block");
  EXPECT_EQ(ReadAll(fs->OpenFile("n999", 2, false, false)), "x");
  EXPECT_EQ(fs->Packages().ListEntries().size(), 1001u);
}

TEST(PackageWrite, AFullPackageSendsTheEntryToOneNewPackage) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  const uint32_t big = 10485760 - 28024 - 100;
  ASSERT_TRUE(Add(fs, "big", 1, "b", big));
  ASSERT_TRUE(Add(fs, "next", 1, std::string(200, 'n')));
  EXPECT_EQ(Lookup(fs, "next").package->Path(), fs->Packages().NumberedPath(2));
  EXPECT_EQ(fs->Packages().PackagePaths().size(), 2u);
}

TEST(PackageWrite, AnEntryLargerThanAFreshPackageFailsAtOnce) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "small", 1, "s"));
  EXPECT_FALSE(Add(fs, "huge", 1, "h", 10485760 - 28024 + 1));
  EXPECT_EQ(fs->Packages().PackagePaths().size(), 1u);
  EXPECT_EQ(StoreTest::FileSizeOf(fs->Packages().NumberedPath(2)), 0u);
}

TEST(PackageWrite, AFullLastBlockWithoutRoomForANewOneRefusesTheEntry) {
  TempFolder folder;
  TestFixtures::PackageImageWriter image(1);
  image.AddStored("only", 1, "1");
  image.PadTo(image.UsedEnd() + 28012 + 9);
  ASSERT_TRUE(image.WriteTo(folder.File("extra.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  FileSystem::PackageFile package(&fs->Logger(), &fs->Packages());
  ASSERT_TRUE(package.Open(folder.File("extra.pak").c_str(), true, 0));
  ASSERT_TRUE(package.LoadFileList());
  EXPECT_FALSE(package.AppendEntry(7, 7, 1, 0, 0, 0, 10, "0123456789", 10, 10));
  EXPECT_TRUE(package.AppendEntry(7, 7, 1, 0, 0, 0, 9, "012345678", 9, 9));
  fs->Packages().ClearIndex();
}

TEST(PackageWrite, AReadOnlyPackageRefusesWrites) {
  TempFolder folder;
  TestFixtures::PackageImageWriter image;
  image.AddStored("only", 1, "1");
  image.PadTo(100000);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_FALSE(Add(fs, "new", 1, "n"));
  EXPECT_FALSE(Add(fs, "only", 2, "2"));
}

TEST(PackageWrite, AStoredFileStaysReadableAfterTheFileSystemIsReleased) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a.txt", 1, "still here"));
  TestFixtures::Held<FileSystem::IReadFile> file(
      fs->Packages().OpenPackagedFile(HashResourceName("a.txt"), "a.txt", false));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->IsBufferOwned());
  fs.reset();
  // The view belongs to the file object alone: it is neither freed twice nor
  // unmapped under the reader.
  EXPECT_EQ(ReadAll(file.release()), "still here");
}

struct StaleUsedEnd {
  const char* label;
  bool lowerToBlock;  // else to the last entry's offset
};

class StaleHeader : public testing::TestWithParam<StaleUsedEnd> {};

// What a writer stopped between announcing an entry (or linking a block) and
// raising the header's used end leaves behind: the next append must still go
// after everything the index reaches.
TEST_P(StaleHeader, AppendsGoAfterEverythingTheIndexReaches) {
  TempFolder folder;
  TestFixtures::PackageImageWriter image(1);
  image.AddStored("first", 1, "first content");
  image.AddStored("second", 1, "second content");  // in a second block
  const uint32_t lowered =
      GetParam().lowerToBlock ? image.BlockOffset(1) : image.UsedEnd() - 14;
  image.PutU32(8, lowered);
  image.PadTo(200000);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "third", 1, "third content"));
  EXPECT_GE(Lookup(fs, "third").entry.offset, image.UsedEnd());
  EXPECT_EQ(Read(fs, "first"), "first content");
  EXPECT_EQ(Read(fs, "second"), "second content");
  EXPECT_EQ(Read(fs, "third"), "third content");
}

INSTANTIATE_TEST_SUITE_P(Cases, StaleHeader,
                         testing::Values(StaleUsedEnd{"entry", false}, StaleUsedEnd{"block", true}),
                         [](const testing::TestParamInfo<StaleUsedEnd>& i) {
                           return std::string(i.param.label);
                         });

TEST(PackageWrite, APackageUsedToItsEndTakesOnlyEntriesWithoutCapacity) {
  TempFolder folder;
  TestFixtures::PackageImageWriter image;
  image.AddStored("only", 1, "1");
  ASSERT_TRUE(image.WriteTo(folder.File("tight.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  FileSystem::PackageFile package(&fs->Logger(), &fs->Packages());
  ASSERT_TRUE(package.Open(folder.File("tight.pak").c_str(), true, 0));
  ASSERT_TRUE(package.LoadFileList());
  EXPECT_FALSE(package.AppendEntry(5, 5, 1, 0, 0, 0, 1, "x", 1, 1));
  EXPECT_TRUE(package.AppendEntry(5, 5, 1, 0, 0, 0, 0, nullptr, 0, 0));
  fs->Packages().ClearIndex();
}

TEST(PackageWrite, ReplacingASlotThatIsNotInTheChainOrHoldsAnotherKeyFails) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(Add(fs, "a", 1, "aaa"));
  ASSERT_TRUE(Add(fs, "b", 1, "bbb"));
  const IndexedEntry a = Lookup(fs, "a");
  const ResourceKey b = HashResourceName("b");
  EXPECT_FALSE(a.package->ReplaceEntry(a.slotOffset, b.hash1, b.hash2, 2, 0, 0, 0, 1, "B", 1, 1));
  EXPECT_FALSE(a.package->ReplaceEntry(a.slotOffset + 2 * 28, b.hash1, b.hash2, 2, 0, 0, 0, 1,
                                       "B", 1, 1));
  EXPECT_FALSE(a.package->ReplaceEntry(a.entry.offset, b.hash1, b.hash2, 2, 0, 0, 0, 1, "B", 1, 1));
  EXPECT_EQ(Read(fs, "a"), "aaa");
  EXPECT_EQ(Read(fs, "b"), "bbb");
}

TEST(PackageWrite, RemovedEntriesDoNotOpenAndUnpackagedOnesOpenTheLooseFile) {
  TempFolder folder;
  TestFixtures::PackageImageWriter image;
  image.AddEntry("gone.txt", 2, "old", 3, 0, FileSystem::kFlagRemoved);
  const std::string loose = folder.File("loose.txt");
  // The record matches the file on disk, so the start-up restore leaves it.
  const uint32_t crc =
      static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>("on disk"), 7));
  const std::string record =
      TestFixtures::UnpackagedRecord("loose.txt", 0x20, 0, crc, "on disk");
  image.AddEntry(loose, 1, record, 7, 0, FileSystem::kFlagUnpackaged);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  ASSERT_TRUE(TestSupport::WriteWholeFile(loose, "on disk"));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(ReadAll(fs->OpenFile("gone.txt", 2, false, false)), "<null>");
  EXPECT_TRUE(fs->Packages().IsUnpackaged(HashResourceName(loose.c_str())));
  EXPECT_FALSE(fs->Packages().IsUnpackaged(HashResourceName("gone.txt")));
  TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile(loose.c_str(), 2, false, false));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->IsPackaged());
  EXPECT_EQ(ReadAll(file.release()), "on disk");
}

}  // namespace
