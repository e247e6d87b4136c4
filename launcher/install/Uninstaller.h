#pragma once

#include <windows.h>

#include <string>

#include "InstallEnvironment.h"

// Removes what the installer and the launcher's runs left for the current
// user: registry values, links, the product's files in both data folders,
// on request the browser plug-ins, and last the launcher's own program file,
// which a hidden command interpreter deletes once the launcher has ended.
// Unless silent, a confirmation dialog comes first and a success dialog after.
class Uninstaller {
 public:
  Uninstaller();
  virtual ~Uninstaller();

  void SetEnvironment(IInstallEnvironment* environment) { environment_ = environment; }
  // The module whose resources hold the dialogs.
  void SetModule(HINSTANCE module) { module_ = module; }

  // False only when the user cancels the confirmation (nothing is removed).
  bool Run(bool silent, bool removePlugins);

  bool DoUninstall();
  bool SelfDelete();

  bool RemoveRegistryEntries();
  bool UnregisterPlugins();
  bool RemoveInstallShortcuts();
  bool RemoveUpdaterShortcuts();
  bool RemoveProductFiles();

  bool IsUninstallTarget(const std::wstring& relativePath);
  // Deletes path, or when it is in use moves it into parkingFolder under its
  // name and ".kvt.uninstall"; what is moved, or cannot even be moved, is
  // also scheduled for deletion at the next restart.
  bool RemoveFileOrRename(const std::wstring& parkingFolder, const std::wstring& path);

  bool RemovePlugins() const { return removePlugins_; }
  const std::wstring& ModulePath() const { return modulePath_; }
  // The interpreter's parameters of the last SelfDelete.
  const std::wstring& SelfDeleteParameters() const { return selfDeleteParameters_; }

  static const int kConfirmDialog = 149;
  static const int kSuccessDialog = 150;
  static const int kPluginCheckBox = 1002;
  static const int kDescriptionText = 1003;

 private:
  static INT_PTR CALLBACK ConfirmUninstallDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                     LPARAM lParam);
  static INT_PTR CALLBACK UninstallSuccessDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                                     LPARAM lParam);
  void InitConfirmDialog(HWND dialog);
  void InitSuccessDialog(HWND dialog);
  void EndConfirmDialog(HWND dialog);
  void SetBanner(HWND dialog);
  void SetText(HWND dialog, int control, const char* id);

  void RemoveLinks(const std::vector<InstallShortcut>& links);
  void RemoveLinkNamed(const std::wstring& name, bool onDesktop, bool onStartMenu);
  std::wstring StartMenuFolder();
  void RemoveMatchingFiles(const std::wstring& folder, const std::wstring& parking);

  IInstallEnvironment* environment_ = nullptr;
  HINSTANCE module_ = nullptr;
  std::wstring modulePath_;
  bool silent_ = false;
  bool removePlugins_ = false;
  bool pluginBoxTickedAtStart_ = false;
  HBITMAP banner_ = nullptr;
  std::wstring selfDeleteParameters_;
};

extern Uninstaller g_uninstaller;

// Centres a window on the screen.
void CenterDialog(HWND dialog);
