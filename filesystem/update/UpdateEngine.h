// The update manager as its resource groups, update queues, rules, waiting
// files and package adder call it back; it implements this, and they hold
// no more of it than these operations.
#pragma once

#include <vector>

#include "store/KeyReadiness.h"
#include "ResourceName.h"

namespace FileSystem {

class ResourceGroup;
class UpdatingFile;

class UpdateEngine : public KeyReadiness {
 public:
  // Whether a key is to be fetched, on its way or here, asked in that
  // order: a package stops counting as in flight only once its content is
  // in the store, so a key being added never looks missing for a moment.
  enum class KeyState { kMissing, kInFlight, kReady };
  virtual KeyState StateOf(const ResourceKey& key) = 0;

  // The group indexed under the key of its name, or null; the group lives
  // until the next group-map load or Exit.
  virtual ResourceGroup* FindResourceGroup(const ResourceKey& key) = 0;
  // A download of the key is running on a worker or waits for the adder.
  virtual bool IsKeyInFlight(const ResourceKey& key) = 0;
  // The HaveDeltaPackage setting of "resourcegroup.pcfg".
  virtual bool HaveDeltaPackage() = 0;
  // A configuration resource read whole from the local packages, without
  // download, followed by a 0 byte; false when it is missing or empty.
  virtual bool ReadLocalConfig(const char* name, std::vector<char>* bytes) = 0;
  // The key's link target, or the key itself.
  virtual ResourceKey LinkTargetOf(const ResourceKey& key) = 0;
  // True when the last download of the key failed after all its restarts,
  // or its package could not be added once its budget was spent.
  virtual bool HasGivenUp(const ResourceKey& key) = 0;
  virtual void TouchRestartBudget(const ResourceKey& key) = 0;
  virtual bool AppendUpdatedFile(const char* name) = 0;
  virtual bool AppendUpdateFailedFile(const char* name) = 0;
  virtual bool AppendUpdatedResourceGroup(const char* name) = 0;
  virtual bool AppendUpdateFailedResourceGroup(const char* name) = 0;
  // Called by a waiting file that goes away.
  virtual void RemoveWaitingFile(UpdatingFile* file) = 0;
  // Called by the adder, under the update manager's lock, once a package of
  // the key is in the store and its files are filled, or once it could not
  // be added, with the restart budget its download had left.
  virtual void PackageAdded(const ResourceKey& key) = 0;
  virtual void PackageRefused(const ResourceKey& key, int restartBudget) = 0;

 protected:
  ~UpdateEngine() = default;
};

}  // namespace FileSystem
