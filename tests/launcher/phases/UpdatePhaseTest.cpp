// The update phase against loopback servers: an update server that names an
// HTTP server, which serves a product made by the publisher.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "DownloadTreeBuilder.h"
#include "FakeUpdateServer.h"
#include "HttpTestServer.h"
#include "LoaderFakes.h"
#include "LoopbackTiming.h"
#include "ProductReplyBuilder.h"
#include "PublisherManifest.h"

namespace LoaderTests {
namespace {

const char kProduct[] = "velmorphase";

const char kManifest[] =
    "product velmorphase\n"
    "serverversion 3\n"
    "file velmor.exe 2 0\n"
    "file game.dat 1 1\n"
    "file maps/one.map 1 2\n"
    "file maps/two.map 1 0\n"
    "group maps 1\n"
    "first maps/one.map maps/two.map\n";

std::string TempFolder() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static int counter = 0;
  std::string folder = std::string(base) + "velmorphase" + std::to_string(GetCurrentProcessId()) +
                       "_" + std::to_string(++counter) + "_" + std::to_string(GetTickCount());
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "\\";
}

bool WriteFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
            written == content.size();
  CloseHandle(file);
  return ok;
}

class UpdatePhaseTest : public testing::Test {
 protected:
  void SetUp() override {
    TestFixtures::UseLoopbackTiming(3, 1);
    ASSERT_TRUE(http_.Ok());
    ASSERT_TRUE(updateServer_.Ok());
    std::string resources = TempFolder();
    CreateDirectoryA((resources + "maps").c_str(), nullptr);
    std::map<std::string, std::string> sources = {
        {"velmor.exe", std::string(40000, 'v')},
        {"game.dat", std::string(120000, 'g') + "end"},
        {"maps\\one.map", std::string(60000, 'm')},
        {"maps\\two.map", "two"}};
    for (const auto& source : sources) ASSERT_TRUE(WriteFile(resources + source.first, source.second));
    Publisher::Manifest manifest;
    std::string error;
    ASSERT_TRUE(Publisher::ParseManifest(kManifest, &manifest, &error)) << error;
    Publisher::DownloadTree tree;
    Publisher::DownloadTreeBuilder builder(manifest, resources);
    ASSERT_TRUE(builder.Build(&tree, &error)) << error;
    std::map<std::string, std::string> files;
    for (const auto& package : tree)
      files[package.first] = std::string(package.second.begin(), package.second.end());
    http_.SetFiles(files);
    TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(kProduct, 3);
    reply.entries.clear();
    reply.entries.push_back({http_.Origin() + "/", false});
    updateServer_.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));

    data_ = TempFolder();
    rig_ = new LoaderRig;
    Configure(rig_);
  }
  void TearDown() override { delete rig_; }

  void Configure(LoaderRig* rig) {
    rig->settings.productName = kProduct;
    rig->settings.runPlace = kRunPlaceCurrentDirectory;
    rig->settings.updateThreadCount = 2;
    rig->settings.updateServers.push_back({"127.0.0.1", updateServer_.Port()});
    rig->settings.updateFiles.push_back({"game.dat", false});
    rig->settings.updateFiles.push_back({"kernel32.dll", true});
    rig->settings.loginEnabled = true;
    rig->system.moduleFolder = data_;
    rig->system.systemLibraries.push_back("kernel32.dll");
    rig->system.dataFolder = data_;
    rig->Wire();
  }

  // Ticks (1 ms apart, as the loading loop does) until the state leaves
  // Updating or the bound runs out.
  bool TickWhileUpdating(LoaderRig* rig) {
    return TickUntil(rig, [rig] {
      const auto state = rig->loader.state();
      return (state != kLoaderUpdating && state != kLoaderStart) || rig->system.closes > 0;
    });
  }

  // Ticks 1 ms apart until done says so or the bound runs out.
  template <typename Done>
  static bool TickUntil(LoaderRig* rig, Done done) {
    for (int i = 0; i < 60000; ++i) {
      rig->loader.Tick();
      if (done()) return true;
      Sleep(1);
    }
    return false;
  }

  static void ExpectNeverDecreasing(const std::vector<float>& values) {
    for (size_t i = 1; i < values.size(); ++i) EXPECT_GE(values[i], values[i - 1]) << i;
  }

  TestFixtures::HttpTestServer http_;
  TestFixtures::FakeUpdateServer updateServer_;
  std::string data_;
  LoaderRig* rig_ = nullptr;
};

TEST_F(UpdatePhaseTest, OutdatedLauncherFetchesItselfAndRestartsWithCheckInstall) {
  // The query's answer waits until the loader has shown that it asks, so a
  // loaded machine cannot let the whole query pass between two ticks.
  updateServer_.HoldReplies(true);
  ASSERT_TRUE(rig_->loader.Init(L"Login=success;Account=a", false, true));
  rig_->loader.ShowLoader();
  ASSERT_TRUE(TickUntil(rig_, [&] { return rig_->view.Count("update_game_info") > 0; }));
  updateServer_.HoldReplies(false);
  ASSERT_TRUE(TickWhileUpdating(rig_));
  EXPECT_TRUE(rig_->loader.selfUpdate());
  EXPECT_TRUE(rig_->loader.updateOk());
  EXPECT_FALSE(rig_->view.mainSkin);
  // The page was ready all along, but the small skin has no place for it.
  ASSERT_FALSE(rig_->browser.navigated.empty());
  EXPECT_FALSE(rig_->browser.hostVisible);
  EXPECT_EQ(nullptr, rig_->loader.fileSystem());
  EXPECT_TRUE(rig_->reports.HasStat("SelfUpdateSuccess"));
  ExpectNeverDecreasing(rig_->view.progress);
  EXPECT_FLOAT_EQ(1.0f, rig_->loader.progress());
  EXPECT_EQ(1, rig_->view.Count("update_game_info"));
  ASSERT_EQ(1u, rig_->system.started.size());
  // No file in the run folder yet: the running program starts again.
  EXPECT_EQ(rig_->system.modulePath, rig_->system.started[0].first);
  EXPECT_EQ(L"/FIRSTRUN/CHECKINSTALLLogin=success;Account=a", rig_->system.started[0].second);
  EXPECT_EQ(1, rig_->system.closes);
}

TEST_F(UpdatePhaseTest, CurrentLauncherFetchesFilesAndGroupsThenWaitsForLogin) {
  // A first run brings the launcher itself up to date.
  ASSERT_TRUE(rig_->loader.Init(L"", false, false));
  rig_->loader.ShowLoader();
  ASSERT_TRUE(TickWhileUpdating(rig_));
  ASSERT_TRUE(rig_->loader.updateOk());
  delete rig_;
  rig_ = new LoaderRig;
  Configure(rig_);

  ASSERT_TRUE(rig_->loader.Init(L"", false, false));
  rig_->loader.ShowLoader();
  bool left = TickWhileUpdating(rig_);
  if (!left) {
    for (const auto& line : rig_->log.lines) ADD_FAILURE() << line.second;
  }
  ASSERT_TRUE(left);
  EXPECT_EQ(kLoaderWaitingForLogin, rig_->loader.state());
  EXPECT_FALSE(rig_->loader.selfUpdate());
  EXPECT_TRUE(rig_->view.mainSkin);
  EXPECT_TRUE(rig_->browser.hostVisible);
  ASSERT_EQ(1u, rig_->loader.pendingFiles().size());  // the system library is not fetched
  EXPECT_EQ("game.dat", rig_->loader.pendingFiles()[0]);
  EXPECT_TRUE(rig_->loader.pendingGroups().empty());
  EXPECT_TRUE(rig_->reports.HasStat("UpdateSuccess"));
  EXPECT_EQ(1, rig_->view.Count("update_finished"));
  EXPECT_GE(rig_->view.Count("update_resource_progress"), 1);
  EXPECT_EQ("please_login", rig_->view.LastMessage());
  ExpectNeverDecreasing(rig_->view.progress);
  EXPECT_TRUE(rig_->system.started.empty());
}

TEST_F(UpdatePhaseTest, FailedUpdateIsReportedOnceAndRepaintsOnlyOnChange) {
  // The launcher is current, but the game file cannot be fetched.
  ASSERT_TRUE(rig_->loader.Init(L"", false, false));
  rig_->loader.ShowLoader();
  ASSERT_TRUE(TickWhileUpdating(rig_));
  delete rig_;
  rig_ = new LoaderRig;
  Configure(rig_);
  rig_->settings.updateFiles.push_back({"missing.dat", false});
  rig_->settings.statEnabled = true;
  ASSERT_TRUE(rig_->loader.Init(L"Login=success;ServerAddress=s;Account=a;ServerIndex=1", false,
                                false));
  rig_->loader.ShowLoader();
  bool failed = false;
  for (int i = 0; i < 60000 && !failed; ++i) {
    rig_->loader.Tick();
    failed = rig_->reports.HasStat("UpdateFailed");
    Sleep(1);
  }
  ASSERT_TRUE(failed);
  size_t messages = rig_->view.messages.size();
  for (int i = 0; i < 50; ++i) rig_->loader.Tick();
  EXPECT_EQ(kLoaderUpdating, rig_->loader.state());
  EXPECT_EQ("update_error", rig_->view.LastMessage());
  EXPECT_EQ(messages, rig_->view.messages.size());
  EXPECT_EQ(1, rig_->reports.CountPosts("ac=a&in=1&type=86"));
  int failures = 0;
  for (const auto& stat : rig_->reports.stats) failures += stat.first == "UpdateFailed";
  EXPECT_EQ(1, failures);
}

TEST_F(UpdatePhaseTest, UnreachableFileSystemFactoryEntersFailed) {
  LoaderRig rig;
  rig.settings.productName = kProduct;
  rig.system.moduleFolder = data_;
  rig.Wire([](const FileSystemParams*) -> FileSystem::IFileSystem* { return nullptr; });
  ASSERT_TRUE(rig.loader.Init(L"", false, false));
  rig.loader.ShowLoader();
  rig.loader.Tick();
  EXPECT_EQ(kLoaderFailed, rig.loader.state());
  EXPECT_TRUE(rig.view.closeEnabled);
}

}  // namespace
}  // namespace LoaderTests
