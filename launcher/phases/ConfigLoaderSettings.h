// The phases' settings taken from the launcher configuration.
#pragma once

#include "ConfigMgr.h"
#include "LoaderSettings.h"

LoaderSettings LoaderSettingsFromConfig(const ConfigMgr& config);
