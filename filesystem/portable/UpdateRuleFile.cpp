#include "UpdateRuleFile.h"

#include <cstdio>

#include "ByteReader.h"
#include "ByteWriter.h"

namespace FileSystem {

namespace {

bool ReadEntry(ByteReader* reader, UpdateRuleEntry* entry) {
  uint8_t isName = 0;
  if (!reader->ReadU8(&isName)) return false;
  entry->isGroup = isName != 0;
  if (!entry->isGroup) return reader->ReadKey(&entry->key);
  uint8_t length = 0;
  return reader->ReadU8(&length) && reader->ReadBytes(length, &entry->name);
}

}  // namespace

bool UpdateRuleFile::Parse(const uint8_t* data, size_t size) {
  entries.clear();
  if (size == 0) return false;
  ByteReader reader(data, size);
  uint32_t count = 0;
  if (!reader.ReadU32(&count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    UpdateRuleEntry entry;
    if (!ReadEntry(&reader, &entry)) return false;
    entries.push_back(entry);
  }
  return true;
}

bool UpdateRuleFile::Write(std::vector<uint8_t>* out) const {
  if (!FitsCountField(entries.size())) return false;
  ByteWriter writer;
  writer.U32(static_cast<uint32_t>(entries.size()));
  for (const UpdateRuleEntry& entry : entries) {
    if (!entry.isGroup) {
      writer.U8(0);
      writer.Key(entry.key);
      continue;
    }
    if (entry.name.size() > kMaxNameLength) return false;
    writer.U8(1);
    writer.U8(static_cast<uint8_t>(entry.name.size()));
    writer.Bytes(entry.name);
  }
  *out = writer.Take();
  return true;
}

std::string UpdateRuleFile::FileName(int index) {
  // At most 31 characters, as the rule's key is formed from them.
  char name[32];
  std::snprintf(name, sizeof(name), "updaterule_%d.pcfg", index);
  return name;
}

}  // namespace FileSystem
