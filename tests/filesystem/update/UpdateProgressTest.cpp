// How far downloads got, as hosts ask for it: per worker, per file (through
// its link target) and per resource group, with the buffer rules of the
// name they are given.
#include <string>

#include "UpdateHarness.h"

using FileSystem::IFileSystem;
using FileSystem::IReadFile;
using UpdateTests::Eventually;

namespace {

constexpr int kStallAt = 1000;

std::string Incompressible(size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

struct Report {
  bool ok = false;
  std::string name;
  int total = -1;
  int done = -1;
  float speed = -1.0f;
};

class UpdateProgressTest : public UpdateTests::UpdateTest {
 protected:
  void SetUp() override {
    UpdateTest::SetUp();
    ASSERT_TRUE(Publish("file big.bin 1 0\nlink big.bin bigalias.bin\ngroup bigs 1 whole\n"
                        "first big.bin\n",
                        {{"big.bin", Incompressible(20000)}}));
    FileSystem::HttpDownloader::Timing timing = FileSystem::HttpDownloader::GetTiming();
    timing.receiveTimeoutMs = 500;
    FileSystem::HttpDownloader::SetTiming(timing);
    fileSystem_ = StartReady();
    ASSERT_NE(fileSystem_, nullptr);
    TestFixtures::HttpReply stall = TestFixtures::HttpReply::Serve();
    stall.stallAfterBodyBytes = kStallAt;
    http_.SetDefaultReply(stall);
  }

  void TearDown() override {
    if (fileSystem_ != nullptr) fileSystem_->Release();
    UpdateTest::TearDown();
  }

  // Opens the resource for download and waits until its transfer stalls.
  IReadFile* OpenStalled(const char* name) {
    IReadFile* file = fileSystem_->OpenFile(name, 0, true, false);
    if (file == nullptr) return nullptr;
    if (!Eventually([&] { return file->GetDownloadedSize() == kStallAt; }))
      ADD_FAILURE() << name << " never reached the stall";
    return file;
  }

  template <typename Query>
  static Report Ask(Query query, uint32_t nameSize = 64) {
    Report report;
    char name[64] = "untouched";
    report.ok = query(name, nameSize, &report.total, &report.done, &report.speed);
    report.name = name;
    return report;
  }

  Report FileInfo(const char* file, uint32_t nameSize = 64) {
    return Ask([&](char* name, uint32_t size, int* total, int* done, float* speed) {
      return fileSystem_->GetFileUpdateInfo(file, name, size, total, done, speed);
    }, nameSize);
  }

  Report WorkerInfo(int worker) {
    return Ask([&](char* name, uint32_t size, int* total, int* done, float* speed) {
      return fileSystem_->GetUpdateInfo(worker, name, size, total, done, speed);
    });
  }

  Report GroupInfo(const char* group) {
    return Ask([&](char* name, uint32_t size, int* total, int* done, float* speed) {
      return fileSystem_->GetResourceGroupUpdateInfo(group, name, size, total, done, speed);
    });
  }

  int ImageSize(const std::string& package) { return static_cast<int>(tree_[package].size()); }

  IFileSystem* fileSystem_ = nullptr;
};

TEST_F(UpdateProgressTest, FileAndWorkerReportTheRunningDownload) {
  IReadFile* file = OpenStalled("big.bin");
  ASSERT_NE(file, nullptr);
  const std::string package = PackageOf("big.bin", 1);
  EXPECT_EQ(file->GetTotalSize(), ImageSize(package));
  for (const char* name : {"big.bin", "bigalias.bin"}) {
    const Report report = FileInfo(name);
    EXPECT_TRUE(report.ok) << name;
    EXPECT_EQ(report.name, package) << name;
    EXPECT_EQ(report.total, ImageSize(package)) << name;
    EXPECT_EQ(report.done, kStallAt) << name;
    EXPECT_GE(report.speed, 0.0f) << name;
  }
  int reporting = 0;
  for (int worker = 0; worker < static_cast<int>(workerCount_); ++worker) {
    const Report report = WorkerInfo(worker);
    if (!report.ok) continue;
    ++reporting;
    EXPECT_EQ(report.name, package);
    EXPECT_EQ(report.done, kStallAt);
  }
  EXPECT_EQ(reporting, 1);
  EXPECT_GE(fileSystem_->GetUpdateSpeed(), 0.0f);
  file->Release();
}

TEST_F(UpdateProgressTest, NothingIsReportedForWhatIsNotDownloading) {
  IReadFile* file = OpenStalled("big.bin");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(FileInfo("a.txt").ok);
  EXPECT_FALSE(FileInfo("unlisted.bin").ok);
  EXPECT_FALSE(GroupInfo("bigs").ok);
  EXPECT_FALSE(GroupInfo("nogroup").ok);
  EXPECT_FALSE(WorkerInfo(-1).ok);
  EXPECT_FALSE(WorkerInfo(static_cast<int>(workerCount_)).ok);
  file->Release();
}

TEST_F(UpdateProgressTest, NameMustFitWithItsTerminatorAndOutputsMustBeGiven) {
  IReadFile* file = OpenStalled("big.bin");
  ASSERT_NE(file, nullptr);
  const std::string package = PackageOf("big.bin", 1);
  const uint32_t exact = static_cast<uint32_t>(package.size()) + 1;
  const Report fits = FileInfo("big.bin", exact);
  EXPECT_TRUE(fits.ok);
  EXPECT_EQ(fits.name, package);
  const Report tooSmall = FileInfo("big.bin", exact - 1);
  EXPECT_FALSE(tooSmall.ok);
  EXPECT_EQ(tooSmall.name, "untouched");
  int total = 0;
  int done = 0;
  float speed = 0;
  char name[64];
  EXPECT_FALSE(fileSystem_->GetFileUpdateInfo(nullptr, name, 64, &total, &done, &speed));
  EXPECT_FALSE(fileSystem_->GetFileUpdateInfo("big.bin", nullptr, 64, &total, &done, &speed));
  EXPECT_FALSE(fileSystem_->GetFileUpdateInfo("big.bin", name, 0, &total, &done, &speed));
  EXPECT_FALSE(fileSystem_->GetFileUpdateInfo("big.bin", name, 64, nullptr, &done, &speed));
  EXPECT_FALSE(fileSystem_->GetUpdateInfo(0, name, 64, &total, nullptr, &speed));
  EXPECT_FALSE(fileSystem_->GetUpdateInfo(0, name, 64, &total, &done, nullptr));
  file->Release();
}

TEST_F(UpdateProgressTest, GroupReportsTheDownloadOfItsWholePackage) {
  IReadFile* file = OpenStalled("bigs.pak");
  ASSERT_NE(file, nullptr);
  const Report report = GroupInfo("bigs");
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.name, PackageOf("bigs.pak", 1));
  EXPECT_EQ(report.done, kStallAt);
  EXPECT_EQ(report.total, ImageSize(PackageOf("bigs.pak", 1)));
  file->Release();
}

TEST_F(UpdateProgressTest, CollectedDownloadNoLongerCountsOnTheFile) {
  IReadFile* file = OpenStalled("big.bin");
  ASSERT_NE(file, nullptr);
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_EQ(ContentOf(file), Incompressible(20000));
  EXPECT_EQ(file->GetDownloadedSize(), 0);
  EXPECT_EQ(file->GetTotalSize(), 0);
  EXPECT_FALSE(file->IsDownloading());
  EXPECT_TRUE(file->IsDownloadSucceeded());
  EXPECT_FALSE(FileInfo("big.bin").ok);
  EXPECT_TRUE(Eventually([&] { return fileSystem_->GetUpdateSpeed() == 0.0f; }));
  file->Release();
}

}  // namespace
