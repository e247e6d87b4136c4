// A small product published into memory, served by the HTTP fixture (or
// written into a folder that another server serves), with the update-server
// fixture naming that server's base URL, and a file system in update mode
// over a private data folder.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FakeUpdateServer.h"
#include "FileSystem.h"
#include "net/HttpDownloader.h"
#include "HttpTestServer.h"
#include "TestSupport.h"
#include "update/UpdateManager.h"

namespace UpdateTests {

using FileSystem::IFileSystem;
using FileSystem::IReadFile;

constexpr const char* kProduct = "velmorupdate";
constexpr uint32_t kServerVersion = 3;

// Polls a condition every millisecond; the limit only keeps a broken build
// from hanging the suite, it is not a speed target.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 60000; ++i) {
    if (condition()) return true;
    Sleep(1);
  }
  return condition();
}

// The four lists of finished and failed requests.
enum class List { kUpdatedFiles, kFailedFiles, kUpdatedGroups, kFailedGroups };

class UpdateTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Publishes the test product, with more manifest lines and resource files
  // when given, and serves it; false with a test failure on error.
  bool Publish(const std::string& extraManifest = std::string(),
               const std::map<std::string, std::string>& extraSources = {});
  // Writes the published tree into a folder, one file per package.
  bool WriteTree(const std::string& folder);
  // The package name of a resource at a version.
  static std::string PackageOf(const char* name, uint32_t version);
  // Answers every product query with the server version and the download
  // server's base URL.
  void AnswerQueries(uint32_t version = kServerVersion);
  // The same with base URLs below the download server's origin.
  void AnswerQueriesWith(const std::vector<std::pair<std::string, bool>>& urls);
  IFileSystem* Start(uint16_t updateServerPort, uint8_t updateMode = 1);
  IFileSystem* Start() { return Start(updateServer_.Port()); }
  // Answers the queries and starts a file system that has reached
  // "ReadyForUpdate"; null with a test failure otherwise.
  IFileSystem* StartReady();
  // One queue, "default", with the given order, passed to Start.
  void UseDefaultGroup(uint8_t fifo = 1);
  static bool WaitForState(IFileSystem* fileSystem, int state);
  // For what must not happen: waits until the scheduler has made this many
  // more passes over the workers (a test failure when it never does).
  static void WaitForSchedulerPasses(IFileSystem* fileSystem, uint32_t passes = kIdlePasses);
  static constexpr uint32_t kIdlePasses = 50;
  // No worker holds a task: nothing is being fetched.
  size_t BusyWorkers(IFileSystem* fileSystem);
  // How many recorded GET requests name the package.
  size_t RequestsFor(const std::string& package);
  // Waits until the file is done loading and returns its content.
  static std::string ContentOf(IReadFile* file);
  // The content of a resource that is local now, read in local mode terms
  // (no download); "<missing>" when it cannot be opened.
  static std::string LocalContentOf(IFileSystem* fileSystem, const char* name);

  // Collects what one of the four lists gives until the text is at least as
  // long as the expected one (or the wait ends), names joined by ';'.
  static std::string TakeOff(IFileSystem* fileSystem, List list, const std::string& expected);
  // What the list holds right now, taken off whole.
  static std::string TakeOffNow(IFileSystem* fileSystem, List list);

  TestSupport::RecordingLog log_;
  TestSupport::TempFolder data_;
  TestSupport::TempFolder resources_;
  TestFixtures::HttpTestServer http_;
  TestFixtures::FakeUpdateServer updateServer_;
  std::map<std::string, std::string> tree_;
  // The download server's origin ("http://host:port"); empty: the HTTP
  // fixture's.
  std::string origin_;
  UpdateServerNode serverNode_{};
  // Passed to Start as they are at the time.
  UpdateGroupNode* updateGroups_ = nullptr;
  uint32_t workerCount_ = 2;
  // Off unless a test is about idle updating: its pass fetches the rule
  // list on otherwise idle workers.
  uint8_t idleUpdate_ = 0;
  uint8_t reserveFirstWorker_ = 0;
  UpdateGroupNode defaultGroup_{};

 private:
  std::string Origin();

  FileSystem::HttpDownloader::Timing savedTiming_;
  FileSystem::UpdateManager::QueryTiming savedQueryTiming_;
};

// The product that updating everything is tried on: three groups (one
// whole, one with a sub-group) and single files, one of them a link member
// whose target also comes with a group, in all three methods.
class UpdateAllTest : public UpdateTest {
 protected:
  void SetUp() override;

  // Publishes the product with more manifest lines and resource files, which
  // then count among the resources checked.
  bool PublishProduct(const std::string& extraManifest = std::string(),
                      const std::map<std::string, std::string>& extraSources = {});
  // Every group and resource is ready and reads back as published.
  void ExpectEverythingLocal(IFileSystem* fileSystem);
  // Every resource reads back as published, without download.
  void ExpectContents(IFileSystem* fileSystem);

  // Resource name -> content, link members included.
  std::map<std::string, std::string> contents_;
};

}  // namespace UpdateTests
