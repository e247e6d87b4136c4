#include "update/UpdateRule.h"

#include "FileSystem.h"
#include "base/LogManager.h"
#include "update/ResourceGroup.h"
#include "update/UpdateEngine.h"

namespace FileSystem {

UpdateRule::UpdateRule(LogManager& log, UpdateEngine* engine, int index)
    : log_(log),
      engine_(engine),
      index_(index),
      fileName_(UpdateRuleFile::FileName(index)),
      fileKey_(HashResourceName(fileName_.c_str())) {}

bool UpdateRule::IsFinished() {
  if (!checked_) {
    CheckFinished();
    checked_ = true;
  }
  return finished_;
}

bool UpdateRule::CheckFinished() {
  if (!engine_->IsKeyReady(fileKey_) || !EnsureConfig()) return false;
  for (const UpdateRuleEntry& entry : entries_)
    if (!IsEntryReady(entry)) return false;
  finished_ = true;
  return true;
}

// A group the product does not know counts as ready: it has nothing to fetch.
bool UpdateRule::IsEntryReady(const UpdateRuleEntry& entry) {
  if (!entry.isGroup) return engine_->IsKeyReady(entry.key);
  ResourceGroup* group = engine_->FindResourceGroup(GroupKey(entry.name));
  return group == nullptr || group->IsReady();
}

bool UpdateRule::NextItem(uint32_t* hash1, uint32_t* hash2, bool* isDelta,
                          uint32_t* localVersion) {
  if (hash1 == nullptr || hash2 == nullptr || isDelta == nullptr || localVersion == nullptr)
    return false;
  if (IsFinished()) return false;
  Item item;
  bool found = false;
  const UpdateEngine::KeyState state = engine_->StateOf(fileKey_);
  if (state != UpdateEngine::KeyState::kReady) {
    found = state == UpdateEngine::KeyState::kMissing;
    item.key = fileKey_;
  } else if (EnsureConfig()) {
    bool allDone = true;
    for (const UpdateRuleEntry& entry : entries_) {
      found = NextEntryItem(entry, &item, &allDone);
      if (found) break;
    }
    if (!found && allDone) finished_ = true;
  }
  if (!found) return false;
  *hash1 = item.key.hash1;
  *hash2 = item.key.hash2;
  *isDelta = item.isDelta;
  *localVersion = item.localVersion;
  return true;
}

bool UpdateRule::NextEntryItem(const UpdateRuleEntry& entry, Item* item, bool* allDone) {
  if (!entry.isGroup) {
    switch (engine_->StateOf(entry.key)) {
      case UpdateEngine::KeyState::kReady: return false;
      case UpdateEngine::KeyState::kInFlight: *allDone = false; return false;
      case UpdateEngine::KeyState::kMissing: item->key = entry.key; return true;
    }
  }
  ResourceGroup* group = engine_->FindResourceGroup(GroupKey(entry.name));
  if (group == nullptr || group->IsReady()) return false;
  if (group->NextItem(&item->key.hash1, &item->key.hash2, &item->isDelta, &item->localVersion))
    return true;
  *allDone = false;
  return false;
}

// The configuration is loaded at most once; a failure is logged that once.
bool UpdateRule::EnsureConfig() {
  if (!loadTried_) {
    loadTried_ = true;
    loaded_ = LoadConfig();
    if (!loaded_)
      log_.Log(kLogError, "Load update rule config file \"%s\" failed.", fileName_.c_str());
  }
  return loaded_;
}

bool UpdateRule::LoadConfig() {
  std::vector<char> bytes;
  if (!engine_->ReadLocalConfig(fileName_.c_str(), &bytes)) return false;
  UpdateRuleFile config;
  if (!config.Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() - 1))
    return false;
  for (UpdateRuleEntry& entry : config.entries) {
    if (!entry.isGroup) entry.key = engine_->LinkTargetOf(entry.key);
    entries_.push_back(entry);
  }
  return true;
}

ResourceKey UpdateRule::GroupKey(const std::string& name) {
  return HashResourceName(name.c_str());
}

}  // namespace FileSystem
