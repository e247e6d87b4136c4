// What a COM server library knows about itself: its instance handle and the
// number of live objects and server locks, which decide DllCanUnloadNow.
#pragma once

#include <windows.h>

#include <string>

namespace comcontrol {

class ComModule {
public:
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE Instance();

    static void ObjectCreated();
    static void ObjectDestroyed();
    static void Lock();
    static void Unlock();
    static bool CanUnload();
    static LONG ObjectCount();
    static LONG LockCount();

    // The library's own file, as the system loaded it.
    static std::wstring ModulePath();
    // The 8.3 form of ModulePath, or the long form where there is none.
    static std::wstring ShortModulePath();
};

} // namespace comcontrol
