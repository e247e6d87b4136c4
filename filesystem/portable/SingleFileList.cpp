#include "SingleFileList.h"

#include "KeyList.h"

namespace FileSystem {

bool SingleFileList::Parse(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  return ReadKeyList(&reader, &files);
}

bool SingleFileList::Write(std::vector<uint8_t>* out) const {
  ByteWriter writer;
  if (!WriteKeyList(files, &writer)) return false;
  *out = writer.Take();
  return true;
}

}  // namespace FileSystem
