#include "update/UpdateManager.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "DownloadPackageName.h"
#include "FileSystem.h"
#include "net/HttpDownloader.h"
#include "base/LogManager.h"
#include "store/OpenByMode.h"
#include "store/PackageManager.h"
#include "update/ResourceGroup.h"
#include "ResourceGroupConfig.h"
#include "SingleFileList.h"
#include "update/UpdateGroup.h"
#include "update/UpdateRule.h"
#include "UpdateRuleList.h"
#include "update/UpdatingFile.h"
#include "VersionConfig.h"

namespace FileSystem {

namespace {

CriticalSection g_timingLock;
UpdateManager::QueryTiming g_timing;

using MapState = UpdateCatalogue::MapState;
using List = UpdateLists::List;

}  // namespace

void UpdateManager::SetQueryTiming(const QueryTiming& timing) {
  ScopedLock guard(g_timingLock);
  g_timing = timing;
}

UpdateManager::QueryTiming UpdateManager::GetQueryTiming() {
  ScopedLock guard(g_timingLock);
  return g_timing;
}

UpdateManager::UpdateManager() = default;

UpdateManager::~UpdateManager() { Exit(); }

// ---------------------------------------------------------------------------
// Start and stop

bool UpdateManager::Init(LogManager& log, PackageManager& packages, bool updateMode,
                         const char* productName,
                         const UpdateServerNode* servers, uint32_t workerCount,
                         const UpdateGroupNode* groups, uint32_t downloadBufferStep,
                         bool reserveFirstWorker, bool idleUpdateEnabled, bool skipHeadRequest) {
  Exit();
  {
    ScopedLock guard(lock_);
    log_ = &log;
    packages_ = &packages;
    reserveFirstWorker_ = reserveFirstWorker;
    updateMode_ = updateMode;
    idleUpdateEnabled_ = idleUpdateEnabled;
    productName_ = productName != nullptr ? productName : "";
  }
  if (!query_.CreateServers(log, servers, productName_.c_str())) return false;
  if (!CreateWorkers(workerCount, downloadBufferStep, skipHeadRequest)) return false;
  if (!CreateUpdateGroups(groups)) return false;
  singleFilesKey_ = HashResourceName("singlefiles.pcfg");
  updateRulesKey_ = HashResourceName("updaterules.pcfg");
  ResetFlags();
  if (!updateMode) return true;
  SetState(kStateSyncUpdateInfomation);
  if (!adderThread_.Start(&UpdateManager::AdderMain, this)) return false;
  return queryThread_.Start(&UpdateManager::QueryMain, this);
}

bool UpdateManager::CreateWorkers(uint32_t count, uint32_t downloadBufferStep,
                                  bool skipHeadRequest) {
  if (count == 0) count = 1;
  workerCount_ = count;
  for (uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<HttpDownloader> worker(
        new (std::nothrow) HttpDownloader(*log_, downloadBufferStep, skipHeadRequest));
    if (worker == nullptr) return false;
    worker->SetFinishedEvent(&schedulerWake_);
    workers_.push_back(std::move(worker));
  }
  return true;
}

// Every queue of the list, under its own name; a missing or repeated name
// fails the start.
bool UpdateManager::CreateUpdateGroups(const UpdateGroupNode* groups) {
  for (const UpdateGroupNode* node = groups; node != nullptr; node = node->next) {
    if (node->name == nullptr) return false;
    const std::string name(node->name);
    if (updateGroupIndex_.count(name) != 0) return false;
    std::unique_ptr<UpdateGroup> group(
        new (std::nothrow) UpdateGroup(this, name, node->fifo != 0));
    if (group == nullptr) return false;
    updateGroupIndex_[name] = group.get();
    updateGroups_.push_back(std::move(group));
  }
  return true;
}

UpdateGroup* UpdateManager::FindUpdateGroup(const char* name) {
  if (name == nullptr) return nullptr;
  const auto found = updateGroupIndex_.find(name);
  return found != updateGroupIndex_.end() ? found->second : nullptr;
}

void UpdateManager::ClearUpdateGroups() {
  for (const std::unique_ptr<UpdateGroup>& group : updateGroups_) group->Clear();
}

void UpdateManager::ResetFlags() {
  ScopedLock guard(lock_);
  restartBudgets_.clear();
  query_.Reset();
  catalogue_.ResetMapStates();
  stops_.Reset();
  stopUpdateRequested_ = false;
  workerOwner_ = WorkerOwner::kNone;
  updateAllRequested_ = allGroupsRequested_ = false;
  singleFileList_ = ListState();
  ruleList_ = ListState();
  groupsDone_ = singleFilesDone_ = false;
  groupCursor_ = singleFileCursor_ = 0;
  pendingGroupCount_ = pendingSingleFileCount_ = 0;
  groupCountStale_ = singleFileCountStale_ = true;
  state_ = kStateDisabled;
}

void UpdateManager::Exit() {
  stops_.StopEverything();
  initialisationThread_.Join();
  queryThread_.Join();
  // The query thread may have started the initialisation thread after the
  // first join.
  initialisationThread_.Join();
  adderThread_.Join();

  std::vector<UpdatingFile*> orphans;
  {
    ScopedLock guard(lock_);
    orphans.swap(waitingFiles_);
    for (UpdatingFile* file : orphans) file->Orphan();
  }
  // Worker destructors stop and join their threads: no lock held.
  workers_.clear();
  query_.Clear();
  // No thread runs any more: the queues can go.
  updateGroupIndex_.clear();
  updateGroups_.clear();
  catalogue_.Clear();
  lists_.Clear();
  rules_.clear();
  ScopedLock guard(lock_);
  singleFiles_.clear();
  for (DownloadedPackage& package : downloaded_) delete[] package.image;
  downloaded_.clear();
  downloadedKeys_.clear();
  givenUp_.clear();
}

// ---------------------------------------------------------------------------
// State

bool UpdateManager::QueryStopTest(void* self) {
  return static_cast<UpdateManager*>(self)->stops_.Stopping();
}

void UpdateManager::SetState(int state) {
  ScopedLock guard(lock_);
  state_ = state;
}

int UpdateManager::GetState() {
  ScopedLock guard(lock_);
  return state_;
}

bool UpdateManager::IsReadyForUpdate() { return catalogue_.GroupMapState() == MapState::kLoaded; }

// ---------------------------------------------------------------------------
// Query thread

void UpdateManager::QueryMain(void* self) { static_cast<UpdateManager*>(self)->RunQuery(); }

void UpdateManager::RunQuery() {
  if (stops_.Stopping()) return;
  LogManager& log = *log_;
  log.Log(kLogInfo, "Begin Query product information.");
  const QueryTiming timing = GetQueryTiming();
  if (!query_.Run(log, timing.retryCount, timing.retryWaitMs, &UpdateManager::QueryStopTest,
                  this))
    return;
  log.Log(kLogInfo, "Query product information success.");
  for (const BaseUrl& url : query_.BaseUrls())
    log.Log(kLogInfo, "Base url \"%s, %s\".", url.url.c_str(), url.isMirror ? "mirror" : "prep");
  StartInitialisation();
  RunScheduler();
}

void UpdateManager::StartInitialisation() {
  stops_.StopInitialisation();
  initialisationThread_.Join();
  {
    ScopedLock guard(lock_);
    if (!stops_.ResumeInitialisation()) return;
    catalogue_.ResetMapStates();
  }
  initialisationThread_.Start(&UpdateManager::InitialisationMain, this);
}

// The scheduler owns the workers' tasks while it runs; StopUpdate asks it to
// end them rather than racing it over one worker's thread.
void UpdateManager::RunScheduler() {
  if (!ClaimWorkersForScheduler()) return;
  while (!stops_.Stopping()) {
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
    InterlockedIncrement(&schedulerPasses_);
    if (!stops_.Stopping()) schedulerWake_.Wait(kPassWaitMs);
  }
  ScopedLock guard(lock_);
  workerOwner_ = WorkerOwner::kNone;
}

uint32_t UpdateManager::SchedulerPasses() const {
  return static_cast<uint32_t>(InterlockedCompareExchange(
      const_cast<volatile LONG*>(&schedulerPasses_), 0, 0));
}

bool UpdateManager::AnyThreadStarted() const {
  return queryThread_.IsStarted() || initialisationThread_.IsStarted() ||
         adderThread_.IsStarted();
}

bool UpdateManager::ClaimWorkersForScheduler() {
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

void UpdateManager::FinishAllWorkers() {
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    worker->Finish();
    ScopedLock guard(lock_);
    DetachWorker(worker.get());
  }
}

// ---------------------------------------------------------------------------
// Initialisation thread

void UpdateManager::InitialisationMain(void* self) {
  static_cast<UpdateManager*>(self)->RunInitialisation();
}

void UpdateManager::RunInitialisation() {
  SetState(kStateUpdatingVersionFile);
  LogManager& log = *log_;
  if (!LoadVersionMap()) {
    // Logged before the state changes, so that whoever sees the error state
    // finds its reason in the log.
    if (catalogue_.VersionMapState() == MapState::kFailed) {
      log.Log(kLogError, "Download file version map failed.");
      SetState(kStateError);
    }
    return;
  }
  log.Log(kLogInfo, "Download file version map success.");
  packages_->RestoreUnpackagedFiles();
  SetState(kStateUpdatingResourceGroupConfig);
  if (!LoadResourceGroupMap()) {
    if (catalogue_.GroupMapState() == MapState::kFailed) {
      log.Log(kLogError, "Load resource group map failed.");
      SetState(kStateError);
    }
    return;
  }
  log.Log(kLogInfo, "Load resource group map success.");
  log.Log(kLogInfo, "Init Update Manager finished, now can open online files.");
  SetState(kStateReadyForUpdate);
}

bool UpdateManager::LoadResourceGroupMap() {
  {
    ScopedLock guard(lock_);
    if (stops_.InitialisationStopping()) return false;
    catalogue_.BeginGroupMapLoad();
  }
  catalogue_.DeleteResourceGroups();
  IReadFile* file = OpenFile(ResourceGroupConfig::kFileName, kOpenPackagedThenLoose, true, false);
  if (file == nullptr) {
    catalogue_.EndGroupMapLoad(MapState::kFailed);
    return false;
  }
  if (!WaitWhileLoading(file)) {
    file->Release();
    catalogue_.EndGroupMapLoad(MapState::kNotLoaded);
    return false;
  }
  std::vector<char> text;
  const bool read = file->IsLoaded() && ReadWholeFile(file, &text);
  file->Release();
  if (!read || !BuildResourceGroups(text)) {
    if (stops_.InitialisationStopping()) {
      catalogue_.EndGroupMapLoad(MapState::kNotLoaded);
      return false;
    }
    catalogue_.DeleteResourceGroups();
    catalogue_.EndGroupMapLoad(MapState::kFailed);
    return false;
  }
  catalogue_.EndGroupMapLoad(MapState::kLoaded);
  return true;
}

// The whole file and a NUL after it; an empty file is refused.
bool UpdateManager::ReadWholeFile(IReadFile* file, std::vector<char>* text) {
  const int32_t size = file->GetSize();
  if (size <= 0) return false;
  text->assign(static_cast<size_t>(size) + 1, '\0');
  return file->Seek(0, 0) && file->Read(text->data(), static_cast<uint32_t>(size));
}

bool UpdateManager::BuildResourceGroups(const std::vector<char>& text) {
  ResourceGroupConfig config;
  config.settings = catalogue_.GetDeltaSettings();
  // A name met twice is a failure, as is any parse error.
  if (config.Parse(text.data(), text.size() - 1) != ResourceGroupConfigResult::kOk) return false;
  catalogue_.SetDeltaSettings(config.settings);
  for (const ResourceGroupInfo& info : config.groups) {
    if (stops_.InitialisationStopping()) return false;
    std::unique_ptr<ResourceGroup> group(
        new (std::nothrow) ResourceGroup(info.name, info.updateFileCount, info.wholeUpdate,
                                         log_, packages_, this));
    if (group == nullptr) return false;
    if (!catalogue_.AddResourceGroup(HashResourceName(info.name.c_str()), std::move(group)))
      return false;
  }
  return true;
}

bool UpdateManager::LoadVersionMap() {
  const ResourceKey key = HashResourceName(VersionConfig::kFileName);
  uint32_t serverVersion = 0;
  {
    ScopedLock guard(lock_);
    if (stops_.InitialisationStopping()) return false;
    serverVersion = query_.ServerVersion();
    catalogue_.BeginVersionMapLoad(key, serverVersion);
  }
  IReadFile* file = OpenVersionFile(key, serverVersion);
  if (file == nullptr) {
    catalogue_.EndVersionMapLoad(MapState::kFailed);
    return false;
  }
  if (!WaitWhileLoading(file)) {
    file->Release();
    catalogue_.EndVersionMapLoad(MapState::kNotLoaded);
    return false;
  }
  const bool read = file->IsLoaded() && ReadVersionMap(file);
  file->Release();
  catalogue_.EndVersionMapLoad(read ? MapState::kLoaded : MapState::kFailed);
  return read;
}

IReadFile* UpdateManager::OpenVersionFile(const ResourceKey& key, uint32_t serverVersion) {
  if (packages_->IsIndexedAt(key, serverVersion))
    return packages_->OpenPackagedFile(key, VersionConfig::kFileName, false);
  return AddWaitingFile(key, serverVersion);
}

// Every wait on a loading file also watches the stop flags, so that Exit
// never waits for a download that will not come.
bool UpdateManager::WaitWhileLoading(IReadFile* file) {
  while (file->IsLoading()) {
    if (stops_.InitialisationStopping()) return false;
    Sleep(1);
  }
  return !stops_.InitialisationStopping();
}

bool UpdateManager::ReadVersionMap(IReadFile* file) {
  const int32_t size = file->GetSize();
  if (size < 0) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0) {
    if (!file->Seek(0, 0) || !file->Read(reinterpret_cast<char*>(bytes.data()),
                                         static_cast<uint32_t>(size)))
      return false;
  }
  VersionConfig config;
  if (!config.Parse(bytes.data(), bytes.size())) return false;
  catalogue_.AddVersionConfig(config);
  return true;
}

// ---------------------------------------------------------------------------
// Version and link lookups

bool UpdateManager::GetListedVersion(const ResourceKey& key, uint32_t* version) {
  return catalogue_.GetListedVersion(key, version);
}

bool UpdateManager::FindLinkTarget(const ResourceKey& key, ResourceKey* target,
                                   uint32_t* version) {
  return catalogue_.FindLinkTarget(key, target, version);
}

ResourceKey UpdateManager::LinkTargetOf(const ResourceKey& key) {
  return catalogue_.LinkTargetOf(key);
}

UpdateManager::KeyState UpdateManager::StateOf(const ResourceKey& key) {
  if (IsKeyInFlight(key)) return KeyState::kInFlight;
  return IsKeyReady(key) ? KeyState::kReady : KeyState::kMissing;
}

UpdateManager::Listing UpdateManager::CheckListing(const ResourceKey& key, ResourceKey* target) {
  *target = key;
  uint32_t listed = 0;
  if (!FindLinkTarget(key, target, &listed) && !GetListedVersion(key, &listed))
    return Listing::kUnknown;
  return packages_->IsIndexedAt(*target, listed) ? Listing::kCurrent : Listing::kOutdated;
}

bool UpdateManager::IsKeyReady(const ResourceKey& key) {
  ResourceKey target;
  return CheckListing(key, &target) == Listing::kCurrent;
}

IReadFile* UpdateManager::OpenFile(const char* name, int mode, bool download, bool async) {
  ResourceKey target;
  switch (CheckListing(HashResourceName(name), &target)) {
    case Listing::kUnknown:
      log_->Log(kLogError, "Get file version failed when open file \"%s\".", name);
      return nullptr;
    case Listing::kCurrent:
      return OpenByMode(*packages_, target, name, mode, async);
    case Listing::kOutdated:
      break;
  }
  // Not here at the listed version: only a download can give it.
  if (!download) return nullptr;
  return CreateUpdatingFile(target);
}

// ---------------------------------------------------------------------------
// Waiting files

UpdatingFile* UpdateManager::CreateUpdatingFile(const ResourceKey& key) {
  ScopedLock guard(lock_);
  uint32_t version = 0;
  if (!updateMode_ || !catalogue_.GetListedVersion(key, &version)) return nullptr;
  return InsertWaitingFile(key, version);
}

UpdatingFile* UpdateManager::AddWaitingFile(const ResourceKey& key, uint32_t version) {
  ScopedLock guard(lock_);
  return InsertWaitingFile(key, version);
}

UpdatingFile* UpdateManager::InsertWaitingFile(const ResourceKey& key, uint32_t version) {
  UpdatingFile* file = new (std::nothrow) UpdatingFile(key, version, this);
  if (file == nullptr) return nullptr;
  waitingFiles_.insert(waitingFiles_.begin(), file);
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    HttpDownloader::TaskKey task;
    if (worker->GetTaskKey(&task) && task.key1 == key.hash1 && task.key2 == key.hash2 &&
        task.version == version) {
      file->Attach(worker.get());
      break;
    }
  }
  schedulerWake_.Set();
  return file;
}

void UpdateManager::RemoveWaitingFile(UpdatingFile* file) {
  ScopedLock guard(lock_);
  const auto found = std::find(waitingFiles_.begin(), waitingFiles_.end(), file);
  if (found != waitingFiles_.end()) waitingFiles_.erase(found);
}

void UpdateManager::TakeOffWaitingList(UpdatingFile* file) {
  const auto found = std::find(waitingFiles_.begin(), waitingFiles_.end(), file);
  if (found != waitingFiles_.end()) waitingFiles_.erase(found);
  file->Unlink();
}

bool UpdateManager::HasWaitingFile(const ResourceKey& key, uint32_t version) {
  for (UpdatingFile* file : waitingFiles_)
    if (file->Key() == key && file->GetVersion() == version) return true;
  return false;
}

void UpdateManager::DetachWorker(const HttpDownloader* worker) {
  for (UpdatingFile* file : waitingFiles_)
    if (file->IsAttachedTo(worker)) file->Attach(nullptr);
}

// ---------------------------------------------------------------------------
// Scheduling and collecting

void UpdateManager::Collect(HttpDownloader* worker) {
  if (worker->IsBusy()) return;
  HttpDownloader::TaskKey task;
  if (!worker->GetTaskKey(&task)) return;
  const ResourceKey key{task.key1, task.key2};
  const uint32_t version = task.version;
  if (worker->IsFailed()) {
    if (worker->Restart()) return;
    {
      ScopedLock guard(lock_);
      std::vector<UpdatingFile*> files = waitingFiles_;
      for (UpdatingFile* file : files) {
        if (!(file->Key() == key) || file->GetVersion() != version) continue;
        file->MarkDownloadFailed();
        file->MarkFailed();
        TakeOffWaitingList(file);
      }
      DetachWorker(worker);
      restartBudgets_[key] = 0;
      DownloadLost(key);
    }
    worker->Finish();
    return;
  }
  uint8_t* image = nullptr;
  uint32_t size = 0;
  int budget = 0;
  if (worker->IsSucceeded()) {
    worker->TakeImage(&image, &size);
    budget = worker->GetRestartBudget();
  }
  if (image != nullptr)
    log_->Log(kLogInfo,
                              "add file to downloaded file list, %08x_%08x_%u.pak, size %u.",
                              key.hash1, key.hash2, version, size);
  // The worker lets go of the key before the adder can have the package:
  // the other way round, the adder could be done with it while the worker
  // still held the key, which would then look in flight although it is here.
  worker->Finish();
  ScopedLock guard(lock_);
  // Whatever their version, no file stays attached to a worker whose task
  // has ended.
  DetachWorker(worker);
  if (image == nullptr) return;
  DownloadedPackage package;
  package.key = key;
  package.version = version;
  package.restartBudget = budget;
  package.image = image;
  package.size = size;
  downloaded_.push_back(package);
  ++downloadedKeys_[key];
  adderWake_.Set();
  for (UpdatingFile* file : waitingFiles_) {
    if (file->Key() == key && file->GetVersion() == version) {
      file->MarkDownloadSucceeded();
      break;
    }
  }
}

// Under the lock: the key did not arrive. A list the scheduler fetched for
// itself is asked for again on a later turn instead of being waited for
// forever.
void UpdateManager::DownloadEnded(const ResourceKey& key) {
  if (key == singleFilesKey_) singleFileList_.issued = false;
  if (key == updateRulesKey_) ruleList_.issued = false;
}

// Under the lock: the key will not arrive however often it is asked for
// again now; requests of it give up.
void UpdateManager::DownloadLost(const ResourceKey& key) {
  givenUp_.insert(key);
  DownloadEnded(key);
}

// The passes in their order; the first that ends the turn ends it.
void UpdateManager::Schedule(HttpDownloader* worker) {
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

bool UpdateManager::IsWorkerAt(const HttpDownloader* worker, size_t position) const {
  return position < workers_.size() && workers_[position].get() == worker;
}

bool UpdateManager::AnyUpdateRequest() {
  ScopedLock guard(lock_);
  return updateAllRequested_ || allGroupsRequested_;
}

// The groups are asked in list order; no manager lock is held while a group
// holds its own.
bool UpdateManager::ScheduleUpdateGroups(HttpDownloader* worker) {
  for (const std::unique_ptr<UpdateGroup>& group : updateGroups_) {
    if (stops_.Stopping()) return false;
    ResourceKey key{0, 0};
    bool isDelta = false;
    uint32_t localVersion = 0;
    if (!group->NextTask(&key.hash1, &key.hash2, &isDelta, &localVersion)) continue;
    if (StartItem(worker, Item{key, isDelta, localVersion}, true)) return true;
  }
  return false;
}

bool UpdateManager::StartItem(HttpDownloader* worker, const Item& item, bool useRestartBudget) {
  uint32_t listed = 0;
  if (!GetListedVersion(item.key, &listed)) return false;
  std::string packageName;
  {
    ScopedLock guard(lock_);
    packageName = item.isDelta
                      ? DeltaPackageName(item.key,
                                         GetDeltaFromVersion(item.localVersion, listed,
                                                             catalogue_.GetDeltaSettings()),
                                         listed)
                      : FullPackageName(item.key, listed);
    const auto budget = restartBudgets_.find(item.key);
    if (useRestartBudget && budget != restartBudgets_.end())
      worker->SetRestartBudget(budget->second);
  }
  return StartDownload(worker, item.key, listed, packageName);
}

bool UpdateManager::StartUnlessGivenUp(HttpDownloader* worker, const Item& item) {
  if (HasGivenUp(item.key)) return false;
  TouchRestartBudget(item.key);
  return StartItem(worker, item, true);
}

// Pass 5: "singlefiles.pcfg" is fetched and loaded once an update of
// everything is asked for.
bool UpdateManager::ScheduleSingleFileList(HttpDownloader* worker) {
  {
    ScopedLock guard(lock_);
    if (!updateAllRequested_) return false;
  }
  return ScheduleListFile(worker, SingleFileList::kFileName, singleFilesKey_, &singleFileList_,
                          &UpdateManager::LoadSingleFiles);
}

// A list the scheduler fetches for itself: loaded once its file is ready,
// otherwise its file is fetched, once at a time. A failed load is final, and
// logged, as the list then counts as empty; true when a download started
// and so ends the turn.
bool UpdateManager::ScheduleListFile(HttpDownloader* worker, const char* name,
                                     const ResourceKey& key, ListState* list,
                                     bool (UpdateManager::*load)()) {
  {
    ScopedLock guard(lock_);
    if (list->loaded || list->failed) return false;
  }
  const KeyState state = StateOf(key);
  if (state == KeyState::kInFlight) return false;
  if (state == KeyState::kReady) {
    const bool loaded = (this->*load)();
    if (!loaded && !stops_.Stopping())
      log_->Log(kLogError, "Load update list file \"%s\" failed.", name);
    ScopedLock guard(lock_);
    list->loaded = loaded;
    list->failed = !loaded;
    list->issued = false;
    return false;
  }
  {
    ScopedLock guard(lock_);
    if (list->issued) return false;
  }
  if (!StartItem(worker, Item{key, false, 0}, false)) return false;
  ScopedLock guard(lock_);
  list->issued = true;
  return true;
}

// Pass 6: the resource groups in file order. The cursor moves over the
// leading run of ready groups, so a finished prefix is not asked again. A
// group whose next item was given up stays not ready and is passed over.
bool UpdateManager::ScheduleResourceGroups(HttpDownloader* worker) {
  std::vector<ResourceGroup*> groups;
  size_t cursor = 0;
  {
    ScopedLock guard(lock_);
    // Before the groups are loaded there is nothing to count as done.
    if (!(updateAllRequested_ || allGroupsRequested_) || groupsDone_ ||
        catalogue_.GroupMapState() != MapState::kLoaded)
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
bool UpdateManager::ScheduleSingleFiles(HttpDownloader* worker) {
  std::vector<ResourceKey> files;
  size_t cursor = 0;
  {
    ScopedLock guard(lock_);
    if (!updateAllRequested_ || singleFilesDone_) return false;
    if (singleFileList_.issued) return true;
    if (!singleFileList_.loaded && !singleFileList_.failed) return false;
    files = singleFiles_;
    cursor = singleFileCursor_;
  }
  bool leading = true;
  bool started = false;
  for (size_t i = cursor; i < files.size() && !started; ++i) {
    if (stops_.Stopping()) return true;
    const KeyState state = StateOf(files[i]);
    const bool ready = state == KeyState::kReady;
    if (state == KeyState::kMissing)
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
bool UpdateManager::ScheduleUpdateRuleList(HttpDownloader* worker) {
  {
    ScopedLock guard(lock_);
    if (!idleUpdateEnabled_) return false;
  }
  return ScheduleListFile(worker, UpdateRuleList::kFileName, updateRulesKey_, &ruleList_,
                          &UpdateManager::LoadUpdateRules);
}

// Pass 8: the items of the rule the host selected, after everything asked
// for; the rule, or the lack of one, decides when the idle update is done.
bool UpdateManager::ScheduleIdleRule(HttpDownloader* worker) {
  if (ScheduleUpdateRuleList(worker)) return true;
  UpdateRule* rule = nullptr;
  {
    ScopedLock guard(lock_);
    if (!ruleList_.loaded || !idleUpdateEnabled_ || idleUpdateFinished_) return true;
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

bool UpdateManager::LoadSingleFiles() {
  if (stops_.Stopping()) return false;
  std::vector<char> bytes;
  if (!ReadLocalConfig(SingleFileList::kFileName, &bytes)) return false;
  SingleFileList list;
  if (!list.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1)) return false;
  std::vector<ResourceKey> files;
  for (const ResourceKey& key : list.files) {
    if (stops_.Stopping()) return false;
    files.push_back(LinkTargetOf(key));
  }
  ScopedLock guard(lock_);
  singleFiles_.swap(files);
  singleFileCountStale_ = true;
  return true;
}

// The rule list: record i is rule i, kept under (level, map); a later
// record with the same pair replaces an earlier one.
bool UpdateManager::LoadUpdateRules() {
  if (stops_.Stopping()) return false;
  std::vector<char> bytes;
  if (!ReadLocalConfig(UpdateRuleList::kFileName, &bytes)) return false;
  UpdateRuleList list;
  if (!list.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1)) return false;
  rules_.clear();
  for (size_t i = 0; i < list.rules.size(); ++i) {
    if (stops_.Stopping()) return false;
    std::unique_ptr<UpdateRule> rule(
        new (std::nothrow) UpdateRule(*log_, this, static_cast<int>(i)));
    if (rule == nullptr) return false;
    rules_[UpdateRuleList::KeyOf(list.rules[i])] = std::move(rule);
  }
  return true;
}

bool UpdateManager::ReadLocalConfig(const char* name, std::vector<char>* bytes) {
  IReadFile* file = OpenFile(name, kOpenPackagedThenLoose, false, false);
  if (file == nullptr) return false;
  const bool read = ReadWholeFile(file, bytes);
  file->Release();
  return read;
}

bool UpdateManager::ScheduleWaitingFile(HttpDownloader* worker) {
  ResourceKey key{0, 0};
  uint32_t version = 0;
  bool found = false;
  {
    ScopedLock guard(lock_);
    for (UpdatingFile* file : waitingFiles_) {
      if (IsInFlight(file->Key())) continue;
      key = file->Key();
      version = file->GetVersion();
      found = true;
      break;
    }
  }
  if (!found) return false;
  return StartDownload(worker, key, version, FullPackageName(key, version));
}

bool UpdateManager::StartDownload(HttpDownloader* worker, const ResourceKey& key,
                                  uint32_t version, const std::string& packageName) {
  const std::vector<std::string> urls = query_.NextUrlOrder();
  std::vector<const char*> order;
  for (const std::string& url : urls) order.push_back(url.c_str());
  if (!worker->Begin(key.hash1, key.hash2, version, order.data(), order.size(),
                     packageName.c_str()))
    return false;
  ScopedLock guard(lock_);
  givenUp_.erase(key);
  for (UpdatingFile* file : waitingFiles_)
    if (file->Key() == key) file->Attach(worker);
  return true;
}

// Under the lock.
bool UpdateManager::IsInFlight(const ResourceKey& key) {
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    HttpDownloader::TaskKey task;
    if (worker->GetTaskKey(&task) && task.key1 == key.hash1 && task.key2 == key.hash2)
      return true;
  }
  return downloadedKeys_.count(key) != 0;
}

void UpdateManager::StopUpdate() {
  ClearUpdateGroups();
  {
    ScopedLock guard(lock_);
    updateAllRequested_ = allGroupsRequested_ = false;
    stopUpdateRequested_ = true;
  }
  // The running scheduler ends the tasks itself; without one, the workers
  // are ended here. Neither holds the manager's lock while joining.
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

// ---------------------------------------------------------------------------
// Adder thread

void UpdateManager::AdderMain(void* self) { static_cast<UpdateManager*>(self)->RunAdder(); }

void UpdateManager::RunAdder() {
  while (!stops_.AdderStopping()) {
    DownloadedPackage package;
    bool have = false;
    {
      ScopedLock guard(lock_);
      if (!downloaded_.empty()) {
        package = downloaded_.front();
        have = true;
      }
    }
    if (!have) {
      adderWake_.Wait(kPassWaitMs);
      continue;
    }
    if (stops_.AdderStopping()) return;
    // Takes the package off the list once its files are filled or failed.
    AddPackage(package);
    delete[] package.image;
  }
}

// Under the lock, in the step that fills or fails the waiting files, so no
// reader sees those files loaded while their package still counts as in
// flight. Only this thread takes packages off the list, so the first one is
// the one just handled. Its image is the adder's to free, after the lock:
// giving megabytes back to the system is slow enough to stall the
// scheduler and the host's queries behind it.
void UpdateManager::TakeOffDownloaded() {
  const auto counted = downloadedKeys_.find(downloaded_.front().key);
  if (counted != downloadedKeys_.end() && --counted->second <= 0) downloadedKeys_.erase(counted);
  downloaded_.pop_front();
}

void UpdateManager::AddPackage(const DownloadedPackage& package) {
  LogManager& log = *log_;
  const ResourceKey& key = package.key;
  log.Log(kLogInfo, "begin add file to package, %08x_%08x_%u.pak, size %u.", key.hash1,
          key.hash2, package.version, package.size);
  bool waiting = false;
  {
    ScopedLock guard(lock_);
    waiting = HasWaitingFile(key, package.version);
  }
  char* buffer = nullptr;
  uint32_t size = 0;
  const bool added = packages_->AddDownloadPackage(
      package.image, package.size, key.hash1, key.hash2, package.version,
      waiting ? &buffer : nullptr, waiting ? &size : nullptr);
  if (added && (!waiting || buffer != nullptr)) {
    log.Log(kLogInfo, "add file to package success, %08x_%08x_%u.pak, size %u.", key.hash1,
            key.hash2, package.version, package.size);
    FillWaitingFiles(package, buffer, size);
    return;
  }
  std::free(buffer);
  log.Log(kLogError, "add file to package failed, %08x_%08x_%u.pak, size %u.", key.hash1,
          key.hash2, package.version, package.size);
  FailWaitingFiles(package);
}

void UpdateManager::FillWaitingFiles(const DownloadedPackage& package, char* buffer,
                                     uint32_t size) {
  ScopedLock guard(lock_);
  std::vector<UpdatingFile*> files = waitingFiles_;
  // Every further file gets its own copy, made before the first file takes
  // the buffer: once off the list the host may release that file at once.
  UpdatingFile* first = nullptr;
  for (UpdatingFile* file : files) {
    if (!(file->Key() == package.key) || file->GetVersion() != package.version) continue;
    // Without a buffer nobody was waiting when the package was added; a file
    // that came since waits for a download of its own.
    if (buffer == nullptr) continue;
    if (first == nullptr) {
      first = file;
      continue;
    }
    {
      char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
      if (copy == nullptr) {
        file->MarkFailed();
      } else {
        std::memcpy(copy, buffer, size);
        copy[size] = 0;
        file->Fill(copy, size);
      }
    }
    TakeOffWaitingList(file);
  }
  if (first != nullptr) {
    first->Fill(buffer, size);
    TakeOffWaitingList(first);
  } else {
    std::free(buffer);
  }
  groupCountStale_ = true;
  singleFileCountStale_ = true;
  TakeOffDownloaded();
  schedulerWake_.Set();
}

void UpdateManager::FailWaitingFiles(const DownloadedPackage& package) {
  ScopedLock guard(lock_);
  std::vector<UpdatingFile*> files = waitingFiles_;
  for (UpdatingFile* file : files) {
    if (!(file->Key() == package.key) || file->GetVersion() != package.version) continue;
    file->MarkFailed();
    TakeOffWaitingList(file);
  }
  restartBudgets_[package.key] = package.restartBudget;
  // Each new download of a package that cannot be added spends one of the
  // budget; once it is spent the requests for it give up, as they do after
  // a download that keeps failing.
  if (package.restartBudget <= 0) DownloadLost(package.key);
  else DownloadEnded(package.key);
  TakeOffDownloaded();
  schedulerWake_.Set();
}

// ---------------------------------------------------------------------------
// Requests, counts and progress

bool UpdateManager::RequestFile(const char* name, const char* updateGroup) {
  if (name == nullptr) return false;
  UpdateGroup* group = FindUpdateGroup(updateGroup);
  if (group == nullptr || !group->AddFile(name)) return false;
  schedulerWake_.Set();
  return true;
}

bool UpdateManager::HasResourceGroup(const ResourceKey& key) {
  return catalogue_.FindResourceGroup(key) != nullptr;
}

bool UpdateManager::IsResourceGroupReady(const ResourceKey& key) {
  // The readiness test takes the group's locks and, through the file system,
  // this lock again: the group is looked up under the lock, tested without.
  ResourceGroup* group = FindResourceGroup(key);
  return group != nullptr && group->IsReady();
}

ResourceGroup* UpdateManager::FindResourceGroup(const ResourceKey& key) {
  return catalogue_.FindResourceGroup(key);
}

bool UpdateManager::IsKeyInFlight(const ResourceKey& key) {
  ScopedLock guard(lock_);
  return IsInFlight(key);
}

bool UpdateManager::HaveDeltaPackage() { return catalogue_.GetDeltaSettings().haveDeltaPackage; }

bool UpdateManager::RequestResourceGroup(const char* group, const char* updateGroup) {
  if (group == nullptr) return false;
  UpdateGroup* queue = FindUpdateGroup(updateGroup);
  return queue != nullptr && queue->AddResourceGroup(group);
}

bool UpdateManager::IsAllResourceGroupsReady() {
  ScopedLock guard(lock_);
  return groupsDone_;
}

void UpdateManager::RequestAllResourceGroups() {
  ScopedLock guard(lock_);
  allGroupsRequested_ = true;
  ForgetGivenUp();
}

bool UpdateManager::IsAllReady() {
  ScopedLock guard(lock_);
  return groupsDone_ && singleFilesDone_;
}

void UpdateManager::RequestUpdateAll() {
  ScopedLock guard(lock_);
  updateAllRequested_ = true;
  ForgetGivenUp();
}

// Under the lock: a host that asks for everything again (after the network
// came back, say) has every package tried anew, with its whole budget.
void UpdateManager::ForgetGivenUp() {
  givenUp_.clear();
  restartBudgets_.clear();
  schedulerWake_.Set();
}

int UpdateManager::GetUpdateTaskCount() {
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
  {
    ScopedLock guard(lock_);
    count += static_cast<int>(waitingFiles_.size());
  }
  if (allGroups) count += PendingGroupCount();
  return count;
}

// The groups not ready yet, recounted only after a package was added.
int UpdateManager::PendingGroupCount() {
  std::vector<ResourceGroup*> groups;
  {
    ScopedLock guard(lock_);
    if (catalogue_.GroupMapState() != MapState::kLoaded) return 1;
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
int UpdateManager::PendingSingleFileCount() {
  std::vector<ResourceKey> files;
  {
    ScopedLock guard(lock_);
    if (singleFilesDone_) return 0;
    if (singleFileList_.loaded) {
      if (!singleFileCountStale_) return pendingSingleFileCount_;
      singleFileCountStale_ = false;
      files = singleFiles_;
    }
  }
  const int listPending = IsKeyReady(singleFilesKey_) ? 0 : 1;
  bool loaded = false;
  {
    ScopedLock guard(lock_);
    loaded = singleFileList_.loaded;
  }
  if (!loaded) return listPending;
  int count = listPending;
  for (const ResourceKey& key : files)
    if (!IsKeyReady(key)) ++count;
  ScopedLock guard(lock_);
  pendingSingleFileCount_ = count;
  return count;
}

float UpdateManager::GetUpdateSpeed() {
  float speed = 0.0f;
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) speed += worker->GetSpeed();
  return speed;
}

bool UpdateManager::ReadProgress(HttpDownloader* worker, Progress* progress) {
  HttpDownloader::TaskProgress task;
  if (!worker->GetTaskProgress(&task)) return false;
  progress->key = ResourceKey{task.key1, task.key2};
  progress->name = task.fileName;
  // Hosts receive the low 32 bits of the byte counts.
  progress->total = static_cast<int>(static_cast<uint32_t>(task.totalSize));
  progress->done = static_cast<int>(static_cast<uint32_t>(task.downloadedSize));
  progress->speed = task.speed;
  return true;
}

// A name that does not fit the buffer with its 0 is not reported.
bool UpdateManager::CopyProgress(const Progress& progress, char* name, uint32_t nameSize,
                                 int* total, int* done, float* speed) {
  if (progress.name.size() >= nameSize) return false;
  std::memcpy(name, progress.name.c_str(), progress.name.size() + 1);
  name[nameSize - 1] = 0;
  *total = progress.total;
  *done = progress.done;
  *speed = progress.speed;
  return true;
}

bool UpdateManager::GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total,
                                  int* done, float* speed) {
  if (worker < 0 || static_cast<size_t>(worker) >= workers_.size()) return false;
  if (name == nullptr || nameSize == 0 || total == nullptr || done == nullptr ||
      speed == nullptr)
    return false;
  Progress progress;
  {
    ScopedLock guard(lock_);
    if (!ReadProgress(workers_[static_cast<size_t>(worker)].get(), &progress)) return false;
  }
  return CopyProgress(progress, name, nameSize, total, done, speed);
}

bool UpdateManager::GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize,
                                      int* total, int* done, float* speed) {
  if (file == nullptr) return false;
  return FindKeyProgress(LinkTargetOf(HashResourceName(file)), name, nameSize, total, done, speed);
}

// Only the download of the group's whole package is reported; its single
// items are reported as files.
bool UpdateManager::GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize,
                                               int* total, int* done, float* speed) {
  if (group == nullptr) return false;
  const ResourceGroup* found = FindResourceGroup(HashResourceName(group));
  if (found == nullptr) return false;
  return FindKeyProgress(found->PackageKey(), name, nameSize, total, done, speed);
}

// The first worker in list order fetching any version of the key whose
// package name fits the buffer.
bool UpdateManager::FindKeyProgress(const ResourceKey& key, char* name, uint32_t nameSize,
                                    int* total, int* done, float* speed) {
  if (name == nullptr || nameSize == 0 || total == nullptr || done == nullptr || speed == nullptr)
    return false;
  ScopedLock guard(lock_);
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    Progress progress;
    if (ReadProgress(worker.get(), &progress) && progress.key == key &&
        CopyProgress(progress, name, nameSize, total, done, speed))
      return true;
  }
  return false;
}

bool UpdateManager::CancelAllUpdateRequests() {
  ClearUpdateGroups();
  ScopedLock guard(lock_);
  updateAllRequested_ = allGroupsRequested_ = false;
  return true;
}

bool UpdateManager::CancelUpdateGroup(const char* updateGroup) {
  UpdateGroup* group = FindUpdateGroup(updateGroup);
  if (group == nullptr) return false;
  group->Clear();
  return true;
}

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

bool UpdateManager::TakeOffUpdatedFiles(char* buffer, uint32_t size) {
  return lists_.TakeOff(List::kUpdatedFiles, buffer, size);
}

bool UpdateManager::TakeOffUpdateFailedFiles(char* buffer, uint32_t size) {
  return lists_.TakeOff(List::kUpdateFailedFiles, buffer, size);
}

bool UpdateManager::TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) {
  return lists_.TakeOff(List::kUpdatedResourceGroups, buffer, size);
}

bool UpdateManager::TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) {
  return lists_.TakeOff(List::kUpdateFailedResourceGroups, buffer, size);
}

bool UpdateManager::AppendUpdatedFile(const char* name) {
  return lists_.Append(List::kUpdatedFiles, name);
}

bool UpdateManager::AppendUpdateFailedFile(const char* name) {
  return lists_.Append(List::kUpdateFailedFiles, name);
}

bool UpdateManager::AppendUpdatedResourceGroup(const char* name) {
  return lists_.Append(List::kUpdatedResourceGroups, name);
}

bool UpdateManager::AppendUpdateFailedResourceGroup(const char* name) {
  return lists_.Append(List::kUpdateFailedResourceGroups, name);
}

bool UpdateManager::HasGivenUp(const ResourceKey& key) {
  ScopedLock guard(lock_);
  return givenUp_.count(key) != 0;
}

void UpdateManager::TouchRestartBudget(const ResourceKey& key) {
  ScopedLock guard(lock_);
  const auto found = restartBudgets_.find(key);
  if (found == restartBudgets_.end()) return;
  if (found->second > 0) --found->second;
  else restartBudgets_.erase(found);
}

}  // namespace FileSystem
