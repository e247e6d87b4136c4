// Host requests through the update groups: queued files are fetched in queue
// order, finished and failed requests come out in the lists the host takes
// off, and queues can be emptied.
#include <cstring>
#include <string>
#include <vector>

#include "Held.h"
#include "UpdateHarness.h"

using FileSystem::IFileSystem;
using UpdateTests::Eventually;

namespace {

class UpdateRequestTest : public UpdateTests::UpdateTest {
 protected:
  void UseGroups(uint8_t fifo) {
    other_ = {"other", 1, nullptr};
    default_ = {"default", fifo, &other_};
    updateGroups_ = &default_;
  }

  static std::string UpdatedFiles(IFileSystem* fileSystem, const std::string& expected) {
    return TakeOff(fileSystem, UpdateTests::List::kUpdatedFiles, expected);
  }

  static std::string FailedFiles(IFileSystem* fileSystem, const std::string& expected) {
    return TakeOff(fileSystem, UpdateTests::List::kFailedFiles, expected);
  }

  // Position of the first GET of the package in the server's record.
  size_t FirstRequestOf(const std::string& package) {
    const std::vector<std::string> requests = http_.Requests();
    for (size_t i = 0; i < requests.size(); ++i)
      if (requests[i].compare(0, 4, "GET ") == 0 &&
          requests[i].find("/" + package + " ") != std::string::npos)
        return i;
    return requests.size();
  }

  UpdateGroupNode default_{};
  UpdateGroupNode other_{};
};

TEST_F(UpdateRequestTest, RequestedFileIsDownloadedAndListedOnceAsUpdated) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(fileSystem->UpdateFile("a.txt", "default"));
  EXPECT_TRUE(fileSystem->UpdateFile("a.txt", "default"));
  EXPECT_EQ(UpdatedFiles(fileSystem, "a.txt"), "a.txt");
  EXPECT_TRUE(fileSystem->IsFileReady("a.txt"));
  EXPECT_EQ(RequestsFor(PackageOf("a.txt", 2)), 1u);
  EXPECT_TRUE(Eventually([&] { return fileSystem->GetUpdateTaskCount() == 0; }));
  char buffer[16] = "x";
  EXPECT_TRUE(fileSystem->TakeOffUpdatedFiles(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST_F(UpdateRequestTest, ReadyFileIsNeitherQueuedNorListed) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(fileSystem->UpdateFile("version.pcfg", "default"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  char buffer[16] = "x";
  EXPECT_TRUE(fileSystem->TakeOffUpdatedFiles(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST_F(UpdateRequestTest, RequestWithoutUsableGroupOrNameFails) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->UpdateFile("a.txt", "nosuchgroup"));
  EXPECT_FALSE(fileSystem->UpdateFile("a.txt", "Default"));
  EXPECT_FALSE(fileSystem->UpdateFile("a.txt", nullptr));
  EXPECT_FALSE(fileSystem->UpdateFile(nullptr, "default"));
  EXPECT_FALSE(fileSystem->UpdateResourceGroup("maps", "nosuchgroup"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
}

TEST_F(UpdateRequestTest, FileWhosePackageIsMissingEndsInTheFailedListAndIsDropped) {
  tree_.erase(PackageOf("a.txt", 2));
  http_.SetFiles(tree_);
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateFile("a.txt", "default"));
  EXPECT_EQ(FailedFiles(fileSystem, "a.txt"), "a.txt");
  EXPECT_TRUE(Eventually([&] { return fileSystem->GetUpdateTaskCount() == 0; }));
  EXPECT_FALSE(fileSystem->IsFileReady("a.txt"));
  // Dropped: a later file of the same queue is still served, and the failed
  // one is not listed again.
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  EXPECT_EQ(UpdatedFiles(fileSystem, "c.txt"), "c.txt");
  char buffer[16] = "x";
  EXPECT_TRUE(fileSystem->TakeOffUpdateFailedFiles(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

struct OrderCase {
  uint8_t fifo;
  const char* servedFirst;
  const char* servedSecond;
  uint32_t firstVersion;
  uint32_t secondVersion;
};

class UpdateRequestOrderTest : public UpdateRequestTest,
                               public testing::WithParamInterface<OrderCase> {};

TEST_P(UpdateRequestOrderTest, QueueServesRequestsInItsOrder) {
  const OrderCase& order = GetParam();
  UseGroups(order.fifo);
  workerCount_ = 1;
  // The one worker is held on a stalled download while both requests are
  // queued; its receive time-out then lets it fetch again and go on.
  FileSystem::HttpDownloader::Timing timing = FileSystem::HttpDownloader::GetTiming();
  timing.receiveTimeoutMs = 1000;
  FileSystem::HttpDownloader::SetTiming(timing);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  TestFixtures::Held<FileSystem::IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(Eventually([&] { return file->IsDownloading(); }));
  ASSERT_TRUE(fileSystem->UpdateFile("b.txt", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_EQ(ContentOf(file), "alpha content, stored");
  file.reset();
  const std::string updated = UpdatedFiles(fileSystem, "b.txt;c.txt");
  EXPECT_EQ(updated, std::string(order.servedFirst) + ";" + order.servedSecond);
  const size_t first = FirstRequestOf(PackageOf(order.servedFirst, order.firstVersion));
  const size_t second = FirstRequestOf(PackageOf(order.servedSecond, order.secondVersion));
  EXPECT_LT(first, second);
  EXPECT_LT(second, http_.Requests().size());
}

INSTANTIATE_TEST_SUITE_P(Fifo, UpdateRequestOrderTest,
                         testing::Values(OrderCase{1, "b.txt", "c.txt", 1, 4},
                                         OrderCase{0, "c.txt", "b.txt", 4, 1}),
                         [](const testing::TestParamInfo<OrderCase>& info) {
                           return std::string(info.param.fifo != 0 ? "FirstInFirstOut"
                                                                   : "LastInFirstOut");
                         });

TEST_F(UpdateRequestTest, CancellingEmptiesTheNamedQueueOrAll) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  // Names the product does not list never download, so they stay queued.
  ASSERT_TRUE(fileSystem->UpdateFile("unlisted1.txt", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("unlisted1.txt", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("Unlisted1.txt", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("unlisted2.txt", "other"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 3);
  EXPECT_FALSE(fileSystem->CancelUpdateGroup("nosuchgroup"));
  EXPECT_FALSE(fileSystem->CancelUpdateGroup(nullptr));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 3);
  EXPECT_TRUE(fileSystem->CancelUpdateGroup("default"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 1);
  ASSERT_TRUE(fileSystem->UpdateFile("unlisted1.txt", "default"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 2);
  EXPECT_TRUE(fileSystem->CancelAllUpdateRequests());
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  ASSERT_TRUE(fileSystem->UpdateFile("unlisted1.txt", "other"));
  EXPECT_TRUE(fileSystem->StopUpdate());
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
}

// The failed resource groups hold "ab;cd": each step takes off into a
// buffer of the given size.
struct TakeOffStep {
  uint32_t size;
  bool result;
  const char* text;
};

TEST_F(UpdateRequestTest, TakingOffCutsAtSeparatorsAndNeverWritesOutsideTheBuffer) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("ab", "default"));
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("cd", "default"));
  // Queued after both groups: once it is listed, so are they.
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  ASSERT_EQ(UpdatedFiles(fileSystem, "c.txt"), "c.txt");

  char storage[16];
  EXPECT_FALSE(fileSystem->TakeOffUpdateFailedResourceGroups(nullptr, 8));
  EXPECT_FALSE(fileSystem->TakeOffUpdateFailedResourceGroups(storage, 0));
  const TakeOffStep steps[] = {{1, false, ""},   {3, false, ""}, {4, true, "ab"},
                               {2, false, ""},   {3, true, "cd"}, {1, true, ""},
                               {6, true, ""}};
  for (const TakeOffStep& step : steps) {
    std::memset(storage, '#', sizeof storage);
    char* buffer = storage + 1;
    EXPECT_EQ(fileSystem->TakeOffUpdateFailedResourceGroups(buffer, step.size), step.result)
        << "size " << step.size;
    EXPECT_STREQ(buffer, step.text) << "size " << step.size;
    EXPECT_EQ(storage[0], '#');
    for (size_t i = 1 + step.size; i < sizeof storage; ++i) EXPECT_EQ(storage[i], '#');
  }
}

TEST_F(UpdateRequestTest, WholeListFitsExactlyWithItsTerminator) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("ab", "default"));
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("cd", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  ASSERT_EQ(UpdatedFiles(fileSystem, "c.txt"), "c.txt");
  char buffer[6];
  EXPECT_TRUE(fileSystem->TakeOffUpdateFailedResourceGroups(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "ab;cd");
  EXPECT_TRUE(fileSystem->TakeOffUpdateFailedResourceGroups(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST_F(UpdateRequestTest, RequestsQueuedBeforeTheMapsAreLoaded) {
  // "version.pcfg" stalls until its receive time-out, so both requests are
  // queued while the version map is still on its way: the file waits in its
  // queue and is served; the group, unknown at the first turn, fails.
  FileSystem::HttpDownloader::Timing timing = FileSystem::HttpDownloader::GetTiming();
  timing.receiveTimeoutMs = 300;
  FileSystem::HttpDownloader::SetTiming(timing);
  http_.QueueReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  UseGroups(1);
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateResourceGroup("maps", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  EXPECT_LT(fileSystem->GetUpdateState(), FileSystem::kStateReadyForUpdate);
  EXPECT_EQ(TakeOff(fileSystem, UpdateTests::List::kFailedGroups, "maps"), "maps");
  EXPECT_EQ(UpdatedFiles(fileSystem, "c.txt"), "c.txt");
  // The group exists once the map is loaded; the request failed before.
  EXPECT_TRUE(WaitForState(fileSystem, FileSystem::kStateReadyForUpdate));
  EXPECT_TRUE(fileSystem->HasResourceGroup("maps"));
}

TEST_F(UpdateRequestTest, SameFileUnderTwoSpellingsIsQueuedTwiceAndFetchedOnce) {
  UseGroups(1);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  ASSERT_TRUE(fileSystem->UpdateFile("C.TXT", "default"));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 2);
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  const std::string updated = UpdatedFiles(fileSystem, "c.txt;C.TXT");
  EXPECT_TRUE(updated == "c.txt;C.TXT" || updated == "C.TXT;c.txt") << updated;
  EXPECT_EQ(RequestsFor(PackageOf("c.txt", 4)), 1u);
}

TEST_F(UpdateRequestTest, ReservedOnlyWorkerFetchesOnlyFilesWaitingInOpenFile) {
  UseGroups(1);
  workerCount_ = 1;
  reserveFirstWorker_ = 1;
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(fileSystem->UpdateFile("c.txt", "default"));
  TestFixtures::Held<FileSystem::IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ContentOf(file), "alpha content, stored");
  file.reset();
  WaitForSchedulerPasses(fileSystem);
  EXPECT_EQ(BusyWorkers(fileSystem), 0u);
  EXPECT_EQ(RequestsFor(PackageOf("c.txt", 4)), 0u);
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 1);
}

}  // namespace
