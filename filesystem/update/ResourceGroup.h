// One resource group of the product, as "resourcegroup.pcfg" names it: a set
// of resources brought up to date as one unit, described by its own
// configuration file ("<name>.pcfg") and fetched whole as "<name>.pak".
//
// IsReady and NextItem take the group's locks and, through the file system,
// the update manager's lock: call them without the manager's lock held.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"

namespace FileSystem {

class LogManager;
class PackageManager;
class UpdateEngine;

class ResourceGroup {
 public:
  ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate);
  ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate,
                LogManager* log, PackageManager* packages, UpdateEngine* engine);
  virtual ~ResourceGroup() = default;
  ResourceGroup(const ResourceGroup&) = delete;
  ResourceGroup& operator=(const ResourceGroup&) = delete;

  const std::string& Name() const { return name_; }
  const ResourceKey& ConfigKey() const { return configKey_; }
  const ResourceKey& PackageKey() const { return packageKey_; }
  const std::string& ConfigFileName() const { return configFileName_; }
  int UpdateFileCount() const { return updateFileCount_; }
  bool IsWholeUpdate() const { return wholeUpdate_; }

  // The readiness test runs once; later changes come through NextItem.
  bool IsReady();
  // The next key to download for this group; false when there is none now.
  bool NextItem(uint32_t* hash1, uint32_t* hash2, bool* isDelta, uint32_t* localVersion);
  // Reads "<name>.pcfg" from the local packages; no download. Links of the
  // file blocks are replaced by their targets. IsReady and NextItem load it
  // at most once and then read the lists without a lock, so a direct call
  // belongs before they run.
  bool LoadConfig();

 private:
  struct Item {
    ResourceKey key{0, 0};
    bool isDelta = false;
    uint32_t localVersion = 0;
  };
  // The groups met so far in one walk over sub-groups: a group met again is
  // part of a cycle and neither gives an item nor counts as ready, so a
  // group that lists itself, directly or through others, cannot recurse
  // without end.
  using Walk = std::vector<const ResourceGroup*>;

  bool IsReadyIn(Walk* walk);
  void CheckReady(Walk* walk);
  bool NextItemIn(Walk* walk, Item* item);
  bool NextMemberItem(Walk* walk, Item* item);
  bool NextFileItem(const std::vector<ResourceKey>& files, Item* item, bool* allReady);
  bool EnsureConfig();
  bool SubGroupsReady(Walk* walk);
  bool FilesReady(const std::vector<ResourceKey>& files);
  bool IsKeyReady(const ResourceKey& key);
  ResourceKey Resolve(const ResourceKey& key);
  bool GetReady();
  void SetReady();
  static bool InWalk(const Walk& walk, const ResourceGroup* group);

  ResourceKey configKey_;
  ResourceKey packageKey_;
  LogManager* log_ = nullptr;
  PackageManager* packages_ = nullptr;
  UpdateEngine* engine_ = nullptr;
  std::string configFileName_;
  std::vector<ResourceKey> subGroups_;
  std::vector<ResourceKey> firstFiles_;
  std::vector<ResourceKey> lastFiles_;
  // Around the flags.
  CriticalSection lock_;
  // Around the one configuration load, so two threads do not both load it.
  CriticalSection configLock_;
  int updateFileCount_;
  bool ready_ = false;
  bool configLoadTried_ = false;
  bool configLoaded_ = false;
  bool wholeUpdate_;
  bool checked_ = false;
  std::string name_;
};

}  // namespace FileSystem
