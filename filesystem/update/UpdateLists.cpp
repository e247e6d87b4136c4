#include "update/UpdateLists.h"

#include <cstring>

namespace FileSystem {

UpdateLists::UpdateLists(CriticalSection& lock) : lock_(lock) {}

bool UpdateLists::Append(List list, const char* name) {
  if (name == nullptr) return false;
  ScopedLock guard(lock_);
  std::string& text = Text(list);
  if (!text.empty()) text.push_back(';');
  text.append(name);
  return true;
}

bool UpdateLists::TakeOff(List list, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return false;
  ScopedLock guard(lock_);
  std::string& text = Text(list);
  if (text.size() < size) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    text.clear();
    return true;
  }
  // The last byte holds the NUL; a separator is sought from the byte before
  // it backwards, none at all with a buffer of one byte.
  for (size_t j = size - 1; j-- > 0;) {
    if (text[j] != ';') continue;
    std::memcpy(buffer, text.data(), j);
    buffer[j] = 0;
    text.erase(0, j + 1);
    return true;
  }
  buffer[0] = 0;
  return false;
}

void UpdateLists::Clear() {
  ScopedLock guard(lock_);
  for (std::string& text : lists_) text.clear();
}

}  // namespace FileSystem
