// Fuzz target for "resourcegroup.pcfg" and the XML parser under it: the
// input is the file's text. A text that parses is written back and must
// parse again to the same settings and groups. The number reader is held to
// an independent reference (strtoll, clamped to int) on the same text.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"
#include "ResourceGroupConfig.h"
#include "ResourceName.h"

using namespace FileSystem;

namespace {

int ReferenceInt(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

void CheckParseInt(const std::string& text) {
  // strtoll also takes "0x" and locale forms only with other bases, so at
  // base 10 both read blanks, a sign and digits.
  FUZZ_CHECK(ResourceGroupConfig::ParseInt(text.c_str()) == ReferenceInt(text.c_str()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  const std::string text = FuzzSupport::Text(data, len);
  CheckParseInt(text);

  ResourceGroupConfig config;
  const ResourceGroupConfigResult result = config.Parse(text.data(), text.size());
  FUZZ_CHECK(config.settings.keyDeltaPackageSpace > 0);
  if (result == ResourceGroupConfigResult::kEmpty) FUZZ_CHECK(len == 0);
  if (result == ResourceGroupConfigResult::kDuplicateName) {
    bool seenBefore = false;
    const ResourceKey key = HashResourceName(config.duplicateName.c_str());
    for (const ResourceGroupInfo& group : config.groups)
      seenBefore = seenBefore || HashResourceName(group.name.c_str()) == key;
    FUZZ_CHECK(seenBefore);
  }
  if (result != ResourceGroupConfigResult::kOk) return 0;

  const std::string written = config.Write();
  ResourceGroupConfig again;
  FUZZ_CHECK(again.Parse(written.data(), written.size()) == ResourceGroupConfigResult::kOk);
  FUZZ_CHECK(again.settings == config.settings);
  FUZZ_CHECK(again.groups == config.groups);
  return 0;
}
