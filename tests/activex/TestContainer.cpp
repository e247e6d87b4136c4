#include "TestContainer.h"

namespace activex_test {

namespace {

const wchar_t kContainerClass[] = L"ActivexTestContainer";

void RegisterContainerClass()
{
    WNDCLASSW wc = {};
    if (GetClassInfoW(GetModuleHandleW(nullptr), kContainerClass, &wc))
        return;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kContainerClass;
    RegisterClassW(&wc);
}

} // namespace

TestContainer::TestContainer(bool allowInPlace) : allowInPlace(allowInPlace)
{
    RegisterContainerClass();
    window = CreateWindowExW(0, kContainerClass, L"container", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                             300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TestContainer::~TestContainer()
{
    Unsite();
    if (window)
        DestroyWindow(window);
}

bool TestContainer::Site(IUnknown* control)
{
    if (FAILED(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object))))
        return false;
    IViewObject* view = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        view->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(this));
        view->Release();
    }
    return SUCCEEDED(object->SetClientSite(static_cast<IOleClientSite*>(this)));
}

void TestContainer::Unsite()
{
    if (!object)
        return;
    IOleObject* closing = object;
    object = nullptr;
    closing->Close(OLECLOSE_NOSAVE);
    closing->SetClientSite(nullptr);
    IViewObject* view = nullptr;
    if (SUCCEEDED(closing->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        view->Release();
    }
    closing->Release();
}

STDMETHODIMP TestContainer::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *out = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
        *out = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceFrame) || IsEqualIID(iid, IID_IOleInPlaceUIWindow))
        *out = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(iid, IID_IAdviseSink))
        *out = static_cast<IAdviseSink*>(this);
    return *out ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP TestContainer::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestContainer::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP TestContainer::GetWindow(HWND* handle)
{
    if (!handle)
        return E_POINTER;
    *handle = window;
    return S_OK;
}

STDMETHODIMP TestContainer::OnInPlaceActivate()
{
    ++inPlaceActivations;
    return S_OK;
}

STDMETHODIMP TestContainer::OnUIActivate()
{
    ++uiActivations;
    return S_OK;
}

STDMETHODIMP TestContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info)
{
    if (frame) {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
    }
    if (doc)
        *doc = nullptr;
    RECT area = {10, 10, 210, 110};
    if (position)
        *position = area;
    if (clip)
        *clip = area;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = window;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP TestContainer::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR)
{
    activeObject = active;
    return S_OK;
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, eventIid)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP RecordingSink::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingSink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT*, EXCEPINFO*, UINT*)
{
    std::wstring event = std::to_wstring(dispid);
    // The arguments arrive last to first: the first one is the last entry.
    if (params && params->cArgs > 0 && V_VT(&params->rgvarg[params->cArgs - 1]) == VT_BSTR) {
        BSTR text = V_BSTR(&params->rgvarg[params->cArgs - 1]);
        event += L"(" + std::wstring(text ? text : L"") + L")";
    }
    events.push_back(event);
    if (dispid >= 0 && dispid < 32)
        ++calls[dispid];
    last = dispid;
    ++total;
    return S_OK;
}

} // namespace activex_test
