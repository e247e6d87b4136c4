#include "Uninstaller.h"

#include <shlobj.h>

#include <vector>

#include "FolderWalk.h"
#include "Installer.h"
#include "Wildcard.h"

namespace {

const wchar_t* const kParkedSuffix = L".kvt.uninstall";
const DWORD kPathCapacity = 1024;

// The root of the drive that holds folder: its text up to the first separator.
std::wstring DriveRootOf(const std::wstring& folder) {
  size_t cut = folder.find_first_of(L"\\/");
  return cut == std::wstring::npos ? folder : folder.substr(0, cut) + L"\\";
}

// The folder that holds folder (which ends in a separator), with its own
// closing separator; empty when there is none.
std::wstring ParentFolder(const std::wstring& folder) {
  if (folder.size() < 2) return std::wstring();
  size_t cut = folder.find_last_of(L"\\/", folder.size() - 2);
  return cut == std::wstring::npos ? std::wstring() : folder.substr(0, cut + 1);
}

// The shared "dorvgame" folder goes once no product and no plug-in is left
// in it; RemoveDirectoryW removes only an empty folder.
void RemoveIfEmpty(const std::wstring& folder) {
  if (!folder.empty()) RemoveDirectoryW(folder.c_str());
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return MatchWildcard(a.c_str(), b.c_str()) && MatchWildcard(b.c_str(), a.c_str());
}

}  // namespace

void CenterDialog(HWND dialog) {
  RECT rect;
  if (!GetWindowRect(dialog, &rect)) return;
  int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

Uninstaller::Uninstaller() {}

Uninstaller::~Uninstaller() {
  if (banner_ != nullptr) DeleteObject(banner_);
}

bool Uninstaller::Run(bool silent, bool removePlugins) {
  silent_ = silent;
  removePlugins_ = removePlugins;
  if (environment_ == nullptr) return true;
  if (silent_) {
    DoUninstall();
    SelfDelete();
    return true;
  }
  INT_PTR choice = DialogBoxParamW(module_, MAKEINTRESOURCEW(kConfirmDialog), nullptr,
                                   ConfirmUninstallDialogProc, reinterpret_cast<LPARAM>(this));
  if (choice == 0) return false;
  if (choice == 1) removePlugins_ = false;
  if (choice == 2) removePlugins_ = true;
  DoUninstall();
  DialogBoxParamW(module_, MAKEINTRESOURCEW(kSuccessDialog), nullptr, UninstallSuccessDialogProc,
                  reinterpret_cast<LPARAM>(this));
  SelfDelete();
  return true;
}

void Uninstaller::SetText(HWND dialog, int control, const char* id) {
  std::wstring text = environment_->GetString(id);
  if (control == 0)
    SetWindowTextW(dialog, text.c_str());
  else
    SetDlgItemTextW(dialog, control, text.c_str());
}

void Uninstaller::SetBanner(HWND dialog) {
  if (banner_ == nullptr) banner_ = environment_->LoadBanner();
  if (banner_ != nullptr)
    SendDlgItemMessageW(dialog, -1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner_));
}

void Uninstaller::InitConfirmDialog(HWND dialog) {
  const InstallSettings& settings = environment_->Settings();
  SetText(dialog, kDescriptionText, "make_sure_uninstall_desc");
  SetText(dialog, kPluginCheckBox, "make_sure_uninstall_plugin");
  SetText(dialog, IDOK, "make_sure_uninstall_ok");
  SetText(dialog, IDCANCEL, "make_sure_uninstall_cancel");
  pluginBoxTickedAtStart_ = settings.uninstallPlugin || removePlugins_;
  CheckDlgButton(dialog, kPluginCheckBox, pluginBoxTickedAtStart_ ? BST_CHECKED : BST_UNCHECKED);
  ShowWindow(GetDlgItem(dialog, kPluginCheckBox), settings.pluginEnable ? SW_SHOW : SW_HIDE);
  SetBanner(dialog);
  CenterDialog(dialog);
  SetText(dialog, 0, "make_sure_uninstall_title");
}

void Uninstaller::EndConfirmDialog(HWND dialog) {
  if (IsDlgButtonChecked(dialog, kPluginCheckBox) != BST_CHECKED) {
    EndDialog(dialog, 1);
    return;
  }
  if (pluginBoxTickedAtStart_) {
    EndDialog(dialog, 2);
    return;
  }
  std::wstring text = environment_->GetString("uninstall_plugin_warnning");
  std::wstring caption = environment_->GetString("uninstall_plugin_warnning_title");
  int answer = MessageBoxW(dialog, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONEXCLAMATION);
  EndDialog(dialog, answer == IDOK ? 2 : 1);
}

void Uninstaller::InitSuccessDialog(HWND dialog) {
  SetText(dialog, kDescriptionText, "uninstall_success_desc");
  SetText(dialog, IDOK, "uninstall_success_ok");
  SetBanner(dialog);
  CenterDialog(dialog);
  SetText(dialog, 0, "uninstall_success_title");
}

INT_PTR CALLBACK Uninstaller::ConfirmUninstallDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                         LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<Uninstaller*>(lParam)->InitConfirmDialog(dialog);
    return TRUE;
  }
  Uninstaller* self = reinterpret_cast<Uninstaller*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || self == nullptr) return FALSE;
  if (LOWORD(wParam) == IDOK) {
    self->EndConfirmDialog(dialog);
    return TRUE;
  }
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK Uninstaller::UninstallSuccessDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                         LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<Uninstaller*>(lParam)->InitSuccessDialog(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDOK) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

bool Uninstaller::DoUninstall() {
  modulePath_ = environment_->LauncherPath();
  RemoveRegistryEntries();
  UnregisterPlugins();
  RemoveInstallShortcuts();
  RemoveUpdaterShortcuts();
  RemoveProductFiles();
  return true;
}

bool Uninstaller::RemoveRegistryEntries() {
  const InstallSettings& settings = environment_->Settings();
  // An empty name would be the key's default value, an empty ID the list of
  // every program's uninstall entries.
  if (!settings.productName.empty())
    environment_->DeleteRegistryValue(Installer::kPathKey, settings.productName);
  if (!settings.uninstallId.empty())
    environment_->DeleteRegistryTree(std::wstring(Installer::kUninstallKey) + settings.uninstallId);
  return true;
}

bool Uninstaller::UnregisterPlugins() {
  const InstallSettings& settings = environment_->Settings();
  if (!settings.pluginEnable || !removePlugins_) return true;
  std::wstring folder = WithTrailingSeparator(environment_->PluginFolder());
  const std::wstring files[] = {settings.iePluginFile, settings.npPluginFile};
  return CallPluginEntries(folder, files, 2, "DllUnregisterServer");
}

std::wstring Uninstaller::StartMenuFolder() {
  std::wstring programs = environment_->ProgramsFolder();
  std::wstring name = environment_->GetString("start_menu_dir_name");
  if (programs.empty() || name.empty()) return std::wstring();
  return WithTrailingSeparator(programs) + name + L"\\";
}

void Uninstaller::RemoveLinkNamed(const std::wstring& name, bool onDesktop, bool onStartMenu) {
  // A link without a name would be the folder itself.
  if (name.empty()) return;
  if (onDesktop) {
    std::wstring desktop = environment_->DesktopFolder();
    if (!desktop.empty()) DeleteFileW((WithTrailingSeparator(desktop) + name).c_str());
  }
  if (onStartMenu) {
    std::wstring folder = StartMenuFolder();
    if (!folder.empty()) {
      DeleteFileW((folder + name).c_str());
      RemoveEmptyFolders(folder);
    } else if (!environment_->ProgramsFolder().empty()) {
      // Without a folder name of its own the links sit in the programs
      // folder itself, whose other empty folders are not the product's.
      DeleteFileW((WithTrailingSeparator(environment_->ProgramsFolder()) + name).c_str());
    }
  }
}

void Uninstaller::RemoveLinks(const std::vector<InstallShortcut>& links) {
  for (const InstallShortcut& link : links) {
    if (link.enable)
      RemoveLinkNamed(environment_->GetString(link.fileStringId.c_str()), link.createOnDeskTop,
                      link.createOnStartMenu);
  }
}

bool Uninstaller::RemoveInstallShortcuts() {
  RemoveLinks(environment_->Settings().internetLinks);
  return true;
}

bool Uninstaller::RemoveUpdaterShortcuts() {
  const InstallSettings& settings = environment_->Settings();
  RemoveLinks(settings.fileLinks);
  RemoveLinkNamed(environment_->GetString("updater_short_cut"), settings.createShortCutOnDeskTop,
                  settings.createShortCutOnStartMenu);
  return true;
}

bool Uninstaller::IsUninstallTarget(const std::wstring& relativePath) {
  const InstallSettings& settings = environment_->Settings();
  for (const std::wstring& pattern : settings.uninstallPatterns)
    if (MatchWildcard(relativePath.c_str(), pattern.c_str())) return true;
  for (const std::wstring* name :
       {&settings.iePluginFile, &settings.npPluginFile, &settings.updaterFileName}) {
    if (!name->empty() && MatchWildcard(relativePath.c_str(), name->c_str())) return true;
  }
  return false;
}

bool Uninstaller::RemoveFileOrRename(const std::wstring& parkingFolder, const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return true;
  // Nothing there: nothing to park, and nothing to schedule for the restart.
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return false;
  std::wstring name = path.substr(cut + 1);
  std::wstring suffix = kParkedSuffix;
  bool alreadyParked = SamePath(path.substr(0, cut + 1), parkingFolder) &&
                       name.size() > suffix.size() &&
                       MatchWildcard(name.c_str() + name.size() - suffix.size(), suffix.c_str());
  // A file parked by an earlier pass (the launcher's own, found again by its
  // path) stays where it is rather than gaining a second suffix.
  if (alreadyParked)
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  std::wstring parked = parkingFolder + name + kParkedSuffix;
  if (MoveFileExW(path.c_str(), parked.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    // The parked file is still in use; unless the interpreter gets it
    // first, it goes at the next restart instead of staying in the root.
    MoveFileExW(parked.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (SamePath(path, modulePath_)) modulePath_ = parked;
    return true;
  }
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

void Uninstaller::RemoveMatchingFiles(const std::wstring& folder, const std::wstring& parking) {
  std::vector<std::wstring> files;
  ListFilesRecursive(folder, files);
  for (const std::wstring& file : files) {
    if (IsUninstallTarget(file.substr(folder.size()))) RemoveFileOrRename(parking, file);
  }
}

bool Uninstaller::RemoveProductFiles() {
  const InstallSettings& settings = environment_->Settings();
  // Without a product name the data folders are the ones every product
  // shares; their passes are skipped rather than run over all products.
  bool haveProduct = !settings.productName.empty();
  std::wstring local = haveProduct ? WithTrailingSeparator(environment_->LocalDataFolder()) : L"";
  std::wstring low =
      haveProduct ? WithTrailingSeparator(environment_->LowIntegrityDataFolder()) : L"";
  std::wstring parking = DriveRootOf(!local.empty() ? local : modulePath_);

  if (!local.empty()) {
    RemoveMatchingFiles(local, parking);
    RemoveEmptyFolders(local);
  }
  if (removePlugins_) {
    std::wstring plugins = WithTrailingSeparator(environment_->PluginFolder());
    if (!plugins.empty()) {
      for (const std::wstring* name : {&settings.iePluginFile, &settings.npPluginFile}) {
        if (!name->empty()) RemoveFileOrRename(parking, plugins + *name);
      }
      RemoveFileOrRename(parking, plugins + L"kvtplayer.log");
      RemoveEmptyFolders(plugins);
    }
  }
  if (!local.empty()) RemoveMatchingFiles(local, parking);
  if (!low.empty()) {
    RemoveMatchingFiles(low, parking);
    RemoveEmptyFolders(low);
  }
  if (!modulePath_.empty()) RemoveFileOrRename(parking, modulePath_);
  if (!local.empty()) {
    RemoveEmptyFolders(local);
    RemoveIfEmpty(ParentFolder(local));
  }
  if (!low.empty()) RemoveIfEmpty(ParentFolder(low));
  return true;
}

bool Uninstaller::SelfDelete() {
  selfDeleteParameters_.clear();
  wchar_t shortPath[kPathCapacity] = {0};
  wchar_t interpreter[kPathCapacity] = {0};
  DWORD shortLength = GetShortPathNameW(modulePath_.c_str(), shortPath, kPathCapacity);
  DWORD interpreterLength = GetEnvironmentVariableW(L"COMSPEC", interpreter, kPathCapacity);
  if (shortLength == 0 || shortLength >= kPathCapacity || interpreterLength == 0 ||
      interpreterLength >= kPathCapacity)
    return false;
  // Quoted: a path with blanks or '&' must stay one argument of del.
  selfDeleteParameters_ = std::wstring(L"/c del \"") + shortPath + L"\" > nul";
  HANDLE child = nullptr;
  if (!environment_->StartHidden(interpreter, selfDeleteParameters_, &child)) return false;
  if (child != nullptr) {
    // The launcher ends first while the interpreter waits its turn.
    SetPriorityClass(child, IDLE_PRIORITY_CLASS);
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }
  SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, shortPath, nullptr);
  return true;
}
