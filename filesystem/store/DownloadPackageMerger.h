// Merges download images entry by entry into the local packages and keeps
// the loose (unpackaged) files below the package root: writes or removes
// them as an image says, and restores those that were deleted or changed on
// disk from the records stored with their entries.
#pragma once

#include <cstdint>
#include <string>

#include "PackageFormat.h"
#include "ResourceName.h"

namespace FileSystem {

class EntryStore;
class KeyReadiness;
class LogManager;

// The download an image was fetched for, and where its content goes.
struct DownloadTarget {
  ResourceKey key;
  uint32_t version;
  char** buffer;
  uint32_t* size;
};

class DownloadPackageMerger {
 public:
  explicit DownloadPackageMerger(EntryStore& store) : store_(store) {}
  DownloadPackageMerger(const DownloadPackageMerger&) = delete;
  DownloadPackageMerger& operator=(const DownloadPackageMerger&) = delete;

  // root ends in a separator unless it is empty. With readiness, only files
  // it calls ready are restored; without it, every one.
  void Init(LogManager& log, KeyReadiness* readiness, const std::string& root);

  // Stores every entry of a download image in the local packages and writes
  // or removes the loose files of its unpackaged entries. The entry of the
  // requested key and version is handed out decoded in *buffer (size bytes
  // and a 0 byte, allocated with malloc, owned by the caller from then on).
  bool AddDownloadPackage(const uint8_t* image, uint32_t length, uint32_t hash1, uint32_t hash2,
                          uint32_t version, char** buffer, uint32_t* size);
  bool AddPackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                        const DownloadTarget& target);
  bool AddUnpackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                          const DownloadTarget& target);
  bool WriteUnpackagedFile(const char* path, const void* content, uint32_t size,
                           uint32_t attributes, uint64_t time);
  // Makes path free: deletes the file, or when it is in use moves it into
  // root + "removed_files".
  bool RemoveBusyFile(const char* path);
  // Checks every unpackaged file on disk and rewrites those that are missing
  // or changed; always true.
  bool RestoreUnpackagedFiles();
  bool RestoreUnpackagedFile(const ResourceKey& key);

 private:
  bool StoreReencoded(const ResourceKey& key, const FileIndexEntry& entry, const uint8_t* head,
                      uint32_t headLength, const uint8_t* content);
  bool UnpackagedPath(const UnpackagedFileRecord& record, std::string* path);
  // Renames the freshly written file over path, moving a busy one aside.
  bool PutInPlace(const std::string& fresh, const char* path);
  // Renames a file in use to root + "removed_files/" + its base name, or
  // that name followed by a number when taken.
  bool MoveToRemovedFiles(const std::string& source);
  bool IsRestoreWanted(const ResourceKey& key);
  void LogDownload(const char* format, const ResourceKey& key);
  void LogPath(const char* format, const std::string& path);
  // format takes the path and the system error code.
  void LogSystemError(const char* format, const std::string& path);

  EntryStore& store_;
  LogManager* log_ = nullptr;
  KeyReadiness* readiness_ = nullptr;
  std::string root_;
};

}  // namespace FileSystem
