#include "update/UpdateCatalogue.h"

#include "update/ResourceGroup.h"
#include "VersionConfig.h"

namespace FileSystem {

UpdateCatalogue::UpdateCatalogue(CriticalSection& lock) : lock_(lock) {}

UpdateCatalogue::~UpdateCatalogue() = default;

void UpdateCatalogue::ResetMapStates() {
  ScopedLock guard(lock_);
  versionMapState_ = MapState::kNotLoaded;
  groupMapState_ = MapState::kNotLoaded;
}

void UpdateCatalogue::Clear() {
  DeleteResourceGroups();
  ScopedLock guard(lock_);
  deltaSettings_ = DeltaSettings();
  versionMap_.clear();
  linkMap_.clear();
  versionMapState_ = MapState::kNotLoaded;
  groupMapState_ = MapState::kNotLoaded;
}

void UpdateCatalogue::BeginVersionMapLoad(const ResourceKey& versionFile,
                                          uint32_t serverVersion) {
  ScopedLock guard(lock_);
  versionMapState_ = MapState::kLoading;
  versionMap_.clear();
  linkMap_.clear();
  versionMap_[versionFile] = static_cast<uint16_t>(serverVersion);
}

void UpdateCatalogue::AddVersionConfig(const VersionConfig& config) {
  ScopedLock guard(lock_);
  for (const VersionEntry& entry : config.versions) versionMap_[entry.key] = entry.version;
  for (const LinkGroup& group : config.links) {
    const auto listed = versionMap_.find(group.target);
    const uint32_t version = listed != versionMap_.end() ? listed->second : 0;
    for (const ResourceKey& member : group.members) linkMap_[member] = {group.target, version};
  }
}

void UpdateCatalogue::EndVersionMapLoad(MapState end) {
  ScopedLock guard(lock_);
  versionMapState_ = end;
}

UpdateCatalogue::MapState UpdateCatalogue::VersionMapState() {
  ScopedLock guard(lock_);
  return versionMapState_;
}

bool UpdateCatalogue::GetListedVersion(const ResourceKey& key, uint32_t* version) {
  if (version != nullptr) *version = 0;
  ScopedLock guard(lock_);
  if (versionMapState_ != MapState::kLoaded) return false;
  const auto found = versionMap_.find(key);
  if (version != nullptr && found != versionMap_.end()) *version = found->second;
  return true;
}

bool UpdateCatalogue::FindLinkTarget(const ResourceKey& key, ResourceKey* target,
                                     uint32_t* version) {
  ScopedLock guard(lock_);
  const auto found = linkMap_.find(key);
  if (found == linkMap_.end()) return false;
  if (target != nullptr) *target = found->second.target;
  if (version != nullptr) *version = found->second.version;
  return true;
}

ResourceKey UpdateCatalogue::LinkTargetOf(const ResourceKey& key) {
  ResourceKey target = key;
  if (!FindLinkTarget(key, &target, nullptr)) return key;
  return target;
}

void UpdateCatalogue::BeginGroupMapLoad() {
  ScopedLock guard(lock_);
  groupMapState_ = MapState::kLoading;
}

void UpdateCatalogue::EndGroupMapLoad(MapState end) {
  ScopedLock guard(lock_);
  groupMapState_ = end;
}

UpdateCatalogue::MapState UpdateCatalogue::GroupMapState() {
  ScopedLock guard(lock_);
  return groupMapState_;
}

DeltaSettings UpdateCatalogue::GetDeltaSettings() {
  ScopedLock guard(lock_);
  return deltaSettings_;
}

void UpdateCatalogue::SetDeltaSettings(const DeltaSettings& settings) {
  ScopedLock guard(lock_);
  deltaSettings_ = settings;
}

bool UpdateCatalogue::AddResourceGroup(const ResourceKey& key,
                                       std::unique_ptr<ResourceGroup> group) {
  {
    ScopedLock guard(lock_);
    if (resourceGroupIndex_.count(key) == 0) {
      resourceGroupIndex_[key] = group.get();
      resourceGroups_.push_back(std::move(group));
      return true;
    }
  }
  return false;
}

ResourceGroup* UpdateCatalogue::FindResourceGroup(const ResourceKey& key) {
  ScopedLock guard(lock_);
  const auto found = resourceGroupIndex_.find(key);
  return found != resourceGroupIndex_.end() ? found->second : nullptr;
}

std::vector<ResourceGroup*> UpdateCatalogue::ResourceGroups() {
  std::vector<ResourceGroup*> groups;
  ScopedLock guard(lock_);
  for (const std::unique_ptr<ResourceGroup>& group : resourceGroups_)
    groups.push_back(group.get());
  return groups;
}

void UpdateCatalogue::DeleteResourceGroups() {
  std::vector<std::unique_ptr<ResourceGroup>> groups;
  ScopedLock guard(lock_);
  groups.swap(resourceGroups_);
  resourceGroupIndex_.clear();
}

}  // namespace FileSystem
