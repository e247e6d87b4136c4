#include "KeyList.h"

namespace FileSystem {

bool ReadKeyList(ByteReader* reader, std::vector<ResourceKey>* keys) {
  keys->clear();
  uint32_t count = 0;
  if (!reader->ReadU32(&count)) return false;
  if (!reader->HasRecords(count, 8)) return false;
  keys->reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    ResourceKey key;
    reader->ReadKey(&key);
    keys->push_back(key);
  }
  return true;
}

bool WriteKeyList(const std::vector<ResourceKey>& keys, ByteWriter* writer) {
  if (!FitsCountField(keys.size())) return false;
  writer->U32(static_cast<uint32_t>(keys.size()));
  for (const ResourceKey& key : keys) writer->Key(key);
  return true;
}

}  // namespace FileSystem
