// The product's local store: numbered and extra package files, one merged
// index over them, the local link map and the unpackaged files.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/CriticalSection.h"
#include "store/DownloadPackageMerger.h"
#include "store/EntryStore.h"
#include "LinkGroup.h"
#include "PackageFormat.h"
#include "store/PackageIndex.h"
#include "ResourceName.h"

struct PackagePathNode;

namespace FileSystem {

class IReadFile;
class KeyReadiness;
class LogManager;
class PackageFile;

class PackageManager : public PackageIndex, public EntryStore {
 public:
  static constexpr uint32_t kMinPackageSize = 10485760;
  static constexpr int kMaxPackageNumber = 999999;

  PackageManager() = default;
  virtual ~PackageManager();
  PackageManager(const PackageManager&) = delete;
  PackageManager& operator=(const PackageManager&) = delete;

  // Always succeeds; packages that cannot be opened are logged and skipped.
  // In update mode readiness says which loose files are ours to restore.
  // The delta package limit is taken but bounds nothing here.
  bool Init(LogManager& log, KeyReadiness* readiness, bool updateMode, const char* root, const char* baseName,
            const char* extension, const PackagePathNode* extraPackages, uint32_t maxPackageSize,
            uint32_t maxDeltaPackageSize);

  void ClearIndex();
  void ClosePackages();

  bool AddPackage(const char* path);
  bool OpenPackages();
  PackageFile* CreatePackage();

  // True with the indexed entry's version when the key is indexed.
  bool FindEntry(const ResourceKey& key, uint32_t* version) override;
  // Indexed at exactly that version.
  bool IsIndexedAt(const ResourceKey& key, uint32_t version);
  bool LookupEntry(const ResourceKey& key, IndexedEntry* found) override;
  std::vector<std::pair<ResourceKey, IndexedEntry>> ListEntries();
  bool IsUnpackaged(const ResourceKey& key);
  std::vector<ResourceKey> UnpackagedKeys() override;
  // The merge rule: the highest version wins, the one indexed last among
  // equals.
  bool IndexEntry(PackageFile* package, uint32_t slotOffset, const FileIndexEntry* entry) override;

  IReadFile* OpenPackagedFile(const ResourceKey& key, const char* name, bool async);
  bool AddFile(const ResourceKey& key, uint32_t version, int storedMethod, int wantedMethod,
               uint8_t flags, uint32_t size, const void* data, uint32_t storedSize,
               uint32_t capacity) override;

  // True with the target in *key when the key is a link member.
  bool ResolveLink(ResourceKey* key);
  bool LoadVersionConfig();
  bool LoadFileLinkConfig();

  std::string NumberedPath(int number) const;
  std::vector<std::string> PackagePaths() const;
  PackageFile* FindPackage(const std::string& path) const;

  // Download images and loose files: the merger does the work, these are
  // where the update engine, the facade and the tests call it.
  bool AddDownloadPackage(const uint8_t* image, uint32_t length, uint32_t hash1, uint32_t hash2,
                          uint32_t version, char** buffer, uint32_t* size);
  bool AddPackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                        const DownloadTarget& target);
  bool AddUnpackagedEntry(const uint8_t* image, const FileIndexEntry& entry,
                          const DownloadTarget& target);
  bool WriteUnpackagedFile(const char* path, const void* content, uint32_t size,
                           uint32_t attributes, uint64_t time);
  bool RemoveBusyFile(const char* path);
  bool RestoreUnpackagedFiles();
  bool RestoreUnpackagedFile(const ResourceKey& key);

 private:
  bool LoadIndexOf(PackageFile* package, bool restore);
  IReadFile* OpenLocalConfig(const char* name);
  // A configuration file of the local packages read whole.
  bool ReadLocalConfig(const char* name, std::vector<uint8_t>* bytes);
  // Config is a parser of a file that carries link groups.
  template <typename Config>
  bool LoadLinkConfig();
  void AddLinks(const std::vector<LinkGroup>& groups);
  bool ReplaceOrSkip(const ResourceKey& key, uint32_t version, int storedMethod, int wantedMethod,
                     uint8_t flags, uint32_t size, const void* data, uint32_t storedSize,
                     uint32_t capacity, bool* done);
  void Log(int level, const char* format, const char* text);

  LogManager* log_ = nullptr;
  std::map<ResourceKey, IndexedEntry> index_;
  std::set<ResourceKey> unpackaged_;
  std::map<std::string, PackageFile*> packages_;
  std::map<ResourceKey, ResourceKey> links_;
  std::string root_;
  std::string baseName_;
  std::string extension_;
  uint32_t maxPackageSize_ = 104857600;
  bool updateMode_ = false;
  bool loadingRestore_ = false;
  CriticalSection lock_;
  DownloadPackageMerger merger_{*this};
};

}  // namespace FileSystem
