#include "SystemInstallEnvironment.h"

#include <shellapi.h>
#include <shlobj.h>

#include "FolderWalk.h"
#include "LauncherFolders.h"
#include "Registry.h"
#include "ShellLinks.h"
#include "TextConversion.h"

namespace {

const DWORD kModulePathCapacity = 2048;

}  // namespace

SystemInstallEnvironment::SystemInstallEnvironment(
    HINSTANCE module, const InstallSettings& settings,
    const std::map<std::string, std::wstring>& strings)
    : module_(module), settings_(settings), strings_(strings) {}

std::wstring SystemInstallEnvironment::GetString(const char* id) {
  auto found = strings_.find(id != nullptr ? id : "");
  return found != strings_.end() ? found->second : std::wstring();
}

std::wstring SystemInstallEnvironment::ShellFolder(int csidl) {
  wchar_t path[kModulePathCapacity] = {0};
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return std::wstring();
  return path;
}

// The launcher's folder rules work in the ANSI code page; an empty product
// name gives an empty folder rather than the one every product shares.
std::wstring SystemInstallEnvironment::LocalDataFolder() {
  return AnsiToWide(GetLocalDataFolder(WideToAnsi(settings_.productName)));
}

std::wstring SystemInstallEnvironment::LowIntegrityDataFolder() {
  return AnsiToWide(GetLowIntegrityDataFolder(WideToAnsi(settings_.productName)));
}

std::wstring SystemInstallEnvironment::PluginFolder() { return AnsiToWide(GetPluginFolder()); }

std::wstring SystemInstallEnvironment::DesktopFolder() {
  return ShellFolder(CSIDL_DESKTOPDIRECTORY);
}

std::wstring SystemInstallEnvironment::ProgramsFolder() { return ShellFolder(CSIDL_PROGRAMS); }

std::wstring SystemInstallEnvironment::LauncherPath() {
  wchar_t path[kModulePathCapacity] = {0};
  GetModuleFileNameW(module_, path, kModulePathCapacity);
  path[kModulePathCapacity - 1] = 0;
  return path;
}

bool SystemInstallEnvironment::CreateFolderChain(const std::wstring& path) {
  return ::CreateFolderChain(path.c_str());
}

bool SystemInstallEnvironment::CreateShortcut(
    const std::wstring& target, const std::wstring& arguments, const std::wstring& description,
    const std::wstring& workingFolder, const std::wstring& iconFile, const std::wstring& linkPath) {
  return ::CreateShortcut(target.c_str(), arguments.c_str(), description.c_str(),
                          workingFolder.c_str(), iconFile.c_str(), linkPath.c_str());
}

bool SystemInstallEnvironment::SetRegistryString(const std::wstring& keyPath,
                                                 const std::wstring& valueName,
                                                 const std::wstring& value) {
  return ::SetRegistryString(HKEY_CURRENT_USER, keyPath.c_str(), valueName.c_str(), value.c_str());
}

bool SystemInstallEnvironment::DeleteRegistryValue(const std::wstring& keyPath,
                                                   const std::wstring& valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ | KEY_WRITE, &key) !=
      ERROR_SUCCESS)
    return false;
  LONG result = RegDeleteValueW(key, valueName.c_str());
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool SystemInstallEnvironment::DeleteRegistryTree(const std::wstring& keyPath) {
  // A path that ends in a separator names the parent: every entry below it.
  if (keyPath.empty() || keyPath.back() == L'\\' || keyPath.back() == L'/') return false;
  return ::DeleteRegistryTree(HKEY_CURRENT_USER, keyPath.c_str()) == ERROR_SUCCESS;
}

bool SystemInstallEnvironment::StartHidden(const std::wstring& file, const std::wstring& parameters,
                                           HANDLE* process) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"Open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) return false;
  if (process != nullptr) *process = info.hProcess;
  return true;
}

void SystemInstallEnvironment::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                nullptr, SW_SHOWNORMAL);
}
