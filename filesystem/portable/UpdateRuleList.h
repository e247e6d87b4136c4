// "updaterules.pcfg": the idle-update rules. u32 N, then N records
// {u32 first, u32 second}; the file must be exactly 4 + 8N bytes. Record i
// is the rule whose items are in "updaterule_<i>.pcfg" and which a host
// selects with the level `second` and the map `first`.
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace FileSystem {

struct UpdateRuleRecord {
  uint32_t first = 0;   // the map
  uint32_t second = 0;  // the level

  bool operator==(const UpdateRuleRecord& o) const {
    return first == o.first && second == o.second;
  }
};

// The key a rule is kept under: (level, map) as signed numbers, compared
// level first, the pair a host passes to select it.
struct UpdateRuleKey {
  int32_t level = 0;
  int32_t map = 0;

  bool operator<(const UpdateRuleKey& o) const {
    return level != o.level ? level < o.level : map < o.map;
  }
  bool operator==(const UpdateRuleKey& o) const { return level == o.level && map == o.map; }
};

class UpdateRuleList {
 public:
  static constexpr const char* kFileName = "updaterules.pcfg";

  std::vector<UpdateRuleRecord> rules;

  // False (and no rules) unless the size is exactly 4 + 8N; an empty file
  // fails too.
  bool Parse(const uint8_t* data, size_t size);
  bool Write(std::vector<uint8_t>* out) const;

  static UpdateRuleKey KeyOf(const UpdateRuleRecord& record) {
    return UpdateRuleKey{static_cast<int32_t>(record.second), static_cast<int32_t>(record.first)};
  }
};

}  // namespace FileSystem
