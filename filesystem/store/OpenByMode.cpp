#include "store/OpenByMode.h"

#include <cstdio>
#include <new>

#include "store/AsynchronismReadUnPackagedFile.h"
#include "FileSystem.h"
#include "store/PackageManager.h"
#include "store/UnPackagedFile.h"

namespace FileSystem {

IReadFile* OpenLooseFile(const char* name, bool async) {
  FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return nullptr;
  IReadFile* result = nullptr;
  if (async) result = new (std::nothrow) AsynchronismReadUnPackagedFile(file);
  else result = new (std::nothrow) UnPackagedFile(file);
  if (result == nullptr) std::fclose(file);
  return result;
}

IReadFile* OpenByMode(PackageManager& packages, const ResourceKey& key, const char* name,
                      int mode, bool async) {
  IReadFile* file = nullptr;
  switch (mode) {
    case kOpenPackagedThenLoose:
      file = packages.OpenPackagedFile(key, name, async);
      return file != nullptr ? file : OpenLooseFile(name, async);
    case kOpenLooseThenPackaged:
      file = OpenLooseFile(name, async);
      return file != nullptr ? file : packages.OpenPackagedFile(key, name, async);
    case kOpenPackagedOnly:
      return packages.OpenPackagedFile(key, name, async);
    default:
      return OpenLooseFile(name, async);
  }
}

}  // namespace FileSystem
