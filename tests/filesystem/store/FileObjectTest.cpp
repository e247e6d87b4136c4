// The file objects: loose files, stored and decoded entries, the two
// asynchronous readers and the write file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "store/AsynchronismReadPackagedFile.h"
#include "store/AsynchronismReadUnPackagedFile.h"
#include "EntryCodec.h"
#include "Held.h"
#include "PackageImageWriter.h"
#include "store/PackageManager.h"
#include "StoreTestSupport.h"
#include "store/UnPackagedFile.h"

using FileSystem::HashResourceName;
using StoreTest::OpenStore;
using StoreTest::ReadAll;
using TestFixtures::PackageImageWriter;
using TestSupport::TempFolder;

namespace {

FileSystem::IReadFile* OpenLoose(FileSystem::FileSystem* fs, const std::string& path,
                                 bool async = false) {
  return fs->OpenFile(path.c_str(), FileSystem::kOpenLooseFileOnly, false, async);
}

void WaitLoaded(FileSystem::IReadFile* file) {
  while (file->IsLoading()) Sleep(1);
}

class FileObjects : public testing::Test {
 protected:
  void SetUp() override {
    fs_.reset(OpenStore(folder_.Path(), false));
    ASSERT_NE(fs_, nullptr);
  }
  void TearDown() override { fs_.reset(); }
  TempFolder folder_;
  TestFixtures::Held<FileSystem::FileSystem> fs_;
};

TEST_F(FileObjects, ALooseFileReadPartlyContinuesFromItsBuffer) {
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder_.File("l.txt"), "abcdefgh"));
  TestFixtures::Held<FileSystem::IReadFile> file(OpenLoose(fs_, folder_.File("l.txt")));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetSize(), 8);
  char part[3] = {};
  ASSERT_TRUE(file->Read(part, 3));
  EXPECT_EQ(std::string(part, 3), "abc");
  const char* buffer = file->GetBuffer();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::string(buffer), "abcdefgh");
  EXPECT_EQ(file->Tell(), 3);
  ASSERT_TRUE(file->Read(part, 3));
  EXPECT_EQ(std::string(part, 3), "def");
  EXPECT_EQ(file->GetBuffer(), buffer);
  EXPECT_TRUE(file->Seek(0, 2));
  EXPECT_FALSE(file->Read(part, 1));
  EXPECT_FALSE(file->Seek(1, 2));
  EXPECT_TRUE(file->IsBufferOwned());
  EXPECT_FALSE(file->IsPackaged());
}

TEST_F(FileObjects, AnEmptyLooseFileGivesAOneByteBuffer) {
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder_.File("e.txt"), ""));
  TestFixtures::Held<FileSystem::IReadFile> file(OpenLoose(fs_, folder_.File("e.txt")));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetSize(), 0);
  ASSERT_NE(file->GetBuffer(), nullptr);
  EXPECT_EQ(file->GetBuffer()[0], 0);
}

TEST_F(FileObjects, AStoredEntrySeeksWithinZeroToItsSize) {
  PackageImageWriter image;
  image.AddStored("s", 1, "stored");
  ASSERT_TRUE(image.WriteTo(folder_.File("data_1.pak")));
  fs_.reset();
  fs_.reset(OpenStore(folder_.Path(), false));
  ASSERT_NE(fs_, nullptr);
  TestFixtures::Held<FileSystem::IReadFile> file(fs_->OpenFile("s", 2, false, false));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->IsPackaged());
  EXPECT_FALSE(file->IsBufferOwned());
  EXPECT_TRUE(file->Seek(6, 0));
  char c;
  EXPECT_FALSE(file->Read(&c, 1));
  EXPECT_FALSE(file->Seek(7, 0));
  EXPECT_TRUE(file->Seek(-2, 2));
  EXPECT_TRUE(file->Read(&c, 1));
  EXPECT_EQ(c, 'e');
  EXPECT_FALSE(file->Seek(-6, 1));
  EXPECT_EQ(file->Tell(), 5);
}

TEST_F(FileObjects, TheAsynchronousLooseReaderLoadsEverything) {
  std::string content;
  for (int i = 0; i < 3000; ++i) content += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder_.File("a.txt"), content));
  TestFixtures::Held<FileSystem::IReadFile> file(OpenLoose(fs_, folder_.File("a.txt"), true));
  ASSERT_NE(file, nullptr);
  WaitLoaded(file);
  EXPECT_TRUE(file->IsLoaded());
  EXPECT_FALSE(file->IsFailed());
  EXPECT_EQ(file->GetLoadedSize(), 3000);
  EXPECT_EQ(std::string(file->GetBuffer()), content);
  EXPECT_EQ(ReadAll(file.release()), content);
}

TEST_F(FileObjects, TheAsynchronousLooseReaderCanBeReleasedWhileLoading) {
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder_.File("a.txt"), std::string(200000, 'z')));
  for (int i = 0; i < 20; ++i) {
    TestFixtures::Held<FileSystem::IReadFile> file(OpenLoose(fs_, folder_.File("a.txt"), true));
    ASSERT_NE(file, nullptr);
    file.reset();
  }
  // The file was closed once each time: it can be replaced now.
  EXPECT_TRUE(TestSupport::WriteWholeFile(folder_.File("a.txt"), "x"));
  EXPECT_TRUE(DeleteFileA(folder_.File("a.txt").c_str()));
}

struct AsyncCase {
  const char* label;
  int method;
  std::string content;
};

class AsyncPackaged : public testing::TestWithParam<AsyncCase> {};

TEST_P(AsyncPackaged, LoadsStoredDecodedAndEmptyEntries) {
  TempFolder folder;
  PackageImageWriter image;
  int used = -1;
  image.AddEncoded("e", 1, GetParam().content, GetParam().method, &used);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile("e", 2, false, true));
  ASSERT_NE(file, nullptr);
  WaitLoaded(file);
  EXPECT_TRUE(file->IsLoaded()) << GetParam().label;
  EXPECT_EQ(file->IsBufferOwned(), used != 0 || GetParam().content.empty());
  EXPECT_EQ(ReadAll(file.release()), GetParam().content);
}

INSTANTIATE_TEST_SUITE_P(Methods, AsyncPackaged,
                         testing::Values(AsyncCase{"stored", 0, "plain text"},
                                         AsyncCase{"lzo", 1, std::string(5000, 'q')},
                                         AsyncCase{"lzma", 2, std::string(5000, 'r')},
                                         AsyncCase{"empty", 0, ""}),
                         [](const testing::TestParamInfo<AsyncCase>& i) {
                           return std::string(i.param.label);
                         });

TEST(AsyncPackagedFailure, ADecodedLengthThatDiffersFails) {
  TempFolder folder;
  PackageImageWriter image;
  std::vector<uint8_t> out;
  const std::string content(4000, 'w');
  ASSERT_EQ(FileSystem::EncodeEntry(1, reinterpret_cast<const uint8_t*>(content.data()), 4000,
                                    &out),
            1);
  image.AddEntry("bad", 1, std::string(out.begin(), out.end()), 3999, 1);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  TestFixtures::Held<FileSystem::IReadFile> file(fs->OpenFile("bad", 2, false, true));
  ASSERT_NE(file, nullptr);
  WaitLoaded(file);
  EXPECT_TRUE(file->IsFailed());
  EXPECT_EQ(file->GetBuffer(), nullptr);
}

TEST(WriteFile, TruncatesOrAppendsAndRefusesEmptyWrites) {
  TempFolder folder;
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  const std::string path = folder.File("w.txt");
  ASSERT_TRUE(TestSupport::WriteWholeFile(path, "old content"));
  TestFixtures::Held<FileSystem::IWriteFile> file(fs->OpenWriteFile(path.c_str(), false));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Write("new", 3));
  EXPECT_FALSE(file->Write("x", 0));
  EXPECT_FALSE(file->Write(nullptr, 1));
  EXPECT_EQ(file->Tell(), 3);
  EXPECT_EQ(file->Flush(), 0);
  file.reset();
  std::string bytes;
  ASSERT_TRUE(TestSupport::ReadWholeFile(path, &bytes));
  EXPECT_EQ(bytes, "new");
  file.reset(fs->OpenWriteFile(path.c_str(), true));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Seek(0, 0));
  EXPECT_TRUE(file->Write("+", 1));
  file.reset();
  ASSERT_TRUE(TestSupport::ReadWholeFile(path, &bytes));
  EXPECT_EQ(bytes, "new+");
  EXPECT_EQ(fs->OpenWriteFile(nullptr, false), nullptr);
  EXPECT_EQ(fs->OpenWriteFile(folder.File("no/such/dir.txt").c_str(), false), nullptr);
}

// The fixed answers of slots 6 to 17 for every loaded reader.
TEST(FileObjectSlots, EveryLoadedReaderAnswersTheFixedSlotsAlike) {
  TempFolder folder;
  PackageImageWriter image;
  image.AddStored("stored", 1, "abc");
  image.AddEncoded("packed", 1, std::string(2000, 'p'), 2);
  ASSERT_TRUE(image.WriteTo(folder.File("data_1.pak")));
  ASSERT_TRUE(TestSupport::WriteWholeFile(folder.File("loose"), "abc"));
  TestFixtures::Held<FileSystem::FileSystem> fs(OpenStore(folder.Path(), false));
  ASSERT_NE(fs, nullptr);
  struct Reader {
    const char* label;
    FileSystem::IReadFile* file;
    bool packaged;
  } readers[] = {
      {"UnPackagedFile", OpenLoose(fs, folder.File("loose")), false},
      {"PackagedFile", fs->OpenFile("stored", 2, false, false), true},
      {"MemoryFile", fs->OpenFile("packed", 2, false, false), true},
      {"AsyncUnPackaged", OpenLoose(fs, folder.File("loose"), true), false},
      {"AsyncPackaged", fs->OpenFile("packed", 2, false, true), true},
  };
  for (Reader& r : readers) {
    ASSERT_NE(r.file, nullptr) << r.label;
    WaitLoaded(r.file);
    EXPECT_FALSE(r.file->IsLoading()) << r.label;
    EXPECT_TRUE(r.file->IsLoaded()) << r.label;
    EXPECT_FALSE(r.file->IsFailed()) << r.label;
    EXPECT_EQ(r.file->GetLoadedSize(), r.file->GetSize()) << r.label;
    EXPECT_FALSE(r.file->IsDownloading()) << r.label;
    EXPECT_TRUE(r.file->IsDownloadSucceeded()) << r.label;
    EXPECT_FALSE(r.file->IsDownloadFailed()) << r.label;
    EXPECT_EQ(r.file->GetDownloadedSize(), 0) << r.label;
    EXPECT_EQ(r.file->GetTotalSize(), 0) << r.label;
    EXPECT_EQ(r.file->GetSpeed(), 0.0f) << r.label;
    EXPECT_EQ(r.file->GetVersion(), 0u) << r.label;
    EXPECT_EQ(r.file->IsPackaged(), r.packaged) << r.label;
    r.file->Release();
  }
}

}  // namespace
