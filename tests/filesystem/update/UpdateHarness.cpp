#include "UpdateHarness.h"

#include <cstring>
#include <vector>

#include "DownloadPackageName.h"
#include "DownloadTreeBuilder.h"
#include "FileSystemFacade.h"
#include "LoopbackTiming.h"
#include "ProductReplyBuilder.h"
#include "PublisherManifest.h"

namespace UpdateTests {

namespace {

const std::string kManifest =
    "product velmorupdate\n"
    "serverversion 3\n"
    "file a.txt 2 0\n"
    "file b.txt 1 1\n"
    "file c.txt 4 2\n"
    "link a.txt alias.txt\n"

    "group maps 2\n"
    "first a.txt b.txt\n";

const char* const kUpdateAllManifest =
    "file d.txt 1 2\n"
    "file e.txt 3 1\n"
    "file f.txt 1 0\n"
    "group tools 1 whole\n"
    "first d.txt\n"
    "group extras 1\n"
    "first e.txt\n"
    "sub tools\n"
    "single c.txt f.txt alias.txt\n";

const std::map<std::string, std::string> kUpdateAllContents = {
    {"a.txt", "alpha content, stored"},
    {"b.txt", std::string(3000, 'b') + "end of b"},
    {"c.txt", "charlie charlie charlie charlie charlie charlie"},
    {"d.txt", "delta in lzma delta in lzma delta in lzma"},
    {"e.txt", "echo in lzo, echo in lzo, echo in lzo"},
    {"f.txt", "foxtrot"},
    {"alias.txt", "alpha content, stored"}};

}  // namespace

void UpdateTest::SetUp() {
  savedTiming_ = FileSystem::HttpDownloader::GetTiming();
  savedQueryTiming_ = FileSystem::UpdateManager::GetQueryTiming();
  TestFixtures::UseLoopbackTiming(3, 1);
  ASSERT_TRUE(http_.Ok());
  ASSERT_TRUE(updateServer_.Ok());
  ASSERT_TRUE(Publish());
}

void UpdateTest::TearDown() {
  FileSystem::HttpDownloader::SetTiming(savedTiming_);
  FileSystem::UpdateManager::SetQueryTiming(savedQueryTiming_);
}

bool UpdateTest::Publish(const std::string& extraManifest,
                         const std::map<std::string, std::string>& extraSources) {
  std::map<std::string, std::string> sources = {
      {"a.txt", "alpha content, stored"},
      {"b.txt", std::string(3000, 'b') + "end of b"},
      {"c.txt", "charlie charlie charlie charlie charlie charlie"}};
  for (const auto& source : extraSources) sources[source.first] = source.second;
  for (const auto& source : sources) {
    if (!TestSupport::WriteWholeFile(resources_.File(source.first), source.second)) {
      ADD_FAILURE() << "cannot write " << source.first;
      return false;
    }
  }
  Publisher::Manifest manifest;
  std::string error;
  if (!Publisher::ParseManifest(kManifest + extraManifest, &manifest, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  Publisher::DownloadTree tree;
  Publisher::DownloadTreeBuilder builder(manifest, resources_.Path());
  if (!builder.Build(&tree, &error)) {
    ADD_FAILURE() << error;
    return false;
  }
  tree_.clear();
  for (const auto& package : tree)
    tree_[package.first] = std::string(package.second.begin(), package.second.end());
  http_.SetFiles(tree_);
  return true;
}

bool UpdateTest::WriteTree(const std::string& folder) {
  for (const auto& package : tree_) {
    if (!TestSupport::WriteWholeFile(folder + "/" + package.first, package.second)) {
      ADD_FAILURE() << "cannot write " << package.first << " into " << folder;
      return false;
    }
  }
  return true;
}

std::string UpdateTest::PackageOf(const char* name, uint32_t version) {
  return FileSystem::FullPackageName(FileSystem::HashResourceName(name), version);
}

void UpdateTest::AnswerQueries(uint32_t version) {
  TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(kProduct, version);
  reply.entries.clear();
  reply.entries.push_back({Origin() + "/", false});
  updateServer_.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
}

void UpdateTest::AnswerQueriesWith(const std::vector<std::pair<std::string, bool>>& urls) {
  TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(kProduct, kServerVersion);
  reply.entries.clear();
  for (const auto& url : urls) reply.entries.push_back({Origin() + url.first, url.second});
  updateServer_.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
}

std::string UpdateTest::Origin() { return origin_.empty() ? http_.Origin() : origin_; }

IFileSystem* UpdateTest::Start(uint16_t updateServerPort, uint8_t updateMode) {
  serverNode_.host = "127.0.0.1";
  serverNode_.port = updateServerPort;
  serverNode_.next = nullptr;
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = kProduct;
  params.dataFolder = data_.Path().c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = &serverNode_;
  params.updateThreadCount = workerCount_;
  params.updateGroups = updateGroups_;
  params.logSystem = &log_;
  params.updateMode = updateMode;
  params.idleUpdateEnabled = idleUpdate_;
  params.reserveFirstDownloader = reserveFirstWorker_;
  return FileSystem::Create(&params);
}

IFileSystem* UpdateTest::StartReady() {
  AnswerQueries();
  IFileSystem* fileSystem = Start();
  if (fileSystem != nullptr && !WaitForState(fileSystem, FileSystem::kStateReadyForUpdate)) {
    ADD_FAILURE() << "the file system never got ready, state " << fileSystem->GetUpdateState();
    fileSystem->Release();
    return nullptr;
  }
  return fileSystem;
}

void UpdateTest::UseDefaultGroup(uint8_t fifo) {
  defaultGroup_ = {"default", fifo, nullptr};
  updateGroups_ = &defaultGroup_;
}

bool UpdateTest::WaitForState(IFileSystem* fileSystem, int state) {
  return Eventually([&] { return fileSystem->GetUpdateState() == state; });
}

void UpdateTest::WaitForSchedulerPasses(IFileSystem* fileSystem, uint32_t passes) {
  FileSystem::UpdateManager& updates = static_cast<FileSystem::FileSystem*>(fileSystem)->Updates();
  const uint32_t start = updates.SchedulerPasses();
  if (!Eventually([&] { return updates.SchedulerPasses() - start >= passes; }))
    ADD_FAILURE() << "the scheduler made only " << updates.SchedulerPasses() - start
                  << " passes of " << passes;
}

size_t UpdateTest::BusyWorkers(IFileSystem* fileSystem) {
  size_t busy = 0;
  for (uint32_t worker = 0; worker < workerCount_; ++worker) {
    char name[512];
    int total = 0;
    int done = 0;
    float speed = 0;
    if (fileSystem->GetUpdateInfo(static_cast<int>(worker), name, sizeof name, &total, &done,
                                  &speed))
      ++busy;
  }
  return busy;
}

size_t UpdateTest::RequestsFor(const std::string& package) {
  size_t count = 0;
  for (const std::string& request : http_.Requests())
    if (request.compare(0, 4, "GET ") == 0 &&
        request.find("/" + package + " ") != std::string::npos)
      ++count;
  return count;
}

std::string UpdateTest::ContentOf(IReadFile* file) {
  if (!Eventually([&] { return !file->IsLoading(); })) return "<still loading>";
  if (!file->IsLoaded()) return "<not loaded>";
  const int32_t size = file->GetSize();
  std::string content(static_cast<size_t>(size), '\0');
  if (size > 0 && !file->Read(&content[0], static_cast<uint32_t>(size))) return "<short read>";
  return content;
}

}  // namespace UpdateTests

namespace UpdateTests {

namespace {

bool TakeOffOnce(IFileSystem* fileSystem, List list, char* buffer, uint32_t size) {
  switch (list) {
    case List::kUpdatedFiles: return fileSystem->TakeOffUpdatedFiles(buffer, size);
    case List::kFailedFiles: return fileSystem->TakeOffUpdateFailedFiles(buffer, size);
    case List::kUpdatedGroups:
      return fileSystem->TakeOffUpdatedResourceGroups(buffer, size);
    case List::kFailedGroups:
      return fileSystem->TakeOffUpdateFailedResourceGroups(buffer, size);
  }
  return false;
}

}  // namespace

std::string UpdateTest::TakeOff(IFileSystem* fileSystem, List list, const std::string& expected) {
  std::string all;
  Eventually([&] {
    const std::string now = TakeOffNow(fileSystem, list);
    if (!now.empty()) {
      if (!all.empty()) all += ';';
      all += now;
    }
    return all.size() >= expected.size();
  });
  return all;
}

std::string UpdateTest::TakeOffNow(IFileSystem* fileSystem, List list) {
  char buffer[4096];
  if (!TakeOffOnce(fileSystem, list, buffer, sizeof buffer)) return "<cannot take off>";
  return buffer;
}

std::string UpdateTest::LocalContentOf(IFileSystem* fileSystem, const char* name) {
  IReadFile* file = fileSystem->OpenFile(name, 0, false, false);
  if (file == nullptr) return "<missing>";
  const std::string content = ContentOf(file);
  file->Release();
  return content;
}

}  // namespace UpdateTests

namespace UpdateTests {

void UpdateAllTest::SetUp() {
  UpdateTest::SetUp();
  ASSERT_TRUE(PublishProduct());
}

bool UpdateAllTest::PublishProduct(const std::string& extraManifest,
                                   const std::map<std::string, std::string>& extraSources) {
  contents_ = kUpdateAllContents;
  for (const auto& source : extraSources) contents_[source.first] = source.second;
  std::map<std::string, std::string> sources = contents_;
  sources.erase("alias.txt");
  return Publish(kUpdateAllManifest + extraManifest, sources);
}

void UpdateAllTest::ExpectEverythingLocal(IFileSystem* fileSystem) {
  for (const char* group : {"maps", "tools", "extras"})
    EXPECT_TRUE(fileSystem->IsResourceGroupReady(group)) << group;
  for (const auto& content : contents_)
    EXPECT_TRUE(fileSystem->IsFileReady(content.first.c_str())) << content.first;
  ExpectContents(fileSystem);
}

void UpdateAllTest::ExpectContents(IFileSystem* fileSystem) {
  for (const auto& content : contents_)
    EXPECT_EQ(LocalContentOf(fileSystem, content.first.c_str()), content.second) << content.first;
}

}  // namespace UpdateTests
