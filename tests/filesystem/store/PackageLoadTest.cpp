// Loading packages into the merged index: blocks, versions across packages,
// numbering gaps, empty entries and damaged packages that must fail cleanly.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Held.h"
#include "store/PackageFile.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"

using StoreTest::OpenStore;
using StoreTest::ReadAll;
using TestFixtures::PackageImageWriter;
using TestSupport::RecordingLog;
using TestSupport::TempFolder;

namespace {

std::string Open(FileSystem::FileSystem* fs, const char* name) {
  return ReadAll(fs->OpenFile(name, FileSystem::kOpenPackagedOnly, false, false));
}

TEST(PackageLoad, EntriesInEveryBlockOfTheChainReadBack) {
  TempFolder folder;
  PackageImageWriter image(2);
  for (int i = 0; i < 7; ++i)
    image.AddStored("file" + std::to_string(i), 1, "content " + std::to_string(i));
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(Open(fs, ("file" + std::to_string(i)).c_str()), "content " + std::to_string(i));
  EXPECT_EQ(fs->Packages().ListEntries().size(), 7u);
}

class VersionOrder : public testing::TestWithParam<bool> {};

TEST_P(VersionOrder, HighestVersionWinsWhateverTheLoadingOrder) {
  TempFolder folder;
  PackageImageWriter low, high;
  low.AddStored("shared.txt", 3, "version three");
  high.AddStored("shared.txt", 5, "version five");
  const bool highFirst = GetParam();
  ASSERT_TRUE((highFirst ? high : low).WriteTo(folder.File("data_1.pak")));
  ASSERT_TRUE((highFirst ? low : high).WriteTo(folder.File("data_2.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(Open(fs, "shared.txt"), "version five");
  uint32_t version = 0;
  EXPECT_TRUE(fs->Packages().FindEntry(FileSystem::HashResourceName("shared.txt"), &version));
  EXPECT_EQ(version, 5u);
}

INSTANTIATE_TEST_SUITE_P(Orders, VersionOrder, testing::Bool());

TEST(PackageLoad, EqualVersionsTakeTheNumberedPackageOverAnExtraOne) {
  TempFolder folder;
  PackageImageWriter extra, numbered;
  extra.AddStored("same.txt", 4, "extra");
  numbered.AddStored("same.txt", 4, "numbered");
  ASSERT_TRUE(extra.WriteTo(folder.File("extra.pak")));
  ASSERT_TRUE(numbered.WriteTo(folder.File("data_1.pak")));
  const std::string extraPath = folder.File("extra.pak");
  PackagePathNode node{extraPath.c_str(), nullptr};
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false, nullptr, 0, &node));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(Open(fs, "same.txt"), "numbered");
}

TEST(PackageLoad, ANumberingGapEndsTheScanAndCreatePackageFillsIt) {
  TempFolder folder;
  PackageImageWriter first, third;
  first.AddStored("one.txt", 1, "1");
  third.AddStored("three.txt", 1, "3");
  ASSERT_TRUE(first.WriteTo(folder.File("data_1.pak")));
  ASSERT_TRUE(third.WriteTo(folder.File("data_3.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(Open(fs, "one.txt"), "1");
  EXPECT_EQ(Open(fs, "three.txt"), "<null>");
  EXPECT_EQ(fs->Packages().CreatePackage(), nullptr);  // local mode never writes
  fs.reset();

  fs.reset(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  FileSystem::PackageFile* created = fs->Packages().CreatePackage();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Path(), fs->Packages().NumberedPath(2));
}

TEST(PackageLoad, AnEntryOfSizeZeroOpensAsOneZeroByte) {
  TempFolder folder;
  PackageImageWriter image;
  image.AddStored("empty.txt", 1, "");
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile("empty.txt", 2, false, false));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetSize(), 0);
  ASSERT_NE(file->GetBuffer(), nullptr);
  EXPECT_EQ(file->GetBuffer()[0], 0);
  EXPECT_TRUE(file->IsPackaged());
}

TEST(PackageLoad, AZeroLengthPackageFailsToOpenAndStopsTheScan) {
  TempFolder folder;
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("data_1.pak"), ""));
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(fs, nullptr);
  const std::string path = fs->Packages().NumberedPath(1);
  EXPECT_TRUE(log.Contains("Create file mapping failed when open package file \"" + path +
                           "\", write is not enabled."));
  EXPECT_TRUE(log.Contains("Open package file \"" + path + "\" failed."));
}

struct Damage {
  const char* label;
  std::function<void(PackageImageWriter&)> apply;
  bool firstSurvives;
};

// Two entries in block 0 (capacity 2), a second block with one more.
PackageImageWriter ThreeEntries() {
  PackageImageWriter image(2);
  image.AddStored("good1", 1, "first");
  image.AddStored("good2", 1, "second");
  image.AddStored("good3", 1, "third");
  return image;
}

class DamagedPackage : public testing::TestWithParam<Damage> {};

TEST_P(DamagedPackage, FailsItsLoadCleanlyAndKeepsWhatCameBefore) {
  TempFolder folder;
  PackageImageWriter image = ThreeEntries();
  GetParam().apply(image);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false, &log));
  ASSERT_NE(fs, nullptr);
  const std::string path = fs->Packages().NumberedPath(1);
  EXPECT_TRUE(log.Contains("Load file list of \"" + path + "\" failed"));
  EXPECT_EQ(Open(fs, "good1"), GetParam().firstSurvives ? "first" : "<null>");
}

uint32_t ThirdSlot(PackageImageWriter& image) { return image.BlockOffset(1) + 12; }

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedPackage,
    testing::Values(
        Damage{"cycleBack", [](PackageImageWriter& i) { i.SetNext(1, i.BlockOffset(0)); }, true},
        Damage{"selfLoop", [](PackageImageWriter& i) { i.SetNext(1, i.BlockOffset(1)); }, true},
        Damage{"nextInsideBlock", [](PackageImageWriter& i) { i.SetNext(0, 40); }, true},
        Damage{"nextPastEnd", [](PackageImageWriter& i) { i.SetNext(1, 0x7FFFFFF0); }, true},
        Damage{"countAboveCapacity", [](PackageImageWriter& i) { i.SetCount(1, 1001); }, true},
        Damage{"wrappingCapacity",
               [](PackageImageWriter& i) { i.PutU32(i.BlockOffset(1), 0x0924924A); }, true},
        Damage{"offsetPastEnd",
               [](PackageImageWriter& i) { i.PutU32(ThirdSlot(i) + 12, 0xFFFFFFF0); }, true},
        Damage{"storedSizePastEnd",
               [](PackageImageWriter& i) { i.PutU32(ThirdSlot(i) + 16, 0xFFFFFFFF); }, true},
        Damage{"truncatedInBlock",
               [](PackageImageWriter& i) { i.Truncate(i.BlockOffset(1) + 20); }, true},
        Damage{"truncatedInHeader", [](PackageImageWriter& i) { i.Truncate(10); }, false},
        Damage{"badMagicReadOnly", [](PackageImageWriter& i) { i.PutU32(0, 0x12345678); },
               false}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.label); });

TEST(PackageLoad, AWritableDamagedChainRefusesAppendsWithoutHanging) {
  TempFolder folder;
  PackageImageWriter image = ThreeEntries();
  image.SetNext(1, image.BlockOffset(0));
  image.PadTo(200000);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true));
  ASSERT_NE(fs, nullptr);
  FileSystem::PackageFile* package = fs->Packages().FindPackage(fs->Packages().NumberedPath(1));
  ASSERT_NE(package, nullptr);
  EXPECT_FALSE(package->AppendEntry(1, 2, 1, 0, 0, 0, 3, "abc", 3, 3));
}

TEST(PackageLoad, AWritablePackageTooShortForAnIndexIsNotResetOverItsEnd) {
  TempFolder folder;
  const std::string junk(20000, 'j');
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("data_1.pak"), junk));
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true, &log));
  ASSERT_NE(fs, nullptr);
  const std::string path = fs->Packages().NumberedPath(1);
  EXPECT_TRUE(log.Contains("Package file \"" + path + "\" is dirty."));
  EXPECT_TRUE(log.Contains("Load file list of \"" + path + "\" failed"));
  fs.reset();
  std::string after;
  ASSERT_TRUE(TestSupport::ReadWholeFile(folder.File("data_1.pak"), &after));
  EXPECT_EQ(after, junk);
}

TEST(PackageLoad, AWritablePackageWithUsedEndPastItsSizeIsResetToAnEmptyIndex) {
  TempFolder folder;
  PackageImageWriter image = ThreeEntries();
  image.PadTo(40000);
  image.PutU32(8, 50000);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  RecordingLog log;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), true, &log));
  ASSERT_NE(fs, nullptr);
  EXPECT_TRUE(log.Contains("Package file \"" + fs->Packages().NumberedPath(1) + "\" is dirty."));
  EXPECT_TRUE(fs->Packages().ListEntries().empty());
  fs.reset();
  std::string after;
  ASSERT_TRUE(TestSupport::ReadWholeFile(folder.File("data_1.pak"), &after));
  PackageImageWriter empty(1000);
  EXPECT_EQ(after.substr(0, 24), empty.Bytes().substr(0, 24));
}

}  // namespace
