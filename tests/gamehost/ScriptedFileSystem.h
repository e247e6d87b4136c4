// A file system whose answers a test sets: the update state, readiness, task
// count, per-worker update info and the four take-off lists. The game host
// gets it through its factory seam; Release only marks it released.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "StubFileSystem.h"

namespace GameHostTest {

struct WorkerInfo {
  std::string name;
  int total;
  int done;
  float speed;
};

class ScriptedFileSystem : public TestFixtures::StubFileSystem {
 public:
  int updateState = 0;
  bool ready = false;
  int taskCount = 0;
  std::map<int, WorkerInfo> workers;
  std::string lists[4];  // updated files, failed files, updated groups, failed groups
  bool released = false;
  int getUpdateInfoCalls = 0;
  std::vector<std::string> updateFileNames;
  FileSystemParams params = {};
  std::string productName;
  std::string dataFolder;
  std::vector<std::string> serverHosts;
  std::vector<uint32_t> serverPorts;
  std::string packagePath;

  // Installs the seam so the next SetProduct gets this object.
  void Install();
  static void Uninstall();

  bool IsFileReady(const char*) override { return true; }
  bool UpdateFile(const char* name, const char*) override {
    updateFileNames.push_back(name);
    return true;
  }
  bool HasResourceGroup(const char*) override { return true; }
  bool IsResourceGroupReady(const char*) override { return true; }
  bool UpdateResourceGroup(const char* name, const char*) override {
    updateFileNames.push_back(name);
    return true;
  }
  bool IsAllResourceGroupsReady() override { return true; }
  bool UpdateAllResourceGroups() override { return true; }
  bool IsAllReady() override { return true; }
  bool UpdateAll() override { return true; }
  int GetUpdateTaskCount() override { return taskCount; }
  float GetUpdateSpeed() override { return 2.5f; }
  bool GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total, int* done,
                     float* speed) override;
  bool GetFileUpdateInfo(const char*, char* name, uint32_t nameSize, int* total, int* done,
                         float* speed) override;
  bool GetResourceGroupUpdateInfo(const char*, char* name, uint32_t nameSize, int* total,
                                  int* done, float* speed) override;
  bool StopUpdate() override { return true; }
  bool CancelAllUpdateRequests() override { return true; }
  bool CancelUpdateGroup(const char*) override { return true; }
  bool IsReadyForUpdate() override { return ready; }
  int GetUpdateState() override { return updateState; }
  bool IsIdleUpdateEnabled() override { return true; }
  bool IsIdleUpdateFinishied() override { return true; }
  bool SetIdleUpdateInfo(int, int) override { return true; }
  bool TakeOffUpdatedFiles(char* buffer, uint32_t size) override { return Take(0, buffer, size); }
  bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size) override {
    return Take(1, buffer, size);
  }
  bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) override {
    return Take(2, buffer, size);
  }
  bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) override {
    return Take(3, buffer, size);
  }
  void Release() override { released = true; }

 private:
  bool Take(int which, char* buffer, uint32_t size);
};

}  // namespace GameHostTest
