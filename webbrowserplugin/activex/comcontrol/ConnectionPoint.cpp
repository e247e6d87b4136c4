#include "ConnectionPoint.h"

#include <olectl.h>

namespace comcontrol {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, const IID& eventIid)
    : owner(owner), eventIid(eventIid)
{
}

ConnectionPoint::~ConnectionPoint() { UnadviseAll(); }

void ConnectionPoint::UnadviseAll()
{
    std::vector<Sink> released;
    released.swap(sinks);
    for (const Sink& sink : released)
        sink.dispatch->Release();
}

void ConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params)
{
    // A sink may unadvise itself (or others) from inside its handler: work on
    // a referenced copy of the list.
    std::vector<IDispatch*> targets;
    for (const Sink& sink : sinks) {
        sink.dispatch->AddRef();
        targets.push_back(sink.dispatch);
    }
    for (IDispatch* target : targets) {
        VARIANT result;
        VariantInit(&result);
        target->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, &result,
                       nullptr, nullptr);
        VariantClear(&result);
        target->Release();
    }
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return owner->AddRef(); }

STDMETHODIMP_(ULONG) ConnectionPoint::Release() { return owner->Release(); }

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = eventIid;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container)
        return E_POINTER;
    *container = owner;
    owner->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    IDispatch* dispatch = nullptr;
    if (FAILED(sink->QueryInterface(eventIid, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie++;
    sinks.push_back(Sink{*cookie, dispatch});
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie)
{
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->cookie == cookie) {
            IDispatch* dispatch = it->dispatch;
            sinks.erase(it);
            dispatch->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    return E_NOTIMPL;
}

} // namespace comcontrol
