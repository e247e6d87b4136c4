#include "Installer.h"

#include <ole2.h>
#include <shlwapi.h>

#include "ArchiveExtraction.h"
#include "FolderWalk.h"

namespace {

const int kPackageResource = 147;
const DWORD kModulePathCapacity = 2048;

std::wstring FolderOf(const std::wstring& path) {
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(0, cut + 1);
}

// A resource lock needs no unlock; the loaded block is freed once the
// extraction is over.
class LockedResource {
 public:
  LockedResource(HINSTANCE module, const wchar_t* type, int id) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (info == nullptr) return;
    size_ = SizeofResource(module, info);
    if (size_ == 0) return;
    loaded_ = LoadResource(module, info);
    if (loaded_ != nullptr) data_ = LockResource(loaded_);
  }
  ~LockedResource() {
    if (loaded_ != nullptr) FreeResource(loaded_);
  }
  LockedResource(const LockedResource&) = delete;
  LockedResource& operator=(const LockedResource&) = delete;

  const void* Data() const { return data_; }
  DWORD Size() const { return size_; }

 private:
  HGLOBAL loaded_ = nullptr;
  const void* data_ = nullptr;
  DWORD size_ = 0;
};

}  // namespace

const wchar_t* const Installer::kPathKey = L"software\\dorvgame\\path";
const wchar_t* const Installer::kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool CallPluginEntries(const std::wstring& folder, const std::wstring* files, int count,
                       const char* entry) {
  if (folder.empty()) return false;
  if (FAILED(OleInitialize(nullptr))) return false;
  int called = 0;
  for (int i = 0; i < count; ++i) {
    if (files[i].empty()) continue;
    HMODULE library = LoadLibraryW((folder + files[i]).c_str());
    if (library == nullptr) continue;
    typedef HRESULT(STDAPICALLTYPE * RegistrationEntry)();
    RegistrationEntry call = reinterpret_cast<RegistrationEntry>(
        reinterpret_cast<void*>(GetProcAddress(library, entry)));
    if (call != nullptr) {
      call();
      ++called;
    }
    FreeLibrary(library);
  }
  OleUninitialize();
  return called == count;
}

Installer::Installer() {}

Installer::~Installer() {}

void Installer::ReadFolders() {
  installFolder_ = WithTrailingSeparator(environment_->LocalDataFolder());
  pluginFolder_ = WithTrailingSeparator(environment_->PluginFolder());
}

bool Installer::Install() {
  if (environment_ == nullptr) return true;
  ReadFolders();
  CopySelf();
  ExtractPlugins();
  RegisterPlugins();
  CreateFileShortcuts();
  CreateInternetShortcuts();
  WriteUninstallEntry();
  environment_->TestAndSetRunState("Installed");
  environment_->ReportOneTimeEvent("SilentInstallSuccess", 4);
  return true;
}

bool Installer::CopySelf() {
  const InstallSettings& settings = environment_->Settings();
  // Without a folder or a file name the copy would land beside the wrong
  // things (the drive's root, or over the folder's name).
  if (installFolder_.empty() || settings.updaterFileName.empty()) return false;
  environment_->CreateFolderChain(installFolder_);
  std::wstring target = installFolder_ + settings.updaterFileName;
  if (PathFileExistsW(target.c_str())) return true;
  std::wstring self = environment_->LauncherPath();
  if (self.empty()) return false;
  CopyFileW(self.c_str(), target.c_str(), FALSE);
  return true;
}

bool Installer::ExtractPlugins() {
  LockedResource archive(module_, L"PACKAGE", kPackageResource);
  if (archive.Data() == nullptr || pluginFolder_.empty()) return false;
  environment_->CreateFolderChain(pluginFolder_);
  return ExtractArchiveToDirectory(archive.Data(), archive.Size(), pluginFolder_.c_str()) ==
         kExtractOk;
}

bool Installer::RegisterPlugins() {
  const InstallSettings& settings = environment_->Settings();
  if (!settings.pluginEnable) return true;
  const std::wstring files[] = {settings.iePluginFile, settings.npPluginFile};
  return CallPluginEntries(pluginFolder_, files, 2, "DllRegisterServer");
}

void Installer::PlaceLink(const InstallShortcut& link, const std::wstring& target,
                          const std::wstring& arguments, const std::wstring& workingFolder,
                          const std::wstring& icon) {
  std::wstring description = environment_->GetString(link.descStringId.c_str());
  std::wstring name = environment_->GetString(link.fileStringId.c_str());
  // A link without a name would be saved as the folder itself.
  if (name.empty()) return;
  if (link.createOnDeskTop) {
    std::wstring desktop = environment_->DesktopFolder();
    if (!desktop.empty())
      environment_->CreateShortcut(target, arguments, description, workingFolder, icon,
                                   WithTrailingSeparator(desktop) + name);
  }
  if (link.createOnStartMenu) {
    std::wstring programs = environment_->ProgramsFolder();
    if (!programs.empty()) {
      std::wstring folder =
          WithTrailingSeparator(programs) + environment_->GetString("start_menu_dir_name");
      environment_->CreateFolderChain(folder);
      environment_->CreateShortcut(target, arguments, description, workingFolder, icon,
                                   WithTrailingSeparator(folder) + name);
    }
  }
}

bool Installer::CreateFileShortcuts() {
  if (noFileShortcuts_) return true;
  for (const InstallShortcut& link : environment_->Settings().fileLinks) {
    if (!link.enable) continue;
    std::wstring target = installFolder_ + link.target;
    PlaceLink(link, target, link.second, FolderOf(target), std::wstring());
  }
  return true;
}

bool Installer::CreateInternetShortcuts() {
  if (noInternetShortcuts_) return true;
  for (const InstallShortcut& link : environment_->Settings().internetLinks) {
    if (!link.enable) continue;
    PlaceLink(link, link.target, link.target, std::wstring(), installFolder_ + link.second);
  }
  return true;
}

bool Installer::WriteUninstallEntry() {
  const InstallSettings& settings = environment_->Settings();
  // An empty product name would name the key's default value, which is no
  // product's; the uninstaller would then remove it for every product.
  if (!settings.productName.empty())
    environment_->SetRegistryString(kPathKey, settings.productName, installFolder_);
  if (!settings.uninstallEnable) return true;
  // An empty ID would put the values on the list of every program's entries.
  if (settings.uninstallId.empty()) return false;
  std::wstring exe = installFolder_ + settings.updaterFileName;
  std::wstring key = std::wstring(kUninstallKey) + settings.uninstallId;
  environment_->SetRegistryString(key, L"DisplayName",
                                  environment_->GetString("product_display_name"));
  environment_->SetRegistryString(key, L"DisplayIcon", exe);
  environment_->SetRegistryString(key, L"DisplayVersion", settings.uninstallVersion);
  environment_->SetRegistryString(key, L"Publisher", environment_->GetString("product_publisher"));
  environment_->SetRegistryString(key, L"UninstallString", L"\"" + exe + L"\" /uninstall");
  return true;
}

bool Installer::RunAfterInstall() {
  if (environment_ == nullptr) return true;
  const InstallSettings& settings = environment_->Settings();
  if (installFolder_.empty()) ReadFolders();
  if (settings.runExe)
    environment_->ShellOpen(installFolder_ + settings.runFile, settings.runParam);
  if (settings.openUrl && !settings.url.empty()) environment_->ShellOpen(settings.url, L"");
  return true;
}
