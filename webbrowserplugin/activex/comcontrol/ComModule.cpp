#include "ComModule.h"

namespace comcontrol {

namespace {
HINSTANCE moduleInstance = nullptr;
volatile LONG objectCount = 0;
volatile LONG lockCount = 0;
const DWORD kPathUnits = 2048;
} // namespace

void ComModule::SetInstance(HINSTANCE instance) { moduleInstance = instance; }

HINSTANCE ComModule::Instance() { return moduleInstance; }

void ComModule::ObjectCreated() { InterlockedIncrement(&objectCount); }

void ComModule::ObjectDestroyed() { InterlockedDecrement(&objectCount); }

void ComModule::Lock() { InterlockedIncrement(&lockCount); }

void ComModule::Unlock() { InterlockedDecrement(&lockCount); }

bool ComModule::CanUnload() { return objectCount == 0 && lockCount == 0; }

LONG ComModule::ObjectCount() { return objectCount; }

LONG ComModule::LockCount() { return lockCount; }

std::wstring ComModule::ModulePath()
{
    wchar_t path[kPathUnits] = {};
    GetModuleFileNameW(moduleInstance, path, kPathUnits);
    path[kPathUnits - 1] = 0;
    return path;
}

std::wstring ComModule::ShortModulePath()
{
    std::wstring longPath = ModulePath();
    wchar_t path[kPathUnits] = {};
    DWORD length = GetShortPathNameW(longPath.c_str(), path, kPathUnits);
    path[kPathUnits - 1] = 0;
    if (length == 0 || length >= kPathUnits)
        return longPath;
    return path;
}

} // namespace comcontrol
