#include "ByteReader.h"

#include "PackageFormat.h"

namespace FileSystem {

bool ByteReader::ReadU8(uint8_t* value) {
  if (Remaining() < 1) return false;
  *value = data_[position_];
  position_ += 1;
  return true;
}

bool ByteReader::ReadU16(uint16_t* value) {
  if (Remaining() < 2) return false;
  *value = ::FileSystem::ReadU16(data_ + position_);
  position_ += 2;
  return true;
}

bool ByteReader::ReadU32(uint32_t* value) {
  if (Remaining() < 4) return false;
  *value = ::FileSystem::ReadU32(data_ + position_);
  position_ += 4;
  return true;
}

bool ByteReader::ReadKey(ResourceKey* key) {
  if (Remaining() < 8) return false;
  key->hash1 = ::FileSystem::ReadU32(data_ + position_);
  key->hash2 = ::FileSystem::ReadU32(data_ + position_ + 4);
  position_ += 8;
  return true;
}

bool ByteReader::ReadBytes(size_t n, std::string* out) {
  if (Remaining() < n) return false;
  out->assign(reinterpret_cast<const char*>(data_ + position_), n);
  position_ += n;
  return true;
}

bool ByteReader::HasRecords(uint64_t count, uint64_t recordSize) const {
  // count fits 32 bits and recordSize is a small constant at every call, so
  // the product stays far below 2^64.
  if (count > 0xFFFFFFFFull || recordSize > 0xFFFFFFFFull) return false;
  return count * recordSize <= static_cast<uint64_t>(Remaining());
}

}  // namespace FileSystem
