#include "GroupFileList.h"

#include "KeyList.h"

namespace FileSystem {

bool GroupFileList::Parse(const uint8_t* data, size_t size) {
  ByteReader reader(data, size);
  if (ReadKeyList(&reader, &firstFiles) && ReadKeyList(&reader, &subGroups) &&
      ReadKeyList(&reader, &lastFiles)) {
    return true;
  }
  firstFiles.clear();
  subGroups.clear();
  lastFiles.clear();
  return false;
}

bool GroupFileList::Write(std::vector<uint8_t>* out) const {
  ByteWriter writer;
  if (!WriteKeyList(firstFiles, &writer) || !WriteKeyList(subGroups, &writer) ||
      !WriteKeyList(lastFiles, &writer)) {
    return false;
  }
  *out = writer.Take();
  return true;
}

}  // namespace FileSystem
