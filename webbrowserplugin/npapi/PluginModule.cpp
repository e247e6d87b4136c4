#include "PluginModule.h"

namespace {

HMODULE moduleHandle;

}  // namespace

HMODULE PluginModuleHandle() { return moduleHandle; }

void SetPluginModuleHandle(HMODULE module) { moduleHandle = module; }
