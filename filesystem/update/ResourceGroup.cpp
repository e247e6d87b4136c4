#include "update/ResourceGroup.h"

#include <algorithm>

#include "FileSystem.h"
#include "GroupFileList.h"
#include "base/LogManager.h"
#include "store/PackageManager.h"
#include "update/UpdateEngine.h"

namespace FileSystem {

ResourceGroup::ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate)
    : ResourceGroup(name, updateFileCount, wholeUpdate, nullptr, nullptr, nullptr) {}

ResourceGroup::ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate,
                             LogManager* log, PackageManager* packages, UpdateEngine* engine)
    : configKey_(HashResourceName((name + ".pcfg").c_str())),
      packageKey_(HashResourceName((name + ".pak").c_str())),
      log_(log),
      packages_(packages),
      engine_(engine),
      configFileName_(name + ".pcfg"),
      updateFileCount_(updateFileCount),
      wholeUpdate_(wholeUpdate),
      name_(name) {}

bool ResourceGroup::IsReady() {
  Walk walk;
  return IsReadyIn(&walk);
}

bool ResourceGroup::IsReadyIn(Walk* walk) {
  if (InWalk(*walk, this)) return false;
  {
    ScopedLock guard(lock_);
    if (checked_) return ready_;
  }
  walk->push_back(this);
  CheckReady(walk);
  walk->pop_back();
  ScopedLock guard(lock_);
  checked_ = true;
  return ready_;
}

void ResourceGroup::CheckReady(Walk* walk) {
  if (IsKeyReady(packageKey_)) {
    SetReady();
    return;
  }
  if (!IsKeyReady(configKey_) || !EnsureConfig()) return;
  if (SubGroupsReady(walk) && FilesReady(lastFiles_) && FilesReady(firstFiles_)) SetReady();
}

bool ResourceGroup::SubGroupsReady(Walk* walk) {
  for (const ResourceKey& key : subGroups_) {
    ResourceGroup* group = engine_->FindResourceGroup(key);
    if (group != nullptr && !group->IsReadyIn(walk)) return false;
  }
  return true;
}

bool ResourceGroup::FilesReady(const std::vector<ResourceKey>& files) {
  for (const ResourceKey& key : files)
    if (!IsKeyReady(key)) return false;
  return true;
}

bool ResourceGroup::NextItem(uint32_t* hash1, uint32_t* hash2, bool* isDelta,
                             uint32_t* localVersion) {
  if (hash1 == nullptr || hash2 == nullptr || isDelta == nullptr || localVersion == nullptr)
    return false;
  Walk walk;
  Item item;
  if (!NextItemIn(&walk, &item)) return false;
  *hash1 = item.key.hash1;
  *hash2 = item.key.hash2;
  *isDelta = item.isDelta;
  *localVersion = item.localVersion;
  return true;
}

bool ResourceGroup::NextItemIn(Walk* walk, Item* item) {
  if (packages_ == nullptr || engine_ == nullptr) return false;
  if (InWalk(*walk, this) || GetReady()) return false;
  // A package of the group on its way brings the members along, even one
  // whose entry is already indexed while the rest is still being added.
  if (engine_->IsKeyInFlight(packageKey_)) return false;
  uint32_t local = 0;
  if (!packages_->FindEntry(packageKey_, &local)) {
    // Nothing of the group is here yet: it is fetched whole first.
    item->key = packageKey_;
    return true;
  }
  const bool packageReady = IsKeyReady(packageKey_);
  if (!packageReady && (wholeUpdate_ || engine_->HaveDeltaPackage())) {
    item->key = packageKey_;
    item->isDelta = !wholeUpdate_;
    item->localVersion = wholeUpdate_ ? 0 : local;
    return true;
  }
  walk->push_back(this);
  const bool found = NextMemberItem(walk, item);
  walk->pop_back();
  return found;
}

bool ResourceGroup::NextMemberItem(Walk* walk, Item* item) {
  switch (engine_->StateOf(configKey_)) {
    case UpdateEngine::KeyState::kInFlight: return false;
    case UpdateEngine::KeyState::kMissing: item->key = configKey_; return true;
    case UpdateEngine::KeyState::kReady: break;
  }
  if (!EnsureConfig()) return false;
  bool allReady = true;
  for (const ResourceKey& key : subGroups_) {
    ResourceGroup* group = engine_->FindResourceGroup(key);
    if (group == nullptr || group->GetReady()) continue;
    if (InWalk(*walk, group)) {
      // A cycle: the group met again gives nothing and is not ready.
      allReady = false;
      continue;
    }
    if (group->NextItemIn(walk, item)) return true;
    allReady = false;
  }
  if (NextFileItem(lastFiles_, item, &allReady)) return true;
  if (NextFileItem(firstFiles_, item, &allReady)) return true;
  if (allReady) SetReady();
  return false;
}

bool ResourceGroup::NextFileItem(const std::vector<ResourceKey>& files, Item* item,
                                 bool* allReady) {
  for (const ResourceKey& key : files) {
    switch (engine_->StateOf(key)) {
      case UpdateEngine::KeyState::kReady: break;
      case UpdateEngine::KeyState::kInFlight: *allReady = false; break;
      case UpdateEngine::KeyState::kMissing: item->key = key; return true;
    }
  }
  return false;
}

bool ResourceGroup::EnsureConfig() {
  ScopedLock guard(configLock_);
  if (!configLoadTried_) {
    configLoadTried_ = true;
    configLoaded_ = LoadConfig();
    if (!configLoaded_ && log_ != nullptr)
      log_->Log(kLogError, "Load resource group config file \"%s\" failed.",
                configFileName_.c_str());
  }
  return configLoaded_;
}

bool ResourceGroup::LoadConfig() {
  if (packages_ == nullptr || engine_ == nullptr) return false;
  std::vector<char> bytes;
  if (!engine_->ReadLocalConfig(configFileName_.c_str(), &bytes)) return false;
  GroupFileList list;
  if (!list.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1))
    return false;
  firstFiles_.clear();
  subGroups_ = list.subGroups;
  lastFiles_.clear();
  for (const ResourceKey& key : list.firstFiles) firstFiles_.push_back(Resolve(key));
  for (const ResourceKey& key : list.lastFiles) lastFiles_.push_back(Resolve(key));
  return true;
}

ResourceKey ResourceGroup::Resolve(const ResourceKey& key) {
  return engine_->LinkTargetOf(key);
}

bool ResourceGroup::IsKeyReady(const ResourceKey& key) {
  return packages_ != nullptr && engine_ != nullptr && engine_->IsKeyReady(key);
}

bool ResourceGroup::GetReady() {
  ScopedLock guard(lock_);
  return ready_;
}

void ResourceGroup::SetReady() {
  ScopedLock guard(lock_);
  ready_ = true;
}

bool ResourceGroup::InWalk(const Walk& walk, const ResourceGroup* group) {
  return std::find(walk.begin(), walk.end(), group) != walk.end();
}

}  // namespace FileSystem
