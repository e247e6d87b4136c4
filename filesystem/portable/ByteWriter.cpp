#include "ByteWriter.h"

#include "PackageFormat.h"

namespace FileSystem {

void ByteWriter::U16(uint16_t value) {
  uint8_t field[2];
  WriteU16(field, value);
  bytes_.insert(bytes_.end(), field, field + 2);
}

void ByteWriter::U32(uint32_t value) {
  uint8_t field[4];
  WriteU32(field, value);
  bytes_.insert(bytes_.end(), field, field + 4);
}

}  // namespace FileSystem
