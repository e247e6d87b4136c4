#include "InstallTestFiles.h"

#include <algorithm>

namespace InstallTestFiles {

namespace {

std::wstring WithSeparator(const std::wstring& folder) {
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') return folder + L'\\';
  return folder;
}

void CollectFiles(const std::wstring& root, const std::wstring& relative,
                  std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        CollectFiles(root, relative + name + L"\\", out);
    } else {
      out.push_back(relative + name);
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

}  // namespace

ScratchFolder::ScratchFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = WithSeparator(temp) + L"velmor-install-" + name + L"-" +
          std::to_wstring(GetCurrentProcessId()) + L"\\";
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folderIn) {
  std::wstring folder = WithSeparator(folderIn);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + name;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(path);
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

bool ReadWholeFile(const std::wstring& path, std::vector<char>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1 << 30);
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = bytes.empty() ||
         (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size());
  }
  CloseHandle(file);
  return ok;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  CloseHandle(file);
  return ok;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder) {
  std::vector<std::wstring> files;
  CollectFiles(WithSeparator(folder), L"", files);
  std::sort(files.begin(), files.end());
  return files;
}

HeldFile::HeldFile(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldFile::~HeldFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

}  // namespace InstallTestFiles

namespace InstallTestFiles {

bool ReadRegistryText(const std::wstring& keyPath, const std::wstring& name, std::wstring* text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  wchar_t buffer[2048] = {0};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  LONG result =
      RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return false;
  if (text != nullptr) *text = buffer;
  return true;
}

bool RegistryKeyExists(const std::wstring& keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void DeleteRegistryKeyTree(const std::wstring& keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, &key) !=
      ERROR_SUCCESS)
    return;
  wchar_t child[256];
  DWORD length = 256;
  while (length = 256, RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
                           ERROR_SUCCESS) {
    std::wstring before = child;
    DeleteRegistryKeyTree(keyPath + L"\\" + child);
    if (RegistryKeyExists(keyPath + L"\\" + before)) break;
  }
  RegCloseKey(key);
  RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
}

}  // namespace InstallTestFiles
