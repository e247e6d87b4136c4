#include "update/UpdateGroup.h"

#include <algorithm>
#include <new>

#include "update/ResourceGroup.h"
#include "update/UpdateEngine.h"

namespace FileSystem {

UpdateGroup::UpdateGroup(UpdateEngine* manager, const std::string& name, bool fifo)
    : manager_(manager), name_(name), fifo_(fifo) {}

UpdateGroup::~UpdateGroup() { Clear(); }

bool UpdateGroup::AddFile(const char* name) {
  if (name == nullptr) return false;
  const ResourceKey key = manager_->LinkTargetOf(HashResourceName(name));
  {
    ScopedLock guard(lock_);
    if (IsQueued(name, false, key.hash1, key.hash2)) return true;
  }
  UpdateQueueNode* node = new (std::nothrow) UpdateQueueNode;
  if (node == nullptr) return false;
  node->hash1 = key.hash1;
  node->hash2 = key.hash2;
  node->text = name;
  Insert(node);
  return true;
}

bool UpdateGroup::AddResourceGroup(const char* name) {
  if (name == nullptr) return false;
  {
    ScopedLock guard(lock_);
    if (IsQueued(name, true, 0, 0)) return true;
  }
  UpdateQueueNode* node = new (std::nothrow) UpdateQueueNode;
  if (node == nullptr) return false;
  node->text = name;
  node->isGroup = true;
  Insert(node);
  return true;
}

void UpdateGroup::Insert(UpdateQueueNode* node) {
  ScopedLock guard(lock_);
  if (fifo_) {
    node->previous = last_;
    if (last_ != nullptr) last_->next = node;
    else first_ = node;
    last_ = node;
  } else {
    node->next = first_;
    if (first_ != nullptr) first_->previous = node;
    else last_ = node;
    first_ = node;
  }
}

bool UpdateGroup::IsQueued(const std::string& text, bool isGroup, uint32_t hash1,
                           uint32_t hash2) {
  for (UpdateQueueNode* node = first_; node != nullptr; node = node->next) {
    if (node->isGroup != isGroup || node->text != text) continue;
    if (isGroup || (node->hash1 == hash1 && node->hash2 == hash2)) return true;
  }
  return false;
}

void UpdateGroup::Clear() {
  ScopedLock guard(lock_);
  while (first_ != nullptr) Remove(first_);
}

// Unlinks and frees the node; returns the one after it.
UpdateQueueNode* UpdateGroup::Remove(UpdateQueueNode* node) {
  UpdateQueueNode* next = node->next;
  if (node->previous != nullptr) node->previous->next = next;
  else first_ = next;
  if (next != nullptr) next->previous = node->previous;
  else last_ = node->previous;
  delete node;
  return next;
}

bool UpdateGroup::NextTask(uint32_t* hash1, uint32_t* hash2, bool* isDelta,
                           uint32_t* localVersion) {
  if (hash1 == nullptr || hash2 == nullptr || isDelta == nullptr || localVersion == nullptr)
    return false;
  ScopedLock guard(lock_);
  UpdateQueueNode* node = first_;
  while (node != nullptr) {
    bool found = false;
    ResourceKey item{node->hash1, node->hash2};
    bool delta = false;
    uint32_t local = 0;
    UpdateQueueNode* next = node->isGroup
                                ? NextGroupTask(node, &item, &delta, &local, &found)
                                : NextFileTask(node, &found);
    if (found) {
      *hash1 = item.hash1;
      *hash2 = item.hash2;
      *isDelta = delta;
      *localVersion = local;
      return true;
    }
    node = next;
  }
  return false;
}

// Under the lock: sets found when the node's file is to be fetched now;
// otherwise returns the node to look at next.
UpdateQueueNode* UpdateGroup::NextFileTask(UpdateQueueNode* node, bool* found) {
  const ResourceKey key{node->hash1, node->hash2};
  // In flight first, for the reason UpdateEngine::StateOf gives.
  if (manager_->IsKeyInFlight(key)) return node->next;
  // The node holds the name's link target, so its own key answers for it.
  if (manager_->IsKeyReady(key)) {
    manager_->AppendUpdatedFile(node->text.c_str());
    return Remove(node);
  }
  // A download of this file that failed after all its restarts ends the
  // request, so that the host hears of it and a broken file is not fetched
  // again and again.
  if (node->issued && manager_->HasGivenUp(key)) {
    manager_->AppendUpdateFailedFile(node->text.c_str());
    return Remove(node);
  }
  manager_->TouchRestartBudget(key);
  node->issued = true;
  *found = true;
  return node;
}

// Under the lock: the next item of the requested resource group, as the
// group itself chooses it. A group the product does not know fails the
// request; so does an item of it that was handed out and then given up.
UpdateQueueNode* UpdateGroup::NextGroupTask(UpdateQueueNode* node, ResourceKey* item,
                                            bool* isDelta, uint32_t* localVersion,
                                            bool* found) {
  ResourceGroup* group = manager_->FindResourceGroup(HashResourceName(node->text.c_str()));
  if (group == nullptr) {
    manager_->AppendUpdateFailedResourceGroup(node->text.c_str());
    return Remove(node);
  }
  if (group->IsReady()) {
    manager_->AppendUpdatedResourceGroup(node->text.c_str());
    return Remove(node);
  }
  if (!group->NextItem(&item->hash1, &item->hash2, isDelta, localVersion)) return node->next;
  if (WasIssued(node, *item) && manager_->HasGivenUp(*item)) {
    manager_->AppendUpdateFailedResourceGroup(node->text.c_str());
    return Remove(node);
  }
  manager_->TouchRestartBudget(*item);
  if (!WasIssued(node, *item)) node->issuedItems.push_back(*item);
  *found = true;
  return node;
}

bool UpdateGroup::WasIssued(const UpdateQueueNode* node, const ResourceKey& key) {
  return std::find(node->issuedItems.begin(), node->issuedItems.end(), key) !=
         node->issuedItems.end();
}

// Files count one each; a group that is not ready counts its configured
// number of tasks.
int UpdateGroup::GetTaskCount() {
  ScopedLock guard(lock_);
  int count = 0;
  for (UpdateQueueNode* node = first_; node != nullptr; node = node->next) {
    if (!node->isGroup) {
      ++count;
      continue;
    }
    ResourceGroup* group = manager_->FindResourceGroup(HashResourceName(node->text.c_str()));
    if (group != nullptr && !group->IsReady()) count += group->UpdateFileCount();
  }
  return count;
}

}  // namespace FileSystem
