// The exports of the control library.
#include <windows.h>
#include <olectl.h>

#include "Administrator.h"
#include "ClassFactory.h"
#include "ComModule.h"
#include "ControlRegistration.h"
#include "KvtplayerFactories.h"

namespace {

kvtplayer::RegistrationModule ThisModule()
{
    size_t count = 0;
    comcontrol::ClassFactory* const* factories = kvtplayer::LibraryFactories(&count);
    return kvtplayer::RegistrationModule{comcontrol::ComModule::Instance(), factories, count};
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        comcontrol::ComModule::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    size_t count = 0;
    comcontrol::ClassFactory* const* factories = kvtplayer::LibraryFactories(&count);
    return comcontrol::ClassFactory::GetClassObject(factories, count, clsid, iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return comcontrol::ComModule::CanUnload() ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return kvtplayer::RegisterServer(IsAdministrator(), ThisModule());
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return kvtplayer::UnregisterServer(ThisModule());
}
