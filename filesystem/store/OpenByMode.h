// The one rule for OpenFile's modes: which of a resource's packaged entry
// and its loose file on disk are tried, and in which order. The facade uses
// it in local mode and the update manager once a key is here at its listed
// version.
#pragma once

#include "ResourceName.h"

namespace FileSystem {

class IReadFile;
class PackageManager;

// The loose file at name as it is on disk; null when it cannot be opened.
IReadFile* OpenLooseFile(const char* name, bool async);

// key is where the content is indexed (a link already resolved); name is
// the loose file's path and the packaged file's name.
IReadFile* OpenByMode(PackageManager& packages, const ResourceKey& key, const char* name,
                      int mode, bool async);

}  // namespace FileSystem
