// Fuzz target for the names read from downloads and packages. Byte 0 picks
// the reader, the rest is the name:
//   0: a download package name, which must write back to the same text;
//   1: a resource name, whose key must not change when it is normalised;
//   2: an unpackaged file's name, which when accepted must be a relative
//      path that stays inside the package root;
//   3: the delta start version, from fuzzed versions and settings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "DeltaSettings.h"
#include "DownloadPackageName.h"
#include "FuzzCheck.h"
#include "PackageFormat.h"
#include "ResourceName.h"
#include "UnpackagedName.h"

using namespace FileSystem;

namespace {

void PackageNames(const std::string& name) {
  DownloadPackageId id;
  if (!ParsePackageName(name, &id)) return;
  FUZZ_CHECK(PackageName(id) == name);
}

void ResourceNames(const std::string& text) {
  const std::string name = text.substr(0, text.find('\0'));
  std::vector<char> normal(name.begin(), name.end());
  normal.push_back('\0');
  NormalizeResourceName(normal.data());
  FUZZ_CHECK(std::strlen(normal.data()) == name.size());
  FUZZ_CHECK(HashResourceName(normal.data()) == HashResourceName(name.c_str()));
  for (char c : normal) FUZZ_CHECK(!(c >= 'A' && c <= 'Z') && c != '\\');
}

bool HasClimbingComponent(const std::string& name) {
  std::string component;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (component.size() >= 2 && component.find_first_not_of(". ") == std::string::npos)
        return true;
      component.clear();
    } else {
      component += name[i];
    }
  }
  return false;
}

void UnpackagedNames(const std::string& name) {
  if (!IsSafeUnpackagedName(name)) return;
  FUZZ_CHECK(!name.empty() && name[0] != '/' && name[0] != '\\');
  FUZZ_CHECK(name.back() != '/' && name.back() != '\\');
  FUZZ_CHECK(name.find_first_of(":*?\"<>|") == std::string::npos);
  for (unsigned char c : name) FUZZ_CHECK(c >= 0x20);
  FUZZ_CHECK(!HasClimbingComponent(name));
}

void DeltaVersions(const std::string& bytes) {
  if (bytes.size() < 17) return;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  DeltaSettings settings;
  settings.deltaPackageCount = static_cast<int>(ReadU32(p));
  settings.keyDeltaPackageSpace = static_cast<int>(ReadU32(p + 4));
  settings.doubleKeyDeltaPackageSpace = (p[16] & 1) != 0;
  const uint32_t local = ReadU32(p + 8);
  const uint32_t listed = ReadU32(p + 12);
  const uint32_t from = GetDeltaFromVersion(local, listed, settings);
  FUZZ_CHECK(from <= (local > listed ? local : listed));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  if (len < 1) return 0;
  const std::string text = FuzzSupport::Text(data + 1, len - 1);
  switch (data[0] % 4) {
    case 0: PackageNames(text); break;
    case 1: ResourceNames(text); break;
    case 2: UnpackagedNames(text); break;
    default: DeltaVersions(text); break;
  }
  return 0;
}
