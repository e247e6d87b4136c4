// The scheduler on the query thread: passes over the download workers that
// collect finished downloads and hand each idle worker one download package,
// what it fetches for itself (the single-file list and the idle rules), the
// requests to update everything, and the counts of what is still to do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"
#include "UpdateRuleList.h"
#include "base/WakeEvent.h"

namespace FileSystem {

class HttpDownloader;
class LogManager;
class PackageAdder;
class RestartBudgets;
class StopFlags;
class UpdateCatalogue;
class UpdateEngine;
class UpdateGroup;
class UpdateQuery;
class UpdateRule;
class WaitingFiles;

class UpdateScheduler {
 public:
  using Workers = std::vector<std::unique_ptr<HttpDownloader>>;
  using UpdateGroups = std::vector<std::unique_ptr<UpdateGroup>>;

  // What the scheduler works on; the manager owns all of it. Everything
  // here is guarded by the manager's lock.
  struct Parts {
    CriticalSection& lock;
    StopFlags& stops;
    UpdateCatalogue& catalogue;
    UpdateQuery& query;
    WaitingFiles& waiting;
    PackageAdder& adder;
    RestartBudgets& budgets;
    UpdateEngine& engine;
    const Workers& workers;
    const UpdateGroups& updateGroups;
  };

  explicit UpdateScheduler(const Parts& parts);
  ~UpdateScheduler();
  UpdateScheduler(const UpdateScheduler&) = delete;
  UpdateScheduler& operator=(const UpdateScheduler&) = delete;

  void Init(LogManager& log, bool reserveFirstWorker, bool idleUpdateEnabled);
  // Back to nothing requested, nothing done, before a new start.
  void Reset();
  // Forgets the lists it loaded; no thread runs.
  void Clear();

  // Set by a worker whose task run ended, a new waiting file, a new request
  // and a package the adder is done with.
  WakeEvent& Wakeup() { return wake_; }
  void Wake() { wake_.Set(); }

  // The loop of the query thread once the product query succeeded.
  void Run();
  uint32_t Passes() const;
  // In flight: a worker fetches the key (any version), or its package waits
  // for the adder.
  bool IsInFlight(const ResourceKey& key);
  // Ends every worker's task, racing no running scheduler for them.
  void StopWorkers();

  void RequestUpdateAll();
  void RequestAllResourceGroups();
  void CancelRequests();
  bool IsAllResourceGroupsReady();
  bool IsAllReady();
  int GetUpdateTaskCount();

  void EnableIdleUpdate(bool enable);
  bool IsIdleUpdateEnabled();
  bool IsIdleUpdateFinished();
  void SetIdleUpdateInfo(int level, int map);

  // What came of a package the adder handled; under the lock.
  void PackageAdded();
  void PackageRefused(const ResourceKey& key, int restartBudget);

 private:
  // The longest wait between two passes when nothing wakes the scheduler:
  // what it cannot be told of is seen this late.
  static constexpr DWORD kPassWaitMs = 1;

  // Who may start and end the workers' tasks at the moment.
  enum class WorkerOwner { kNone, kScheduler, kStopUpdate };
  // A list file the scheduler fetches and loads for itself; a failed load
  // is not tried again.
  enum class ListState { kNotLoaded, kIssued, kLoaded, kFailed };

  struct Item {
    ResourceKey key{0, 0};
    bool isDelta = false;
    uint32_t localVersion = 0;
  };

  bool ClaimWorkers();
  void FinishAllWorkers();
  void RunPass();

  // Collecting and scheduling. Each pass returns true when it ends the
  // worker's turn.
  void Collect(HttpDownloader* worker);
  void CollectFailed(HttpDownloader* worker, const ResourceKey& key, uint32_t version);
  void Schedule(HttpDownloader* worker);
  bool ScheduleWaitingFile(HttpDownloader* worker);
  bool ScheduleUpdateGroups(HttpDownloader* worker);
  bool ScheduleSingleFileList(HttpDownloader* worker);
  bool ScheduleResourceGroups(HttpDownloader* worker);
  bool ScheduleSingleFiles(HttpDownloader* worker);
  bool ScheduleUpdateRuleList(HttpDownloader* worker);
  bool ScheduleListFile(HttpDownloader* worker, const char* name, const ResourceKey& key,
                        ListState* list, bool (UpdateScheduler::*load)());
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

  int PendingGroupCount();
  int PendingSingleFileCount();

  CriticalSection& lock_;
  StopFlags& stops_;
  UpdateCatalogue& catalogue_;
  UpdateQuery& query_;
  WaitingFiles& waiting_;
  PackageAdder& adder_;
  RestartBudgets& budgets_;
  UpdateEngine& engine_;
  const Workers& workers_;
  // Made by Init before any thread starts and deleted by Exit after they
  // end, so the list itself needs no lock; each group locks its queue.
  const UpdateGroups& updateGroups_;
  LogManager* log_ = nullptr;
  WakeEvent wake_;
  ResourceKey singleFilesKey_{0, 0};
  ResourceKey updateRulesKey_{0, 0};
  // Written once by the scheduler, read by the counting under the lock.
  std::vector<ResourceKey> singleFiles_;
  std::map<UpdateRuleKey, std::unique_ptr<UpdateRule>> rules_;
  ListState singleFileList_ = ListState::kNotLoaded;
  ListState ruleList_ = ListState::kNotLoaded;
  size_t groupCursor_ = 0;
  size_t singleFileCursor_ = 0;
  int pendingGroupCount_ = 0;
  int pendingSingleFileCount_ = 0;
  int idleLevel_ = 0;
  int idleMap_ = 0;
  volatile LONG passes_ = 0;
  WorkerOwner workerOwner_ = WorkerOwner::kNone;
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
