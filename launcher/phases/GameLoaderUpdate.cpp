// The update phase of the loader: the file system is created, asked to
// bring the launcher itself or the game's resources up to date, and polled
// once per pass for its progress until no task is left.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "GameLoader.h"

namespace {

const char kDefaultGroup[] = "default";
// Pending names asked about per pass; a product of a few thousand names is
// walked in well under a second.
const size_t kPendingLooksPerPass = 32;

}  // namespace

bool GameLoader::RunFolder(std::string* folder) {
  switch (ports_.settings->runPlace) {
    case kRunPlaceLocalAppData:
      return ports_.system->GetLocalDataFolder(folder);
    case kRunPlaceInternetCache:
      return ports_.system->GetLowIntegrityDataFolder(folder);
    default:
      *folder = moduleFolder_;
      return true;
  }
}

bool GameLoader::StartUpdate() {
  ReleaseFileSystem();
  SendDispatchReport(84);
  const LoaderSettings& settings = *ports_.settings;

  std::string dataFolder;
  if (!RunFolder(&dataFolder)) {
    Log(2, "Cannot get the data folder for the update.");
    return false;
  }
  std::string extraPath;
  if (settings.runPlace == kRunPlaceLocalAppData || settings.runPlace == kRunPlaceInternetCache) {
    extraPath = ports_.system->GetInstallFolder(settings.productName);
    if (!extraPath.empty() && extraPath.back() != '\\' && extraPath.back() != '/')
      extraPath += '\\';
  }
  extraPath += "data.pak";
  PackagePathNode extra{extraPath.c_str(), nullptr};

  std::vector<UpdateServerNode> servers;
  for (const LoaderUpdateServer& server : settings.updateServers) {
    if (server.host.empty()) continue;
    servers.push_back(UpdateServerNode{server.host.c_str(), server.port, nullptr});
  }
  for (size_t i = 0; i + 1 < servers.size(); ++i) servers[i].next = &servers[i + 1];
  UpdateGroupNode group{kDefaultGroup, 1, nullptr};

  FileSystemParams params{};
  params.size = 60;
  params.version = 1;
  params.extraPackages = &extra;
  params.productName = settings.productName.c_str();
  params.dataFolder = dataFolder.c_str();
  params.packageBaseName = "data";
  params.packageExtension = "pak";
  params.updateServers = servers.empty() ? nullptr : &servers[0];
  params.updateGroups = &group;
  params.updateThreadCount = updateThreadCount_;
  params.maxPackageSize = settings.maxPackageSize;
  params.maxDeltaPackageSize = settings.maxDeltaPackageSize;
  params.downloadBufferStep = 0;
  params.logSystem = &logSystem_;
  params.updateMode = 1;
  params.reserveFirstDownloader = 0;
  params.idleUpdateEnabled = 0;
  params.skipHeadRequest = 1;
  FileSystemFactory* create =
      ports_.createFileSystem != nullptr ? ports_.createFileSystem : &FileSystem::Create;
  fileSystem_ = create(&params);
  if (fileSystem_ == nullptr) {
    Log(2, "The file system could not be created.");
    return false;
  }
  SetProgress(0);
  NewProgressSegment();
  SetSubProgress(0);
  state_ = kLoaderUpdating;
  SetCloseEnabled(!settings.closeDisableWhenLoading);
  Log(0, "Update phase started.");
  return true;
}

void GameLoader::ShowUpdateStateMessage(int updateState) {
  static const char* const kMessages[] = {"update_error",       "update_game_info",
                                          "update_version_file", "update_resource_group_file",
                                          "update_file_list",   "begin_update_resource",
                                          "update_error"};
  if (updateState >= 0 && updateState <= 6) SetMessage(kMessages[updateState]);
}

void GameLoader::PollUpdate() {
  if (fileSystem_ == nullptr) return;
  if (!fileSystem_->IsReadyForUpdate()) {
    int updateState = fileSystem_->GetUpdateState();
    ShowUpdateStateMessage(updateState);
    if (updateState == FileSystem::kStateDisabled || updateState == FileSystem::kStateError) {
      EnterFailed();
      return;
    }
    if (updateState < 0 || updateState > 6) return;
    ProgressStep();
    return;
  }
  if (!updatesQueued_) QueueUpdates();
  if (fileSystem_->GetUpdateTaskCount() == 0) DecideOutcome();
  ProgressStep();
}

void GameLoader::QueueUpdates() {
  const LoaderSettings& settings = *ports_.settings;
  pendingShares_.clear();
  pendingCursor_ = 0;
  const char* updater = settings.updaterFileName.c_str();
  if (!fileSystem_->IsFileReady(updater)) {
    fileSystem_->UpdateFile(updater, kDefaultGroup);
    selfUpdate_ = true;
    Log(0, "The launcher itself is out of date.");
  } else {
    for (const LoaderUpdateFile& file : settings.updateFiles) {
      if (fileSystem_->IsFileReady(file.path.c_str())) continue;
      if (file.systemDll && ports_.system->CanLoadSystemLibrary(file.path)) continue;
      fileSystem_->UpdateFile(file.path.c_str(), kDefaultGroup);
      pendingFiles_.push_back(file.path);
    }
    for (const std::string& name : settings.resourceGroups) {
      if (fileSystem_->IsResourceGroupReady(name.c_str())) continue;
      fileSystem_->UpdateResourceGroup(name.c_str(), kDefaultGroup);
      pendingGroups_.push_back(name);
    }
    selfUpdate_ = false;
    ports_.view->SwitchToMainSkin();
    mainSkin_ = true;
  }
  updatesQueued_ = true;
}

void GameLoader::DecideOutcome() {
  const LoaderSettings& settings = *ports_.settings;
  if (selfUpdate_) {
    updateOk_ = fileSystem_->IsFileReady(settings.updaterFileName.c_str());
  } else {
    updateOk_ = true;
    for (const std::string& name : pendingFiles_)
      if (updateOk_ && !fileSystem_->IsFileReady(name.c_str())) updateOk_ = false;
    for (const std::string& name : pendingGroups_)
      if (updateOk_ && !fileSystem_->IsResourceGroupReady(name.c_str())) updateOk_ = false;
  }
  if (updateOk_) {
    if (selfUpdate_) {
      ports_.reports->ReportStat("SelfUpdateSuccess", 6);
    } else {
      ports_.reports->ReportStat("UpdateSuccess", 7);
      SendDispatchReport(85);
    }
    Log(0, "Update finished.");
    SetMessage("update_finished");
    return;
  }
  // Later passes look again (another process may finish the files), but
  // the failure is told once.
  if (!updateFailureReported_) {
    updateFailureReported_ = true;
    if (selfUpdate_) {
      ports_.reports->ReportStat("SelfUpdateFailed", 12);
    } else {
      ports_.reports->ReportStat("UpdateFailed", 13);
      SendDispatchReport(86);
    }
    Log(2, "Update failed.");
  }
  SetMessage("update_error");
}

float GameLoader::ComputeProgress() {
  if (selfUpdate_)
    return static_cast<float>(ShareOf(ports_.settings->updaterFileName.c_str(), false).share);
  size_t m = pendingFiles_.size() + pendingGroups_.size();
  if (m == 0) return 0;
  if (pendingShares_.size() != m) pendingShares_.assign(m, PendingShare());
  size_t looks = 0;
  for (size_t walked = 0; walked < m && looks < kPendingLooksPerPass; ++walked) {
    const size_t index = pendingCursor_;
    pendingCursor_ = (pendingCursor_ + 1) % m;
    if (pendingShares_[index].ready) continue;
    LookAtPending(index);
    ++looks;
  }
  float p = 0;
  for (const PendingShare& pending : pendingShares_)
    if (pending.share > 0) p = static_cast<float>(p + pending.share);
  return p;
}

// One pending name's part of the whole: 1 / m of its own share.
void GameLoader::LookAtPending(size_t index) {
  const bool group = index >= pendingFiles_.size();
  const char* name = group ? pendingGroups_[index - pendingFiles_.size()].c_str()
                           : pendingFiles_[index].c_str();
  PendingShare& pending = pendingShares_[index];
  pending = ShareOf(name, group);
  pending.share /= static_cast<double>(pendingShares_.size());
}

// How much of one file or group is here: all of it when it is ready, its
// downloaded part while it is fetched, nothing before.
GameLoader::PendingShare GameLoader::ShareOf(const char* name, bool group) {
  PendingShare share;
  share.ready = group ? fileSystem_->IsResourceGroupReady(name) : fileSystem_->IsFileReady(name);
  if (share.ready) {
    share.share = 1;
    return share;
  }
  char info[64];
  int total = 0, done = 0;
  float speed = 0;
  bool known = group ? fileSystem_->GetResourceGroupUpdateInfo(name, info, sizeof(info), &total,
                                                               &done, &speed)
                     : fileSystem_->GetFileUpdateInfo(name, info, sizeof(info), &total, &done,
                                                      &speed);
  share.share = known && total > 0 ? static_cast<double>(done) / total : 0;
  return share;
}

void GameLoader::ProgressStep() {
  if (fileSystem_ == nullptr) return;
  float p = std::max(ComputeProgress(), progress_);
  if (p == progress_) return;
  SetProgress(p);
  float length = segmentEnd_ - segmentStart_;
  float s = length > 0 ? (p - segmentStart_) / length : 1.0f;
  if (s >= 1) {
    s = 1;
    NewProgressSegment();
  }
  SetSubProgress(s);
  SetMessage("update_resource_progress", static_cast<int>(progress_ * 100));
}

void GameLoader::NewProgressSegment() {
  int r = rand();
  if (r < 100) r = 100;
  segmentStart_ = progress_;
  double end = progress_ + r * static_cast<double>(0.16f) / 32767;
  segmentEnd_ = static_cast<float>(std::min(end, 1.0));
}

bool GameLoader::RestartUpdater() {
  std::string target;
  if (!RunFolder(&target)) {
    Log(2, "Cannot get the run folder for the restart.");
    return false;
  }
  target += ports_.settings->updaterFileName;
  if (!ports_.system->FileExists(target)) target = ports_.system->GetModulePath();
  std::wstring commandLine;
  if (firstRun_ && runParams_.find(L"/FIRSTRUN") == std::wstring::npos) commandLine += L"/FIRSTRUN";
  if (selfUpdate_ && updateOk_ && runParams_.find(L"/CHECKINSTALL") == std::wstring::npos)
    commandLine += L"/CHECKINSTALL";
  commandLine += runParams_;
  Log(0, "Restarting the launcher: " + target);
  ports_.system->StartProgram(target, commandLine);
  ports_.system->CloseMainWindow();
  return true;
}
