#include "TempFolder.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "CodePageConversion.h"

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  static LONG counter = 0;
  wchar_t name[64];
  swprintf(name, 64, L"velmor-test-%lu-%ld\\", GetCurrentProcessId(),
           InterlockedIncrement(&counter));
  path_ = std::wstring(base) + name;
  CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  std::wstring from = path_.substr(0, path_.size() - 1);
  from.push_back(L'\0');  // the double terminator that SHFileOperation wants
  SHFILEOPSTRUCTW op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

std::string TempFolder::AnsiPath() const { return WideToAnsi(path_); }

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return bytes;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  fclose(file);
  return bytes;
}
