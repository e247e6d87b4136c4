#include "UpdateManager.h"

#include "FileSystem.h"

namespace FileSystem {

UpdateManager::~UpdateManager() { Exit(); }

bool UpdateManager::Init(FileSystem* fileSystem, bool updateMode, const char* productName,
                         const UpdateServerNode* servers, uint32_t workerCount,
                         const UpdateGroupNode* groups, uint32_t downloadBufferStep,
                         bool reserveFirstWorker, bool idleUpdateEnabled, bool skipHeadRequest) {
  Exit();
  ScopedLock guard(lock_);
  fileSystem_ = fileSystem;
  updateMode_ = updateMode;
  idleUpdateEnabled_ = idleUpdateEnabled;
  state_ = kStateDisabled;
  return true;
}

void UpdateManager::Exit() {}

int UpdateManager::GetState() {
  ScopedLock guard(lock_);
  return state_;
}

bool UpdateManager::IsReadyForUpdate() {
  ScopedLock guard(lock_);
  return groupMapLoaded_;
}

bool UpdateManager::GetListedVersion(const ResourceKey& key, uint32_t* version) {
  if (version != nullptr) *version = 0;
  return false;
}

bool UpdateManager::FindLinkTarget(const ResourceKey& key, ResourceKey* target,
                                   uint32_t* version) {
  return false;
}

bool UpdateManager::RequestFile(const char* name, const char* updateGroup) { return false; }
bool UpdateManager::HasResourceGroup(const ResourceKey& key) { return false; }
bool UpdateManager::IsResourceGroupReady(const ResourceKey& key) { return false; }
bool UpdateManager::RequestResourceGroup(const char* group, const char* updateGroup) {
  return false;
}
bool UpdateManager::IsAllResourceGroupsReady() { return false; }
void UpdateManager::RequestAllResourceGroups() {}
bool UpdateManager::IsAllReady() { return false; }
void UpdateManager::RequestUpdateAll() {}
int UpdateManager::GetUpdateTaskCount() { return 0; }
float UpdateManager::GetUpdateSpeed() { return 0.0f; }

bool UpdateManager::GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total,
                                  int* done, float* speed) {
  return false;
}

bool UpdateManager::GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize,
                                      int* total, int* done, float* speed) {
  return false;
}

bool UpdateManager::GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize,
                                               int* total, int* done, float* speed) {
  return false;
}

void UpdateManager::StopUpdate() {}
bool UpdateManager::CancelAllUpdateRequests() { return false; }
bool UpdateManager::CancelUpdateGroup(const char* updateGroup) { return false; }

void UpdateManager::EnableIdleUpdate(bool enable) {
  ScopedLock guard(lock_);
  idleUpdateEnabled_ = enable;
}

bool UpdateManager::IsIdleUpdateEnabled() {
  ScopedLock guard(lock_);
  return idleUpdateEnabled_;
}

bool UpdateManager::IsIdleUpdateFinished() {
  ScopedLock guard(lock_);
  return idleUpdateFinished_;
}

void UpdateManager::SetIdleUpdateInfo(int level, int map) {
  ScopedLock guard(lock_);
  if (level == idleLevel_ && map == idleMap_) return;
  idleLevel_ = level;
  idleMap_ = map;
  idleUpdateFinished_ = false;
}

bool UpdateManager::TakeOffUpdatedFiles(char* buffer, uint32_t size) { return false; }
bool UpdateManager::TakeOffUpdateFailedFiles(char* buffer, uint32_t size) { return false; }
bool UpdateManager::TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) { return false; }
bool UpdateManager::TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) {
  return false;
}

}  // namespace FileSystem
