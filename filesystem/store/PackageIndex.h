// The merged index as a package file sees it while it reads its own index
// or checks what is already stored; the package manager implements it.
#pragma once

#include <cstdint>

#include "PackageFormat.h"
#include "ResourceName.h"

namespace FileSystem {

class PackageFile;

class PackageIndex {
 public:
  // The merge rule: the highest version wins, the one indexed last among
  // equals.
  virtual bool IndexEntry(PackageFile* package, uint32_t slotOffset,
                          const FileIndexEntry* entry) = 0;
  // True with the indexed entry's version when the key is indexed.
  virtual bool FindEntry(const ResourceKey& key, uint32_t* version) = 0;

 protected:
  ~PackageIndex() = default;
};

}  // namespace FileSystem
