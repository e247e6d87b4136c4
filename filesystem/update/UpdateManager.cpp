#include "update/UpdateManager.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "FileSystem.h"
#include "net/HttpDownloader.h"
#include "base/LogManager.h"
#include "store/OpenByMode.h"
#include "store/PackageManager.h"
#include "update/ResourceGroup.h"
#include "ResourceGroupConfig.h"
#include "update/UpdateGroup.h"
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
    updateMode_ = updateMode;
    productName_ = productName != nullptr ? productName : "";
  }
  scheduler_.Init(log, reserveFirstWorker, idleUpdateEnabled);
  if (!query_.CreateServers(log, servers, productName_.c_str())) return false;
  if (!CreateWorkers(workerCount, downloadBufferStep, skipHeadRequest)) return false;
  if (!CreateUpdateGroups(groups)) return false;
  ResetFlags();
  if (!updateMode) return true;
  SetState(kStateSyncUpdateInfomation);
  if (!adder_.Start(log, packages)) return false;
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
    worker->SetFinishedEvent(&scheduler_.Wakeup());
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
  budgets_.Forget();
  query_.Reset();
  catalogue_.ResetMapStates();
  stops_.Reset();
  scheduler_.Reset();
  state_ = kStateDisabled;
}

void UpdateManager::Exit() {
  stops_.StopEverything();
  initialisationThread_.Join();
  queryThread_.Join();
  // The query thread may have started the initialisation thread after the
  // first join.
  initialisationThread_.Join();
  adder_.Join();

  waiting_.OrphanAll();
  // Worker destructors stop and join their threads: no lock held.
  workers_.clear();
  query_.Clear();
  // No thread runs any more: the queues can go.
  updateGroupIndex_.clear();
  updateGroups_.clear();
  catalogue_.Clear();
  scheduler_.Clear();
  adder_.Clear();
  lists_.Clear();
  budgets_.Forget();
}

// ---------------------------------------------------------------------------
// State

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

bool UpdateManager::QueryStopTest(void* self) {
  return static_cast<UpdateManager*>(self)->stops_.Stopping();
}

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
  scheduler_.Run();
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

uint32_t UpdateManager::SchedulerPasses() const { return scheduler_.Passes(); }

bool UpdateManager::AnyThreadStarted() const {
  return queryThread_.IsStarted() || initialisationThread_.IsStarted() || adder_.IsStarted();
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

bool UpdateManager::ReadLocalConfig(const char* name, std::vector<char>* bytes) {
  IReadFile* file = OpenFile(name, kOpenPackagedThenLoose, false, false);
  if (file == nullptr) return false;
  const bool read = ReadWholeFile(file, bytes);
  file->Release();
  return read;
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
  UpdatingFile* file = waiting_.Insert(key, version, this);
  if (file == nullptr) return nullptr;
  for (const std::unique_ptr<HttpDownloader>& worker : workers_) {
    HttpDownloader::TaskKey task;
    if (worker->GetTaskKey(&task) && task.key1 == key.hash1 && task.key2 == key.hash2 &&
        task.version == version) {
      file->Attach(worker.get());
      break;
    }
  }
  scheduler_.Wake();
  return file;
}

void UpdateManager::RemoveWaitingFile(UpdatingFile* file) { waiting_.Remove(file); }

void UpdateManager::PackageAdded(const ResourceKey&) { scheduler_.PackageAdded(); }

void UpdateManager::PackageRefused(const ResourceKey& key, int restartBudget) {
  scheduler_.PackageRefused(key, restartBudget);
}

// ---------------------------------------------------------------------------
// Requests

bool UpdateManager::RequestFile(const char* name, const char* updateGroup) {
  if (name == nullptr) return false;
  UpdateGroup* group = FindUpdateGroup(updateGroup);
  if (group == nullptr || !group->AddFile(name)) return false;
  scheduler_.Wake();
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

bool UpdateManager::IsKeyInFlight(const ResourceKey& key) { return scheduler_.IsInFlight(key); }

bool UpdateManager::HaveDeltaPackage() { return catalogue_.GetDeltaSettings().haveDeltaPackage; }

bool UpdateManager::RequestResourceGroup(const char* group, const char* updateGroup) {
  if (group == nullptr) return false;
  UpdateGroup* queue = FindUpdateGroup(updateGroup);
  return queue != nullptr && queue->AddResourceGroup(group);
}

bool UpdateManager::IsAllResourceGroupsReady() { return scheduler_.IsAllResourceGroupsReady(); }

void UpdateManager::RequestAllResourceGroups() { scheduler_.RequestAllResourceGroups(); }

bool UpdateManager::IsAllReady() { return scheduler_.IsAllReady(); }

void UpdateManager::RequestUpdateAll() { scheduler_.RequestUpdateAll(); }

int UpdateManager::GetUpdateTaskCount() { return scheduler_.GetUpdateTaskCount(); }

void UpdateManager::StopUpdate() {
  ClearUpdateGroups();
  scheduler_.StopWorkers();
}

bool UpdateManager::CancelAllUpdateRequests() {
  ClearUpdateGroups();
  scheduler_.CancelRequests();
  return true;
}

bool UpdateManager::CancelUpdateGroup(const char* updateGroup) {
  UpdateGroup* group = FindUpdateGroup(updateGroup);
  if (group == nullptr) return false;
  group->Clear();
  return true;
}

void UpdateManager::EnableIdleUpdate(bool enable) { scheduler_.EnableIdleUpdate(enable); }

bool UpdateManager::IsIdleUpdateEnabled() { return scheduler_.IsIdleUpdateEnabled(); }

bool UpdateManager::IsIdleUpdateFinished() { return scheduler_.IsIdleUpdateFinished(); }

void UpdateManager::SetIdleUpdateInfo(int level, int map) {
  scheduler_.SetIdleUpdateInfo(level, map);
}

bool UpdateManager::HasGivenUp(const ResourceKey& key) { return budgets_.HasGivenUp(key); }

void UpdateManager::TouchRestartBudget(const ResourceKey& key) { budgets_.Touch(key); }

// ---------------------------------------------------------------------------
// Progress

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

// ---------------------------------------------------------------------------
// Update lists

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

}  // namespace FileSystem
