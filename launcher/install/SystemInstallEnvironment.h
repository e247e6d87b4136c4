#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "InstallEnvironment.h"

// The machine side of the installer's and the uninstaller's environment: the
// launcher's folders, the shell's folders and links, the current user's
// registry, program starts.
// The configuration and string table are handed in as values; the run-state
// records, the reports and the banner are left to a subclass that knows the
// launcher's report client and skins (here they do nothing).
class SystemInstallEnvironment : public IInstallEnvironment {
 public:
  SystemInstallEnvironment(HINSTANCE module, const InstallSettings& settings,
                           const std::map<std::string, std::wstring>& strings);

  const InstallSettings& Settings() override { return settings_; }
  std::wstring GetString(const char* id) override;

  std::wstring LocalDataFolder() override;
  std::wstring LowIntegrityDataFolder() override;
  std::wstring PluginFolder() override;
  std::wstring DesktopFolder() override;
  std::wstring ProgramsFolder() override;
  std::wstring LauncherPath() override;

  bool CreateFolderChain(const std::wstring& path) override;
  bool CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                      const std::wstring& description, const std::wstring& workingFolder,
                      const std::wstring& iconFile, const std::wstring& linkPath) override;

  bool SetRegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                         const std::wstring& value) override;
  bool DeleteRegistryValue(const std::wstring& keyPath, const std::wstring& valueName) override;
  bool DeleteRegistryTree(const std::wstring& keyPath) override;

  bool TestAndSetRunState(const char* name) override { return false; }
  void ReportOneTimeEvent(const char* name, int type) override {}
  HBITMAP LoadBanner() override { return nullptr; }

  bool StartHidden(const std::wstring& file, const std::wstring& parameters,
                   HANDLE* process) override;
  void ShellOpen(const std::wstring& file, const std::wstring& parameters) override;

 private:
  std::wstring ShellFolder(int csidl);

 protected:
  HINSTANCE module_;
  InstallSettings settings_;
  std::map<std::string, std::wstring> strings_;
};
