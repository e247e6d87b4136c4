// Appends little-endian fields to a byte buffer: the writing half of the
// configuration file formats. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ResourceName.h"

namespace FileSystem {

// A count of n items fits a u32 count field (always true where size_t has
// 32 bits).
inline bool FitsCountField(uint64_t n) { return n <= 0xFFFFFFFFull; }

class ByteWriter {
 public:
  void U8(uint8_t value) { bytes_.push_back(value); }
  void U16(uint16_t value);
  void U32(uint32_t value);
  void Key(const ResourceKey& key) {
    U32(key.hash1);
    U32(key.hash2);
  }
  void Bytes(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }

  const std::vector<uint8_t>& Result() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace FileSystem
