// The delta-package settings of a product, read from the root of
// "resourcegroup.pcfg". The defaults are the values a file system starts
// with before that file is read. Portable: no Windows headers.
#pragma once

namespace FileSystem {

struct DeltaSettings {
  int deltaPackageCount = 5;              // DeltaPackageCount
  int keyDeltaPackageSpace = 5;           // KeyDeltaPackageSpace, always above 0
  bool doubleKeyDeltaPackageSpace = false;  // DoubleKeyDeltaPackageSpace
  bool haveDeltaPackage = true;           // HaveDeltaPackage

  bool operator==(const DeltaSettings& o) const {
    return deltaPackageCount == o.deltaPackageCount &&
           keyDeltaPackageSpace == o.keyDeltaPackageSpace &&
           doubleKeyDeltaPackageSpace == o.doubleKeyDeltaPackageSpace &&
           haveDeltaPackage == o.haveDeltaPackage;
  }
};

}  // namespace FileSystem
