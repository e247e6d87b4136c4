// A small control container for tests: a top-level window with its own
// client site, in-place site and frame. It can refuse in-place activation,
// counts the control's requests and records view changes.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

namespace activex_test {

class TestContainer : public IOleClientSite,
                      public IOleInPlaceSite,
                      public IOleInPlaceFrame,
                      public IAdviseSink {
public:
    explicit TestContainer(bool allowInPlace);
    ~TestContainer();
    TestContainer(const TestContainer&) = delete;
    TestContainer& operator=(const TestContainer&) = delete;

    HWND Window() const { return window; }
    // Sites the control (SetClientSite, view advise); false on failure.
    bool Site(IUnknown* control);
    // Closes and unsites the control and releases it.
    void Unsite();
    IOleObject* Object() const { return object; }

    int inPlaceActivations = 0;
    int uiActivations = 0;
    int viewChanges = 0;
    IOleInPlaceActiveObject* activeObject = nullptr;

    // IUnknown: the container lives on the test's stack; counts are not kept.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return S_OK; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* handle) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return allowInPlace ? S_OK : S_FALSE; }
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                  LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow and IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) override;
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IAdviseSink
    STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    STDMETHODIMP_(void) OnViewChange(DWORD, LONG) override { ++viewChanges; }
    STDMETHODIMP_(void) OnRename(IMoniker*) override {}
    STDMETHODIMP_(void) OnSave() override {}
    STDMETHODIMP_(void) OnClose() override {}

private:
    bool allowInPlace;
    HWND window = nullptr;
    IOleObject* object = nullptr;
};

// An event sink that records the dispatch identifiers it was called with.
class RecordingSink : public IDispatch {
public:
    explicit RecordingSink(const IID& eventIid) : eventIid(eventIid) {}
    int calls[32] = {};
    DISPID last = 0;
    int total = 0;
    // Each event as "number" or "number(text)" for a first text argument.
    std::vector<std::wstring> events;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override;
    LONG References() const { return references; }

private:
    IID eventIid;
    volatile LONG references = 1;
};

} // namespace activex_test
