// Resource keys: every resource is known by a pair of 32-bit hashes of its
// name, never by the name text. Portable: no Windows headers.
#pragma once

#include <cstdint>

namespace FileSystem {

struct ResourceKey {
  uint32_t hash1;
  uint32_t hash2;

  bool operator==(const ResourceKey& o) const { return hash1 == o.hash1 && hash2 == o.hash2; }
  bool operator!=(const ResourceKey& o) const { return !(*this == o); }
  // Ordered as unsigned numbers, hash1 first.
  bool operator<(const ResourceKey& o) const {
    return hash1 != o.hash1 ? hash1 < o.hash1 : hash2 < o.hash2;
  }
};

// The key of a NUL-terminated name: ASCII 'A'-'Z' count as lower case and
// '\\' as '/'; every other byte takes part as a signed 8-bit value.
ResourceKey HashResourceName(const char* name);

// Lowers 'A'-'Z' and turns '\\' into '/' in place; other bytes stay.
void NormalizeResourceName(char* name);

}  // namespace FileSystem
