#include "LoaderSystem.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

void CreateFolderChain(const std::string& folder) {
  for (size_t i = 0; i < folder.size(); ++i) {
    if ((folder[i] == '\\' || folder[i] == '/') && i > 2)
      CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
}

}  // namespace

bool LoaderSystem::DataFolderBelow(int csidl, const char* extra, std::string* folder) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return false;
  std::string result = path;
  if (!result.empty() && result.back() != '\\') result += '\\';
  result += extra;
  result += "dorvgame\\";
  if (!productName_.empty()) result += productName_ + "\\";
  CreateFolderChain(result);
  *folder = result;
  return true;
}

bool LoaderSystem::GetLocalDataFolder(std::string* folder) {
  return DataFolderBelow(CSIDL_LOCAL_APPDATA, "", folder);
}

bool LoaderSystem::GetLowIntegrityDataFolder(std::string* folder) {
  return DataFolderBelow(CSIDL_INTERNET_CACHE, "Low\\", folder);
}

std::string LoaderSystem::GetModulePath() {
  char path[2048] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
  return path;
}

bool LoaderSystem::GetModuleFolder(std::string* folder) {
  std::string path = GetModulePath();
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return false;
  *folder = path.substr(0, slash + 1);
  return true;
}

std::string LoaderSystem::GetInstallFolder(const std::string& productName) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "software\\dorvgame\\path", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  char value[2048] = {};
  DWORD size = sizeof(value) - 1;
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, productName.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return std::string();
  value[sizeof(value) - 1] = '\0';
  return value;
}

bool LoaderSystem::FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool LoaderSystem::CanLoadSystemLibrary(const std::string& name) {
  HMODULE module = LoadLibraryA(name.c_str());
  if (module == nullptr) return false;
  FreeLibrary(module);
  return true;
}

bool LoaderSystem::SetCurrentFolder(const std::string& folder) {
  return SetCurrentDirectoryA(folder.c_str()) != 0;
}

void LoaderSystem::StartProgram(const std::string& path, const std::wstring& commandLine) {
  wchar_t target[2048] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, target, 2047);
  ShellExecuteW(nullptr, L"open", target, commandLine.c_str(), nullptr, SW_SHOWNORMAL);
}

void LoaderSystem::CloseMainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}
