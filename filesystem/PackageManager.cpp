#include "PackageManager.h"

#include "FileSystem.h"

namespace FileSystem {

PackageManager::~PackageManager() {
  ClearIndex();
  ClosePackages();
}

bool PackageManager::Init(FileSystem* fileSystem, bool updateMode, const char* root,
                          const char* baseName, const char* extension,
                          const PackagePathNode* extraPackages, uint32_t maxPackageSize,
                          uint32_t maxDeltaPackageSize) {
  ClearIndex();
  ClosePackages();
  fileSystem_ = fileSystem;
  updateMode_ = updateMode;
  return true;
}

void PackageManager::ClearIndex() { ScopedLock guard(lock_); }

void PackageManager::ClosePackages() {}

bool PackageManager::FindEntry(const ResourceKey& key, uint32_t* version) {
  ScopedLock guard(lock_);
  if (version != nullptr) *version = 0;
  return false;
}

}  // namespace FileSystem
