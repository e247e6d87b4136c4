// "singlefiles.pcfg": the files an update of everything brings up to date
// besides the resource groups. u32 N, then N x {u32 hash1, u32 hash2}; the
// file must hold at least 4 + 8N bytes, more are ignored.
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ResourceName.h"

namespace FileSystem {

class SingleFileList {
 public:
  static constexpr const char* kFileName = "singlefiles.pcfg";

  std::vector<ResourceKey> files;

  // False (and no files) for fewer than 4 bytes or fewer than 4 + 8N.
  bool Parse(const uint8_t* data, size_t size);
  bool Write(std::vector<uint8_t>* out) const;
};

}  // namespace FileSystem
