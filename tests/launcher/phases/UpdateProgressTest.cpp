// The update phase's progress bar over a file system whose readiness and
// download counts a test sets.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "LoaderFakes.h"
#include "StubFileSystem.h"

namespace LoaderTests {
namespace {

struct Download {
  int total;
  int done;
};

class ProgressFileSystem : public TestFixtures::StubFileSystem {
 public:
  std::map<std::string, bool> ready;
  std::map<std::string, Download> downloads;
  std::map<std::string, int> readyQuestions;
  int tasks = 1;

  bool IsReadyForUpdate() override { return true; }
  bool IsFileReady(const char* name) override { return Ready(name); }
  bool IsResourceGroupReady(const char* name) override { return Ready(name); }
  bool UpdateFile(const char*, const char*) override { return true; }
  bool UpdateResourceGroup(const char*, const char*) override { return true; }
  int GetUpdateTaskCount() override { return tasks; }
  bool GetFileUpdateInfo(const char* file, char* name, uint32_t size, int* total, int* done,
                         float* speed) override {
    return Info(file, name, size, total, done, speed);
  }
  bool GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t size, int* total,
                                  int* done, float* speed) override {
    return Info(group, name, size, total, done, speed);
  }

 private:
  bool Ready(const char* name) {
    ++readyQuestions[name];
    return ready[name];
  }
  bool Info(const char* item, char* name, uint32_t size, int* total, int* done, float* speed) {
    auto found = downloads.find(item);
    if (found == downloads.end()) return false;
    std::snprintf(name, size, "%s", item);
    *total = found->second.total;
    *done = found->second.done;
    *speed = 1;
    return true;
  }
};

ProgressFileSystem* g_fileSystem = nullptr;

class UpdateProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    g_fileSystem = &fileSystem;
    fileSystem.ready["velmor.exe"] = true;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    rig.system.dataFolder = temp;
    rig.system.moduleFolder = temp;
    rig.settings.updaterFileName = "velmor.exe";
    AddNames();
    rig.Wire([](const FileSystemParams*) -> FileSystem::IFileSystem* { return g_fileSystem; });
    ASSERT_TRUE(rig.loader.Init(L"", false, false));
    rig.loader.ShowLoader();
  }
  void TearDown() override { g_fileSystem = nullptr; }
  virtual void AddNames() {
    rig.settings.updateFiles.push_back({"one.dat", false});
    rig.settings.updateFiles.push_back({"two.dat", false});
    rig.settings.resourceGroups.push_back("maps");
  }
  // The pass that creates the file system, then the one that queues.
  void Queue() {
    rig.loader.Tick();
    rig.loader.Tick();
    ASSERT_EQ(rig.settings.updateFiles.size(), rig.loader.pendingFiles().size());
  }
  int Questions() const {
    int questions = 0;
    for (const auto& name : fileSystem.readyQuestions) questions += name.second;
    return questions;
  }
  float Progress() const { return rig.view.progress.empty() ? 0 : rig.view.progress.back(); }

  ProgressFileSystem fileSystem;
  LoaderRig rig;
};

// The queueing pass asks every name (none is ready yet), and once more for
// the bar.
TEST_F(UpdateProgressTest, ReadyAndHalfDownloadedNamesAddTheirShares) {
  Queue();
  fileSystem.ready["one.dat"] = true;
  fileSystem.downloads["two.dat"] = Download{1000, 500};
  fileSystem.downloads["maps"] = Download{400, 100};
  rig.loader.Tick();
  EXPECT_FLOAT_EQ(static_cast<float>(1.0 / 3 + 0.5 / 3 + 0.25 / 3), Progress());
}

TEST_F(UpdateProgressTest, ANameSeenReadyIsNotAskedAgain) {
  Queue();
  EXPECT_EQ(2, fileSystem.readyQuestions["one.dat"]);
  fileSystem.ready["one.dat"] = true;
  for (int pass = 0; pass < 20; ++pass) rig.loader.Tick();
  EXPECT_EQ(3, fileSystem.readyQuestions["one.dat"]);
  EXPECT_EQ(22, fileSystem.readyQuestions["two.dat"]);
  EXPECT_FLOAT_EQ(static_cast<float>(1.0 / 3), Progress());
  // The outcome still asks every name itself.
  fileSystem.ready["two.dat"] = true;
  fileSystem.ready["maps"] = true;
  fileSystem.tasks = 0;
  rig.loader.Tick();
  EXPECT_EQ(4, fileSystem.readyQuestions["one.dat"]);
  EXPECT_NE(kLoaderUpdating, rig.loader.state());
}

TEST_F(UpdateProgressTest, ADownloadStartingOverNeverMovesTheBarBack) {
  fileSystem.downloads["one.dat"] = Download{1000, 900};
  Queue();
  const float before = Progress();
  fileSystem.downloads["one.dat"] = Download{1000, 0};
  for (int pass = 0; pass < 5; ++pass) rig.loader.Tick();
  EXPECT_FLOAT_EQ(before, Progress());
  for (size_t i = 1; i < rig.view.progress.size(); ++i)
    EXPECT_GE(rig.view.progress[i], rig.view.progress[i - 1]);
}

// A product of many names: a pass asks about a few of them, in turn, and the
// bar still reaches the end soon after the last one is ready.
class ManyNamesProgressTest : public UpdateProgressTest {
 protected:
  void AddNames() override {
    for (int i = 0; i < kNames; ++i)
      rig.settings.updateFiles.push_back({"file" + std::to_string(i) + ".dat", false});
  }
  static constexpr int kNames = 1000;
};

TEST_F(ManyNamesProgressTest, APassAsksAboutAFewNamesInTurn) {
  Queue();
  const int queued = Questions();
  rig.loader.Tick();
  const int perPass = Questions() - queued;
  EXPECT_GT(perPass, 0);
  EXPECT_LT(perPass, kNames / 10);
  fileSystem.ready["file999.dat"] = true;
  for (int pass = 0; pass < kNames && Progress() == 0; ++pass) rig.loader.Tick();
  EXPECT_FLOAT_EQ(1.0f / kNames, Progress());
  for (int i = 0; i < kNames; ++i) fileSystem.ready["file" + std::to_string(i) + ".dat"] = true;
  for (int pass = 0; pass < kNames && Progress() < 0.999f; ++pass) rig.loader.Tick();
  EXPECT_NEAR(1.0f, Progress(), 1e-4);
}

}  // namespace
}  // namespace LoaderTests
