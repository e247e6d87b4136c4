#include "DownloadTreeBuilder.h"

#include <cstdio>
#include <set>

#include "store/Directories.h"
#include "DownloadImageBuilder.h"
#include "DownloadPackageName.h"
#include "FileLinkConfig.h"
#include "GroupFileList.h"
#include "ResourceGroupConfig.h"
#include "SingleFileList.h"
#include "UpdateRuleFile.h"
#include "UpdateRuleList.h"
#include "VersionConfig.h"

namespace Publisher {

namespace {

using FileSystem::HashResourceName;
using FileSystem::ResourceKey;

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  uint8_t chunk[65536];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

ResourceKey Key(const std::string& name) { return HashResourceName(name.c_str()); }

ImageEntry EntryOf(const ManifestResource& declared, const std::vector<uint8_t>& content) {
  ImageEntry e;
  e.key = Key(declared.name);
  e.version = declared.version;
  e.removed = declared.removed;
  e.method = declared.method;
  e.wantedMethod = declared.wantedMethod;
  e.wantedGiven = declared.wantedGiven;
  e.content = content;
  e.capacity = declared.capacity;
  e.unpackaged = declared.loose;
  e.path = declared.path.empty() ? declared.name : declared.path;
  e.attributes = declared.attributes;
  e.time = declared.time;
  return e;
}

bool BuildImage(const std::vector<ImageEntry>& entries, std::vector<uint8_t>* image,
                std::string* error) {
  DownloadImageBuilder builder;
  for (const ImageEntry& e : entries) {
    if (!builder.Add(e, error)) return false;
  }
  return builder.Build(image, error);
}

}  // namespace

bool DownloadTreeBuilder::Build(DownloadTree* tree, std::string* error) {
  tree->clear();
  resources_.clear();
  order_.clear();
  links_.clear();
  if (!LoadResources(error) || !GenerateConfigs(error) || !CheckReferences(error) ||
      !GenerateVersionConfig(error)) {
    return false;
  }
  for (const ResourceKey& key : order_) {
    if (!FullPackage(resources_.at(key), tree, error)) return false;
  }
  for (const ManifestGroup& group : manifest_.groups) {
    if (!GroupPackage(group, 0, false, tree, error)) return false;
  }
  for (const ManifestDelta& delta : manifest_.deltas) {
    if (!DeltaPackage(delta, tree, error)) return false;
  }
  return true;
}

bool DownloadTreeBuilder::AddResource(const ManifestResource& declared,
                                      std::vector<uint8_t> content, std::string* error) {
  const ResourceKey key = Key(declared.name);
  if (resources_.count(key) != 0) {
    *error = "\"" + declared.name + "\" is defined twice (or shares its key with another name)";
    return false;
  }
  resources_[key] = Resource{declared, std::move(content)};
  order_.push_back(key);
  return true;
}

bool DownloadTreeBuilder::LoadResources(std::string* error) {
  for (const ManifestResource& declared : manifest_.resources) {
    std::vector<uint8_t> content;
    const std::string source =
        folder_ + "/" + (declared.source.empty() ? declared.name : declared.source);
    if (!declared.removed && !ReadFile(source, &content)) {
      *error = "line " + std::to_string(declared.line) + ": cannot read \"" + source + "\"";
      return false;
    }
    if (!AddResource(declared, std::move(content), error)) return false;
  }
  // Each group's package key stands for the whole group at its version.
  for (const ManifestGroup& group : manifest_.groups) {
    ManifestResource marker;
    marker.name = FileSystem::GroupFileList::PackageFileName(group.name);
    marker.version = group.version;
    if (!AddResource(marker, {}, error)) return false;
  }
  return true;
}

// A configuration file is a resource like any other; a manifest file of the
// same name takes its place.
bool DownloadTreeBuilder::AddGenerated(const std::string& name, uint16_t version,
                                       std::vector<uint8_t> content, std::string* error) {
  if (resources_.count(Key(name)) != 0) return true;
  ManifestResource declared;
  declared.name = name;
  declared.version = version;
  declared.method = manifest_.configMethod;
  return AddResource(declared, std::move(content), error);
}

bool DownloadTreeBuilder::GenerateConfigs(std::string* error) {
  const uint16_t v = manifest_.configVersion;
  FileSystem::ResourceGroupConfig groups;
  groups.settings = manifest_.settings;
  for (const ManifestGroup& g : manifest_.groups) {
    groups.groups.push_back({g.name, g.wholeUpdate, g.updateFileCount});
  }
  const std::string xml = groups.Write();
  if (!AddGenerated(FileSystem::ResourceGroupConfig::kFileName, v, {xml.begin(), xml.end()}, error)) {
    return false;
  }
  for (const ManifestGroup& g : manifest_.groups) {
    FileSystem::GroupFileList list;
    for (const std::string& n : g.firstFiles) list.firstFiles.push_back(Key(n));
    for (const std::string& n : g.subGroups) list.subGroups.push_back(Key(n));
    for (const std::string& n : g.lastFiles) list.lastFiles.push_back(Key(n));
    std::vector<uint8_t> bytes;
    if (!list.Write(&bytes) ||
        !AddGenerated(FileSystem::GroupFileList::ConfigFileName(g.name), g.version, bytes, error)) {
      return false;
    }
  }
  FileSystem::SingleFileList singles;
  for (const std::string& n : manifest_.singleFiles) singles.files.push_back(Key(n));
  std::vector<uint8_t> bytes;
  if (!singles.Write(&bytes) || !AddGenerated(FileSystem::SingleFileList::kFileName, v, bytes, error)) {
    return false;
  }
  FileSystem::UpdateRuleList rules;
  for (size_t i = 0; i < manifest_.rules.size(); ++i) {
    const ManifestRule& r = manifest_.rules[i];
    // A record reads {map, level}: the rule is kept under (level, map).
    rules.rules.push_back({static_cast<uint32_t>(r.map), static_cast<uint32_t>(r.level)});
    FileSystem::UpdateRuleFile file;
    for (const ManifestRuleItem& item : r.items) {
      FileSystem::UpdateRuleEntry entry;
      entry.isGroup = item.isGroup;
      if (item.isGroup) entry.name = item.name;
      else entry.key = Key(item.name);
      file.entries.push_back(entry);
    }
    if (!file.Write(&bytes)) return *error = "a rule group name is longer than 255 bytes", false;
    if (!AddGenerated(FileSystem::UpdateRuleFile::FileName(static_cast<int>(i)), v, bytes, error)) {
      return false;
    }
  }
  if (!rules.Write(&bytes) || !AddGenerated(FileSystem::UpdateRuleList::kFileName, v, bytes, error)) {
    return false;
  }
  FileSystem::FileLinkConfig fileLinks;
  for (const ManifestLink& l : manifest_.fileLinks) {
    FileSystem::LinkGroup group{Key(l.target), {}};
    for (const std::string& m : l.members) group.members.push_back(Key(m));
    fileLinks.links.push_back(group);
  }
  return fileLinks.Write(&bytes) &&
         AddGenerated(FileSystem::FileLinkConfig::kFileName, v, bytes, error);
}

FileSystem::ResourceKey DownloadTreeBuilder::Resolve(const std::string& name) const {
  const ResourceKey key = Key(name);
  auto link = links_.find(key);
  return link == links_.end() ? key : link->second;
}

const DownloadTreeBuilder::Resource* DownloadTreeBuilder::Find(const ResourceKey& key) const {
  auto it = resources_.find(key);
  return it == resources_.end() ? nullptr : &it->second;
}

const ManifestGroup* DownloadTreeBuilder::FindGroup(const std::string& name) const {
  const ResourceKey key = Key(name);
  for (const ManifestGroup& g : manifest_.groups) {
    if (Key(g.name) == key) return &g;
  }
  return nullptr;
}

bool DownloadTreeBuilder::CheckReferences(std::string* error) const {
  std::map<ResourceKey, ResourceKey> links;
  for (const ManifestLink& l : manifest_.links) {
    if (Find(Key(l.target)) == nullptr) return *error = "link target \"" + l.target + "\" is not a resource", false;
    for (const std::string& m : l.members) links[Key(m)] = Key(l.target);
  }
  for (const ManifestLink& l : manifest_.fileLinks) {
    if (Find(Key(l.target)) == nullptr) return *error = "filelink target \"" + l.target + "\" is not a resource", false;
  }
  auto known = [&](const std::string& name) {
    auto link = links.find(Key(name));
    return Find(link == links.end() ? Key(name) : link->second) != nullptr;
  };
  std::set<ResourceKey> groupKeys;
  for (const ManifestGroup& g : manifest_.groups) {
    if (!groupKeys.insert(Key(g.name)).second) return *error = "group \"" + g.name + "\" is defined twice", false;
    for (const auto* list : {&g.firstFiles, &g.lastFiles}) {
      for (const std::string& n : *list) {
        if (!known(n)) return *error = "group \"" + g.name + "\" lists unknown file \"" + n + "\"", false;
      }
    }
    for (const std::string& n : g.subGroups) {
      if (FindGroup(n) == nullptr) return *error = "group \"" + g.name + "\" lists unknown sub-group \"" + n + "\"", false;
    }
  }
  for (const std::string& n : manifest_.singleFiles) {
    if (!known(n)) return *error = "single file \"" + n + "\" is not a resource", false;
  }
  for (const ManifestRule& r : manifest_.rules) {
    for (const ManifestRuleItem& item : r.items) {
      if (item.isGroup ? FindGroup(item.name) == nullptr : !known(item.name)) {
        return *error = "rule item \"" + item.name + "\" is unknown", false;
      }
    }
  }
  return true;
}

bool DownloadTreeBuilder::GenerateVersionConfig(std::string* error) {
  FileSystem::VersionConfig config;
  for (const ManifestLink& l : manifest_.links) {
    FileSystem::LinkGroup group{Key(l.target), {}};
    for (const std::string& m : l.members) {
      group.members.push_back(Key(m));
      links_[Key(m)] = Key(l.target);
    }
    config.links.push_back(group);
  }
  const ResourceKey self = Key(FileSystem::VersionConfig::kFileName);
  for (const ResourceKey& key : order_) {
    if (key != self) config.versions.push_back({key, resources_.at(key).declared.version});
  }
  std::vector<uint8_t> bytes;
  if (!config.Write(&bytes)) return *error = "version.pcfg cannot be written", false;
  return AddGenerated(FileSystem::VersionConfig::kFileName, manifest_.serverVersion, bytes, error);
}

bool DownloadTreeBuilder::FullPackage(const Resource& resource, DownloadTree* tree,
                                      std::string* error) const {
  std::vector<uint8_t> image;
  if (!BuildImage({EntryOf(resource.declared, resource.content)}, &image, error)) {
    *error = "\"" + resource.declared.name + "\": " + *error;
    return false;
  }
  const ManifestResource& declared = resource.declared;
  (*tree)[FileSystem::FullPackageName(Key(declared.name), declared.version)] = std::move(image);
  return true;
}

// The group's own files and, once each, those of its sub-groups; a group met
// again (a cycle) adds nothing more.
void DownloadTreeBuilder::CollectGroup(const ManifestGroup& group, std::vector<ResourceKey>* keys,
                                       std::vector<const ManifestGroup*>* visited) const {
  for (const ManifestGroup* g : *visited) {
    if (g == &group) return;
  }
  visited->push_back(&group);
  keys->push_back(Key(FileSystem::GroupFileList::ConfigFileName(group.name)));
  for (const std::string& n : group.firstFiles) keys->push_back(Resolve(n));
  for (const std::string& n : group.lastFiles) keys->push_back(Resolve(n));
  for (const std::string& n : group.subGroups) {
    if (const ManifestGroup* sub = FindGroup(n)) CollectGroup(*sub, keys, visited);
  }
}

bool DownloadTreeBuilder::GroupPackage(const ManifestGroup& group, uint16_t from, bool delta,
                                       DownloadTree* tree, std::string* error) const {
  const ResourceKey packageKey = Key(FileSystem::GroupFileList::PackageFileName(group.name));
  std::vector<ResourceKey> keys{packageKey};
  std::vector<const ManifestGroup*> visited;
  CollectGroup(group, &keys, &visited);
  std::set<ResourceKey> seen;
  std::vector<ImageEntry> entries;
  for (const ResourceKey& key : keys) {
    const Resource* r = Find(key);
    if (r == nullptr || !seen.insert(key).second) continue;
    // A delta carries what changed after its from-version, and always the
    // package key itself, which marks the group as brought up to date.
    if (delta && key != packageKey && r->declared.version <= from) continue;
    entries.push_back(EntryOf(r->declared, r->content));
  }
  std::vector<uint8_t> image;
  if (!BuildImage(entries, &image, error)) {
    *error = "group \"" + group.name + "\": " + *error;
    return false;
  }
  const std::string name = delta ? FileSystem::DeltaPackageName(packageKey, from, group.version)
                                 : FileSystem::FullPackageName(packageKey, group.version);
  (*tree)[name] = std::move(image);
  return true;
}

bool DownloadTreeBuilder::DeltaPackage(const ManifestDelta& delta, DownloadTree* tree,
                                       std::string* error) const {
  const std::string where = "line " + std::to_string(delta.line) + ": ";
  if (const ManifestGroup* group = FindGroup(delta.name)) {
    if (delta.to != group->version) return *error = where + "a group delta must end at the group's version", false;
    return GroupPackage(*group, delta.from, true, tree, error);
  }
  const Resource* r = Find(Key(delta.name));
  if (r == nullptr) return *error = where + "\"" + delta.name + "\" is neither a resource nor a group", false;
  if (delta.to != r->declared.version) return *error = where + "a delta must end at the resource's version", false;
  std::vector<uint8_t> image;
  if (!BuildImage({EntryOf(r->declared, r->content)}, &image, error)) return false;
  (*tree)[FileSystem::DeltaPackageName(Key(delta.name), delta.from, delta.to)] = std::move(image);
  return true;
}

bool DownloadTreeBuilder::WriteTree(const DownloadTree& tree, const std::string& folder,
                                    std::string* error) {
  FileSystem::CreateDirectories(folder.c_str());
  for (const auto& package : tree) {
    const std::string path = folder + "/" + package.first;
    if (!WriteFile(path, package.second)) return *error = "cannot write \"" + path + "\"", false;
  }
  return true;
}

}  // namespace Publisher
