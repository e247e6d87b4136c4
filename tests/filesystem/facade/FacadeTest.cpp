// The factory, the parameter block, the start and stop sequences and the
// rules the facade applies itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "TestSupport.h"

using TestSupport::RecordingLog;

namespace {

FileSystemParams LocalParams(FileSystem::ILogSystem* log, const char* folder) {
  FileSystemParams params;
  std::memset(&params, 0, sizeof params);
  params.size = 60;
  params.version = 1;
  params.productName = "velmortest";
  params.dataFolder = folder;
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.logSystem = log;
  return params;
}

struct BadBlock {
  const char* label;
  uint32_t size;
  uint32_t version;
};

class BadParameterBlock : public testing::TestWithParam<BadBlock> {};

TEST_P(BadParameterBlock, YieldsNullAndLogsNothing) {
  RecordingLog log;
  TestSupport::TempFolder folder;
  FileSystemParams params = LocalParams(&log, folder.Path().c_str());
  params.size = GetParam().size;
  params.version = GetParam().version;
  EXPECT_EQ(FileSystem::Create(&params), nullptr);
  EXPECT_TRUE(log.Lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Blocks, BadParameterBlock,
                         testing::Values(BadBlock{"size59", 59, 1}, BadBlock{"size61", 61, 1},
                                         BadBlock{"size0", 0, 1}, BadBlock{"version0", 60, 0},
                                         BadBlock{"version2", 60, 2}),
                         [](const testing::TestParamInfo<BadBlock>& info) {
                           return std::string(info.param.label);
                         });

TEST(Facade, NullBlockYieldsNull) { EXPECT_EQ(FileSystem::Create(nullptr), nullptr); }

TEST(Facade, StartAndStopLogTheirLinesInOrder) {
  RecordingLog log;
  TestSupport::TempFolder folder;
  FileSystemParams params = LocalParams(&log, folder.Path().c_str());
  FileSystem::IFileSystem* fs = FileSystem::Create(&params);
  ASSERT_NE(fs, nullptr);

  const std::vector<std::string> start = {
      "Init Log System...",     "Init Log System success.", "Init Package Manager...",
      "Init Package Manager success.", "Init Update Manager...", "Init Update success.",
      "Init File System success."};
  std::vector<std::string> texts = log.Texts();
  ASSERT_GE(texts.size(), start.size());
  // Package loading may log between the lines; the sequence itself is fixed.
  size_t at = 0;
  for (const std::string& text : texts)
    if (at < start.size() && text == start[at]) ++at;
  EXPECT_EQ(at, start.size());
  EXPECT_EQ(texts.front(), start.front());
  EXPECT_EQ(texts.back(), start.back());
  for (const TestSupport::LogLine& line : log.Lines()) EXPECT_EQ(line.level, 0) << line.text;

  log.Clear();
  fs->Release();
  const std::vector<std::string> stop = {"Exit Update Manager.", "Exit Package manager.",
                                         "Exit Log System."};
  EXPECT_EQ(log.Texts(), stop);
}

TEST(Facade, NullSinkGivesAWorkingFileSystem) {
  TestSupport::TempFolder folder;
  FileSystemParams params = LocalParams(nullptr, folder.Path().c_str());
  FileSystem::IFileSystem* fs = FileSystem::Create(&params);
  ASSERT_NE(fs, nullptr);
  uint32_t h1 = 0, h2 = 0;
  EXPECT_TRUE(fs->GetFileHash("abc", &h1, &h2));
  EXPECT_EQ(h1, 0x3025F862u);
  EXPECT_EQ(h2, 0x1A9B17A1u);
  fs->Release();
}

TEST(Facade, TheBlockNeedOnlyLiveThroughCreate) {
  RecordingLog log;
  TestSupport::TempFolder folder;
  auto* params = new FileSystemParams(LocalParams(&log, folder.Path().c_str()));
  FileSystem::IFileSystem* fs = FileSystem::Create(params);
  std::memset(params, 0xCC, sizeof *params);
  delete params;
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(fs->GetUpdateState(), 0);
  fs->Release();
}

class LocalFacade : public testing::Test {
 protected:
  void SetUp() override {
    FileSystemParams params = LocalParams(&log_, folder_.Path().c_str());
    fs_ = FileSystem::Create(&params);
    ASSERT_NE(fs_, nullptr);
  }
  void TearDown() override {
    if (fs_ != nullptr) fs_->Release();
  }

  RecordingLog log_;
  TestSupport::TempFolder folder_;
  FileSystem::IFileSystem* fs_ = nullptr;
};

TEST_F(LocalFacade, HashRefusesNullArguments) {
  uint32_t h1 = 7, h2 = 9;
  EXPECT_FALSE(fs_->GetFileHash(nullptr, &h1, &h2));
  EXPECT_FALSE(fs_->GetFileHash("a", nullptr, &h2));
  EXPECT_FALSE(fs_->GetFileHash("a", &h1, nullptr));
  EXPECT_EQ(h1, 7u);
  EXPECT_EQ(h2, 9u);
}

TEST_F(LocalFacade, HashLeavesTheNameAlone) {
  char name[] = "Data\\A.TXT";
  uint32_t h1, h2;
  ASSERT_TRUE(fs_->GetFileHash(name, &h1, &h2));
  EXPECT_STREQ(name, "Data\\A.TXT");
}

TEST_F(LocalFacade, NormalizePathWorksInPlace) {
  char name[] = "Data\\A.TXT";
  EXPECT_TRUE(fs_->NormalizePath(name));
  EXPECT_STREQ(name, "data/a.txt");
  EXPECT_FALSE(fs_->NormalizePath(nullptr));
}

TEST_F(LocalFacade, LocalModeCountsEveryNamedThingReady) {
  EXPECT_TRUE(fs_->IsFileReady("anything.txt"));
  EXPECT_TRUE(fs_->IsResourceGroupReady("anygroup"));
  EXPECT_TRUE(fs_->UpdateFile("anything.txt", "default"));
  EXPECT_TRUE(fs_->UpdateResourceGroup("anygroup", "default"));
  EXPECT_FALSE(fs_->IsFileReady(nullptr));
  EXPECT_FALSE(fs_->IsResourceGroupReady(nullptr));
  EXPECT_FALSE(fs_->HasResourceGroup(nullptr));
}

TEST_F(LocalFacade, LocalModeStaysDisabled) {
  EXPECT_EQ(fs_->GetUpdateState(), 0);
  EXPECT_FALSE(fs_->IsReadyForUpdate());
}

TEST_F(LocalFacade, RequestFlagsAlwaysAnswerTrue) {
  EXPECT_TRUE(fs_->UpdateAll());
  EXPECT_TRUE(fs_->UpdateAllResourceGroups());
  EXPECT_TRUE(fs_->StopUpdate());
}

TEST_F(LocalFacade, IdleSwitchIsStored) {
  EXPECT_FALSE(fs_->IsIdleUpdateEnabled());  // the block said 0
  EXPECT_TRUE(fs_->EnableIdleUpdate(true));
  EXPECT_TRUE(fs_->IsIdleUpdateEnabled());
  EXPECT_TRUE(fs_->EnableIdleUpdate(false));
  EXPECT_FALSE(fs_->IsIdleUpdateEnabled());
}

}  // namespace
