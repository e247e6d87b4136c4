#pragma once

#include <windows.h>

class ConfigMgr;
class Installer;
class RunState;
class StatReporter;
class Uninstaller;

// What the start-up runs for its switches, with the loaded configuration
// and the launcher's global installer and uninstaller.

// "/install" and "/checkinstall": the silent installation, then whatever the
// configuration asks to start. runState and reporter may be null. True.
bool RunInstallCommand(Installer& installer, HINSTANCE module, const ConfigMgr& config,
                       RunState* runState, StatReporter* reporter, bool noFileShortcuts,
                       bool noInternetShortcuts);

// "/uninstall" (with "/silent" and "/plugin"): the program's exit code, 0,
// or -1 when the user cancelled the confirmation.
int RunUninstallCommand(Uninstaller& uninstaller, HINSTANCE module, const ConfigMgr& config,
                        bool silent, bool removePlugins);
