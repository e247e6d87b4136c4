#include "InstallCommands.h"

#include "Installer.h"
#include "LauncherInstallEnvironment.h"
#include "Uninstaller.h"

bool RunInstallCommand(Installer& installer, HINSTANCE module, const ConfigMgr& config,
                       RunState* runState, StatReporter* reporter, bool noFileShortcuts,
                       bool noInternetShortcuts) {
  LauncherInstallEnvironment environment(module, config, runState, reporter);
  installer.SetEnvironment(&environment);
  installer.SetModule(module);
  installer.SetNoFileShortcuts(noFileShortcuts);
  installer.SetNoInternetShortcuts(noInternetShortcuts);
  installer.Install();
  installer.RunAfterInstall();
  // The environment ends here; the installer keeps no pointer into it.
  installer.SetEnvironment(nullptr);
  return true;
}

int RunUninstallCommand(Uninstaller& uninstaller, HINSTANCE module, const ConfigMgr& config,
                        bool silent, bool removePlugins) {
  LauncherInstallEnvironment environment(module, config, nullptr, nullptr);
  uninstaller.SetEnvironment(&environment);
  uninstaller.SetModule(module);
  bool done = uninstaller.Run(silent, removePlugins);
  uninstaller.SetEnvironment(nullptr);
  return done ? 0 : -1;
}
