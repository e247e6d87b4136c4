// The online update engine behind the facade: update-server queries, the
// version and link maps, download scheduling and the update lists.
#pragma once

#include <cstdint>

#include "CriticalSection.h"
#include "ResourceName.h"

struct UpdateServerNode;
struct UpdateGroupNode;

namespace FileSystem {

class FileSystem;

class UpdateManager {
 public:
  UpdateManager() = default;
  virtual ~UpdateManager();
  UpdateManager(const UpdateManager&) = delete;
  UpdateManager& operator=(const UpdateManager&) = delete;

  bool Init(FileSystem* fileSystem, bool updateMode, const char* productName,
            const UpdateServerNode* servers, uint32_t workerCount, const UpdateGroupNode* groups,
            uint32_t downloadBufferStep, bool reserveFirstWorker, bool idleUpdateEnabled,
            bool skipHeadRequest);
  void Exit();

  int GetState();
  bool IsReadyForUpdate();

  // False (version 0) until the version map is loaded.
  bool GetListedVersion(const ResourceKey& key, uint32_t* version);
  // True with the target and its listed version when the key is a link member.
  bool FindLinkTarget(const ResourceKey& key, ResourceKey* target, uint32_t* version);

  bool RequestFile(const char* name, const char* updateGroup);
  bool HasResourceGroup(const ResourceKey& key);
  bool IsResourceGroupReady(const ResourceKey& key);
  bool RequestResourceGroup(const char* group, const char* updateGroup);
  bool IsAllResourceGroupsReady();
  void RequestAllResourceGroups();
  bool IsAllReady();
  void RequestUpdateAll();
  int GetUpdateTaskCount();
  float GetUpdateSpeed();
  bool GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total, int* done,
                     float* speed);
  bool GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize, int* total, int* done,
                         float* speed);
  bool GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize, int* total,
                                  int* done, float* speed);
  void StopUpdate();
  bool CancelAllUpdateRequests();
  bool CancelUpdateGroup(const char* updateGroup);

  void EnableIdleUpdate(bool enable);
  bool IsIdleUpdateEnabled();
  bool IsIdleUpdateFinished();
  void SetIdleUpdateInfo(int level, int map);

  bool TakeOffUpdatedFiles(char* buffer, uint32_t size);
  bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size);
  bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size);
  bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size);

 private:
  FileSystem* fileSystem_ = nullptr;
  bool updateMode_ = false;
  int state_ = 0;
  bool groupMapLoaded_ = false;
  bool idleUpdateEnabled_ = true;
  bool idleUpdateFinished_ = false;
  int idleLevel_ = 0;
  int idleMap_ = 0;
  CriticalSection lock_;
};

}  // namespace FileSystem
