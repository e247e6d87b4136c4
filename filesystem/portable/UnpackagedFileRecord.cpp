#include "UnpackagedFileRecord.h"

#include <cstring>

namespace FileSystem {

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// Windows opens these as devices whatever folder or extension they carry.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = Upper(c);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices)
    if (base == device) return true;
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0))
    return base[3] >= '1' && base[3] <= '9';
  return false;
}

// Windows drops trailing dots and spaces from a component, so "..", "..."
// and ". ." all climb or vanish; only a plain "." is harmless.
bool IsDotsOnly(const std::string& component) {
  if (component == ".") return false;
  for (char c : component)
    if (c != '.' && c != ' ') return false;
  return true;
}

bool IsSafeComponent(const std::string& component) {
  if (component.empty()) return true;  // "a//b" names the same file as "a/b"
  if (IsDotsOnly(component) || IsDeviceName(component)) return false;
  return true;
}

bool HasForbiddenCharacter(const std::string& name) {
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::strchr(":*?\"<>|", c) != nullptr) return true;
  }
  return false;
}

}  // namespace

bool ParseUnpackagedFileRecord(const uint8_t* data, uint32_t storedSize,
                               UnpackagedFileRecord* record) {
  if (data == nullptr || record == nullptr || storedSize < 1) return false;
  const uint32_t nameLength = data[0];
  if (uint64_t{kUnpackagedRecordFixedSize} + nameLength > storedSize) return false;
  const uint8_t* p = data + 1;
  record->name.assign(reinterpret_cast<const char*>(p), nameLength);
  p += nameLength;
  record->attributes = ReadU32(p);
  record->time = uint64_t{ReadU32(p + 4)} | uint64_t{ReadU32(p + 8)} << 32;
  record->crc = ReadU32(p + 12);
  record->content = p + 16;
  record->contentLength = storedSize - kUnpackagedRecordFixedSize - nameLength;
  return true;
}

bool IsSafeUnpackagedName(const std::string& name) {
  if (name.empty() || IsSeparator(name.front()) || IsSeparator(name.back())) return false;
  if (HasForbiddenCharacter(name)) return false;
  std::string component;
  for (char c : name) {
    if (IsSeparator(c)) {
      if (!IsSafeComponent(component)) return false;
      component.clear();
    } else {
      component += c;
    }
  }
  return IsSafeComponent(component) && component != ".";
}

}  // namespace FileSystem
