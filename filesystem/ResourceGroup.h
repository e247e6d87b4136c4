// One resource group of the product, as "resourcegroup.pcfg" names it: a set
// of resources brought up to date as one unit, described by its own
// configuration file ("<name>.pcfg") and fetched whole as "<name>.pak".
#pragma once

#include <string>

#include "ResourceName.h"

namespace FileSystem {

class ResourceGroup {
 public:
  ResourceGroup(const std::string& name, int updateFileCount, bool wholeUpdate);
  virtual ~ResourceGroup() = default;
  ResourceGroup(const ResourceGroup&) = delete;
  ResourceGroup& operator=(const ResourceGroup&) = delete;

  const std::string& Name() const { return name_; }
  const ResourceKey& ConfigKey() const { return configKey_; }
  const ResourceKey& PackageKey() const { return packageKey_; }
  const std::string& ConfigFileName() const { return configFileName_; }
  int UpdateFileCount() const { return updateFileCount_; }
  bool IsWholeUpdate() const { return wholeUpdate_; }

 private:
  std::string name_;
  std::string configFileName_;
  ResourceKey configKey_;
  ResourceKey packageKey_;
  int updateFileCount_;
  bool wholeUpdate_;
};

}  // namespace FileSystem
