#include "UpdateRuleList.h"

#include "ByteReader.h"
#include "ByteWriter.h"

namespace FileSystem {

bool UpdateRuleList::Parse(const uint8_t* data, size_t size) {
  rules.clear();
  ByteReader reader(data, size);
  uint32_t count = 0;
  if (!reader.ReadU32(&count)) return false;
  // 4 + 8N in 64 bits: a count near 2^29 must not wrap to a small size.
  if (static_cast<uint64_t>(count) * 8 != static_cast<uint64_t>(reader.Remaining())) return false;
  rules.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    UpdateRuleRecord record;
    reader.ReadU32(&record.first);
    reader.ReadU32(&record.second);
    rules.push_back(record);
  }
  return true;
}

bool UpdateRuleList::Write(std::vector<uint8_t>* out) const {
  if (!FitsCountField(rules.size())) return false;
  ByteWriter writer;
  writer.U32(static_cast<uint32_t>(rules.size()));
  for (const UpdateRuleRecord& record : rules) {
    writer.U32(record.first);
    writer.U32(record.second);
  }
  *out = writer.Take();
  return true;
}

}  // namespace FileSystem
