// A page updating files and a group of a published product through the
// loopback plug-in: its built-in update servers are 127.0.0.1, the first
// six on port 9009, where this test's update server answers with the
// origin of an HTTP server that serves the product's download tree.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "BrowserRun.h"
#include "DownloadTreeBuilder.h"
#include "FakeUpdateServer.h"
#include "HttpTestServer.h"
#include "ProductReplyBuilder.h"
#include "PublisherManifest.h"
#include "TestSupport.h"

namespace {

const char kProduct[] = "npupdate";
const char kManifest[] =
    "product npupdate\n"
    "serverversion 3\n"
    "file a.txt 2 0\n"
    "file b.txt 1 1\n"
    "file c.txt 4 2\n"
    "group maps 2\n"
    "first a.txt b.txt\n";

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// The product's data folder as the plug-in chooses it (below the local
// application-data folder).
std::string DataFolder() {
  char base[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", base, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(base) + "\\dorvgame\\" + kProduct;
}

class LoopbackUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh data folder, so that nothing is up to date from an earlier run.
    const std::string folder = DataFolder();
    ASSERT_FALSE(folder.empty());
    RemoveTree(folder);
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
    ASSERT_TRUE(http_.Ok());
    ASSERT_TRUE(updateServer_.Ok()) << "port 9009 is taken";
    const std::map<std::string, std::string> sources = {
        {"a.txt", "alpha content, stored"},
        {"b.txt", std::string(3000, 'b') + "end of b"},
        {"c.txt", "charlie charlie charlie charlie charlie charlie"}};
    for (const auto& source : sources) {
      ASSERT_TRUE(TestSupport::WriteWholeFile(resources_.File(source.first), source.second));
    }
    Publisher::Manifest manifest;
    std::string error;
    ASSERT_TRUE(Publisher::ParseManifest(kManifest, &manifest, &error)) << error;
    Publisher::DownloadTree tree;
    Publisher::DownloadTreeBuilder builder(manifest, resources_.Path());
    ASSERT_TRUE(builder.Build(&tree, &error)) << error;
    std::map<std::string, std::string> files;
    for (const auto& package : tree) {
      files[package.first] = std::string(package.second.begin(), package.second.end());
    }
    http_.SetFiles(files);
    TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(kProduct, 3);
    reply.entries.clear();
    reply.entries.push_back({http_.Origin() + "/", false});
    updateServer_.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
  }

  TestSupport::TempFolder resources_;
  TestFixtures::HttpTestServer http_;
  TestFixtures::FakeUpdateServer updateServer_{9009};
};

TEST_F(LoopbackUpdate, APageUpdatesFilesAndAGroupWithTheirEvents) {
  BrowserRun run = RunBrowser(
      "setwindow\n"
      "attach OnUpdateStateChanged\nattach OnReadyForUpdate\nattach OnUpdateTaskCountChanged\n"
      "attach OnUpdateFileSuccess\nattach OnUpdateFileFailed\n"
      "attach OnUpdateResourceGroupSuccess\nattach OnUpdateProgressChanged\n"
      "call SetProduct \"npupdate\" 2 524288000 104857600 => true\n"
      "expect-event OnUpdateStateChanged \"SyncUpdateInfomation\"\n"
      // Readiness and the state's name are polled apart, so they may be
      // reported in either order within the first ticks.
      "expect-event OnReadyForUpdate\n"
      "call IsReadyForUpdate => true\n"
      "call IsFileReady \"c.txt\" => false\n"
      "call UpdateFile \"c.txt\" => true\n"
      "expect-event OnUpdateFileSuccess \"c.txt\"\n"
      "call IsFileReady \"c.txt\" => true\n"
      "call UpdateResourceGroup \"maps\" => true\n"
      "expect-event OnUpdateResourceGroupSuccess \"maps\"\n"
      "call IsResourceGroupReady \"maps\" => true\n"
      "call IsFileReady \"a.txt\" => true\n"
      "call UpdateFile \"missing.txt\" => *\n"
      "expect-event OnUpdateFileFailed \"missing.txt\"\n"
      "call TakeOffUpdatedFiles => \"\"\n"
      "call GetUpdateTaskCount => 0\n");
  EXPECT_EQ(0, run.exitCode) << run.output;
  if (GetEnvironmentVariableA("NPAPI_TEST_VERBOSE", nullptr, 0)) std::printf("%s", run.output.c_str());
  EXPECT_GE(updateServer_.Connections(), 1);
}

}  // namespace
