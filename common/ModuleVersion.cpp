#include "ModuleVersion.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

struct Translation {
  WORD language;
  WORD codePage;
};

bool ReadVersionString(HMODULE module, const wchar_t* key, std::wstring* value) {
  wchar_t path[2048];
  DWORD length = GetModuleFileNameW(module, path, 2048);
  if (length == 0 || length >= 2048) return false;
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return false;
  std::vector<BYTE> block(static_cast<size_t>(size) * 2 + 2);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return false;
  Translation* translations = nullptr;
  UINT translationBytes = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &translationBytes) ||
      translations == nullptr) {
    return false;
  }
  const Translation* chosen = nullptr;
  for (UINT i = 0; i < translationBytes / sizeof(Translation); ++i) {
    if (translations[i].language == 1033 && translations[i].codePage == 1252) {
      chosen = &translations[i];
      break;
    }
  }
  if (chosen == nullptr) return false;
  wchar_t query[128];
  swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", chosen->language, chosen->codePage,
           key);
  wchar_t* text = nullptr;
  UINT textUnits = 0;
  if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &textUnits) ||
      text == nullptr) {
    return false;
  }
  // The length reported may or may not count the terminator; the text ends at
  // its first 0 inside what was reported.
  size_t units = wcsnlen(text, textUnits);
  value->assign(text, units);
  return true;
}

}  // namespace

bool GetModuleFileVersion(HMODULE module, wchar_t* buffer) {
  if (buffer == nullptr) return false;
  std::wstring version;
  if (!ReadVersionString(module, L"FileVersion", &version)) return false;
  if (version.size() + 1 > kModuleVersionBufferUnits) return false;
  wmemcpy(buffer, version.c_str(), version.size() + 1);
  return true;
}

bool GetModuleVersionString(HMODULE module, const wchar_t* key, std::wstring* value) {
  if (key == nullptr || value == nullptr) return false;
  return ReadVersionString(module, key, value);
}
