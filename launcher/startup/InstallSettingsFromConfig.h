// The installer's and the uninstaller's values taken from the launcher
// configuration, and its string table as UTF-16 texts by ID.
#pragma once

#include <map>
#include <string>

#include "ConfigMgr.h"
#include "InstallEnvironment.h"

InstallSettings InstallSettingsFromConfig(const ConfigMgr& config);
std::map<std::string, std::wstring> InstallStringsFromConfig(const ConfigMgr& config);
