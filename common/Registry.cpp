#include "Registry.h"

#include <cstring>
#include <cwchar>

namespace {

bool IsSeparatorW(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsSeparatorA(char c) { return c == '\\' || c == '/'; }

// path has had its leading separator skipped by the caller's level.
bool SetUnder(HKEY key, const wchar_t* path, const wchar_t* name, const wchar_t* value) {
  if (*path == L'\0') {
    size_t length = wcslen(value);
    DWORD bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) ==
           ERROR_SUCCESS;
  }
  const wchar_t* end = path;
  while (*end != L'\0' && !IsSeparatorW(*end)) ++end;
  std::wstring component(path, end);
  const wchar_t* rest = (*end == L'\0') ? end : end + 1;
  HKEY child = nullptr;
  if (RegCreateKeyExW(key, component.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &child,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  bool result = SetUnder(child, rest, name, value);
  RegCloseKey(child);
  return result;
}

std::string GetUnder(HKEY key, const char* path, const char* name) {
  if (*path == '\0') {
    char buffer[4097];
    buffer[0] = '\0';
    DWORD size = 4096;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
      return std::string();
    }
    if (size > 4096) size = 4096;
    buffer[size] = '\0';
    return std::string(buffer, strnlen(buffer, size));
  }
  const char* end = path;
  while (*end != '\0' && !IsSeparatorA(*end)) ++end;
  std::string component(path, end);
  const char* rest = (*end == '\0') ? end : end + 1;
  HKEY child = nullptr;
  if (RegOpenKeyExA(key, component.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string result = GetUnder(child, rest, name);
  RegCloseKey(child);
  return result;
}

}  // namespace

bool SetRegistryString(HKEY root, const wchar_t* path, const wchar_t* name, const wchar_t* value) {
  if (path == nullptr || name == nullptr || value == nullptr) return false;
  if (IsSeparatorW(*path)) ++path;
  return SetUnder(root, path, name, value);
}

LONG DeleteRegistryTree(HKEY root, const wchar_t* name) {
  if (name == nullptr || *name == L'\0') return ERROR_BADKEY;
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(root, name, 0, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                              &key);
  if (result != ERROR_SUCCESS) return result;
  for (;;) {
    wchar_t subkey[1024];
    DWORD length = 1024;
    LONG enumerated = RegEnumKeyExW(key, 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (enumerated == ERROR_NO_MORE_ITEMS) {
      result = RegDeleteKeyW(root, name);
      break;
    }
    if (enumerated != ERROR_SUCCESS) {
      result = enumerated;
      break;
    }
    LONG removed = DeleteRegistryTree(key, subkey);
    if (removed != ERROR_SUCCESS) {
      result = removed;
      break;
    }
  }
  RegCloseKey(key);
  return result;
}

std::string GetRegistryString(HKEY root, const char* path, const char* name) {
  if (root == nullptr || path == nullptr || name == nullptr) return std::string();
  if (IsSeparatorA(*path)) ++path;
  return GetUnder(root, path, name);
}
