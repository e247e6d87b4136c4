// The four lists of finished and failed names that hosts take off: each a
// text of names separated by ';', with none at either end.
#pragma once

#include <cstdint>
#include <string>

#include "base/CriticalSection.h"

namespace FileSystem {

class UpdateLists {
 public:
  enum class List { kUpdatedFiles, kUpdateFailedFiles, kUpdatedResourceGroups,
                    kUpdateFailedResourceGroups };

  // Guards the lists with the update manager's lock.
  explicit UpdateLists(CriticalSection& lock);
  UpdateLists(const UpdateLists&) = delete;
  UpdateLists& operator=(const UpdateLists&) = delete;

  // False for a null name.
  bool Append(List list, const char* name);
  // The whole list when it fits; otherwise the names that fit whole, cut at
  // a separator, and the rest stays listed. With no whole name fitting the
  // buffer gets an empty text and the list is kept.
  bool TakeOff(List list, char* buffer, uint32_t size);
  void Clear();

 private:
  static constexpr int kListCount = 4;

  std::string& Text(List list) { return lists_[static_cast<int>(list)]; }

  CriticalSection& lock_;
  std::string lists_[kListCount];
};

}  // namespace FileSystem
