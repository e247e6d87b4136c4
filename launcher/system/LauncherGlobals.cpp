// The launcher's global objects, defined in one unit so that they are
// constructed in this order before the entry point and destroyed in reverse
// after it: ConfigMgr, GameDll, HttpClient, Installer, LogMgr, Uninstaller.
// The game loader belongs to one run (LauncherMain): made after these and
// ended before them.
#include "ConfigMgr.h"
#include "GameDll.h"
#include "HttpClient.h"
#include "Installer.h"
#include "LogMgr.h"
#include "Uninstaller.h"

ConfigMgr g_configMgr;
GameDll g_gameDll;
HttpClient g_httpClient;
Installer g_installer;
LogMgr g_logMgr;
Uninstaller g_uninstaller;

