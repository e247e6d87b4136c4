#include "ClassFactory.h"

#include "ComModule.h"

namespace comcontrol {

ClassFactory::ClassFactory(const CLSID& clsid, CreateFunction create)
    : clsid(clsid), create(create)
{
}

HRESULT ClassFactory::GetClassObject(ClassFactory* const* factories, size_t count, REFCLSID clsid,
                                     REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (IsEqualCLSID(factories[i]->ClassId(), clsid))
            return factories[i]->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// The factories live as long as the library; a reference held by a client
// keeps the library loaded through the lock count instead.
STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    ComModule::Lock();
    return 2;
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    ComModule::Unlock();
    return 1;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return create(iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ComModule::Lock();
    else
        ComModule::Unlock();
    return S_OK;
}

} // namespace comcontrol
