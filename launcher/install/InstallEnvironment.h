#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One link of the configuration's file links or Internet links, in UTF-16.
struct InstallShortcut {
  std::wstring target;  // File of a file link (below the install folder), Url of an Internet link
  std::wstring second;  // Param of a file link, IconFile of an Internet link
  std::string fileStringId;
  std::string descStringId;
  bool createOnDeskTop = false;
  bool createOnStartMenu = false;
  bool enable = false;
};

// The configuration values the installer and the uninstaller read, in UTF-16.
struct InstallSettings {
  std::wstring productName;
  std::wstring updaterFileName;
  bool createShortCutOnDeskTop = false;
  bool createShortCutOnStartMenu = false;
  bool pluginEnable = false;
  std::wstring iePluginFile;
  std::wstring npPluginFile;
  std::vector<InstallShortcut> fileLinks;
  std::vector<InstallShortcut> internetLinks;
  bool runExe = false;
  std::wstring runFile;
  std::wstring runParam;
  bool openUrl = false;
  std::wstring url;
  bool uninstallEnable = false;
  std::wstring uninstallId;
  std::wstring uninstallVersion;
  bool uninstallPlugin = false;
  std::vector<std::wstring> uninstallPatterns;
};

// What the installer and the uninstaller need from the rest of the launcher
// and from the machine: the configuration and string table, the folders,
// links, registry, run-state records and reports. The launcher's start-up
// hands in the real one; tests hand in one that points into a scratch tree.
class IInstallEnvironment {
 public:
  virtual ~IInstallEnvironment() {}

  virtual const InstallSettings& Settings() = 0;
  // The string-table text of id, empty when the id is missing.
  virtual std::wstring GetString(const char* id) = 0;

  // The product's data folders and the plug-ins' folder, each ending in a
  // separator; empty when the system cannot name them.
  virtual std::wstring LocalDataFolder() = 0;
  virtual std::wstring LowIntegrityDataFolder() = 0;
  virtual std::wstring PluginFolder() = 0;
  // The user's desktop and the start menu's programs folder, created when
  // missing; empty when the shell cannot name them.
  virtual std::wstring DesktopFolder() = 0;
  virtual std::wstring ProgramsFolder() = 0;
  // The launcher's own program file.
  virtual std::wstring LauncherPath() = 0;

  virtual bool CreateFolderChain(const std::wstring& path) = 0;
  virtual bool CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                              const std::wstring& description, const std::wstring& workingFolder,
                              const std::wstring& iconFile, const std::wstring& linkPath) = 0;

  // Below HKEY_CURRENT_USER.
  virtual bool SetRegistryString(const std::wstring& keyPath, const std::wstring& valueName,
                                 const std::wstring& value) = 0;
  virtual bool DeleteRegistryValue(const std::wstring& keyPath, const std::wstring& valueName) = 0;
  virtual bool DeleteRegistryTree(const std::wstring& keyPath) = 0;

  // Records a one-time event; true when it was recorded already.
  virtual bool TestAndSetRunState(const char* name) = 0;
  // Sends the statistics report of a one-time event the first time only.
  virtual void ReportOneTimeEvent(const char* name, int type) = 0;

  // The dialogs' banner (skin image AJPEG 151), or null; the caller frees it.
  virtual HBITMAP LoadBanner() = 0;

  // Starts a program without a window and hands back its process (or null
  // when the caller gets no handle); false when it did not start.
  virtual bool StartHidden(const std::wstring& file, const std::wstring& parameters,
                           HANDLE* process) = 0;
  // Opens a program or a page the way the shell does.
  virtual void ShellOpen(const std::wstring& file, const std::wstring& parameters) = 0;
};
