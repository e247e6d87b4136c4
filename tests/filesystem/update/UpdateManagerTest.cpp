// The update manager end to end: the product query, the version map through
// a downloaded "version.pcfg", files handed out while they download, and
// stopping at every point.
#include <cstring>
#include <ostream>
#include <string>

#include "FileSystemFacade.h"
#include "Held.h"
#include "UpdateHarness.h"
#include "update/UpdatingFile.h"

using FileSystem::IFileSystem;
using FileSystem::IReadFile;
using UpdateTests::Eventually;
using namespace FileSystem;

namespace {

class UpdateManagerTest : public UpdateTests::UpdateTest {};

const char* const kVersionFile = "version.pcfg";

TEST_F(UpdateManagerTest, WalksFromQueryToReadyAndDownloadsBothConfigurationFiles) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  EXPECT_EQ(RequestsFor(PackageOf(kVersionFile, UpdateTests::kServerVersion)), 1u);
  EXPECT_TRUE(log_.Contains("Begin Query product information."));
  EXPECT_TRUE(log_.Contains("Query product information success."));
  EXPECT_TRUE(log_.Contains("Base url \"" + http_.Origin() + "/, prep\"."));
  EXPECT_TRUE(log_.Contains("Download file version map success."));
  EXPECT_TRUE(log_.Contains("Load resource group map success."));
  EXPECT_TRUE(log_.Contains("Init Update Manager finished, now can open online files."));
  EXPECT_EQ(RequestsFor(PackageOf("resourcegroup.pcfg", 1)), 1u);
  EXPECT_TRUE(fileSystem->IsFileReady(kVersionFile));
  EXPECT_TRUE(fileSystem->IsFileReady("resourcegroup.pcfg"));
  EXPECT_FALSE(fileSystem->IsFileReady("a.txt"));
  EXPECT_TRUE(fileSystem->IsReadyForUpdate());
  EXPECT_TRUE(fileSystem->HasResourceGroup("maps"));
  EXPECT_FALSE(fileSystem->HasResourceGroup("nomaps"));
}

TEST_F(UpdateManagerTest, LinkMemberDownloadsItsTargetAndAnUnlistedNameWaitsAtVersionZero) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  TestFixtures::Held<IReadFile> member(fileSystem->OpenFile("alias.txt", 0, true, false));
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->GetVersion(), 2u);
  EXPECT_EQ(ContentOf(member), "alpha content, stored");
  member.reset();
  EXPECT_TRUE(fileSystem->IsFileReady("a.txt"));
  EXPECT_EQ(RequestsFor(PackageOf("alias.txt", 2)), 0u);
  TestFixtures::Held<IReadFile> ghost(fileSystem->OpenFile("unlisted.txt", 0, true, false));
  ASSERT_NE(ghost, nullptr);
  EXPECT_EQ(ghost->GetVersion(), 0u);
}

struct BrokenConfig {
  const char* label;
  const char* manifestLine;
  const char* source;
  const char* content;
  const char* failureLine;
  int requestsOfGroupConfig;
};

void PrintTo(const BrokenConfig& config, std::ostream* out) { *out << config.label; }

class BrokenConfiguration : public UpdateManagerTest,
                            public testing::WithParamInterface<BrokenConfig> {};

TEST_P(BrokenConfiguration, EndsInTheErrorState) {
  const BrokenConfig& broken = GetParam();
  ASSERT_TRUE(Publish(broken.manifestLine, {{broken.source, broken.content}}));
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(WaitForState(fileSystem, kStateError));
  EXPECT_TRUE(log_.Contains(broken.failureLine));
  EXPECT_FALSE(fileSystem->IsReadyForUpdate());
  EXPECT_EQ(RequestsFor(PackageOf("resourcegroup.pcfg", 1)),
            static_cast<size_t>(broken.requestsOfGroupConfig));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenConfiguration,
    testing::Values(
        BrokenConfig{"short_version_list", "file version.pcfg 3 0\n", "version.pcfg",
                     "\x05\x00\x00\x00\x01", "Download file version map failed.", 0},
        BrokenConfig{"empty_version_file", "file version.pcfg 3 0\n", "version.pcfg", "",
                     "Download file version map failed.", 0},
        BrokenConfig{"group_map_not_xml", "file resourcegroup.pcfg 1 0\n",
                     "resourcegroup.pcfg", "<ResourceGroups><Group", "Load resource group map failed.",
                     1},
        BrokenConfig{"group_map_without_root", "file resourcegroup.pcfg 1 0\n",
                     "resourcegroup.pcfg", "<Other/>", "Load resource group map failed.", 1},
        BrokenConfig{"group_name_twice", "file resourcegroup.pcfg 1 0\n", "resourcegroup.pcfg",
                     "<ResourceGroups><Group Name=\"x\"/><Group Name=\"X\"/></ResourceGroups>",
                     "Load resource group map failed.", 1}),
    [](const testing::TestParamInfo<BrokenConfig>& info) {
      return std::string(info.param.label);
    });

TEST_F(UpdateManagerTest, LocalVersionFileAtServerVersionIsNotDownloadedAgain) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> first(Start());
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(WaitForState(first, kStateReadyForUpdate));
  first.reset();
  ASSERT_EQ(RequestsFor(PackageOf(kVersionFile, UpdateTests::kServerVersion)), 1u);

  TestFixtures::Held<IFileSystem> second(Start());
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(WaitForState(second, kStateReadyForUpdate));
  EXPECT_EQ(RequestsFor(PackageOf(kVersionFile, UpdateTests::kServerVersion)), 1u);
}

struct PublishedFile {
  const char* name;
  uint32_t version;
  const char* content;  // null: the b.txt text
};

void PrintTo(const PublishedFile& file, std::ostream* out) { *out << file.name; }

class DownloadedFile : public UpdateManagerTest,
                       public testing::WithParamInterface<PublishedFile> {};

TEST_P(DownloadedFile, ArrivesThroughAnUpdatingFileAndIsThenLocal) {
  const PublishedFile& published = GetParam();
  const std::string expected = published.content != nullptr
                                   ? std::string(published.content)
                                   : std::string(3000, 'b') + "end of b";
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  EXPECT_EQ(fileSystem->OpenFile(published.name, 0, false, false), nullptr);
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile(published.name, 0, true, false));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetVersion(), published.version);
  EXPECT_FALSE(file->IsPackaged());
  EXPECT_EQ(ContentOf(file), expected);
  EXPECT_FALSE(file->IsFailed());
  EXPECT_FALSE(file->IsDownloading());
  EXPECT_TRUE(file->IsDownloadSucceeded());
  file.reset();
  EXPECT_EQ(RequestsFor(PackageOf(published.name, published.version)), 1u);
  EXPECT_TRUE(fileSystem->IsFileReady(published.name));

  TestFixtures::Held<IReadFile> local(fileSystem->OpenFile(published.name, 2, true, false));
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(local->IsLoaded());
  std::string content(static_cast<size_t>(local->GetSize()), '\0');
  ASSERT_TRUE(local->Read(&content[0], static_cast<uint32_t>(content.size())));
  EXPECT_EQ(content, expected);
}

INSTANTIATE_TEST_SUITE_P(Methods, DownloadedFile,
                         testing::Values(PublishedFile{"a.txt", 2, "alpha content, stored"},
                                         PublishedFile{"b.txt", 1, nullptr},
                                         PublishedFile{"c.txt", 4,
                                                       "charlie charlie charlie charlie "
                                                       "charlie charlie"}),
                         [](const testing::TestParamInfo<PublishedFile>& info) {
                           return std::string(1, info.param.name[0]);
                         });

TEST_F(UpdateManagerTest, TwoFilesWaitingForOnePackageEachGetTheirOwnCopy) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  TestFixtures::Held<IReadFile> first(fileSystem->OpenFile("c.txt", 0, true, false));
  TestFixtures::Held<IReadFile> second(fileSystem->OpenFile("c.txt", 0, true, false));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const std::string a = ContentOf(first);
  const std::string b = ContentOf(second);
  EXPECT_EQ(a, "charlie charlie charlie charlie charlie charlie");
  EXPECT_EQ(a, b);
  EXPECT_NE(first->GetBuffer(), second->GetBuffer());
  ASSERT_NE(second->GetBuffer(), nullptr);
  EXPECT_EQ(second->GetBuffer()[second->GetSize()], '\0');
}

TEST_F(UpdateManagerTest, SeekToTheEndThenReadingOneMoreByteFails) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(ContentOf(file), "alpha content, stored");
  EXPECT_TRUE(file->Seek(0, 2));
  EXPECT_EQ(file->Tell(), file->GetSize());
  char byte = 0;
  EXPECT_FALSE(file->Read(&byte, 1));
  EXPECT_FALSE(file->Seek(1, 2));
  EXPECT_FALSE(file->Seek(-1, 0));
  EXPECT_FALSE(file->Seek(0, 3));
  EXPECT_TRUE(file->Seek(-5, 2));
  char tail[6] = {};
  EXPECT_TRUE(file->Read(tail, 5));
  EXPECT_STREQ(tail, "tored");
}

TEST_F(UpdateManagerTest, FileWhosePackageIsMissingFails) {
  tree_.erase(PackageOf("a.txt", 2));
  http_.SetFiles(tree_);
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ContentOf(file), "<not loaded>");
  EXPECT_FALSE(file->IsLoading());
  EXPECT_TRUE(file->IsFailed());
  EXPECT_TRUE(file->IsDownloadFailed());
  EXPECT_FALSE(file->IsDownloading());
  EXPECT_EQ(file->GetBuffer(), nullptr);
  file.reset();
  EXPECT_FALSE(fileSystem->IsFileReady("a.txt"));
}

TEST_F(UpdateManagerTest, FileOutlivingTheFileSystemFailsAndForgetsIt) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(Eventually([&] { return file->IsDownloading(); }));
  fileSystem.reset();
  EXPECT_FALSE(file->IsLoading());
  EXPECT_TRUE(file->IsFailed());
  EXPECT_FALSE(file->IsDownloading());
  EXPECT_EQ(file->GetDownloadedSize(), 0);
}

TEST_F(UpdateManagerTest, StoppingWhileVersionFileDownloadsEndsWithoutErrorState) {
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateUpdatingVersionFile));
  ASSERT_TRUE(Eventually([&] { return http_.RequestCount() > 0; }));
  fileSystem.reset();
  EXPECT_FALSE(log_.Contains("Download file version map failed."));
  EXPECT_FALSE(log_.Contains("Download file version map success."));
}

TEST_F(UpdateManagerTest, UnreachableServersLeaveStateOneAfterTheRetries) {
  TestFixtures::Held<IFileSystem> fileSystem(Start(TestFixtures::ClosedPort()));
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(Eventually(
      [&] { return log_.Contains("Query product information failed, no more retry."); }));
  EXPECT_EQ(fileSystem->GetUpdateState(), kStateSyncUpdateInfomation);
  EXPECT_TRUE(log_.Contains("Query product information failed, wait and retry."));
  EXPECT_FALSE(fileSystem->IsReadyForUpdate());
  EXPECT_EQ(fileSystem->OpenFile("a.txt", 0, true, false), nullptr);
  EXPECT_TRUE(log_.Contains("Get file version failed when open file \"a.txt\"."));
  fileSystem.reset();
  EXPECT_EQ(http_.RequestCount(), 0u);
}

TEST_F(UpdateManagerTest, ServerVersionAbove16BitsIsRefused) {
  AnswerQueries(70000);
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_TRUE(Eventually(
      [&] { return log_.Contains("Query product information failed, no more retry."); }));
  EXPECT_EQ(fileSystem->GetUpdateState(), kStateSyncUpdateInfomation);
  fileSystem.reset();
  EXPECT_EQ(http_.RequestCount(), 0u);
  // Every attempt was refused: the first and the retries.
  EXPECT_EQ(updateServer_.Connections(), 4);
}

TEST_F(UpdateManagerTest, LocalModeStartsNoThreadAndStaysDisabled) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start(updateServer_.Port(), 0));
  ASSERT_NE(fileSystem, nullptr);
  EXPECT_EQ(fileSystem->GetUpdateState(), kStateDisabled);
  // No thread was ever started, so nothing can change later either.
  FileSystem::FileSystem* facade = static_cast<FileSystem::FileSystem*>(fileSystem.get());
  EXPECT_FALSE(facade->Updates().AnyThreadStarted());
  EXPECT_EQ(fileSystem->GetUpdateState(), kStateDisabled);
  EXPECT_FALSE(log_.Contains("Begin Query product information."));
  fileSystem.reset();
  EXPECT_EQ(updateServer_.Connections(), 0);
  EXPECT_EQ(http_.RequestCount(), 0u);
}

TEST_F(UpdateManagerTest, StopUpdateEndsARunningDownloadAndTheWaitingFileIsFetchedAgain) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  http_.SetDefaultReply(TestFixtures::HttpReply::Of(TestFixtures::HttpReply::kStall));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(Eventually([&] { return file->IsDownloading(); }));
  http_.SetDefaultReply(TestFixtures::HttpReply::Serve());
  EXPECT_TRUE(fileSystem->StopUpdate());
  EXPECT_FALSE(file->IsFailed());
  // The file still waits, so the scheduler fetches it again.
  EXPECT_EQ(ContentOf(file), "alpha content, stored");
  size_t asked = 0;
  for (const std::string& request : http_.Requests())
    if (request.find("/" + PackageOf("a.txt", 2) + " ") != std::string::npos) ++asked;
  EXPECT_GE(asked, 2u);
}

TEST_F(UpdateManagerTest, FileOfAnotherVersionIsDetachedWhenTheDownloadFailsAndArrivesLater) {
  AnswerQueries();
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  UpdateManager& updates = static_cast<FileSystem::FileSystem*>(fileSystem.get())->Updates();
  const ResourceKey key = HashResourceName("a.txt");
  // The newest waiting file is served first: version 1 is not published, and
  // its download also carries the version 2 file while it runs.
  TestFixtures::Held<UpdatingFile> current(updates.AddWaitingFile(key, 2));
  TestFixtures::Held<UpdatingFile> missing(updates.AddWaitingFile(key, 1));
  ASSERT_NE(current, nullptr);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(ContentOf(missing), "<not loaded>");
  EXPECT_TRUE(missing->IsDownloadFailed());
  EXPECT_EQ(ContentOf(current), "alpha content, stored");
  EXPECT_TRUE(current->IsDownloadSucceeded());
  EXPECT_FALSE(current->IsDownloading());
}

// The path of the first GET request that names the package.
std::string PathOfFirstGet(const std::vector<std::string>& requests, const std::string& package) {
  for (const std::string& request : requests) {
    if (request.compare(0, 4, "GET ") != 0) continue;
    const size_t end = request.find(' ', 4);
    const std::string path = request.substr(4, end - 4);
    if (path.size() >= package.size() &&
        path.compare(path.size() - package.size(), package.size(), package) == 0)
      return path;
  }
  return std::string();
}

TEST_F(UpdateManagerTest, EachDownloadBeginsWithTheNextMirror) {
  AnswerQueriesWith({{"/one/", true}, {"/two/", true}, {"/prep/", false}});
  TestFixtures::Held<IFileSystem> fileSystem(Start());
  ASSERT_NE(fileSystem, nullptr);
  ASSERT_TRUE(WaitForState(fileSystem, kStateReadyForUpdate));
  TestFixtures::Held<IReadFile> file(fileSystem->OpenFile("a.txt", 0, true, false));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ContentOf(file), "alpha content, stored");
  file.reset();
  const std::vector<std::string> requests = http_.Requests();
  EXPECT_EQ(PathOfFirstGet(requests, PackageOf(kVersionFile, UpdateTests::kServerVersion)),
            "/two/" + PackageOf(kVersionFile, UpdateTests::kServerVersion));
  EXPECT_EQ(PathOfFirstGet(requests, PackageOf("resourcegroup.pcfg", 1)),
            "/one/" + PackageOf("resourcegroup.pcfg", 1));
  EXPECT_EQ(PathOfFirstGet(requests, PackageOf("a.txt", 2)), "/two/" + PackageOf("a.txt", 2));
  EXPECT_TRUE(log_.Contains("Base url \"" + http_.Origin() + "/one/, mirror\"."));
  EXPECT_TRUE(log_.Contains("Base url \"" + http_.Origin() + "/prep/, prep\"."));
}

struct BadGroups {
  const char* label;
  const char* first;
  const char* second;
};

void PrintTo(const BadGroups& groups, std::ostream* out) { *out << groups.label; }

class BadUpdateGroups : public UpdateManagerTest,
                        public testing::WithParamInterface<BadGroups> {};

TEST_P(BadUpdateGroups, FailTheStart) {
  UpdateGroupNode second{GetParam().second, 1, nullptr};
  UpdateGroupNode first{GetParam().first, 1, &second};
  serverNode_ = {"127.0.0.1", updateServer_.Port(), nullptr};
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = UpdateTests::kProduct;
  params.dataFolder = data_.Path().c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = &serverNode_;
  params.updateGroups = &first;
  params.logSystem = &log_;
  params.updateMode = 1;
  EXPECT_EQ(FileSystem::Create(&params), nullptr);
  EXPECT_TRUE(log_.Contains("Init Update failed."));
  EXPECT_EQ(updateServer_.Connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(Names, BadUpdateGroups,
                         testing::Values(BadGroups{"repeated", "default", "default"},
                                         BadGroups{"null_first", nullptr, "default"},
                                         BadGroups{"null_second", "default", nullptr}),
                         [](const testing::TestParamInfo<BadGroups>& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
