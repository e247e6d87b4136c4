// The stored form of an unpackaged (loose) file inside a package entry: its
// name relative to the package root, attributes, FILETIME, CRC-32 and the
// encoded content. The bytes come from packages and downloads, so the parser
// checks every field against the stored length and the name is vetted before
// it may become a path. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>

namespace FileSystem {

// nameLength byte + attributes + time + crc, before and after the name.
constexpr uint32_t kUnpackagedRecordFixedSize = 17;

struct UnpackagedFileRecord {
  std::string name;
  uint32_t attributes = 0;
  uint64_t time = 0;  // FILETIME, low word first on disk
  uint32_t crc = 0;
  const uint8_t* content = nullptr;  // points into the parsed bytes
  uint32_t contentLength = 0;

  // Length of the record's head: everything before the content.
  uint32_t HeadLength() const {
    return kUnpackagedRecordFixedSize + static_cast<uint32_t>(name.size());
  }
};

// False when a field does not lie within storedSize bytes.
bool ParseUnpackagedFileRecord(const uint8_t* data, uint32_t storedSize,
                               UnpackagedFileRecord* record);

// True when the name is a relative path that stays inside the package root:
// not empty, no leading separator, no drive letter or other ':', no '..'
// (or other dots-only) component, no device name, no control or wildcard
// characters, not ending in a separator.
bool IsSafeUnpackagedName(const std::string& name);

}  // namespace FileSystem
