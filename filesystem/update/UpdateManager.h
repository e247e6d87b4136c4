// The online update engine behind the facade: it runs the product query
// and the initialisation that loads the catalogue, schedules downloads and
// adds what they bring, and hands the lookups and the update lists to the
// parts whose job they are.
//
// UpdateManager's lock_ is one lock shared by reference with the parts it
// owns: StopFlags, UpdateCatalogue, UpdateQuery and UpdateLists; it is
// recursive, so a part may be called with it held.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"
#include "base/Thread.h"
#include "update/StopFlags.h"
#include "update/UpdateCatalogue.h"
#include "update/UpdateEngine.h"
#include "update/UpdateLists.h"
#include "update/UpdateQuery.h"
#include "UpdateRuleList.h"
#include "base/WakeEvent.h"

struct UpdateServerNode;
struct UpdateGroupNode;

namespace FileSystem {

class HttpDownloader;
class IReadFile;
class LogManager;
class PackageManager;
class ResourceGroup;
class UpdateGroup;
class UpdateRule;
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

 private:
  // The longest wait of the scheduler and the adder between two passes when
  // nothing wakes them: what they cannot be told of is seen this late.
  static constexpr DWORD kPassWaitMs = 1;

  struct DownloadedPackage {
    ResourceKey key{0, 0};
    uint32_t version = 0;
    int restartBudget = 0;
    uint8_t* image = nullptr;
    uint32_t size = 0;
  };
  // Who may start and end the workers' tasks at the moment.
  enum class WorkerOwner { kNone, kScheduler, kStopUpdate };

  struct Item {
    ResourceKey key{0, 0};
    bool isDelta = false;
    uint32_t localVersion = 0;
  };
  // A list file the scheduler fetches and loads for itself.
  struct ListState {
    bool issued = false;  // its download is running
    bool loaded = false;
    bool failed = false;  // loading failed; not tried again
  };
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
  bool ScheduleUpdateGroups(HttpDownloader* worker);
  void ResetFlags();

  static bool QueryStopTest(void* self);
  void SetState(int state);

  static void QueryMain(void* self);
  void RunQuery();
  void StartInitialisation();
  void RunScheduler();
  bool ClaimWorkersForScheduler();
  void FinishAllWorkers();

  static void InitialisationMain(void* self);
  void RunInitialisation();
  bool LoadVersionMap();
  IReadFile* OpenVersionFile(const ResourceKey& key, uint32_t serverVersion);
  bool WaitWhileLoading(IReadFile* file);
  bool ReadVersionMap(IReadFile* file);
  bool LoadResourceGroupMap();
  bool ReadWholeFile(IReadFile* file, std::vector<char>* text);
  bool BuildResourceGroups(const std::vector<char>& text);

  static void AdderMain(void* self);
  void RunAdder();
  void AddPackage(const DownloadedPackage& package);
  void FillWaitingFiles(const DownloadedPackage& package, char* buffer, uint32_t size);
  void FailWaitingFiles(const DownloadedPackage& package);
  void TakeOffDownloaded();

  // Scheduling and collecting, on the query thread. Each pass returns true
  // when it ends the worker's turn.
  void Collect(HttpDownloader* worker);
  void Schedule(HttpDownloader* worker);
  bool ScheduleWaitingFile(HttpDownloader* worker);
  bool ScheduleSingleFileList(HttpDownloader* worker);
  bool ScheduleResourceGroups(HttpDownloader* worker);
  bool ScheduleSingleFiles(HttpDownloader* worker);
  bool ScheduleUpdateRuleList(HttpDownloader* worker);
  bool ScheduleListFile(HttpDownloader* worker, const char* name, const ResourceKey& key,
                        ListState* list, bool (UpdateManager::*load)());
  bool ScheduleIdleRule(HttpDownloader* worker);
  bool AnyUpdateRequest();
  bool IsWorkerAt(const HttpDownloader* worker, size_t position) const;
  // A download of the item at its listed version; false (nothing started)
  // while the listed version is unknown.
  bool StartItem(HttpDownloader* worker, const Item& item, bool useRestartBudget);
  // For the passes that walk everything: an item whose downloads were given
  // up is not started again (false), any other spends one of its key's
  // restart budget, so a package that keeps failing is not fetched forever.
  bool StartUnlessGivenUp(HttpDownloader* worker, const Item& item);
  bool StartDownload(HttpDownloader* worker, const ResourceKey& key, uint32_t version,
                     const std::string& packageName);
  bool LoadSingleFiles();
  bool LoadUpdateRules();
  void DownloadEnded(const ResourceKey& key);
  void DownloadLost(const ResourceKey& key);
  void ForgetGivenUp();

  // Counting and progress.
  int PendingGroupCount();
  int PendingSingleFileCount();
  static bool ReadProgress(HttpDownloader* worker, Progress* progress);
  static bool CopyProgress(const Progress& progress, char* name, uint32_t nameSize, int* total,
                           int* done, float* speed);
  bool FindKeyProgress(const ResourceKey& key, char* name, uint32_t nameSize, int* total,
                       int* done, float* speed);
  bool IsInFlight(const ResourceKey& key);
  // Under the lock.
  bool HasWaitingFile(const ResourceKey& key, uint32_t version);
  void DetachWorker(const HttpDownloader* worker);
  void TakeOffWaitingList(UpdatingFile* file);
  UpdatingFile* InsertWaitingFile(const ResourceKey& key, uint32_t version);

  // First: the parts below share it.
  CriticalSection lock_;
  LogManager* log_ = nullptr;
  PackageManager* packages_ = nullptr;
  std::string productName_;
  StopFlags stops_{lock_};
  UpdateCatalogue catalogue_{lock_};
  UpdateQuery query_{lock_};
  UpdateLists lists_{lock_};
  std::map<ResourceKey, int> restartBudgets_;
  // Made by Init before any thread starts and deleted by Exit after they
  // end, so the list itself needs no lock; each group locks its queue.
  std::vector<std::unique_ptr<UpdateGroup>> updateGroups_;
  std::map<std::string, UpdateGroup*> updateGroupIndex_;
  std::set<ResourceKey> givenUp_;
  // Written once by the scheduler, read by the counting under the lock.
  std::vector<ResourceKey> singleFiles_;
  std::map<UpdateRuleKey, std::unique_ptr<UpdateRule>> rules_;
  ListState singleFileList_;
  ListState ruleList_;
  std::deque<DownloadedPackage> downloaded_;
  // How many packages of each key the list above holds: the in-flight test
  // runs for every key a scheduling pass looks at, while the list can grow
  // long when downloads outpace the adder.
  std::map<ResourceKey, int> downloadedKeys_;
  ResourceKey singleFilesKey_{0, 0};
  ResourceKey updateRulesKey_{0, 0};
  Thread queryThread_;
  Thread initialisationThread_;
  Thread adderThread_;
  // Set by a worker whose task run ended, a new waiting file, a new request
  // and a package the adder is done with; declared before the workers, which
  // hold it until they are gone.
  WakeEvent schedulerWake_;
  // Set when a downloaded package is queued for the adder.
  WakeEvent adderWake_;
  // Newest first.
  std::vector<UpdatingFile*> waitingFiles_;
  std::vector<std::unique_ptr<HttpDownloader>> workers_;
  uint32_t workerCount_ = 5;
  size_t groupCursor_ = 0;
  size_t singleFileCursor_ = 0;
  int pendingGroupCount_ = 0;
  int pendingSingleFileCount_ = 0;
  int idleLevel_ = 0;
  int idleMap_ = 0;
  int state_ = 0;
  volatile LONG schedulerPasses_ = 0;
  WorkerOwner workerOwner_ = WorkerOwner::kNone;
  bool updateMode_ = false;
  bool stopUpdateRequested_ = false;
  bool updateAllRequested_ = false;
  bool allGroupsRequested_ = false;
  bool groupsDone_ = false;
  bool singleFilesDone_ = false;
  bool groupCountStale_ = true;
  bool singleFileCountStale_ = true;
  bool reserveFirstWorker_ = false;
  bool idleUpdateEnabled_ = true;
  bool idleUpdateFinished_ = false;
};

}  // namespace FileSystem
