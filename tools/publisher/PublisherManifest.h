// The publisher's manifest: what a product's download tree holds. The text
// format is documented at the top of PublisherManifest.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DeltaSettings.h"

namespace Publisher {

struct ManifestResource {
  std::string name;      // the resource name, hashed into its key
  uint16_t version = 0;
  int method = 0;        // the encoding the image stores it with
  int wantedMethod = 0;  // the encoding local packages are to use
  bool wantedGiven = false;
  std::string source;    // file below the resource folder; empty: the name
  uint32_t capacity = 0; // 0: the stored size
  bool loose = false;    // an unpackaged file, written below the package root
  std::string path;      // loose: its relative path; empty: the name
  uint32_t attributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
  uint64_t time = 0;     // loose: a FILETIME
  bool removed = false;  // the resource is deleted at this version
  int line = 0;
};

struct ManifestLink {
  std::string target;
  std::vector<std::string> members;
};

struct ManifestGroup {
  std::string name;
  uint16_t version = 0;
  bool wholeUpdate = false;
  int updateFileCount = 1;
  std::vector<std::string> firstFiles;
  std::vector<std::string> subGroups;
  std::vector<std::string> lastFiles;
  int line = 0;
};

struct ManifestRuleItem {
  std::string name;
  bool isGroup = false;
};

struct ManifestRule {
  int32_t level = 0;
  int32_t map = 0;
  std::vector<ManifestRuleItem> items;
};

struct ManifestDelta {
  std::string name;  // a resource or a group
  uint16_t from = 0;
  uint16_t to = 0;
  int line = 0;
};

struct Manifest {
  std::string product;
  uint16_t serverVersion = 0;
  uint16_t configVersion = 1;
  int configMethod = 0;
  FileSystem::DeltaSettings settings;
  std::vector<ManifestResource> resources;
  std::vector<ManifestLink> links;      // version.pcfg
  std::vector<ManifestLink> fileLinks;  // filelink.pcfg
  std::vector<ManifestGroup> groups;
  std::vector<std::string> singleFiles;
  std::vector<ManifestRule> rules;
  std::vector<ManifestDelta> deltas;
};

// Parses the text; on failure *error names the line and the problem.
bool ParseManifest(const std::string& text, Manifest* manifest, std::string* error);

}  // namespace Publisher
