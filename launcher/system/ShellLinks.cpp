#include "ShellLinks.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "ConfigMgr.h"

namespace {

const size_t kPathBufferSize = 2048;

bool HasText(const wchar_t* text) { return text && *text; }

// Fills and saves a link object; the caller owns COM initialisation.
bool SaveLink(const wchar_t* target, const wchar_t* arguments, const wchar_t* description,
              const wchar_t* workingFolder, const wchar_t* iconFile, const wchar_t* linkPath) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return false;
  bool saved = false;
  if (SUCCEEDED(link->SetPath(target))) {
    if (HasText(arguments)) link->SetArguments(arguments);
    if (HasText(description)) link->SetDescription(description);
    if (HasText(workingFolder)) link->SetWorkingDirectory(workingFolder);
    if (HasText(iconFile)) link->SetIconLocation(iconFile, 0);
    link->SetShowCmd(SW_SHOW);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      saved = SUCCEEDED(file->Save(linkPath, TRUE));
      file->Release();
    }
  }
  link->Release();
  return saved;
}

std::wstring ShellFolderW(int csidl) {
  wchar_t buffer[kPathBufferSize] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE)) return std::wstring();
  buffer[kPathBufferSize - 1] = 0;
  return buffer;
}

bool PlaceIn(const std::wstring& folder, const std::wstring& linkFileName,
             const ShortcutValues& values) {
  std::wstring linkPath = JoinLinkPath(folder, linkFileName);
  return CreateShortcut(values.target.c_str(), values.arguments.c_str(),
                        values.description.c_str(), values.workingFolder.c_str(),
                        values.iconFile.c_str(), linkPath.c_str());
}

}  // namespace

bool CreateShortcut(const wchar_t* target, const wchar_t* arguments, const wchar_t* description,
                    const wchar_t* workingFolder, const wchar_t* iconFile,
                    const wchar_t* linkPath) {
  if (!target || !linkPath) return false;
  DeleteFileW(linkPath);
  if (FAILED(CoInitialize(nullptr))) return false;
  bool saved = SaveLink(target, arguments, description, workingFolder, iconFile, linkPath);
  CoUninitialize();
  return saved;
}

bool CreateFolderChain(const wchar_t* path) {
  if (!path) return false;
  std::wstring text(path);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' || text[i] == L'/') CreateDirectoryW(text.substr(0, i).c_str(), nullptr);
  }
  if (!text.empty()) CreateDirectoryW(text.c_str(), nullptr);
  return true;
}

std::wstring JoinLinkPath(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
  return path + name;
}

bool PlaceShortcutOnDesktop(const std::wstring& linkFileName, const ShortcutValues& values) {
  std::wstring desktop = ShellFolderW(CSIDL_DESKTOPDIRECTORY);
  if (desktop.empty()) return false;
  return PlaceIn(desktop, linkFileName, values);
}

bool PlaceShortcutInStartMenu(const std::wstring& linkFileName, const ShortcutValues& values) {
  std::wstring programs = ShellFolderW(CSIDL_PROGRAMS);
  if (programs.empty()) return false;
  std::wstring menuName;
  g_configMgr.GetString("start_menu_dir_name", &menuName);
  std::wstring folder = JoinLinkPath(programs, menuName);
  CreateFolderChain(folder.c_str());
  return PlaceIn(folder, linkFileName, values);
}

bool CreateUpdaterShortcuts(RunStateGate testAndSetRunState) {
  if (testAndSetRunState && testAndSetRunState("CreateShortCuts")) return true;
  wchar_t modulePath[kPathBufferSize] = {};
  GetModuleFileNameW(nullptr, modulePath, DWORD(kPathBufferSize));
  modulePath[kPathBufferSize - 1] = 0;
  ShortcutValues values;
  values.target = modulePath;
  std::wstring linkFileName;
  g_configMgr.GetString("updater_short_cut", &linkFileName);
  g_configMgr.GetString("updater_short_cut_desc", &values.description);
  if (g_configMgr.createShortCutOnDeskTop) PlaceShortcutOnDesktop(linkFileName, values);
  if (g_configMgr.createShortCutOnStartMenu) PlaceShortcutInStartMenu(linkFileName, values);
  return true;
}
