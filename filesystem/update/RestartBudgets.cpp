#include "update/RestartBudgets.h"

namespace FileSystem {

RestartBudgets::RestartBudgets(CriticalSection& lock) : lock_(lock) {}

void RestartBudgets::Touch(const ResourceKey& key) {
  ScopedLock guard(lock_);
  const auto found = budgets_.find(key);
  if (found == budgets_.end()) return;
  if (found->second > 0) --found->second;
  else budgets_.erase(found);
}

bool RestartBudgets::Find(const ResourceKey& key, int* budget) {
  ScopedLock guard(lock_);
  const auto found = budgets_.find(key);
  if (found == budgets_.end()) return false;
  *budget = found->second;
  return true;
}

void RestartBudgets::Set(const ResourceKey& key, int budget) {
  ScopedLock guard(lock_);
  budgets_[key] = budget;
}

void RestartBudgets::GiveUp(const ResourceKey& key) {
  ScopedLock guard(lock_);
  givenUp_.insert(key);
}

bool RestartBudgets::HasGivenUp(const ResourceKey& key) {
  ScopedLock guard(lock_);
  return givenUp_.count(key) != 0;
}

void RestartBudgets::Started(const ResourceKey& key) {
  ScopedLock guard(lock_);
  givenUp_.erase(key);
}

void RestartBudgets::Forget() {
  ScopedLock guard(lock_);
  givenUp_.clear();
  budgets_.clear();
}

}  // namespace FileSystem
