// The online update engine behind the facade: it starts and stops the
// update threads, runs the product query and the initialisation that loads
// the catalogue, answers OpenFile in update mode and the progress queries,
// and hands every other question to the part whose job it is.
//
// Locks, in the order they may be taken; a lock is never taken while a
// later one in this list is held:
//   1. an UpdateGroup's lock: NextTask and GetTaskCount hold it while they
//      ask the engine;
//   2. a ResourceGroup's configuration lock: held while the group's file is
//      read, which opens files through the engine; the group's flag lock is
//      taken alone;
//   3. the PackageManager's lock: taken with 1 or 2 held, never with 4 or
//      later held, and it holds none of them;
//   4. UpdateManager's lock_, one lock shared by reference with the parts it
//      owns: StopFlags, UpdateCatalogue, UpdateQuery, UpdateLists,
//      WaitingFiles, RestartBudgets, PackageAdder and UpdateScheduler; it
//      is recursive, so a part may be called with it held;
//   5. a waiting file's (UpdatingFile's) lock;
//   6. a worker's (HttpDownloader's) lock, also taken under a waiting
//      file's, or an update server's (UpdateServer's) lock;
//   7. the log's lock, last of all.
// No lock is held across a socket call, a sleep, a file write or a thread
// join.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"
#include "base/Thread.h"
#include "update/PackageAdder.h"
#include "update/RestartBudgets.h"
#include "update/StopFlags.h"
#include "update/UpdateCatalogue.h"
#include "update/UpdateEngine.h"
#include "update/UpdateLists.h"
#include "update/UpdateQuery.h"
#include "update/UpdateScheduler.h"
#include "update/WaitingFiles.h"

struct UpdateServerNode;
struct UpdateGroupNode;

namespace FileSystem {

class HttpDownloader;
class IReadFile;
class LogManager;
class PackageManager;
class ResourceGroup;
class UpdateGroup;
class UpdatingFile;

class UpdateManager : public UpdateEngine {
 public:
  // How often and how long apart the product query is tried again. The
  // defaults are the product's; tests shorten them.
  struct QueryTiming {
    int retryCount = 100;
    int retryWaitMs = 1000;
  };
  static void SetQueryTiming(const QueryTiming& timing);
  static QueryTiming GetQueryTiming();

  UpdateManager();
  virtual ~UpdateManager();
  UpdateManager(const UpdateManager&) = delete;
  UpdateManager& operator=(const UpdateManager&) = delete;

  bool Init(LogManager& log, PackageManager& packages, bool updateMode, const char* productName,
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
  // The one answer to "is this key here at its listed version": target is
  // where its content is indexed (its link target, or the key itself);
  // kUnknown while neither the link map nor the loaded version map lists it.
  enum class Listing { kUnknown, kOutdated, kCurrent };
  Listing CheckListing(const ResourceKey& key, ResourceKey* target);
  // CheckListing says kCurrent.
  bool IsKeyReady(const ResourceKey& key) override;
  KeyState StateOf(const ResourceKey& key) override;

  // OpenFile in update mode, after the facade's argument checks: the modes
  // apply once the key is here at its listed version; otherwise a waiting
  // file when download is asked for, else null.
  IReadFile* OpenFile(const char* name, int mode, bool download, bool async);

  // A file for OpenFile that receives the key's content at its listed
  // version once downloaded; null outside update mode or before the version
  // map is loaded.
  UpdatingFile* CreateUpdatingFile(const ResourceKey& key);
  // The same at the given version, without those checks.
  UpdatingFile* AddWaitingFile(const ResourceKey& key, uint32_t version);
  void RemoveWaitingFile(UpdatingFile* file) override;

  ResourceGroup* FindResourceGroup(const ResourceKey& key) override;
  bool IsKeyInFlight(const ResourceKey& key) override;
  bool HaveDeltaPackage() override;
  bool ReadLocalConfig(const char* name, std::vector<char>* bytes) override;

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

  // For white-box tests of what must not happen: how many passes over the
  // workers the scheduler has made, and whether any thread of the manager
  // was ever started.
  uint32_t SchedulerPasses() const;
  bool AnyThreadStarted() const;

  bool TakeOffUpdatedFiles(char* buffer, uint32_t size);
  bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size);
  bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size);
  bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size);

  // Used by the update groups, with their own lock held.
  ResourceKey LinkTargetOf(const ResourceKey& key) override;
  bool HasGivenUp(const ResourceKey& key) override;
  void TouchRestartBudget(const ResourceKey& key) override;
  bool AppendUpdatedFile(const char* name) override;
  bool AppendUpdateFailedFile(const char* name) override;
  bool AppendUpdatedResourceGroup(const char* name) override;
  bool AppendUpdateFailedResourceGroup(const char* name) override;
  // Used by the adder, with the lock held.
  void PackageAdded(const ResourceKey& key) override;
  void PackageRefused(const ResourceKey& key, int restartBudget) override;

 private:
  // A worker's view for the progress queries.
  struct Progress {
    ResourceKey key{0, 0};
    std::string name;
    int total = 0;
    int done = 0;
    float speed = 0.0f;
  };

  bool CreateWorkers(uint32_t count, uint32_t downloadBufferStep, bool skipHeadRequest);
  bool CreateUpdateGroups(const UpdateGroupNode* groups);
  UpdateGroup* FindUpdateGroup(const char* name);
  void ClearUpdateGroups();
  void ResetFlags();
  void SetState(int state);

  static bool QueryStopTest(void* self);
  static void QueryMain(void* self);
  void RunQuery();
  void StartInitialisation();

  static void InitialisationMain(void* self);
  void RunInitialisation();
  bool LoadVersionMap();
  IReadFile* OpenVersionFile(const ResourceKey& key, uint32_t serverVersion);
  bool WaitWhileLoading(IReadFile* file);
  bool ReadVersionMap(IReadFile* file);
  bool LoadResourceGroupMap();
  bool ReadWholeFile(IReadFile* file, std::vector<char>* text);
  bool BuildResourceGroups(const std::vector<char>& text);

  // Under the lock.
  UpdatingFile* InsertWaitingFile(const ResourceKey& key, uint32_t version);

  static bool ReadProgress(HttpDownloader* worker, Progress* progress);
  static bool CopyProgress(const Progress& progress, char* name, uint32_t nameSize, int* total,
                           int* done, float* speed);
  bool FindKeyProgress(const ResourceKey& key, char* name, uint32_t nameSize, int* total,
                       int* done, float* speed);

  // First: the parts below share it.
  CriticalSection lock_;
  LogManager* log_ = nullptr;
  PackageManager* packages_ = nullptr;
  std::string productName_;
  StopFlags stops_{lock_};
  UpdateCatalogue catalogue_{lock_};
  UpdateQuery query_{lock_};
  UpdateLists lists_{lock_};
  WaitingFiles waiting_{lock_};
  RestartBudgets budgets_{lock_};
  PackageAdder adder_{lock_, stops_, waiting_, *this};
  // Made by Init before any thread starts and deleted by Exit after they
  // end, so the list itself needs no lock; each group locks its queue.
  std::vector<std::unique_ptr<UpdateGroup>> updateGroups_;
  std::map<std::string, UpdateGroup*> updateGroupIndex_;
  // Declared before the workers, which hold its wake event until they are
  // gone.
  UpdateScheduler scheduler_{UpdateScheduler::Parts{lock_, stops_, catalogue_, query_, waiting_,
                                                    adder_, budgets_, *this, workers_,
                                                    updateGroups_}};
  std::vector<std::unique_ptr<HttpDownloader>> workers_;
  Thread queryThread_;
  Thread initialisationThread_;
  uint32_t workerCount_ = 5;
  int state_ = 0;
  bool updateMode_ = false;
};

}  // namespace FileSystem
