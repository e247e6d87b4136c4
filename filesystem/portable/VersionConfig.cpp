#include "VersionConfig.h"

namespace FileSystem {

bool VersionConfig::Parse(const uint8_t* data, size_t size) {
  versions.clear();
  links.clear();
  ByteReader reader(data, size);
  uint32_t count = 0;
  if (!reader.ReadU32(&count) || !reader.HasRecords(count, kVersionRecordSize)) return false;
  versions.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    VersionEntry entry;
    reader.ReadKey(&entry.key);
    reader.ReadU16(&entry.version);
    versions.push_back(entry);
  }
  uint32_t groupCount = 0;
  if (!reader.ReadU32(&groupCount)) return false;
  return ReadLinkGroups(&reader, groupCount, &links);
}

bool VersionConfig::Write(std::vector<uint8_t>* out) const {
  if (!FitsCountField(versions.size()) || !FitsCountField(links.size())) return false;
  ByteWriter writer;
  writer.U32(static_cast<uint32_t>(versions.size()));
  for (const VersionEntry& entry : versions) {
    writer.Key(entry.key);
    writer.U16(entry.version);
  }
  writer.U32(static_cast<uint32_t>(links.size()));
  for (const LinkGroup& group : links) {
    if (!WriteLinkGroup(group, &writer)) return false;
  }
  *out = writer.Take();
  return true;
}

}  // namespace FileSystem
