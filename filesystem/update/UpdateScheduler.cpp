#include "update/UpdateScheduler.h"

#include <windows.h>

#include <new>

#include "DownloadPackageName.h"
#include "FileSystem.h"
#include "base/LogManager.h"
#include "net/HttpDownloader.h"
#include "update/PackageAdder.h"
#include "update/ResourceGroup.h"
#include "update/RestartBudgets.h"
#include "update/StopFlags.h"
#include "update/UpdateCatalogue.h"
#include "update/UpdateEngine.h"
#include "update/UpdateGroup.h"
#include "update/UpdateQuery.h"
#include "update/UpdateRule.h"
#include "SingleFileList.h"
#include "update/WaitingFiles.h"

namespace FileSystem {

UpdateScheduler::UpdateScheduler(const Parts& parts)
    : lock_(parts.lock),
      stops_(parts.stops),
      catalogue_(parts.catalogue),
      query_(parts.query),
      waiting_(parts.waiting),
      adder_(parts.adder),
      budgets_(parts.budgets),
      engine_(parts.engine),
      workers_(parts.workers),
      updateGroups_(parts.updateGroups) {}

UpdateScheduler::~UpdateScheduler() = default;

void UpdateScheduler::Init(LogManager& log, bool reserveFirstWorker, bool idleUpdateEnabled) {
  ScopedLock guard(lock_);
  log_ = &log;
  reserveFirstWorker_ = reserveFirstWorker;
  idleUpdateEnabled_ = idleUpdateEnabled;
  singleFilesKey_ = HashResourceName(SingleFileList::kFileName);
  updateRulesKey_ = HashResourceName(UpdateRuleList::kFileName);
}

void UpdateScheduler::Reset() {
  ScopedLock guard(lock_);
  stopUpdateRequested_ = false;
  workerOwner_ = WorkerOwner::kNone;
  updateAllRequested_ = allGroupsRequested_ = false;
  singleFileList_ = ListState::kNotLoaded;
  ruleList_ = ListState::kNotLoaded;
  groupsDone_ = singleFilesDone_ = false;
  groupCursor_ = singleFileCursor_ = 0;
  pendingGroupCount_ = pendingSingleFileCount_ = 0;
  groupCountStale_ = singleFileCountStale_ = true;
}

void UpdateScheduler::Clear() {
  rules_.clear();
  ScopedLock guard(lock_);
  singleFiles_.clear();
}

// ---------------------------------------------------------------------------
// The loop

// The scheduler owns the workers' tasks while it runs; StopUpdate asks it to
// end them rather than racing it over one worker's thread.
void UpdateScheduler::Run() {
  if (!ClaimWorkers()) return;
  while (!stops_.Stopping()) {
    RunPass();
    if (!stops_.Stopping()) wake_.Wait(kPassWaitMs);
  }
  ScopedLock guard(lock_);
  workerOwner_ = WorkerOwner::kNone;
}

void UpdateScheduler::RunPass() {
  bool stopRequested = false;
  {
    ScopedLock guard(lock_);
    stopRequested = stopUpdateRequested_;
  }
  if (stopRequested) {
    FinishAllWorkers();
    ScopedLock guard(lock_);
    stopUpdateRequested_ = false;
  }
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    if (stops_.Stopping()) break;
    if (worker->HasTask()) Collect(worker.get());
    else Schedule(worker.get());
  }
  InterlockedIncrement(&passes_);
}

uint32_t UpdateScheduler::Passes() const {
  return static_cast<uint32_t>(
      InterlockedCompareExchange(const_cast<volatile LONG*>(&passes_), 0, 0));
}

bool UpdateScheduler::ClaimWorkers() {
  for (;;) {
    {
      ScopedLock guard(lock_);
      if (stops_.Stopping()) return false;
      if (workerOwner_ == WorkerOwner::kNone) {
        workerOwner_ = WorkerOwner::kScheduler;
        return true;
      }
    }
    Sleep(1);
  }
}

void UpdateScheduler::FinishAllWorkers() {
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    worker->Finish();
    waiting_.Detach(worker.get());
  }
}

// The running scheduler ends the tasks itself; without one, the workers are
// ended here. Neither holds the manager's lock while joining.
void UpdateScheduler::StopWorkers() {
  {
    ScopedLock guard(lock_);
    updateAllRequested_ = allGroupsRequested_ = false;
    stopUpdateRequested_ = true;
  }
  for (;;) {
    {
      ScopedLock guard(lock_);
      if (!stopUpdateRequested_) return;
      if (workerOwner_ == WorkerOwner::kNone) {
        workerOwner_ = WorkerOwner::kStopUpdate;
        break;
      }
    }
    Sleep(1);
  }
  FinishAllWorkers();
  ScopedLock guard(lock_);
  stopUpdateRequested_ = false;
  workerOwner_ = WorkerOwner::kNone;
}

bool UpdateScheduler::IsInFlight(const ResourceKey& key) {
  ScopedLock guard(lock_);
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    HttpDownloader::TaskKey task;
    if (worker->GetTaskKey(&task) && task.key1 == key.hash1 && task.key2 == key.hash2)
      return true;
  }
  return adder_.IsQueued(key);
}

// ---------------------------------------------------------------------------
// Collecting

void UpdateScheduler::Collect(HttpDownloader* worker) {
  if (worker->IsBusy()) return;
  HttpDownloader::TaskKey task;
  if (!worker->GetTaskKey(&task)) return;
  const ResourceKey key{task.key1, task.key2};
  const uint32_t version = task.version;
  if (worker->IsFailed()) {
    if (!worker->Restart()) CollectFailed(worker, key, version);
    return;
  }
  DownloadedPackage package;
  if (worker->IsSucceeded()) {
    worker->TakeImage(&package.image, &package.size);
    package.restartBudget = worker->GetRestartBudget();
  }
  if (package.image != nullptr)
    log_->Log(kLogInfo, "add file to downloaded file list, %08x_%08x_%u.pak, size %u.",
              key.hash1, key.hash2, version, package.size);
  // The worker lets go of the key before the adder can have the package:
  // the other way round, the adder could be done with it while the worker
  // still held the key, which would then look in flight although it is here.
  worker->Finish();
  ScopedLock guard(lock_);
  // Whatever their version, no file stays attached to a worker whose task
  // has ended.
  waiting_.Detach(worker);
  if (package.image == nullptr) return;
  package.key = key;
  package.version = version;
  adder_.Queue(package);
  waiting_.MarkDownloadSucceeded(key, version);
}

// The download failed after all its restarts: every file waiting for it
// fails.
void UpdateScheduler::CollectFailed(HttpDownloader* worker, const ResourceKey& key,
                                    uint32_t version) {
  {
    ScopedLock guard(lock_);
    waiting_.Fail(key, version, true);
    waiting_.Detach(worker);
    budgets_.Set(key, 0);
    DownloadLost(key);
  }
  worker->Finish();
}

// Under the lock: the key did not arrive. A list the scheduler fetched for
// itself is asked for again on a later turn instead of being waited for
// forever.
void UpdateScheduler::DownloadEnded(const ResourceKey& key) {
  if (key == singleFilesKey_ && singleFileList_ == ListState::kIssued)
    singleFileList_ = ListState::kNotLoaded;
  if (key == updateRulesKey_ && ruleList_ == ListState::kIssued)
    ruleList_ = ListState::kNotLoaded;
}

// Under the lock: the key will not arrive however often it is asked for
// again now; requests of it give up.
void UpdateScheduler::DownloadLost(const ResourceKey& key) {
  budgets_.GiveUp(key);
  DownloadEnded(key);
}

void UpdateScheduler::PackageAdded() {
  ScopedLock guard(lock_);
  groupCountStale_ = true;
  singleFileCountStale_ = true;
  wake_.Set();
}

void UpdateScheduler::PackageRefused(const ResourceKey& key, int restartBudget) {
  ScopedLock guard(lock_);
  budgets_.Set(key, restartBudget);
  // Each new download of a package that cannot be added spends one of the
  // budget; once it is spent the requests for it give up, as they do after
  // a download that keeps failing.
  if (restartBudget <= 0) DownloadLost(key);
  else DownloadEnded(key);
  wake_.Set();
}

// ---------------------------------------------------------------------------
// Scheduling

// The passes in their order; the first that ends the turn ends it.
void UpdateScheduler::Schedule(HttpDownloader* worker) {
  if (ScheduleWaitingFile(worker)) return;
  if (reserveFirstWorker_ && IsWorkerAt(worker, 0)) return;
  if (stops_.Stopping()) return;
  if (ScheduleUpdateGroups(worker)) return;
  // The second worker takes no idle-rule work.
  if (IsWorkerAt(worker, 1) && !AnyUpdateRequest()) return;
  if (ScheduleSingleFileList(worker)) return;
  if (ScheduleResourceGroups(worker)) return;
  if (ScheduleSingleFiles(worker)) return;
  ScheduleIdleRule(worker);
}

bool UpdateScheduler::IsWorkerAt(const HttpDownloader* worker, size_t position) const {
  return position < workers_.size() && workers_[position].get() == worker;
}

bool UpdateScheduler::AnyUpdateRequest() {
  ScopedLock guard(lock_);
  return updateAllRequested_ || allGroupsRequested_;
}

// Pass 1: the files handed out while their content is still coming, newest
// first.
bool UpdateScheduler::ScheduleWaitingFile(HttpDownloader* worker) {
  ResourceKey key{0, 0};
  uint32_t version = 0;
  bool found = false;
  {
    ScopedLock guard(lock_);
    for (const WaitingFiles::Wanted& wanted : waiting_.WantedNewestFirst()) {
      if (IsInFlight(wanted.first)) continue;
      key = wanted.first;
      version = wanted.second;
      found = true;
      break;
    }
  }
  if (!found) return false;
  return StartDownload(worker, key, version, FullPackageName(key, version));
}

// Pass 3: the groups are asked in list order; no manager lock is held while
// a group holds its own.
bool UpdateScheduler::ScheduleUpdateGroups(HttpDownloader* worker) {
  for (const std::unique_ptr<UpdateGroup>& group : updateGroups_) {
    if (stops_.Stopping()) return false;
    Item item;
    if (!group->NextTask(&item.key.hash1, &item.key.hash2, &item.isDelta, &item.localVersion))
      continue;
    if (StartItem(worker, item, true)) return true;
  }
  return false;
}

bool UpdateScheduler::StartItem(HttpDownloader* worker, const Item& item,
                                bool useRestartBudget) {
  uint32_t listed = 0;
  if (!catalogue_.GetListedVersion(item.key, &listed)) return false;
  std::string packageName;
  {
    ScopedLock guard(lock_);
    packageName = item.isDelta
                      ? DeltaPackageName(item.key,
                                         GetDeltaFromVersion(item.localVersion, listed,
                                                             catalogue_.GetDeltaSettings()),
                                         listed)
                      : FullPackageName(item.key, listed);
    int budget = 0;
    if (useRestartBudget && budgets_.Find(item.key, &budget)) worker->SetRestartBudget(budget);
  }
  return StartDownload(worker, item.key, listed, packageName);
}

bool UpdateScheduler::StartUnlessGivenUp(HttpDownloader* worker, const Item& item) {
  if (budgets_.HasGivenUp(item.key)) return false;
  budgets_.Touch(item.key);
  return StartItem(worker, item, true);
}

bool UpdateScheduler::StartDownload(HttpDownloader* worker, const ResourceKey& key,
                                    uint32_t version, const std::string& packageName) {
  const std::vector<std::string> urls = query_.NextUrlOrder();
  std::vector<const char*> order;
  for (const std::string& url : urls) order.push_back(url.c_str());
  if (!worker->Begin(key.hash1, key.hash2, version, order.data(), order.size(),
                     packageName.c_str()))
    return false;
  ScopedLock guard(lock_);
  budgets_.Started(key);
  waiting_.Attach(key, worker);
  return true;
}

// Pass 5: "singlefiles.pcfg" is fetched and loaded once an update of
// everything is asked for.
bool UpdateScheduler::ScheduleSingleFileList(HttpDownloader* worker) {
  {
    ScopedLock guard(lock_);
    if (!updateAllRequested_) return false;
  }
  return ScheduleListFile(worker, SingleFileList::kFileName, singleFilesKey_, &singleFileList_,
                          &UpdateScheduler::LoadSingleFiles);
}

// A list the scheduler fetches for itself: loaded once its file is ready,
// otherwise its file is fetched, once at a time. A failed load is final, and
// logged, as the list then counts as empty; true when a download started
// and so ends the turn.
bool UpdateScheduler::ScheduleListFile(HttpDownloader* worker, const char* name,
                                       const ResourceKey& key, ListState* list,
                                       bool (UpdateScheduler::*load)()) {
  {
    ScopedLock guard(lock_);
    if (*list == ListState::kLoaded || *list == ListState::kFailed) return false;
  }
  const UpdateEngine::KeyState state = engine_.StateOf(key);
  if (state == UpdateEngine::KeyState::kInFlight) return false;
  if (state == UpdateEngine::KeyState::kReady) {
    const bool loaded = (this->*load)();
    if (!loaded && !stops_.Stopping())
      log_->Log(kLogError, "Load update list file \"%s\" failed.", name);
    ScopedLock guard(lock_);
    *list = loaded ? ListState::kLoaded : ListState::kFailed;
    return false;
  }
  {
    ScopedLock guard(lock_);
    if (*list == ListState::kIssued) return false;
  }
  if (!StartItem(worker, Item{key, false, 0}, false)) return false;
  ScopedLock guard(lock_);
  *list = ListState::kIssued;
  return true;
}

// Pass 6: the resource groups in file order. The cursor moves over the
// leading run of ready groups, so a finished prefix is not asked again. A
// group whose next item was given up stays not ready and is passed over.
bool UpdateScheduler::ScheduleResourceGroups(HttpDownloader* worker) {
  std::vector<ResourceGroup*> groups;
  size_t cursor = 0;
  {
    ScopedLock guard(lock_);
    // Before the groups are loaded there is nothing to count as done.
    if (!(updateAllRequested_ || allGroupsRequested_) || groupsDone_ ||
        catalogue_.GroupMapState() != UpdateCatalogue::MapState::kLoaded)
      return false;
    groups = catalogue_.ResourceGroups();
    cursor = groupCursor_;
  }
  bool leading = true;
  bool started = false;
  for (size_t i = cursor; i < groups.size() && !started; ++i) {
    if (stops_.Stopping()) return true;
    ResourceGroup* group = groups[i];
    Item item;
    if (!group->IsReady() &&
        group->NextItem(&item.key.hash1, &item.key.hash2, &item.isDelta, &item.localVersion))
      started = StartUnlessGivenUp(worker, item);
    if (leading && !started && group->IsReady()) ++cursor;
    else leading = false;
  }
  ScopedLock guard(lock_);
  groupCursor_ = cursor;
  if (cursor >= groups.size()) groupsDone_ = true;
  return started;
}

// Pass 7: the pairs of the single-file list, once it is loaded (or failed
// to load, which leaves it empty).
bool UpdateScheduler::ScheduleSingleFiles(HttpDownloader* worker) {
  std::vector<ResourceKey> files;
  size_t cursor = 0;
  {
    ScopedLock guard(lock_);
    if (!updateAllRequested_ || singleFilesDone_) return false;
    if (singleFileList_ == ListState::kIssued) return true;
    if (singleFileList_ == ListState::kNotLoaded) return false;
    files = singleFiles_;
    cursor = singleFileCursor_;
  }
  bool leading = true;
  bool started = false;
  for (size_t i = cursor; i < files.size() && !started; ++i) {
    if (stops_.Stopping()) return true;
    const UpdateEngine::KeyState state = engine_.StateOf(files[i]);
    const bool ready = state == UpdateEngine::KeyState::kReady;
    if (state == UpdateEngine::KeyState::kMissing)
      started = StartUnlessGivenUp(worker, Item{files[i], false, 0});
    if (leading && ready) ++cursor;
    else leading = false;
  }
  ScopedLock guard(lock_);
  singleFileCursor_ = cursor;
  if (cursor >= files.size()) singleFilesDone_ = true;
  return started;
}

// Pass 8, first half: "updaterules.pcfg" is fetched and loaded once, while
// idle updating is enabled.
bool UpdateScheduler::ScheduleUpdateRuleList(HttpDownloader* worker) {
  {
    ScopedLock guard(lock_);
    if (!idleUpdateEnabled_) return false;
  }
  return ScheduleListFile(worker, UpdateRuleList::kFileName, updateRulesKey_, &ruleList_,
                          &UpdateScheduler::LoadUpdateRules);
}

// Pass 8: the items of the rule the host selected, after everything asked
// for; the rule, or the lack of one, decides when the idle update is done.
bool UpdateScheduler::ScheduleIdleRule(HttpDownloader* worker) {
  if (ScheduleUpdateRuleList(worker)) return true;
  UpdateRule* rule = nullptr;
  {
    ScopedLock guard(lock_);
    if (ruleList_ != ListState::kLoaded || !idleUpdateEnabled_ || idleUpdateFinished_)
      return true;
    const auto found = rules_.find(UpdateRuleKey{idleLevel_, idleMap_});
    if (found != rules_.end()) rule = found->second.get();
  }
  if (rule != nullptr) {
    if (stops_.Stopping()) return true;
    Item item;
    if (rule->NextItem(&item.key.hash1, &item.key.hash2, &item.isDelta, &item.localVersion)) {
      StartUnlessGivenUp(worker, item);
      return true;
    }
    if (!rule->IsFinished()) return true;
  }
  ScopedLock guard(lock_);
  idleUpdateFinished_ = true;
  return true;
}

bool UpdateScheduler::LoadSingleFiles() {
  if (stops_.Stopping()) return false;
  std::vector<char> bytes;
  if (!engine_.ReadLocalConfig(SingleFileList::kFileName, &bytes)) return false;
  SingleFileList list;
  if (!list.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1)) return false;
  std::vector<ResourceKey> files;
  for (const ResourceKey& key : list.files) {
    if (stops_.Stopping()) return false;
    files.push_back(catalogue_.LinkTargetOf(key));
  }
  ScopedLock guard(lock_);
  singleFiles_.swap(files);
  singleFileCountStale_ = true;
  return true;
}

// The rule list: record i is rule i, kept under (level, map); a later
// record with the same pair replaces an earlier one.
bool UpdateScheduler::LoadUpdateRules() {
  if (stops_.Stopping()) return false;
  std::vector<char> bytes;
  if (!engine_.ReadLocalConfig(UpdateRuleList::kFileName, &bytes)) return false;
  UpdateRuleList list;
  if (!list.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1)) return false;
  rules_.clear();
  for (size_t i = 0; i < list.rules.size(); ++i) {
    if (stops_.Stopping()) return false;
    std::unique_ptr<UpdateRule> rule(
        new (std::nothrow) UpdateRule(*log_, &engine_, static_cast<int>(i)));
    if (rule == nullptr) return false;
    rules_[UpdateRuleList::KeyOf(list.rules[i])] = std::move(rule);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Requests and counts

void UpdateScheduler::RequestUpdateAll() {
  ScopedLock guard(lock_);
  updateAllRequested_ = true;
  ForgetGivenUp();
}

void UpdateScheduler::RequestAllResourceGroups() {
  ScopedLock guard(lock_);
  allGroupsRequested_ = true;
  ForgetGivenUp();
}

// Under the lock: a host that asks for everything again (after the network
// came back, say) has every package tried anew, with its whole budget.
void UpdateScheduler::ForgetGivenUp() {
  budgets_.Forget();
  wake_.Set();
}

void UpdateScheduler::CancelRequests() {
  ScopedLock guard(lock_);
  updateAllRequested_ = allGroupsRequested_ = false;
}

bool UpdateScheduler::IsAllResourceGroupsReady() {
  ScopedLock guard(lock_);
  return groupsDone_;
}

bool UpdateScheduler::IsAllReady() {
  ScopedLock guard(lock_);
  return groupsDone_ && singleFilesDone_;
}

int UpdateScheduler::GetUpdateTaskCount() {
  bool updateAll = false;
  bool allGroups = false;
  {
    ScopedLock guard(lock_);
    updateAll = updateAllRequested_;
    allGroups = allGroupsRequested_;
  }
  if (updateAll) return PendingGroupCount() + PendingSingleFileCount();
  int count = 0;
  for (const std::unique_ptr<UpdateGroup>& group : updateGroups_) count += group->GetTaskCount();
  count += static_cast<int>(waiting_.Count());
  if (allGroups) count += PendingGroupCount();
  return count;
}

// The groups not ready yet, recounted only after a package was added.
int UpdateScheduler::PendingGroupCount() {
  std::vector<ResourceGroup*> groups;
  {
    ScopedLock guard(lock_);
    if (catalogue_.GroupMapState() != UpdateCatalogue::MapState::kLoaded) return 1;
    if (groupsDone_) return 0;
    if (!groupCountStale_) return pendingGroupCount_;
    groupCountStale_ = false;
    groups = catalogue_.ResourceGroups();
  }
  int count = 0;
  for (ResourceGroup* group : groups)
    if (!group->IsReady()) ++count;
  ScopedLock guard(lock_);
  pendingGroupCount_ = count;
  return count;
}

// The single files not ready yet, "singlefiles.pcfg" itself included.
int UpdateScheduler::PendingSingleFileCount() {
  std::vector<ResourceKey> files;
  {
    ScopedLock guard(lock_);
    if (singleFilesDone_) return 0;
    if (singleFileList_ == ListState::kLoaded) {
      if (!singleFileCountStale_) return pendingSingleFileCount_;
      singleFileCountStale_ = false;
      files = singleFiles_;
    }
  }
  const int listPending = engine_.IsKeyReady(singleFilesKey_) ? 0 : 1;
  bool loaded = false;
  {
    ScopedLock guard(lock_);
    loaded = singleFileList_ == ListState::kLoaded;
  }
  if (!loaded) return listPending;
  int count = listPending;
  for (const ResourceKey& key : files)
    if (!engine_.IsKeyReady(key)) ++count;
  ScopedLock guard(lock_);
  pendingSingleFileCount_ = count;
  return count;
}

// ---------------------------------------------------------------------------
// Idle update

void UpdateScheduler::EnableIdleUpdate(bool enable) {
  ScopedLock guard(lock_);
  idleUpdateEnabled_ = enable;
}

bool UpdateScheduler::IsIdleUpdateEnabled() {
  ScopedLock guard(lock_);
  return idleUpdateEnabled_;
}

bool UpdateScheduler::IsIdleUpdateFinished() {
  ScopedLock guard(lock_);
  return idleUpdateFinished_;
}

void UpdateScheduler::SetIdleUpdateInfo(int level, int map) {
  ScopedLock guard(lock_);
  if (level == idleLevel_ && map == idleMap_) return;
  idleLevel_ = level;
  idleMap_ = map;
  idleUpdateFinished_ = false;
}

}  // namespace FileSystem
