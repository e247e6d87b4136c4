#include "FileSystemFacade.h"

#include <cstdio>
#include <new>

#include "store/OpenByMode.h"
#include "ResourceName.h"
#include "store/WriteFile.h"

namespace FileSystem {

IFileSystem* Create(const FileSystemParams* params) {
  if (params == nullptr || params->size != kParamsSize || params->version != kParamsVersion)
    return nullptr;
  FileSystem* fileSystem = new (std::nothrow) FileSystem();
  if (fileSystem == nullptr) return nullptr;
  if (!fileSystem->Init(params)) {
    delete fileSystem;
    return nullptr;
  }
  return fileSystem;
}

FileSystem::~FileSystem() { Exit(); }

bool FileSystem::Init(const FileSystemParams* params) {
  updateMode_ = params->updateMode != 0;
  log_.SetSink(params->logSystem);
  log_.Log(kLogInfo, "Init Log System...");
  log_.Log(kLogInfo, "Init Log System success.");
  log_.Log(kLogInfo, "Init Package Manager...");
  if (!packages_.Init(log_, updateMode_ ? &updates_ : nullptr, updateMode_, params->dataFolder, params->packageBaseName,
                      params->packageExtension, params->extraPackages, params->maxPackageSize,
                      params->maxDeltaPackageSize)) {
    log_.Log(kLogInfo, "Init Package Manager failed.");
    return false;
  }
  log_.Log(kLogInfo, "Init Package Manager success.");
  log_.Log(kLogInfo, "Init Update Manager...");
  if (!updates_.Init(log_, packages_, updateMode_, params->productName, params->updateServers,
                     params->updateThreadCount, params->updateGroups, params->downloadBufferStep,
                     params->reserveFirstDownloader != 0, params->idleUpdateEnabled != 0,
                     params->skipHeadRequest != 0)) {
    log_.Log(kLogInfo, "Init Update failed.");
    return false;
  }
  log_.Log(kLogInfo, "Init Update success.");
  if (!updateMode_) packages_.RestoreUnpackagedFiles();
  log_.Log(kLogInfo, "Init File System success.");
  return true;
}

void FileSystem::Exit() {
  log_.Log(kLogInfo, "Exit Update Manager.");
  updates_.Exit();
  log_.Log(kLogInfo, "Exit Package manager.");
  packages_.ClearIndex();
  packages_.ClosePackages();
  log_.Log(kLogInfo, "Exit Log System.");
  log_.SetSink(nullptr);
}

void FileSystem::Release() { delete this; }

bool FileSystem::GetFileHash(const char* name, uint32_t* hash1, uint32_t* hash2) {
  if (name == nullptr || hash1 == nullptr || hash2 == nullptr) return false;
  const ResourceKey key = HashResourceName(name);
  *hash1 = key.hash1;
  *hash2 = key.hash2;
  return true;
}

bool FileSystem::NormalizePath(char* name) {
  if (name == nullptr) return false;
  NormalizeResourceName(name);
  return true;
}

IReadFile* FileSystem::OpenLocal(const char* name, int mode, bool async) {
  ResourceKey key = HashResourceName(name);
  packages_.ResolveLink(&key);
  return OpenByMode(packages_, key, name, mode, async);
}

IReadFile* FileSystem::OpenFile(const char* name, int mode, bool download, bool async) {
  if (name == nullptr || mode < kOpenPackagedThenLoose || mode > kOpenLooseFileOnly)
    return nullptr;
  if (mode == kOpenLooseFileOnly) return OpenLooseFile(name, async);
  if (!updateMode_) return OpenLocal(name, mode, async);
  return updates_.OpenFile(name, mode, download, async);
}

IWriteFile* FileSystem::OpenWriteFile(const char* path, bool append) {
  return WriteFile::Open(path, append);
}

bool FileSystem::IsFileReady(const char* name) {
  if (name == nullptr) return false;
  if (!updateMode_) return true;
  return updates_.IsKeyReady(HashResourceName(name));
}

bool FileSystem::UpdateFile(const char* name, const char* updateGroup) {
  if (IsFileReady(name)) return true;
  return updates_.RequestFile(name, updateGroup);
}

bool FileSystem::HasResourceGroup(const char* group) {
  if (group == nullptr) return false;
  return updates_.HasResourceGroup(HashResourceName(group));
}

bool FileSystem::IsResourceGroupReady(const char* group) {
  if (group == nullptr) return false;
  if (!updateMode_) return true;
  return updates_.IsResourceGroupReady(HashResourceName(group));
}

bool FileSystem::UpdateResourceGroup(const char* group, const char* updateGroup) {
  if (IsResourceGroupReady(group)) return true;
  return updates_.RequestResourceGroup(group, updateGroup);
}

bool FileSystem::IsAllResourceGroupsReady() { return updates_.IsAllResourceGroupsReady(); }

bool FileSystem::UpdateAllResourceGroups() {
  updates_.RequestAllResourceGroups();
  return true;
}

bool FileSystem::IsAllReady() { return updates_.IsAllReady(); }

bool FileSystem::UpdateAll() {
  updates_.RequestUpdateAll();
  return true;
}

int FileSystem::GetUpdateTaskCount() { return updates_.GetUpdateTaskCount(); }

float FileSystem::GetUpdateSpeed() { return updates_.GetUpdateSpeed(); }

bool FileSystem::GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total, int* done,
                               float* speed) {
  return updates_.GetUpdateInfo(worker, name, nameSize, total, done, speed);
}

bool FileSystem::GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize, int* total,
                                   int* done, float* speed) {
  return updates_.GetFileUpdateInfo(file, name, nameSize, total, done, speed);
}

bool FileSystem::GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize,
                                            int* total, int* done, float* speed) {
  return updates_.GetResourceGroupUpdateInfo(group, name, nameSize, total, done, speed);
}

bool FileSystem::StopUpdate() {
  updates_.StopUpdate();
  return true;
}

bool FileSystem::CancelAllUpdateRequests() { return updates_.CancelAllUpdateRequests(); }

bool FileSystem::CancelUpdateGroup(const char* updateGroup) {
  return updates_.CancelUpdateGroup(updateGroup);
}

bool FileSystem::IsReadyForUpdate() { return updates_.IsReadyForUpdate(); }

int FileSystem::GetUpdateState() { return updates_.GetState(); }

bool FileSystem::EnableIdleUpdate(bool enable) {
  updates_.EnableIdleUpdate(enable);
  return true;
}

bool FileSystem::IsIdleUpdateEnabled() { return updates_.IsIdleUpdateEnabled(); }

bool FileSystem::IsIdleUpdateFinishied() { return updates_.IsIdleUpdateFinished(); }

bool FileSystem::SetIdleUpdateInfo(int first, int second) {
  updates_.SetIdleUpdateInfo(first, second);
  return true;
}

bool FileSystem::TakeOffUpdatedFiles(char* buffer, uint32_t size) {
  return updates_.TakeOffUpdatedFiles(buffer, size);
}

bool FileSystem::TakeOffUpdateFailedFiles(char* buffer, uint32_t size) {
  return updates_.TakeOffUpdateFailedFiles(buffer, size);
}

bool FileSystem::TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) {
  return updates_.TakeOffUpdatedResourceGroups(buffer, size);
}

bool FileSystem::TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) {
  return updates_.TakeOffUpdateFailedResourceGroups(buffer, size);
}

}  // namespace FileSystem
