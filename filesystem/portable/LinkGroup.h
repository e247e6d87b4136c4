// The link group record shared by "version.pcfg" and "filelink.pcfg":
// u32 count (names in the group, target included), the target's key, then
// count - 1 member keys. A member's content is the target's content.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <vector>

#include "ByteReader.h"
#include "ByteWriter.h"
#include "ResourceName.h"

namespace FileSystem {

struct LinkGroup {
  ResourceKey target{0, 0};
  std::vector<ResourceKey> members;

  bool operator==(const LinkGroup& o) const { return target == o.target && members == o.members; }
};

// Reads `count` records into *groups. A record whose count field is 0 or 1
// carries no members (0 does not mean 2^32 - 1 members). On a short read the
// records before it stay in *groups, and so does the broken record with the
// members read before the break (when its target was read), so a loader can
// keep every pair it saw; the result is then false.
bool ReadLinkGroups(ByteReader* reader, uint32_t count, std::vector<LinkGroup>* groups);

// Writes a record; false when the group has more members than its 32-bit
// count field can announce.
bool WriteLinkGroup(const LinkGroup& group, ByteWriter* writer);

}  // namespace FileSystem
