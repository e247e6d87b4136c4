// How far downloads got, as hosts ask for it: per worker, per file (through
// its link target) and per resource group, with the buffer rules of the
// name they are given.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Held.h"
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
    fileSystem_.reset(StartReady());
    ASSERT_NE(fileSystem_, nullptr);
    TestFixtures::HttpReply stall = TestFixtures::HttpReply::Serve();
    stall.stallAfterBodyBytes = kStallAt;
    http_.SetDefaultReply(stall);
  }

  void TearDown() override {
    fileSystem_.reset();
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

  TestFixtures::Held<IFileSystem> fileSystem_;
};

TEST_F(UpdateProgressTest, FileAndWorkerReportTheRunningDownload) {
  TestFixtures::Held<IReadFile> file(OpenStalled("big.bin"));
  ASSERT_NE(file, nullptr);
  const std::string package = PackageOf("big.bin", 1);
  EXPECT_EQ(file->GetTotalSize(), ImageSize(package));
  for (const char* name : {"big.bin", "bigalias.bin"}) {
    const Report report = FileInfo(name);
    EXPECT_TRUE(report.ok) << name;
    EXPECT_EQ(report.name, package) << name;
    EXPECT_EQ(report.total, ImageSize(package)) << name;
    EXPECT_EQ(report.done, kStallAt) << name;
    // Bytes came, and then none: the speed of the last piece stays.
    EXPECT_GT(report.speed, 0.0f) << name;
  }
  int reporting = 0;
  float workerSpeed = -1;
  for (int worker = 0; worker < static_cast<int>(workerCount_); ++worker) {
    const Report report = WorkerInfo(worker);
    if (!report.ok) continue;
    ++reporting;
    EXPECT_EQ(report.name, package);
    EXPECT_EQ(report.done, kStallAt);
    workerSpeed = report.speed;
  }
  EXPECT_EQ(reporting, 1);
  EXPECT_GT(workerSpeed, 0.0f);
  EXPECT_EQ(FileInfo("big.bin").speed, workerSpeed);
  EXPECT_EQ(fileSystem_->GetUpdateSpeed(), workerSpeed);
}

// The speed a running download reports while the server sends at a known
// rate: the median of what a host polling it sees. The bounds leave room
// for a loaded machine (a late piece, two pieces in one receive) but not for
// a speed in other units, one that stays where it was, or an average that
// forgets too slowly to follow the rate.
class SpeedTest : public UpdateProgressTest {
 protected:
  static TestFixtures::HttpReply Paced(size_t pieceBytes, unsigned everyMs, int64_t stallAfter) {
    TestFixtures::HttpReply reply = TestFixtures::HttpReply::Serve();
    reply.paceBytes = pieceBytes;
    reply.paceMs = everyMs;
    reply.stallAfterBodyBytes = stallAfter;
    return reply;
  }

  // Polls the file's, the worker's and the whole update's speed while done
  // lies in [from, last], until it reaches last, where the server stalls and
  // the speed of the last piece stays; the medians, or -1 when nothing was
  // seen.
  struct Speeds {
    float file = -1;
    float worker = -1;
    float update = -1;
  };
  Speeds Watch(IReadFile* file, int from, int last) {
    std::vector<float> files, workers, updates;
    Eventually([&] {
      const Report report = FileInfo("big.bin");
      const int done = static_cast<int>(file->GetDownloadedSize());
      if (done >= from && done <= last && report.ok) {
        files.push_back(report.speed);
        updates.push_back(fileSystem_->GetUpdateSpeed());
        for (int worker = 0; worker < static_cast<int>(workerCount_); ++worker) {
          const Report busy = WorkerInfo(worker);
          if (busy.ok) workers.push_back(busy.speed);
        }
      }
      return (done >= last && !files.empty()) || file->IsLoaded() || file->IsFailed();
    });
    return Speeds{Median(&files), Median(&workers), Median(&updates)};
  }

  static float Median(std::vector<float>* values) {
    if (values->empty()) return -1;
    std::sort(values->begin(), values->end());
    return (*values)[values->size() / 2];
  }

  static void ExpectWithin(const Speeds& speeds, float rate, const char* phase) {
    for (float speed : {speeds.file, speeds.worker, speeds.update}) {
      EXPECT_GE(speed, rate / 4) << phase << " at " << rate << " bytes/s";
      EXPECT_LE(speed, rate * 10) << phase << " at " << rate << " bytes/s";
    }
  }
};

TEST_F(SpeedTest, FollowsTheRateTheServerSendsAt) {
  // 10 000 bytes/s for 2 000 bytes, then silent until the receive time-out
  // gives up on it; the resumed transfer comes at 100 000 bytes/s up to
  // 16 000 bytes and stalls again. Only a speed that followed the step ends
  // above the slow rate's bounds.
  constexpr float kSlow = 10000;
  constexpr float kFast = 100000;
  http_.SetDefaultReply(Paced(200, 20, 2000));
  TestFixtures::Held<IReadFile> file(fileSystem_->OpenFile("big.bin", 0, true, false));
  ASSERT_NE(file, nullptr);
  const Speeds slow = Watch(file, 600, 2000);
  http_.SetDefaultReply(Paced(2000, 20, 14000));
  const Speeds fast = Watch(file, 8000, 16000);
  ExpectWithin(slow, kSlow, "slow");
  ExpectWithin(fast, kFast, "fast");
  std::printf("[ speed    ] slow %.0f/%.0f/%.0f, fast %.0f/%.0f/%.0f bytes/s (file/worker/all)\n",
              slow.file, slow.worker, slow.update, fast.file, fast.worker, fast.update);
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_EQ(ContentOf(file), Incompressible(20000));
}

TEST_F(UpdateProgressTest, NothingIsReportedForWhatIsNotDownloading) {
  TestFixtures::Held<IReadFile> file(OpenStalled("big.bin"));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(FileInfo("a.txt").ok);
  EXPECT_FALSE(FileInfo("unlisted.bin").ok);
  EXPECT_FALSE(GroupInfo("bigs").ok);
  EXPECT_FALSE(GroupInfo("nogroup").ok);
  EXPECT_FALSE(WorkerInfo(-1).ok);
  EXPECT_FALSE(WorkerInfo(static_cast<int>(workerCount_)).ok);
}

TEST_F(UpdateProgressTest, NameMustFitWithItsTerminatorAndOutputsMustBeGiven) {
  TestFixtures::Held<IReadFile> file(OpenStalled("big.bin"));
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
}

TEST_F(UpdateProgressTest, GroupReportsTheDownloadOfItsWholePackage) {
  TestFixtures::Held<IReadFile> file(OpenStalled("bigs.pak"));
  ASSERT_NE(file, nullptr);
  const Report report = GroupInfo("bigs");
  EXPECT_TRUE(report.ok);
  EXPECT_EQ(report.name, PackageOf("bigs.pak", 1));
  EXPECT_EQ(report.done, kStallAt);
  EXPECT_EQ(report.total, ImageSize(PackageOf("bigs.pak", 1)));
}

TEST_F(UpdateProgressTest, CollectedDownloadNoLongerCountsOnTheFile) {
  TestFixtures::Held<IReadFile> file(OpenStalled("big.bin"));
  ASSERT_NE(file, nullptr);
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_EQ(ContentOf(file), Incompressible(20000));
  EXPECT_EQ(file->GetDownloadedSize(), 0);
  EXPECT_EQ(file->GetTotalSize(), 0);
  EXPECT_FALSE(file->IsDownloading());
  EXPECT_TRUE(file->IsDownloadSucceeded());
  EXPECT_FALSE(FileInfo("big.bin").ok);
  EXPECT_TRUE(Eventually([&] { return fileSystem_->GetUpdateSpeed() == 0.0f; }));
}

}  // namespace
