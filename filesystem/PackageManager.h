// The product's local store: numbered and extra package files, one merged
// index over them, the local link map and the unpackaged files.
#pragma once

#include <cstdint>

#include "CriticalSection.h"
#include "ResourceName.h"

struct PackagePathNode;

namespace FileSystem {

class FileSystem;

class PackageManager {
 public:
  PackageManager() = default;
  virtual ~PackageManager();
  PackageManager(const PackageManager&) = delete;
  PackageManager& operator=(const PackageManager&) = delete;

  // Always succeeds; packages that cannot be opened are logged and skipped.
  bool Init(FileSystem* fileSystem, bool updateMode, const char* root, const char* baseName,
            const char* extension, const PackagePathNode* extraPackages, uint32_t maxPackageSize,
            uint32_t maxDeltaPackageSize);

  void ClearIndex();
  void ClosePackages();

  // True with the indexed entry's version when the key is indexed.
  bool FindEntry(const ResourceKey& key, uint32_t* version);

 private:
  FileSystem* fileSystem_ = nullptr;
  bool updateMode_ = false;
  CriticalSection lock_;
};

}  // namespace FileSystem
