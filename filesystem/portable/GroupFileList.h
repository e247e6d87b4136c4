// A resource group's own configuration file, "<group>.pcfg": three counted
// key blocks, little-endian:
//   1. files of the group,
//   2. sub-groups (keys of other groups' names),
//   3. more files of the group.
// Links are resolved by the loader, not here. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ResourceName.h"

namespace FileSystem {

class GroupFileList {
 public:
  std::vector<ResourceKey> firstFiles;
  std::vector<ResourceKey> subGroups;
  std::vector<ResourceKey> lastFiles;

  // All three blocks must be complete; on failure all three lists are empty.
  // Bytes after the third block are ignored.
  bool Parse(const uint8_t* data, size_t size);
  bool Write(std::vector<uint8_t>* out) const;

  // "<group>.pcfg" and "<group>.pak": the names whose keys stand for a
  // group's configuration file and its whole-group package.
  static std::string ConfigFileName(const std::string& group) { return group + ".pcfg"; }
  static std::string PackageFileName(const std::string& group) { return group + ".pak"; }
};

}  // namespace FileSystem
