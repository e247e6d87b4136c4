#include "SystemInstallEnvironment.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "FolderWalk.h"

namespace {

const DWORD kModulePathCapacity = 2048;

bool DeleteKeyTree(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
    return false;
  // Always the first subkey: each one deleted moves the next into its place.
  for (;;) {
    wchar_t child[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (!DeleteKeyTree(key, child)) break;
  }
  RegCloseKey(key);
  return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}

// Releases a COM interface on every path.
template <typename T>
class ComRef {
 public:
  ComRef() {}
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

bool SaveShortcut(const std::wstring& target, const std::wstring& arguments,
                  const std::wstring& description, const std::wstring& workingFolder,
                  const std::wstring& iconFile, const std::wstring& linkPath) {
  ComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.Out()))))
    return false;
  if (FAILED(link->SetPath(target.c_str()))) return false;
  if (!arguments.empty()) link->SetArguments(arguments.c_str());
  if (!description.empty()) link->SetDescription(description.c_str());
  if (!workingFolder.empty()) link->SetWorkingDirectory(workingFolder.c_str());
  if (!iconFile.empty()) link->SetIconLocation(iconFile.c_str(), 0);
  link->SetShowCmd(SW_SHOW);
  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))))
    return false;
  return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

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

std::wstring SystemInstallEnvironment::BelowShellFolder(int csidl, const std::wstring& below) {
  std::wstring folder = ShellFolder(csidl);
  if (folder.empty()) return folder;
  return WithTrailingSeparator(folder) + below;
}

std::wstring SystemInstallEnvironment::LocalDataFolder() {
  // Without a product name this would be the folder of every product.
  if (settings_.productName.empty()) return std::wstring();
  return BelowShellFolder(CSIDL_LOCAL_APPDATA, L"dorvgame\\" + settings_.productName + L"\\");
}

std::wstring SystemInstallEnvironment::LowIntegrityDataFolder() {
  if (settings_.productName.empty()) return std::wstring();
  return BelowShellFolder(CSIDL_INTERNET_CACHE, L"Low\\dorvgame\\" + settings_.productName + L"\\");
}

std::wstring SystemInstallEnvironment::PluginFolder() {
  return BelowShellFolder(CSIDL_LOCAL_APPDATA, L"dorvgame\\kvtplayer\\");
}

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

bool SystemInstallEnvironment::CreateFolderChain(const std::wstring& pathIn) {
  std::wstring path = pathIn;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != L'\\' && path[i] != L'/') continue;
    CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  return true;
}

bool SystemInstallEnvironment::CreateShortcut(
    const std::wstring& target, const std::wstring& arguments, const std::wstring& description,
    const std::wstring& workingFolder, const std::wstring& iconFile, const std::wstring& linkPath) {
  if (target.empty() || linkPath.empty()) return false;
  DeleteFileW(linkPath.c_str());
  HRESULT init = CoInitialize(nullptr);
  if (FAILED(init)) return false;
  bool saved = SaveShortcut(target, arguments, description, workingFolder, iconFile, linkPath);
  CoUninitialize();
  return saved;
}

bool SystemInstallEnvironment::SetRegistryString(const std::wstring& keyPath,
                                                 const std::wstring& valueName,
                                                 const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
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
  size_t cut = keyPath.find_last_of(L'\\');
  // A path that names no subkey (or ends in a separator) would be the parent.
  if (keyPath.empty() || cut == keyPath.size() - 1) return false;
  if (cut == std::wstring::npos) return DeleteKeyTree(HKEY_CURRENT_USER, keyPath);
  HKEY parent = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.substr(0, cut).c_str(), 0, KEY_READ, &parent) !=
      ERROR_SUCCESS)
    return false;
  bool deleted = DeleteKeyTree(parent, keyPath.substr(cut + 1));
  RegCloseKey(parent);
  return deleted;
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
