// The exports of the control library.
#include <windows.h>
#include <olectl.h>

#include "ClassFactory.h"
#include "ComModule.h"
#include "ControlRegistration.h"
#include "KvtplayerFactories.h"

namespace {

bool IsAdministrator()
{
#ifdef KVTPLAYER_TEST_SEAMS
    // Tests reach the per-user path through the environment, as the
    // registration tool runs the library in a process of its own.
    wchar_t answer[8] = L"";
    if (GetEnvironmentVariableW(L"KVTPLAYER_TEST_NOT_ADMINISTRATOR", answer, 8) > 0 &&
        answer[0] == L'1')
        return false;
#endif
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    BOOL asked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    return asked && member;
}

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
