// Names of the download packages on the download servers, and the choice of
// the version a delta package starts from. ASCII, lower-case hexadecimal:
//   full package:  "%08x_%08x_%u.pak"    (hash1, hash2, version)
//   delta package: "%08x_%08x_%u_%u.pak" (hash1, hash2, from-version, version)
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>

#include "DeltaSettings.h"
#include "ResourceName.h"

namespace FileSystem {

struct DownloadPackageId {
  ResourceKey key{0, 0};
  bool isDelta = false;
  uint32_t fromVersion = 0;  // delta packages only
  uint32_t version = 0;

  bool operator==(const DownloadPackageId& o) const {
    return key == o.key && isDelta == o.isDelta && fromVersion == o.fromVersion &&
           version == o.version;
  }
};

std::string FullPackageName(const ResourceKey& key, uint32_t version);
std::string DeltaPackageName(const ResourceKey& key, uint32_t fromVersion, uint32_t version);
std::string PackageName(const DownloadPackageId& id);

// Reads a name of either form back, exactly as the formats above write it:
// eight lower-case hex digits for each hash, decimal versions without sign,
// leading zeros or overflow, and nothing after ".pak". False otherwise.
bool ParsePackageName(const std::string& name, DownloadPackageId* id);

// The version a delta package towards `listedVersion` starts from, for a
// local copy at `localVersion`. Close versions (within DeltaPackageCount)
// get a delta from the local version itself; otherwise the key versions are
// spaced KeyDeltaPackageSpace apart, or, with DoubleKeyDeltaPackageSpace,
// at spaces that double going back from the newest. Always ends: a spacing
// of 0 or less counts as 1 and the arithmetic is done in 64 bits.
uint32_t GetDeltaFromVersion(uint32_t localVersion, uint32_t listedVersion,
                             const DeltaSettings& settings);

}  // namespace FileSystem
