#include "ResourceName.h"

namespace FileSystem {

namespace {

// The byte as the hash sees it: sign-extended, case-folded, '/' for '\\'.
inline int32_t HashByte(char byte) {
  int32_t c = static_cast<signed char>(byte);
  if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
  if (c == '\\') c = '/';
  return c;
}

}  // namespace

ResourceKey HashResourceName(const char* name) {
  uint32_t hash1 = 0;
  uint32_t hash2 = 0x4E67C6A7u;
  for (const char* p = name; *p != '\0'; ++p) {
    const uint32_t c = static_cast<uint32_t>(HashByte(*p));
    hash1 = hash1 * 65599u + c;
    hash2 ^= (hash2 << 5) + c + (hash2 >> 2);
  }
  return ResourceKey{hash1, hash2};
}

void NormalizeResourceName(char* name) {
  for (char* p = name; *p != '\0'; ++p) {
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + ('a' - 'A'));
    else if (*p == '\\') *p = '/';
  }
}

}  // namespace FileSystem
