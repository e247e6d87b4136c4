// "resourcegroup.pcfg": the product's resource groups and delta-package
// settings, as XML (8-bit text):
//   <ResourceGroups DeltaPackageCount="5" KeyDeltaPackageSpace="5"
//                   DoubleKeyDeltaPackageSpace="false" HaveDeltaPackage="true">
//     <Group Name="maps" WholeUpdate="true" UpdateFileCount="3"/>
//   </ResourceGroups>
// Element and attribute names match exactly; a flag is true only for the
// exact text "true"; numbers are read as their leading decimal digits.
// Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "DeltaSettings.h"

namespace FileSystem {

struct ResourceGroupInfo {
  std::string name;
  bool wholeUpdate = false;
  int updateFileCount = 1;

  bool operator==(const ResourceGroupInfo& o) const {
    return name == o.name && wholeUpdate == o.wholeUpdate && updateFileCount == o.updateFileCount;
  }
};

enum class ResourceGroupConfigResult {
  kOk,
  kEmpty,          // no bytes at all
  kNotXml,         // the XML parser refused the text
  kNoRoot,         // no ResourceGroups element at the top
  kDuplicateName,  // two groups whose names have the same key
};

class ResourceGroupConfig {
 public:
  static constexpr const char* kFileName = "resourcegroup.pcfg";

  // Before Parse: the values in force; an attribute that is absent (or a
  // KeyDeltaPackageSpace of 0 or less, which would leave no spacing between
  // key versions) keeps its value.
  DeltaSettings settings;
  // The groups in document order; a Group without Name is skipped.
  std::vector<ResourceGroupInfo> groups;
  // With kDuplicateName: the name met a second time. The groups before it
  // stay in `groups`, the settings of the root are applied.
  std::string duplicateName;

  // Never throws: the parser's errors are caught here.
  ResourceGroupConfigResult Parse(const char* data, size_t size);
  // The XML text of the settings and groups, which Parse reads back.
  std::string Write() const;

  // "decimal, leading digits": optional white space and sign, then digits up
  // to the first other character; no digits gives 0; values beyond int are
  // clamped to its range.
  static int ParseInt(const char* text);
  static const char* ResultName(ResourceGroupConfigResult result);
};

}  // namespace FileSystem
