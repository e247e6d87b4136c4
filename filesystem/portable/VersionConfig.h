// "version.pcfg": the version every resource must have and the link groups
// of the product. Little-endian, no padding:
//   u32 N1, N1 x {u32 hash1, u32 hash2, u16 version};
//   u32 N2, N2 link groups (LinkGroup.h).
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LinkGroup.h"
#include "ResourceName.h"

namespace FileSystem {

struct VersionEntry {
  ResourceKey key{0, 0};
  uint16_t version = 0;

  bool operator==(const VersionEntry& o) const { return key == o.key && version == o.version; }
};

class VersionConfig {
 public:
  static constexpr const char* kFileName = "version.pcfg";
  static constexpr uint64_t kVersionRecordSize = 10;

  std::vector<VersionEntry> versions;
  std::vector<LinkGroup> links;

  // Reads the whole file. The version list must be complete (its N1 x 10
  // bytes are checked before any is read); of a broken link part the groups
  // and members read before the break are kept. False on any short read.
  // Bytes after the last group are ignored.
  bool Parse(const uint8_t* data, size_t size);
  // The exact bytes of the file; false when a count does not fit its field.
  bool Write(std::vector<uint8_t>* out) const;
};

}  // namespace FileSystem
