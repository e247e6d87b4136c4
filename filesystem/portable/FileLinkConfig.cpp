#include "FileLinkConfig.h"

namespace FileSystem {

bool FileLinkConfig::Parse(const uint8_t* data, size_t size) {
  links.clear();
  ByteReader reader(data, size);
  uint32_t count = 0;
  if (!reader.ReadU32(&count)) return false;
  return ReadLinkGroups(&reader, count, &links);
}

bool FileLinkConfig::Write(std::vector<uint8_t>* out) const {
  if (!FitsCountField(links.size())) return false;
  ByteWriter writer;
  writer.U32(static_cast<uint32_t>(links.size()));
  for (const LinkGroup& group : links) {
    if (!WriteLinkGroup(group, &writer)) return false;
  }
  *out = writer.Take();
  return true;
}

}  // namespace FileSystem
