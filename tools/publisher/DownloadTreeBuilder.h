// Builds a product's download-server tree from a manifest and a folder of
// resource files: one full package per resource at its version, the
// configuration files published as resources of their own, one package per
// resource group ("<group>.pak" by key) and the delta packages asked for.
// Every package is named as the file system asks for it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "PublisherManifest.h"
#include "ResourceName.h"

namespace Publisher {

// Package file name -> image bytes.
using DownloadTree = std::map<std::string, std::vector<uint8_t>>;

class DownloadTreeBuilder {
 public:
  DownloadTreeBuilder(const Manifest& manifest, const std::string& resourceFolder)
      : manifest_(manifest), folder_(resourceFolder) {}

  // False with *error naming the first problem: a missing source file, a
  // name defined twice, a reference to a file or group that is not in the
  // manifest, a delta whose to-version is not the current one.
  bool Build(DownloadTree* tree, std::string* error);

  // Writes every package of the tree into the folder (created as needed).
  static bool WriteTree(const DownloadTree& tree, const std::string& folder, std::string* error);

 private:
  struct Resource {
    ManifestResource declared;
    std::vector<uint8_t> content;
  };

  bool LoadResources(std::string* error);
  bool AddResource(const ManifestResource& declared, std::vector<uint8_t> content,
                   std::string* error);
  bool AddGenerated(const std::string& name, uint16_t version, std::vector<uint8_t> content,
                    std::string* error);
  bool CheckReferences(std::string* error) const;
  bool GenerateConfigs(std::string* error);
  bool GenerateVersionConfig(std::string* error);
  FileSystem::ResourceKey Resolve(const std::string& name) const;
  const Resource* Find(const FileSystem::ResourceKey& key) const;
  const ManifestGroup* FindGroup(const std::string& name) const;
  void CollectGroup(const ManifestGroup& group, std::vector<FileSystem::ResourceKey>* keys,
                    std::vector<const ManifestGroup*>* visited) const;
  bool FullPackage(const Resource& resource, DownloadTree* tree, std::string* error) const;
  bool GroupPackage(const ManifestGroup& group, uint16_t from, bool delta, DownloadTree* tree,
                    std::string* error) const;
  bool DeltaPackage(const ManifestDelta& delta, DownloadTree* tree, std::string* error) const;

  const Manifest& manifest_;
  std::string folder_;
  std::map<FileSystem::ResourceKey, Resource> resources_;
  std::vector<FileSystem::ResourceKey> order_;  // resources in manifest order
  std::map<FileSystem::ResourceKey, FileSystem::ResourceKey> links_;  // member -> target
};

}  // namespace Publisher
