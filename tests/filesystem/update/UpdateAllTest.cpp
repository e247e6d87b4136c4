// Updating everything and every resource group: the groups in file order,
// the single-file list, the flags and counts a host follows, and requests
// whose downloads cannot succeed ending in the failed lists.
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "DownloadImageWriter.h"
#include "Held.h"
#include "UpdateHarness.h"

using FileSystem::IFileSystem;
using UpdateTests::Eventually;
using UpdateTests::List;

namespace {

using UpdateTests::UpdateAllTest;

enum class Damage { kNone, kMissing, kBadChecksum, kUnreadable };

void DamagePackage(std::map<std::string, std::string>* tree, const std::string& package,
                   Damage damage) {
  ASSERT_EQ(tree->count(package), 1u) << package;
  switch (damage) {
    case Damage::kMissing: tree->erase(package); break;
    case Damage::kBadChecksum: (*tree)[package].back() ^= 0x55; break;
    // Checks out as an image, but holds no package the store can read.
    case Damage::kUnreadable: (*tree)[package] = TestFixtures::MakeDownloadImage(200); break;
    case Damage::kNone: break;
  }
}

// Every exchange (HEAD or GET) that asked for the package.
size_t Asked(TestFixtures::HttpTestServer& http, const std::string& package) {
  size_t count = 0;
  for (const std::string& request : http.Requests())
    if (request.find("/" + package + " ") != std::string::npos) ++count;
  return count;
}

TEST_F(UpdateAllTest, BringsEveryGroupAndSingleFileUpToDate) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_FALSE(fileSystem->IsAllReady());
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  EXPECT_TRUE(fileSystem->UpdateAll());
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  EXPECT_TRUE(fileSystem->IsAllResourceGroupsReady());
  ExpectEverythingLocal(fileSystem);
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  // Groups not local at all come whole; their members are not asked for.
  EXPECT_EQ(RequestsFor(PackageOf("maps.pak", 2)), 1u);
  EXPECT_EQ(RequestsFor(PackageOf("tools.pak", 1)), 1u);
  EXPECT_EQ(RequestsFor(PackageOf("extras.pak", 1)), 1u);
  EXPECT_EQ(RequestsFor(PackageOf("a.txt", 2)), 0u);
  EXPECT_EQ(RequestsFor(PackageOf("d.txt", 1)), 0u);
  EXPECT_EQ(RequestsFor(PackageOf("singlefiles.pcfg", 1)), 1u);
  EXPECT_EQ(RequestsFor(PackageOf("c.txt", 4)), 1u);
  EXPECT_EQ(RequestsFor(PackageOf("f.txt", 1)), 1u);
  // Updating everything is not a request of names: the lists stay empty.
  EXPECT_EQ(TakeOffNow(fileSystem, List::kUpdatedFiles), "");
  EXPECT_EQ(TakeOffNow(fileSystem, List::kUpdatedGroups), "");
  fileSystem.reset();

  // The next start finds everything local and fetches nothing more.
  const size_t before = http_.RequestCount();
  TestFixtures::Held<IFileSystem> again(StartReady());
  ASSERT_NE(again, nullptr);
  again->UpdateAll();
  ASSERT_TRUE(Eventually([&] { return again->IsAllReady(); }));
  EXPECT_EQ(http_.RequestCount(), before);
}

TEST_F(UpdateAllTest, AskedBeforeTheGroupsAreLoadedWaitsForThem) {
  FileSystem::HttpDownloader::Timing timing = FileSystem::HttpDownloader::GetTiming();
  timing.receiveTimeoutMs = 300;
  FileSystem::HttpDownloader::SetTiming(timing);
  // The first exchange, for "version.pcfg", stalls until its time-out.
  http_.QueueReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->UpdateAll();
  EXPECT_LT(fileSystem->GetUpdateState(), FileSystem::kStateReadyForUpdate);
  EXPECT_GT(fileSystem->GetUpdateTaskCount(), 0);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  ExpectEverythingLocal(fileSystem);
}

TEST_F(UpdateAllTest, AllGroupsLeavesTheSingleFilesAlone) {
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(fileSystem->UpdateAllResourceGroups());
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllResourceGroupsReady(); }));
  for (const char* group : {"maps", "tools", "extras"})
    EXPECT_TRUE(fileSystem->IsResourceGroupReady(group)) << group;
  EXPECT_FALSE(fileSystem->IsAllReady());
  EXPECT_FALSE(fileSystem->IsFileReady("c.txt"));
  EXPECT_FALSE(fileSystem->IsFileReady("f.txt"));
  EXPECT_EQ(RequestsFor(PackageOf("singlefiles.pcfg", 1)), 0u);
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
}

TEST_F(UpdateAllTest, TaskCountFollowsWhatIsLeftAndCancellingEndsTheRequest) {
  workerCount_ = 1;
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  // All groups: the three groups that are not ready.
  fileSystem->UpdateAllResourceGroups();
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 3);
  // Everything: the groups and "singlefiles.pcfg" itself.
  fileSystem->UpdateAll();
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 4);
  EXPECT_TRUE(fileSystem->CancelAllUpdateRequests());
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  fileSystem->UpdateAll();
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 4);
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  EXPECT_EQ(fileSystem->GetUpdateTaskCount(), 0);
  EXPECT_TRUE(fileSystem->StopUpdate());
}

TEST_F(UpdateAllTest, MissingSingleFileListIsFetchedAgainOnceAvailable) {
  // The list is announced but its package is not there yet: the download
  // fails, is asked for again, and succeeds once the package appears.
  const std::string list = PackageOf("singlefiles.pcfg", 1);
  const std::string image = tree_[list];
  tree_.erase(list);
  http_.SetFiles(tree_);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->UpdateAll();
  // A missing package is never asked for with GET: count every exchange.
  const auto asked = [&] { return Asked(http_, list); };
  // One download makes at most this many attempts; more means the list was
  // asked for again.
  const size_t oneDownload = FileSystem::HttpDownloader::kRetryCount *
                             FileSystem::HttpDownloader::kInitialRestartBudget;
  ASSERT_TRUE(Eventually([&] { return asked() > oneDownload; }));
  EXPECT_FALSE(fileSystem->IsAllReady());
  tree_[list] = image;
  http_.SetFiles(tree_);
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  ExpectEverythingLocal(fileSystem);
}

TEST_F(UpdateAllTest, BrokenSingleFileListIsLoggedAndCountsAsEmpty) {
  // N = 2 announced, one pair present.
  const std::string broken("\x02\0\0\0" "12345678", 12);
  ASSERT_TRUE(PublishProduct("file singlefiles.pcfg 1 0\n", {{"singlefiles.pcfg", broken}}));
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->UpdateAll();
  ASSERT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  EXPECT_TRUE(fileSystem->IsResourceGroupReady("extras"));
  EXPECT_FALSE(fileSystem->IsFileReady("f.txt"));
  size_t logged = 0;
  for (const TestSupport::LogLine& line : log_.Lines())
    if (line.text == "Load update list file \"singlefiles.pcfg\" failed.") {
      EXPECT_EQ(line.level, FileSystem::kLogError);
      ++logged;
    }
  EXPECT_EQ(logged, 1u);
}

// A package that cannot be had while everything is updated: it is given up
// after its restarts instead of being fetched forever, everything else
// arrives, and the update of everything does not report itself complete
// until it is asked for again once the package is there.
struct LostPackage {
  const char* label;
  const char* resource;  // whose package is damaged
  uint32_t version;
  Damage damage;
  const char* group;  // the group left not ready; null: none
  const char* file;   // the single file left not ready; null: none
};

void PrintTo(const LostPackage& lost, std::ostream* out) { *out << lost.label; }

bool Is(const char* lost, const char* name) {
  return lost != nullptr && std::string(lost) == name;
}

class LostPackageTest : public UpdateAllTest, public testing::WithParamInterface<LostPackage> {};

TEST_P(LostPackageTest, IsGivenUpWhileEverythingElseArrives) {
  const LostPackage& lost = GetParam();
  const std::string package = PackageOf(lost.resource, lost.version);
  const std::map<std::string, std::string> whole = tree_;
  DamagePackage(&tree_, package, lost.damage);
  http_.SetFiles(tree_);
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  fileSystem->UpdateAll();
  const auto arrived = [&] {
    for (const char* group : {"maps", "tools", "extras"})
      if (!Is(lost.group, group) && !fileSystem->IsResourceGroupReady(group)) return false;
    for (const char* file : {"c.txt", "f.txt"})
      if (!Is(lost.file, file) && !fileSystem->IsFileReady(file)) return false;
    return true;
  };
  ASSERT_TRUE(Eventually(arrived));
  // Settled: scheduler passes went by with no worker busy and nothing more
  // asked for.
  size_t asked = Asked(http_, package);
  bool settled = false;
  for (int round = 0; !settled && round < 120; ++round) {
    WaitForSchedulerPasses(fileSystem);
    const size_t now = Asked(http_, package);
    settled = now == asked && BusyWorkers(fileSystem) == 0;
    asked = now;
  }
  EXPECT_TRUE(settled) << package << " is still being fetched";
  // At most one download of all its attempts (a HEAD and a GET each), or one
  // download per restart of a package that arrives but cannot be added.
  using FileSystem::HttpDownloader;
  const size_t limit = 2 * HttpDownloader::kRetryCount * HttpDownloader::kInitialRestartBudget;
  EXPECT_GE(asked, 1u);
  EXPECT_LE(asked, limit);
  EXPECT_FALSE(fileSystem->IsAllReady());
  if (lost.group != nullptr) {
    EXPECT_FALSE(fileSystem->IsResourceGroupReady(lost.group));
  }
  if (lost.file != nullptr) {
    EXPECT_FALSE(fileSystem->IsFileReady(lost.file));
  }
  EXPECT_GT(fileSystem->GetUpdateTaskCount(), 0);

  // Asked again once the package is there, everything is tried anew.
  http_.SetFiles(whole);
  fileSystem->UpdateAll();
  EXPECT_TRUE(Eventually([&] { return fileSystem->IsAllReady(); }));
  ExpectEverythingLocal(fileSystem);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, LostPackageTest,
    testing::Values(
        LostPackage{"group_package_missing", "maps.pak", 2, Damage::kMissing, "maps", nullptr},
        LostPackage{"group_package_unreadable", "maps.pak", 2, Damage::kUnreadable, "maps",
                    nullptr},
        LostPackage{"single_file_missing", "f.txt", 1, Damage::kMissing, nullptr, "f.txt"},
        LostPackage{"single_file_bad_checksum", "c.txt", 4, Damage::kBadChecksum, nullptr,
                    "c.txt"}),
    [](const testing::TestParamInfo<LostPackage>& info) { return info.param.label; });

// Requests whose downloads cannot succeed: each ends in its failed list,
// nothing lands in the other lists, and the request is dropped.
struct FailingRequest {
  const char* label;
  const char* name;
  bool isGroup;
  const char* damaged;  // the resource whose package is damaged; null: none
  uint32_t version;     // of that package
  Damage damage;
};

void PrintTo(const FailingRequest& request, std::ostream* out) { *out << request.label; }

class FailingRequestTest : public UpdateTests::UpdateTest,
                           public testing::WithParamInterface<FailingRequest> {};

TEST_P(FailingRequestTest, EndsInTheFailedListAndIsDropped) {
  const FailingRequest& request = GetParam();
  if (request.damaged != nullptr)
    DamagePackage(&tree_, PackageOf(request.damaged, request.version), request.damage);
  http_.SetFiles(tree_);
  UseDefaultGroup();
  TestFixtures::Held<IFileSystem> fileSystem(StartReady());
  ASSERT_NE(fileSystem, nullptr);
  const bool queued = request.isGroup ? fileSystem->UpdateResourceGroup(request.name, "default")
                                      : fileSystem->UpdateFile(request.name, "default");
  ASSERT_TRUE(queued);
  const List failed = request.isGroup ? List::kFailedGroups : List::kFailedFiles;
  EXPECT_EQ(TakeOff(fileSystem, failed, request.name), request.name);
  EXPECT_TRUE(Eventually([&] { return fileSystem->GetUpdateTaskCount() == 0; }));
  EXPECT_EQ(TakeOffNow(fileSystem, List::kUpdatedFiles), "");
  EXPECT_EQ(TakeOffNow(fileSystem, List::kUpdatedGroups), "");
  EXPECT_EQ(TakeOffNow(fileSystem, failed), "");
}

INSTANTIATE_TEST_SUITE_P(
    Damage, FailingRequestTest,
    testing::Values(
        FailingRequest{"file_missing", "a.txt", false, "a.txt", 2, Damage::kMissing},
        FailingRequest{"link_member_whose_target_is_missing", "alias.txt", false, "a.txt", 2,
                       Damage::kMissing},
        FailingRequest{"file_bad_checksum", "b.txt", false, "b.txt", 1,
                       Damage::kBadChecksum},
        FailingRequest{"file_unreadable", "c.txt", false, "c.txt", 4,
                       Damage::kUnreadable},
        FailingRequest{"group_unknown", "nogroup", true, nullptr, 0, Damage::kNone},
        FailingRequest{"group_package_missing", "maps", true, "maps.pak", 2,
                       Damage::kMissing},
        FailingRequest{"group_package_unreadable", "maps", true, "maps.pak", 2,
                       Damage::kUnreadable}),
    [](const testing::TestParamInfo<FailingRequest>& info) { return info.param.label; });

}  // namespace
