// A windowed ActiveX control of our own: embedding, in-place activation,
// drawing, persistence of an empty property set, one event connection point
// and IDispatch through the type library. A control derives from it and
// supplies its methods (InvokeMethod), its window procedure and its drawing.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <vector>

#include "ConnectionPoint.h"

namespace comcontrol {

struct ControlClass {
    CLSID clsid;
    IID dispatchIid;
    IID eventIid;
    GUID libid;
    WORD libMajor;
    WORD libMinor;
    DWORD miscStatus;
    UINT userTypeNameId;
};

class OleControl : public IDispatch,
                   public IOleObject,
                   public IOleInPlaceObject,
                   public IOleInPlaceActiveObject,
                   public IOleControl,
                   public IViewObject2,
                   public IPersistStreamInit,
                   public IPersistPropertyBag,
                   public IPersistStorage,
                   public IPersistMemory,
                   public IConnectionPointContainer,
                   public IProvideClassInfo2,
                   public ISpecifyPropertyPages {
public:
    explicit OleControl(const ControlClass& controlClass);
    virtual ~OleControl();
    OleControl(const OleControl&) = delete;
    OleControl& operator=(const OleControl&) = delete;

    HWND Window() const { return window; }
    bool IsInPlaceActive() const { return inPlaceActive; }
    bool IsUIActive() const { return uiActive; }
    IOleClientSite* ClientSite() const { return clientSite; }
    // True when QueryInterface finds iid (the reference is not kept).
    bool ImplementsInterface(REFIID iid);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                        LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (IOleInPlaceObject, IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* handle) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* uiWindow,
                              BOOL frameWindow) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispid) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL windowBounds,
                      BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                           LPSIZEL size) override;

    // IPersist and the four persistence interfaces
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;
    STDMETHODIMP Load(LPVOID memory, ULONG size) override;
    STDMETHODIMP Save(LPVOID memory, BOOL clearDirty, ULONG size) override;
    STDMETHODIMP GetSizeMax(ULONG* size) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ISpecifyPropertyPages
    STDMETHODIMP GetPages(CAUUID* pages) override;

protected:
    // The control's methods, with the arguments converted to the declared
    // types in declaration order; result is null when the caller wants none.
    virtual HRESULT InvokeMethod(DISPID dispid, VARIANT* args, UINT count, VARIANT* result) = 0;
    // An interface the derived control adds (not referenced), or null.
    virtual IUnknown* QueryExtraInterface(REFIID iid) { return nullptr; }
    virtual void OnSetClientSite() {}
    virtual void OnDraw(HDC dc, const RECT& bounds, const RECT& invalid) {}
    virtual BOOL PreTranslateMessage(MSG* msg) { return FALSE; }
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual HRESULT OnActivateInPlace(BOOL uiActivate, MSG* msg);
    virtual void OnClose(DWORD saveOption);
    virtual void GetPropPageIDs(std::vector<CLSID>& pages) {}
    virtual HRESULT GetTypeLib(LCID lcid, ITypeLib** library);

    bool CreateControlWindow(HWND parent, const RECT& position, const RECT& clip);
    void DestroyControlWindow();
    void FireEvent(DISPID dispid, VARIANT* args, UINT count);
    void InvalidateControl(const RECT* rect, bool erase);
    void Refresh();
    void SetControlFocus();
    LRESULT DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowPropertyPages(HWND parent);

private:
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    HRESULT DispatchTypeInfo(ITypeInfo** info);
    void ReleaseInPlaceSite();
    HRESULT LoadState(const BYTE* bytes, ULONG size);
    void StoreState(BYTE* bytes) const;

    ControlClass controlClass;
    volatile LONG references = 1;
    ConnectionPoint events;
    IOleClientSite* clientSite = nullptr;
    IOleInPlaceSite* inPlaceSite = nullptr;
    IOleInPlaceFrame* inPlaceFrame = nullptr;
    IOleInPlaceUIWindow* inPlaceUiWindow = nullptr;
    IOleAdviseHolder* adviseHolder = nullptr;
    IAdviseSink* viewSink = nullptr;
    DWORD viewAspects = 0;
    DWORD viewAdviseFlags = 0;
    ITypeLib* typeLibrary = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    HWND window = nullptr;
    bool inPlaceActive = false;
    bool uiActive = false;
    bool dirty = false;
    LONG eventsFrozen = 0;
    SIZEL extent;
};

} // namespace comcontrol
