// What failed downloads leave behind for the next download of the same key:
// the restart budget it starts with, and whether its requests give up.
#pragma once

#include <map>
#include <set>

#include "base/CriticalSection.h"
#include "ResourceName.h"

namespace FileSystem {

class RestartBudgets {
 public:
  // Guards the budgets with the update manager's lock.
  explicit RestartBudgets(CriticalSection& lock);
  RestartBudgets(const RestartBudgets&) = delete;
  RestartBudgets& operator=(const RestartBudgets&) = delete;

  // A budget above 0 loses one; one of 0 or less is forgotten.
  void Touch(const ResourceKey& key);
  bool Find(const ResourceKey& key, int* budget);
  void Set(const ResourceKey& key, int budget);

  // The key will not arrive however often it is asked for again now.
  void GiveUp(const ResourceKey& key);
  bool HasGivenUp(const ResourceKey& key);
  // A download of the key started again.
  void Started(const ResourceKey& key);

  // Every key tried anew, with its whole budget.
  void Forget();

 private:
  CriticalSection& lock_;
  std::map<ResourceKey, int> budgets_;
  std::set<ResourceKey> givenUp_;
};

}  // namespace FileSystem
