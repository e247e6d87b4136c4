// The launcher's global objects, defined in one unit so that they are
// constructed in this order before the entry point and destroyed in reverse
// after it: ConfigMgr, GameDll, GameLoader, HttpClient, Installer, LogMgr,
// Uninstaller. The others join here, in their places.
#include "ConfigMgr.h"
#include "GameDll.h"
#include "LogMgr.h"

ConfigMgr g_configMgr;
GameDll g_gameDll;
LogMgr g_logMgr;
