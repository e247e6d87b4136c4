#pragma once

#include <windows.h>

#include <string>

#include "InstallEnvironment.h"

// Installs the launcher for the current user without showing anything: its
// program file in the product's data folder, the browser plug-ins from its
// PACKAGE 147 resource (unpacked and registered), the configured links, the
// install-folder value and the uninstall entry. No step's failure stops the
// others.
class Installer {
 public:
  Installer();
  virtual ~Installer();

  void SetEnvironment(IInstallEnvironment* environment) { environment_ = environment; }
  // The module whose resources hold the plug-in archive.
  void SetModule(HINSTANCE module) { module_ = module; }
  void SetNoFileShortcuts(bool value) { noFileShortcuts_ = value; }
  void SetNoInternetShortcuts(bool value) { noInternetShortcuts_ = value; }

  // Always true.
  bool Install();
  // Starts the configured program or page after an installation; true.
  bool RunAfterInstall();

  bool CopySelf();
  bool ExtractPlugins();
  bool RegisterPlugins();
  bool CreateFileShortcuts();
  bool CreateInternetShortcuts();
  bool WriteUninstallEntry();

  const std::wstring& InstallFolder() const { return installFolder_; }
  const std::wstring& PluginFolder() const { return pluginFolder_; }

  static const wchar_t* const kPathKey;
  static const wchar_t* const kUninstallKey;

 private:
  void PlaceLink(const InstallShortcut& link, const std::wstring& target,
                 const std::wstring& arguments, const std::wstring& workingFolder,
                 const std::wstring& icon);
  void ReadFolders();

  IInstallEnvironment* environment_ = nullptr;
  HINSTANCE module_ = nullptr;
  std::wstring installFolder_;
  std::wstring pluginFolder_;
  bool noFileShortcuts_ = false;
  bool noInternetShortcuts_ = false;
};

extern Installer g_installer;

// Loads each library and calls its exported entry (DllRegisterServer or
// DllUnregisterServer) inside an OLE session; true when every library had
// the entry and it was called. The entries' own results are not looked at.
bool CallPluginEntries(const std::wstring& folder, const std::wstring* files, int count,
                       const char* entry);
