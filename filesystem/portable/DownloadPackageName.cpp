#include "DownloadPackageName.h"

#include <cstdio>

namespace FileSystem {

namespace {

std::string FormatHashes(const ResourceKey& key) {
  char text[24];
  std::snprintf(text, sizeof(text), "%08x_%08x", static_cast<unsigned>(key.hash1),
                static_cast<unsigned>(key.hash2));
  return text;
}

bool ParseHex8(const std::string& text, size_t at, uint32_t* value) {
  if (text.size() < at + 8) return false;
  uint32_t result = 0;
  for (size_t i = at; i < at + 8; ++i) {
    const char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else return false;
    result = (result << 4) | digit;
  }
  *value = result;
  return true;
}

// A "%u" field from *at up to the first non-digit; advances *at.
bool ParseDecimal(const std::string& text, size_t* at, uint32_t* value) {
  const size_t start = *at;
  uint64_t result = 0;
  size_t i = start;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    result = result * 10 + static_cast<uint64_t>(text[i] - '0');
    if (result > 0xFFFFFFFFull) return false;
    ++i;
  }
  if (i == start) return false;
  if (text[start] == '0' && i - start > 1) return false;
  *value = static_cast<uint32_t>(result);
  *at = i;
  return true;
}

}  // namespace

std::string FullPackageName(const ResourceKey& key, uint32_t version) {
  return FormatHashes(key) + "_" + std::to_string(version) + ".pak";
}

std::string DeltaPackageName(const ResourceKey& key, uint32_t fromVersion, uint32_t version) {
  return FormatHashes(key) + "_" + std::to_string(fromVersion) + "_" + std::to_string(version) +
         ".pak";
}

std::string PackageName(const DownloadPackageId& id) {
  return id.isDelta ? DeltaPackageName(id.key, id.fromVersion, id.version)
                    : FullPackageName(id.key, id.version);
}

bool ParsePackageName(const std::string& name, DownloadPackageId* id) {
  DownloadPackageId result;
  if (!ParseHex8(name, 0, &result.key.hash1) || name.size() < 18 || name[8] != '_' ||
      !ParseHex8(name, 9, &result.key.hash2) || name[17] != '_') {
    return false;
  }
  size_t at = 18;
  uint32_t first = 0;
  if (!ParseDecimal(name, &at, &first)) return false;
  if (at < name.size() && name[at] == '_') {
    ++at;
    result.isDelta = true;
    result.fromVersion = first;
    if (!ParseDecimal(name, &at, &result.version)) return false;
  } else {
    result.version = first;
  }
  if (name.compare(at, std::string::npos, ".pak") != 0) return false;
  *id = result;
  return true;
}

uint32_t GetDeltaFromVersion(uint32_t localVersion, uint32_t listedVersion,
                             const DeltaSettings& settings) {
  const uint64_t a = localVersion;
  const uint64_t b = listedVersion;
  // A negative count from the configuration reads as its unsigned value, as
  // it always has; in 64 bits the sum cannot wrap, so it simply means "near".
  const uint64_t count = static_cast<uint32_t>(settings.deltaPackageCount);
  const uint64_t space =
      settings.keyDeltaPackageSpace > 0 ? static_cast<uint64_t>(settings.keyDeltaPackageSpace) : 1;
  if (a + count >= b) return localVersion;
  if (!settings.doubleKeyDeltaPackageSpace) return static_cast<uint32_t>(a / space);
  if (a == 0) return 0;
  // Here b > a + count, so x starts above a and falls by a step that is at
  // least 1 and doubles each time: the loop ends within about 33 rounds.
  uint64_t x = b - count;
  uint64_t step = space;
  do {
    x = x >= step ? x - step : 0;
    step *= 2;
  } while (x > a);
  if (x == a) return localVersion;
  if (x > step) return static_cast<uint32_t>(x - step);
  return 0;
}

}  // namespace FileSystem
