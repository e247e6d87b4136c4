#include "HostText.h"

#include <cstdio>
#include <cstring>

bool IsAcceptableProductName(const char* name) {
  if (name == nullptr || *name == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F || c == '\\' || c == '/' || c == ':') return false;
  }
  return std::strstr(name, "..") == nullptr;
}

std::vector<std::string> SplitNameList(const std::string& list) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) pieces.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

const char* UpdateStateName(int32_t state) {
  static const char* const kNames[] = {"Disabled",
                                       "SyncUpdateInfomation",
                                       "UpdatingVersionFile",
                                       "UpdatingResourceGroupConfig",
                                       "UpdatingFileListConfig",
                                       "ReadyForUpdate",
                                       "Error"};
  uint32_t index = static_cast<uint32_t>(state);
  if (index < sizeof kNames / sizeof kNames[0]) return kNames[index];
  return "Unknown";
}

std::string FormatUpdateInfo(const char* name, int total, int done, float speed) {
  char buffer[512];
  int length = std::snprintf(buffer, sizeof buffer, "%s;%d;%d;%f", name != nullptr ? name : "",
                             total, done, static_cast<double>(speed));
  if (length < 0) return std::string();
  if (static_cast<size_t>(length) >= sizeof buffer) {
    std::string longer(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&longer[0], longer.size(), "%s;%d;%d;%f", name, total, done,
                  static_cast<double>(speed));
    longer.resize(static_cast<size_t>(length));
    return longer;
  }
  return std::string(buffer, static_cast<size_t>(length));
}

uint32_t ClampUpdateThreadCount(uint32_t count) {
  if (count < 1) return 1;
  if (count > 64) return 64;
  return count;
}

std::wstring CutToInitText(const std::wstring& text) {
  return text.size() < kInitTextUnits ? text : text.substr(0, kInitTextUnits - 1);
}
