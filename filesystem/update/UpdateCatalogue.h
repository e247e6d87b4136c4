// What the product says it consists of: the version every resource must
// have, the link groups, the resource groups with their delta-package
// settings, and how far loading each of the two maps got. The update
// manager's initialisation thread fills it; every other thread looks up in
// it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "base/CriticalSection.h"
#include "DeltaSettings.h"
#include "ResourceName.h"

namespace FileSystem {

class ResourceGroup;
class VersionConfig;

class UpdateCatalogue {
 public:
  // One for the version map, one for the resource-group map.
  enum class MapState { kNotLoaded, kLoading, kLoaded, kFailed };

  // Guards everything here with the update manager's lock.
  explicit UpdateCatalogue(CriticalSection& lock);
  ~UpdateCatalogue();
  UpdateCatalogue(const UpdateCatalogue&) = delete;
  UpdateCatalogue& operator=(const UpdateCatalogue&) = delete;

  // Both maps back to not loaded, before a new initialisation.
  void ResetMapStates();
  // Everything forgotten, the settings back to their defaults.
  void Clear();

  // Empties both maps and lists the version file itself at the server's
  // version.
  void BeginVersionMapLoad(const ResourceKey& versionFile, uint32_t serverVersion);
  // A later record overrides an earlier one; a link member takes its
  // target's listed version as it stands when the group is read.
  void AddVersionConfig(const VersionConfig& config);
  void EndVersionMapLoad(MapState end);
  MapState VersionMapState();
  // False (version 0) until the version map is loaded.
  bool GetListedVersion(const ResourceKey& key, uint32_t* version);
  // True with the target and its listed version when the key is a link member.
  bool FindLinkTarget(const ResourceKey& key, ResourceKey* target, uint32_t* version);
  // The key's link target, or the key itself.
  ResourceKey LinkTargetOf(const ResourceKey& key);

  void BeginGroupMapLoad();
  void EndGroupMapLoad(MapState end);
  MapState GroupMapState();
  DeltaSettings GetDeltaSettings();
  void SetDeltaSettings(const DeltaSettings& settings);
  // Appended in file order under the key of its name; false (the group
  // deleted) when that key is indexed already.
  bool AddResourceGroup(const ResourceKey& key, std::unique_ptr<ResourceGroup> group);
  // The group lives until the next group-map load or Clear.
  ResourceGroup* FindResourceGroup(const ResourceKey& key);
  // In file order.
  std::vector<ResourceGroup*> ResourceGroups();
  // The groups are deleted after the lock is left: their destructors need
  // none of it.
  void DeleteResourceGroups();

 private:
  struct LinkTarget {
    ResourceKey target{0, 0};
    uint32_t version = 0;
  };

  CriticalSection& lock_;
  std::map<ResourceKey, uint16_t> versionMap_;
  std::map<ResourceKey, LinkTarget> linkMap_;
  std::vector<std::unique_ptr<ResourceGroup>> resourceGroups_;
  std::map<ResourceKey, ResourceGroup*> resourceGroupIndex_;
  DeltaSettings deltaSettings_;
  MapState versionMapState_ = MapState::kNotLoaded;
  MapState groupMapState_ = MapState::kNotLoaded;
};

}  // namespace FileSystem
