// The plug-in library's own module handle, recorded when it is loaded.
#pragma once

#include <windows.h>

HMODULE PluginModuleHandle();
void SetPluginModuleHandle(HMODULE module);
