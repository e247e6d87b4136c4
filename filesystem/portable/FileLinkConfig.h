// "filelink.pcfg": the link groups of local mode, little-endian:
//   u32 N, N link groups (LinkGroup.h).
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LinkGroup.h"

namespace FileSystem {

class FileLinkConfig {
 public:
  static constexpr const char* kFileName = "filelink.pcfg";

  std::vector<LinkGroup> links;

  // False on a short read; the groups and members read before it are kept.
  // Bytes after the last group are ignored.
  bool Parse(const uint8_t* data, size_t size);
  bool Write(std::vector<uint8_t>* out) const;
};

}  // namespace FileSystem
