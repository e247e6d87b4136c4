#include "UnpackagedName.h"

#include <cstring>

namespace FileSystem {

namespace {

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
  return !IsDotsOnly(component) && !IsDeviceName(component);
}

bool HasForbiddenCharacter(const std::string& name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr(":*?\"<>|", c) != nullptr) return true;
  }
  return false;
}

}  // namespace

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
