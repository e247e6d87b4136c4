// One idle-update rule: the items listed in "updaterule_<index>.pcfg", which
// idle download workers fetch while a host has selected the rule and nothing
// requested is waiting. Used by the scheduling thread alone; it reaches the
// update manager only through calls that take the manager's lock themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ResourceName.h"
#include "UpdateRuleFile.h"

namespace FileSystem {

class LogManager;
class UpdateEngine;

class UpdateRule {
 public:
  UpdateRule(LogManager& log, UpdateEngine* engine, int index);
  virtual ~UpdateRule() = default;
  UpdateRule(const UpdateRule&) = delete;
  UpdateRule& operator=(const UpdateRule&) = delete;

  int Index() const { return index_; }
  const std::string& FileName() const { return fileName_; }
  const ResourceKey& FileKey() const { return fileKey_; }

  // Finished once every item is local at its listed version; checked once,
  // later changes come through NextItem.
  bool IsFinished();
  // The next key to download for this rule; false when there is none now.
  bool NextItem(uint32_t* hash1, uint32_t* hash2, bool* isDelta, uint32_t* localVersion);
  // Reads the rule's file from the local packages, without download; file
  // entries are replaced by their link targets.
  bool LoadConfig();
  bool CheckFinished();

 private:
  struct Item {
    ResourceKey key{0, 0};
    bool isDelta = false;
    uint32_t localVersion = 0;
  };

  bool EnsureConfig();
  bool NextEntryItem(const UpdateRuleEntry& entry, Item* item, bool* allDone);
  bool IsEntryReady(const UpdateRuleEntry& entry);
  ResourceKey GroupKey(const std::string& name);

  LogManager& log_;
  UpdateEngine* engine_;
  int index_;
  std::string fileName_;
  ResourceKey fileKey_;
  std::vector<UpdateRuleEntry> entries_;
  bool finished_ = false;
  bool loadTried_ = false;
  bool loaded_ = false;
  bool checked_ = false;
};

}  // namespace FileSystem
