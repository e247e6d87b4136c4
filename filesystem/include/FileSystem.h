// The resource file system: the one header a host includes.
//
// A host fills a FileSystemParams block, calls FileSystem::Create, drives the
// returned IFileSystem from its own thread, and ends it with Release. Every
// interface below is a binary contract: the order of the virtual operations
// and the layout of the parameter block must not change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace FileSystem {
class ILogSystem;
}

// A package file opened besides the numbered ones ({path; next}).
struct PackagePathNode {
  const char* path;
  PackagePathNode* next;
};

// An update server to ask for the product's version and base URLs.
struct UpdateServerNode {
  const char* host;
  uint32_t port;
  UpdateServerNode* next;
};

// A named request queue; fifo selects first-in-first-out order.
struct UpdateGroupNode {
  const char* name;
  uint8_t fifo;
  UpdateGroupNode* next;
};

// Parameter block of FileSystem::Create. The block and its lists need only
// live through the call; the log sink must outlive the file system.
struct FileSystemParams {
  uint32_t size;     // must be 60
  uint32_t version;  // must be 1
  PackagePathNode* extraPackages;
  const char* productName;
  const char* dataFolder;
  const char* packageBaseName;
  const char* packageExtension;
  UpdateServerNode* updateServers;
  UpdateGroupNode* updateGroups;
  uint32_t updateThreadCount;
  uint32_t maxPackageSize;
  uint32_t maxDeltaPackageSize;
  uint32_t downloadBufferStep;
  FileSystem::ILogSystem* logSystem;
  uint8_t updateMode;
  uint8_t reserveFirstDownloader;
  uint8_t idleUpdateEnabled;
  uint8_t skipHeadRequest;
};

namespace FileSystem {

constexpr uint32_t kParamsSize = 60;
constexpr uint32_t kParamsVersion = 1;

// Log levels of ILogSystem::Log.
enum LogLevel { kLogInfo = 0, kLogWarning = 1, kLogError = 2 };

// Update states reported by IFileSystem::GetUpdateState.
enum UpdateState {
  kStateDisabled = 0,
  kStateSyncUpdateInfomation = 1,
  kStateUpdatingVersionFile = 2,
  kStateUpdatingResourceGroupConfig = 3,
  kStateUpdatingFileListConfig = 4,
  kStateReadyForUpdate = 5,
  kStateError = 6,
};

// Modes of IFileSystem::OpenFile.
enum OpenMode {
  kOpenPackagedThenLoose = 0,
  kOpenLooseThenPackaged = 1,
  kOpenPackagedOnly = 2,
  kOpenLooseOnly = 3,
  kOpenLooseFileOnly = 4,
};

// The host's log sink. Called from any thread of the library, one call at a
// time; the library never deletes it.
class ILogSystem {
 public:
  virtual void Log(int level, const char* text) = 0;
  virtual ~ILogSystem() {}
};

// A readable file handed out by the file system; the caller ends it with
// Release.
class IReadFile {
 public:
  virtual bool Read(char* buffer, uint32_t n) = 0;
  virtual bool Seek(int32_t offset, int origin) = 0;
  virtual int32_t Tell() = 0;
  virtual int32_t GetSize() = 0;
  virtual const char* GetBuffer() = 0;
  virtual bool IsBufferOwned() = 0;
  virtual bool IsLoading() = 0;
  virtual bool IsLoaded() = 0;
  virtual bool IsFailed() = 0;
  virtual int32_t GetLoadedSize() = 0;
  virtual bool IsDownloading() = 0;
  virtual bool IsDownloadSucceeded() = 0;
  virtual bool IsDownloadFailed() = 0;
  virtual int32_t GetDownloadedSize() = 0;
  virtual int32_t GetTotalSize() = 0;
  virtual float GetSpeed() = 0;
  virtual uint32_t GetVersion() = 0;
  virtual bool IsPackaged() = 0;
  virtual void Release() = 0;
  virtual ~IReadFile() {}
};

// A writable plain file handed out by the file system; ended with Release.
class IWriteFile {
 public:
  virtual bool Write(const void* buffer, uint32_t n) = 0;
  virtual bool Seek(int32_t offset, int origin) = 0;
  virtual int32_t Tell() = 0;
  virtual int Flush() = 0;
  virtual void Release() = 0;
  virtual ~IWriteFile() {}
};

// The file system's facade. Names are NUL-terminated ANSI strings.
class IFileSystem {
 public:
  virtual bool GetFileHash(const char* name, uint32_t* hash1, uint32_t* hash2) = 0;
  virtual bool NormalizePath(char* name) = 0;
  virtual IReadFile* OpenFile(const char* name, int mode, bool download, bool async) = 0;
  virtual IWriteFile* OpenWriteFile(const char* path, bool append) = 0;
  virtual bool IsFileReady(const char* name) = 0;
  virtual bool UpdateFile(const char* name, const char* updateGroup) = 0;
  virtual bool HasResourceGroup(const char* group) = 0;
  virtual bool IsResourceGroupReady(const char* group) = 0;
  virtual bool UpdateResourceGroup(const char* group, const char* updateGroup) = 0;
  virtual bool IsAllResourceGroupsReady() = 0;
  virtual bool UpdateAllResourceGroups() = 0;
  virtual bool IsAllReady() = 0;
  virtual bool UpdateAll() = 0;
  virtual int GetUpdateTaskCount() = 0;
  virtual float GetUpdateSpeed() = 0;
  virtual bool GetUpdateInfo(int worker, char* name, uint32_t nameSize, int* total, int* done,
                             float* speed) = 0;
  virtual bool GetFileUpdateInfo(const char* file, char* name, uint32_t nameSize, int* total,
                                 int* done, float* speed) = 0;
  virtual bool GetResourceGroupUpdateInfo(const char* group, char* name, uint32_t nameSize,
                                          int* total, int* done, float* speed) = 0;
  virtual bool StopUpdate() = 0;
  virtual bool CancelAllUpdateRequests() = 0;
  virtual bool CancelUpdateGroup(const char* updateGroup) = 0;
  virtual bool IsReadyForUpdate() = 0;
  virtual int GetUpdateState() = 0;
  virtual bool EnableIdleUpdate(bool enable) = 0;
  virtual bool IsIdleUpdateEnabled() = 0;
  virtual bool IsIdleUpdateFinishied() = 0;
  virtual bool SetIdleUpdateInfo(int first, int second) = 0;
  virtual bool TakeOffUpdatedFiles(char* buffer, uint32_t size) = 0;
  virtual bool TakeOffUpdateFailedFiles(char* buffer, uint32_t size) = 0;
  virtual bool TakeOffUpdatedResourceGroups(char* buffer, uint32_t size) = 0;
  virtual bool TakeOffUpdateFailedResourceGroups(char* buffer, uint32_t size) = 0;
  virtual void Release() = 0;
  virtual ~IFileSystem() {}
};

// Creates a file system from the parameter block; null on a bad block or a
// failed start (the messages of the start go to the block's log sink).
IFileSystem* Create(const FileSystemParams* params);

}  // namespace FileSystem

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(FileSystemParams) == 60, "FileSystemParams is 60 bytes on the target");
static_assert(offsetof(FileSystemParams, logSystem) == 52, "logSystem is the 14th word");
static_assert(offsetof(FileSystemParams, updateMode) == 56, "the four flag bytes end the block");
static_assert(offsetof(FileSystemParams, skipHeadRequest) == 59, "skipHeadRequest is the last byte");
static_assert(sizeof(UpdateServerNode) == 12 && sizeof(UpdateGroupNode) == 12 &&
                  sizeof(PackagePathNode) == 8,
              "list nodes keep their 32-bit layout");
#endif
