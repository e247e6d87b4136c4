#include "LauncherFolders.h"

#include <shlobj.h>


#include "ConfigMgr.h"

namespace {

const size_t kPathBufferSize = 2048;

std::string ShellFolder(int csidl) {
  char buffer[kPathBufferSize] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE)) return std::string();
  buffer[kPathBufferSize - 1] = 0;
  return buffer;
}

bool EndsInSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace

std::string WithTrailingSeparator(const std::string& path) {
  return EndsInSeparator(path) ? path : path + '\\';
}

std::string JoinFolder(const std::string& base, const char* const* parts, size_t count) {
  if (base.empty()) return std::string();
  std::string folder = WithTrailingSeparator(base);
  for (size_t i = 0; i < count; ++i) {
    if (!parts[i] || !*parts[i]) return std::string();
    folder += parts[i];
    folder += '\\';
  }
  return folder;
}

std::string GetLocalDataFolder() { return GetLocalDataFolder(g_configMgr.productName); }

std::string GetLocalDataFolder(const std::string& productName) {
  if (productName.empty()) return std::string();
  const char* parts[] = {"dorvgame", productName.c_str()};
  return JoinFolder(ShellFolder(CSIDL_LOCAL_APPDATA), parts, 2);
}

std::string GetLowIntegrityDataFolder() {
  return GetLowIntegrityDataFolder(g_configMgr.productName);
}

std::string GetLowIntegrityDataFolder(const std::string& productName) {
  if (productName.empty()) return std::string();
  const char* parts[] = {"Low", "dorvgame", productName.c_str()};
  return JoinFolder(ShellFolder(CSIDL_INTERNET_CACHE), parts, 3);
}

std::string GetPluginFolder() {
  const char* parts[] = {"dorvgame", "kvtplayer"};
  return JoinFolder(ShellFolder(CSIDL_LOCAL_APPDATA), parts, 2);
}

std::string FolderOfModulePath(const std::string& modulePath) {
  size_t backslash = modulePath.rfind('\\');
  if (backslash == std::string::npos) return std::string();
  size_t slash = modulePath.rfind('/');
  size_t cut = (slash != std::string::npos && slash > backslash) ? slash : backslash;
  return modulePath.substr(0, cut + 1);
}

std::string GetModuleFolder() {
  char buffer[kPathBufferSize] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, DWORD(kPathBufferSize));
  std::string folder;
  if (length > 0 && length < kPathBufferSize) folder = FolderOfModulePath(buffer);
  if (folder.empty()) {
    char current[kPathBufferSize] = {};
    DWORD got = GetCurrentDirectoryA(DWORD(kPathBufferSize), current);
    if (got == 0 || got >= kPathBufferSize) return std::string();
    folder = current;
  }
  return WithTrailingSeparator(folder);
}
