#include "LinkGroup.h"

namespace FileSystem {

namespace {

bool ReadOneGroup(ByteReader* reader, std::vector<LinkGroup>* groups) {
  uint32_t count = 0;
  ResourceKey target;
  if (!reader->ReadU32(&count) || !reader->ReadKey(&target)) return false;
  groups->push_back(LinkGroup{target, {}});
  const uint32_t memberCount = count > 1 ? count - 1 : 0;
  // Reserve only what the buffer can really hold, never what the field says.
  if (reader->HasRecords(memberCount, 8)) groups->back().members.reserve(memberCount);
  for (uint32_t i = 0; i < memberCount; ++i) {
    ResourceKey member;
    if (!reader->ReadKey(&member)) return false;
    groups->back().members.push_back(member);
  }
  return true;
}

}  // namespace

bool ReadLinkGroups(ByteReader* reader, uint32_t count, std::vector<LinkGroup>* groups) {
  for (uint32_t i = 0; i < count; ++i) {
    if (!ReadOneGroup(reader, groups)) return false;
  }
  return true;
}

bool WriteLinkGroup(const LinkGroup& group, ByteWriter* writer) {
  if (group.members.size() >= 0xFFFFFFFFull) return false;
  writer->U32(static_cast<uint32_t>(group.members.size() + 1));
  writer->Key(group.target);
  for (const ResourceKey& member : group.members) writer->Key(member);
  return true;
}

}  // namespace FileSystem
