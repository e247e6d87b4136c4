// FileSystem::FileSystem, the object behind IFileSystem: it owns the log
// manager, the package manager and the update manager, runs the start and
// stop sequences, and applies the rules that belong to the facade itself.
#pragma once

#include "FileSystem.h"
#include "base/LogManager.h"
#include "store/PackageManager.h"
#include "update/UpdateManager.h"

namespace FileSystem {

class FileSystem final : public IFileSystem {
 public:
  FileSystem() = default;
  ~FileSystem() override;

  // The start sequence of Create; false leaves an object that only the
  // destructor's stop sequence may touch.
  bool Init(const FileSystemParams* params);

  LogManager& Logger() { return log_; }
  PackageManager& Packages() { return packages_; }
  UpdateManager& Updates() { return updates_; }
  bool IsUpdateMode() const { return updateMode_; }

  bool GetFileHash(const char* name, uint32_t* hash1, uint32_t* hash2) override;
  bool NormalizePath(char* name) override;
  IReadFile* OpenFile(const char* name, int mode, bool download, bool async) override;
  IWriteFile* OpenWriteFile(const char* path, bool append) override;
  bool IsFileReady(const char* name) override;
  bool UpdateFile(const char* name, const char* updateGroup) override;
  bool HasResourceGroup(const char* group) override;
  bool IsResourceGroupReady(const char* group) override;
  bool UpdateResourceGroup(const char* group, const char* updateGroup) override;
  bool IsAllResourceGroupsReady() override;
  bool UpdateAllResourceGroups() override;
  bool IsAllReady() override;
  bool UpdateAll() override;
  int GetUpdateTaskCount() override;
  float GetUpdateSpeed() override;
  bool GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total, int* done,
                     float* speed) override;
  bool GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize, int* total, int* done,
                         float* speed) override;
  bool GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize, int* total,
                                  int* done, float* speed) override;
  bool StopUpdate() override;
  bool CancelAllUpdateRequests() override;
  bool CancelUpdateGroup(const char* updateGroup) override;
  bool IsReadyForUpdate() override;
  int GetUpdateState() override;
  bool EnableIdleUpdate(bool enable) override;
  bool IsIdleUpdateEnabled() override;
  bool IsIdleUpdateFinishied() override;
  bool SetIdleUpdateInfo(int first, int second) override;
  bool TakeOffUpdatedFiles(char* buffer, uint32_t size) override;
  bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size) override;
  bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) override;
  bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) override;
  void Release() override;

 private:
  void Exit();
  IReadFile* OpenLocal(const char* name, int mode, bool async);

  // Declared in this order so that destruction runs update manager, package
  // manager, log manager.
  LogManager log_;
  PackageManager packages_;
  UpdateManager updates_;
  bool updateMode_ = false;
};

}  // namespace FileSystem
