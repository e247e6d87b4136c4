#include "ScriptedFileSystem.h"

#include <cstdio>
#include <cstring>

#include "GameLoader.h"

namespace GameHostTest {

namespace {

ScriptedFileSystem* installed = nullptr;

FileSystem::IFileSystem* Create(const FileSystemParams* params) {
  ScriptedFileSystem* files = installed;
  if (files == nullptr) return nullptr;
  files->released = false;
  files->params = *params;
  files->productName = params->productName;
  files->dataFolder = params->dataFolder;
  files->packagePath = params->extraPackages != nullptr ? params->extraPackages->path : "";
  files->serverHosts.clear();
  files->serverPorts.clear();
  for (const UpdateServerNode* node = params->updateServers; node != nullptr; node = node->next) {
    files->serverHosts.push_back(node->host);
    files->serverPorts.push_back(node->port);
  }
  return files;
}

bool Fill(const WorkerInfo& info, char* name, uint32_t nameSize, int* total, int* done,
          float* speed) {
  std::snprintf(name, nameSize, "%s", info.name.c_str());
  *total = info.total;
  *done = info.done;
  *speed = info.speed;
  return true;
}

}  // namespace

void ScriptedFileSystem::Install() {
  installed = this;
  GameLoader::SetFileSystemFactoryForTesting(&Create);
}

void ScriptedFileSystem::Uninstall() {
  installed = nullptr;
  GameLoader::SetFileSystemFactoryForTesting(nullptr);
}

bool ScriptedFileSystem::GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total,
                                       int* done, float* speed) {
  ++getUpdateInfoCalls;
  auto found = workers.find(worker);
  if (found == workers.end()) return false;
  return Fill(found->second, name, nameSize, total, done, speed);
}

bool ScriptedFileSystem::GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize,
                                           int* total, int* done, float* speed) {
  return Fill(WorkerInfo{file, 100, 25, 1.5f}, name, nameSize, total, done, speed);
}

bool ScriptedFileSystem::GetResourceGroupUpdateInfo(const char* group, char* name,
                                                    uint32_t nameSize, int* total, int* done,
                                                    float* speed) {
  return Fill(WorkerInfo{group, -3, 7, 0.25f}, name, nameSize, total, done, speed);
}

bool ScriptedFileSystem::Take(int which, char* buffer, uint32_t size) {
  if (lists[which].empty()) return false;
  std::snprintf(buffer, size, "%s", lists[which].c_str());
  lists[which].clear();
  return true;
}

}  // namespace GameHostTest
