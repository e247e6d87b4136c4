// A named queue of host requests for files and resource groups, served one
// download at a time by the scheduler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "ResourceName.h"

namespace FileSystem {

class UpdateEngine;

// One request: a file (with the pair of its link target) or a resource group
// (pair 0, 0), with the text the host gave.
struct UpdateQueueNode {
  uint32_t hash1 = 0;
  uint32_t hash2 = 0;
  std::string text;
  UpdateQueueNode* next = nullptr;
  UpdateQueueNode* previous = nullptr;
  bool isGroup = false;
  // Handed to a worker at least once: a download that then fails for good
  // ends the request.
  bool issued = false;
  // A group request: the items handed out for it so far.
  std::vector<ResourceKey> issuedItems;
};

class UpdateGroup {
 public:
  UpdateGroup(UpdateEngine* manager, const std::string& name, bool fifo);
  virtual ~UpdateGroup();
  UpdateGroup(const UpdateGroup&) = delete;
  UpdateGroup& operator=(const UpdateGroup&) = delete;

  const std::string& Name() const { return name_; }

  bool AddFile(const char* name);
  bool AddResourceGroup(const char* name);
  void Clear();
  // The next download the queue wants, taking finished and failed requests
  // off on the way; false when nothing is to be fetched now.
  bool NextTask(uint32_t* hash1, uint32_t* hash2, bool* isDelta, uint32_t* localVersion);
  int GetTaskCount();

 private:
  void Insert(UpdateQueueNode* node);
  // Under the lock.
  bool IsQueued(const std::string& text, bool isGroup, uint32_t hash1, uint32_t hash2);
  UpdateQueueNode* Remove(UpdateQueueNode* node);
  UpdateQueueNode* NextFileTask(UpdateQueueNode* node, bool* found);
  UpdateQueueNode* NextGroupTask(UpdateQueueNode* node, ResourceKey* item, bool* isDelta,
                                 uint32_t* localVersion, bool* found);
  static bool WasIssued(const UpdateQueueNode* node, const ResourceKey& key);

  UpdateEngine* manager_;
  std::string name_;
  UpdateQueueNode* first_ = nullptr;
  UpdateQueueNode* last_ = nullptr;
  CriticalSection lock_;
  bool fifo_;
};

}  // namespace FileSystem
