// The one connection point of a control: the sinks of its event dispatch
// interface. Embedded in its container, whose reference count it shares.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <vector>

namespace comcontrol {

class ConnectionPoint : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer* owner, const IID& eventIid);
    ~ConnectionPoint();

    // Calls Invoke(dispid) on every connected sink, in the order they were
    // connected; a sink that fails does not stop the others.
    void Fire(DISPID dispid, DISPPARAMS* params);
    size_t SinkCount() const { return sinks.size(); }
    void UnadviseAll();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

private:
    struct Sink {
        DWORD cookie;
        IDispatch* dispatch;
    };
    IConnectionPointContainer* owner;
    IID eventIid;
    std::vector<Sink> sinks;
    DWORD nextCookie = 1;
};

} // namespace comcontrol
