// A little-endian reader over a buffer of configuration bytes. Every read is
// checked against the bytes that are really there; a read that comes short
// fails and leaves the position where it was. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ResourceName.h"

namespace FileSystem {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  bool ReadU8(uint8_t* value);
  bool ReadU16(uint16_t* value);
  bool ReadU32(uint32_t* value);
  bool ReadKey(ResourceKey* key);
  bool ReadBytes(size_t n, std::string* out);
  // True when count records of recordSize bytes each still follow. The
  // product is formed in 64 bits, so a count read from a file cannot wrap it.
  bool HasRecords(uint64_t count, uint64_t recordSize) const;

  size_t Position() const { return position_; }
  size_t Remaining() const { return size_ - position_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace FileSystem
