// "updaterule_<i>.pcfg": the items of one idle-update rule. Little-endian:
// u32 N, then N entries, each
//   u8 isName; when not 0: u8 length L and L name bytes (a resource group);
//   when 0: u32 hash1, u32 hash2 (a file).
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ResourceName.h"

namespace FileSystem {

struct UpdateRuleEntry {
  std::string name;        // the group's name; empty for a file entry
  ResourceKey key{0, 0};   // the file's key; 0, 0 for a group entry
  bool isGroup = false;

  bool operator==(const UpdateRuleEntry& o) const {
    return isGroup == o.isGroup && name == o.name && key == o.key;
  }
};

class UpdateRuleFile {
 public:
  static constexpr size_t kMaxNameLength = 255;

  std::vector<UpdateRuleEntry> entries;

  // False on an empty file or any short read; the entries read before the
  // break stay. Bytes after the last entry are ignored.
  bool Parse(const uint8_t* data, size_t size);
  // False when a group name is longer than its one-byte length can say.
  bool Write(std::vector<uint8_t>* out) const;

  // "updaterule_<index>.pcfg", formatted as the rule list names it.
  static std::string FileName(int index);
};

}  // namespace FileSystem
