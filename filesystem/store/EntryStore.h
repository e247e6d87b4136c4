// The index lookups and entry writes that merging a download image and
// restoring loose files need of the package manager, which implements them:
// the merger reaches the store only through here, so neither includes the
// other.
#pragma once

#include <cstdint>
#include <vector>

#include "PackageFormat.h"
#include "ResourceName.h"

namespace FileSystem {

class PackageFile;

// Where the index found a key: the package, its slot's file offset and a
// copy of the slot.
struct IndexedEntry {
  PackageFile* package;
  uint32_t slotOffset;
  FileIndexEntry entry;
};

class EntryStore {
 public:
  virtual bool LookupEntry(const ResourceKey& key, IndexedEntry* found) = 0;
  // True also when the key is indexed at that version or a later one: then
  // nothing is written.
  virtual bool AddFile(const ResourceKey& key, uint32_t version, int storedMethod, int wantedMethod,
                       uint8_t flags, uint32_t size, const void* data, uint32_t storedSize,
                       uint32_t capacity) = 0;
  // The keys of every indexed entry with the unpackaged flag, in key order.
  virtual std::vector<ResourceKey> UnpackagedKeys() = 0;

 protected:
  ~EntryStore() = default;
};

}  // namespace FileSystem
