#include "OleControl.h"

#include <olectl.h>

#include <string>

#include "ComModule.h"
#include "DispatchArguments.h"

namespace comcontrol {

namespace {

const wchar_t kWindowClass[] = L"ComControlWindow";
const DWORD kStateVersion = 0x00010000;
const ULONG kStateSize = 12;  // version, extent width, extent height
const wchar_t kContentsStream[] = L"Contents";

// Default size of a new control: 100 x 50 pixels at 96 dots per inch, in
// HIMETRIC units as containers expect.
const LONG kDefaultWidth = 2646;
const LONG kDefaultHeight = 1323;

void RegisterWindowClass(WNDPROC procedure)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(ComModule::Instance(), kWindowClass, &wc))
        return;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ComModule::Instance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
}

template <typename T> void ReleaseAndClear(T*& pointer)
{
    if (pointer) {
        T* old = pointer;
        pointer = nullptr;
        old->Release();
    }
}

LPOLESTR CoTaskString(const wchar_t* text)
{
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy)
        memcpy(copy, text, bytes);
    return copy;
}

} // namespace

OleControl::OleControl(const ControlClass& controlClass)
    : controlClass(controlClass), events(this, controlClass.eventIid)
{
    extent.cx = kDefaultWidth;
    extent.cy = kDefaultHeight;
    ComModule::ObjectCreated();
}

OleControl::~OleControl()
{
    DestroyControlWindow();
    events.UnadviseAll();
    ReleaseInPlaceSite();
    ReleaseAndClear(viewSink);
    ReleaseAndClear(adviseHolder);
    ReleaseAndClear(clientSite);
    ReleaseAndClear(dispatchInfo);
    ReleaseAndClear(typeLibrary);
    ComModule::ObjectDestroyed();
}

bool OleControl::ImplementsInterface(REFIID iid)
{
    IUnknown* found = nullptr;
    if (FAILED(QueryInterface(iid, reinterpret_cast<void**>(&found))) || !found)
        return false;
    found->Release();
    return true;
}

// ---- IUnknown

STDMETHODIMP OleControl::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, controlClass.dispatchIid))
        found = static_cast<IDispatch*>(this);
    else if (IsEqualIID(iid, IID_IOleObject))
        found = static_cast<IOleObject*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject))
        found = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject))
        found = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(iid, IID_IOleControl))
        found = static_cast<IOleControl*>(this);
    else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2))
        found = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit))
        found = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(iid, IID_IPersistPropertyBag))
        found = static_cast<IPersistPropertyBag*>(this);
    else if (IsEqualIID(iid, IID_IPersistStorage))
        found = static_cast<IPersistStorage*>(this);
    else if (IsEqualIID(iid, IID_IPersistMemory))
        found = static_cast<IPersistMemory*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        found = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2))
        found = static_cast<IProvideClassInfo2*>(this);
    else if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
        found = static_cast<ISpecifyPropertyPages*>(this);
    else
        found = QueryExtraInterface(iid);
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    *object = found;
    return S_OK;
}

STDMETHODIMP_(ULONG) OleControl::AddRef() { return InterlockedIncrement(&references); }

STDMETHODIMP_(ULONG) OleControl::Release()
{
    LONG left = InterlockedDecrement(&references);
    if (left == 0) {
        // Keep the object alive while its destructor releases what may call
        // back into it.
        references = 1;
        delete this;
    }
    return static_cast<ULONG>(left);
}

// ---- IDispatch

HRESULT OleControl::GetTypeLib(LCID lcid, ITypeLib** library)
{
    HRESULT hr = LoadRegTypeLib(controlClass.libid, controlClass.libMajor, controlClass.libMinor,
                                lcid, library);
    if (SUCCEEDED(hr))
        return hr;
    // Not registered (or registered elsewhere): the library's own resource.
    return LoadTypeLibEx(ComModule::ModulePath().c_str(), REGKIND_NONE, library);
}

HRESULT OleControl::DispatchTypeInfo(ITypeInfo** info)
{
    *info = nullptr;
    if (!dispatchInfo) {
        if (!typeLibrary) {
            HRESULT hr = GetTypeLib(LOCALE_SYSTEM_DEFAULT, &typeLibrary);
            if (FAILED(hr))
                return hr;
        }
        HRESULT hr = typeLibrary->GetTypeInfoOfGuid(controlClass.dispatchIid, &dispatchInfo);
        if (FAILED(hr))
            return hr;
    }
    *info = dispatchInfo;
    dispatchInfo->AddRef();
    return S_OK;
}

STDMETHODIMP OleControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP OleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return DispatchTypeInfo(info);
}

STDMETHODIMP OleControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                       DISPID* ids)
{
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids)
        return E_POINTER;
    ITypeInfo* info = nullptr;
    HRESULT hr = DispatchTypeInfo(&info);
    if (FAILED(hr))
        return hr;
    hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
}

STDMETHODIMP OleControl::Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags,
                                DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                UINT* argError)
{
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = DispatchTypeInfo(&info);
    if (FAILED(hr))
        return hr;
    DispatchArguments args;
    hr = args.Convert(info, dispid, flags, params, argError);
    info->Release();
    if (FAILED(hr))
        return hr;
    VARIANT value;
    VariantInit(&value);
    // A script may call a method from inside one of its events: keep the
    // object alive for the whole call.
    AddRef();
    hr = InvokeMethod(dispid, args.Values(), args.Count(), &value);
    Release();
    if (SUCCEEDED(hr) && result)
        *result = value;
    else
        VariantClear(&value);
    return hr;
}

// ---- IOleObject

STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site)
{
    if (site)
        site->AddRef();
    IOleClientSite* old = clientSite;
    clientSite = site;
    if (old)
        old->Release();
    OnSetClientSite();
    return S_OK;
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = clientSite;
    if (clientSite)
        clientSite->AddRef();
    return S_OK;
}

STDMETHODIMP OleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP OleControl::Close(DWORD saveOption)
{
    AddRef();
    OnClose(saveOption);
    Release();
    return S_OK;
}

void OleControl::OnClose(DWORD saveOption)
{
    InPlaceDeactivate();
    if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && dirty &&
        clientSite)
        clientSite->SaveObject();
    if (adviseHolder)
        adviseHolder->SendOnClose();
}

STDMETHODIMP OleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG msg, IOleClientSite*, LONG, HWND parent,
                                LPCRECT)
{
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
        return OnActivateInPlace(TRUE, msg);
    case OLEIVERB_INPLACEACTIVATE:
        return OnActivateInPlace(FALSE, msg);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (window)
            ShowWindow(window, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        ShowPropertyPages(parent);
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    *verbs = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP OleControl::Update() { return S_OK; }

STDMETHODIMP OleControl::IsUpToDate() { return S_OK; }

STDMETHODIMP OleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP OleControl::GetUserType(DWORD, LPOLESTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    wchar_t text[256] = {};
    if (LoadStringW(ComModule::Instance(), controlClass.userTypeNameId, text, 256) <= 0)
        return OLE_S_USEREG;
    *name = CoTaskString(text);
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    extent = *size;
    dirty = true;
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = extent;
    return S_OK;
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!connection)
        return E_POINTER;
    *connection = 0;
    if (!adviseHolder && FAILED(CreateOleAdviseHolder(&adviseHolder)))
        return E_OUTOFMEMORY;
    return adviseHolder->Advise(sink, connection);
}

STDMETHODIMP OleControl::Unadvise(DWORD connection)
{
    if (!adviseHolder)
        return OLE_E_NOCONNECTION;
    return adviseHolder->Unadvise(connection);
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** advise)
{
    if (!advise)
        return E_POINTER;
    *advise = nullptr;
    if (!adviseHolder)
        return E_FAIL;
    return adviseHolder->EnumAdvise(advise);
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = controlClass.miscStatus;
    return S_OK;
}

STDMETHODIMP OleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow

STDMETHODIMP OleControl::GetWindow(HWND* handle)
{
    if (!handle)
        return E_POINTER;
    *handle = window;
    return window ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- In-place activation

HRESULT OleControl::OnActivateInPlace(BOOL uiActivate, MSG*)
{
    if (!clientSite)
        return E_UNEXPECTED;
    if (!inPlaceActive) {
        IOleInPlaceSite* site = nullptr;
        if (FAILED(clientSite->QueryInterface(IID_IOleInPlaceSite,
                                              reinterpret_cast<void**>(&site))))
            return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK) {
            site->Release();
            return E_FAIL;
        }
        site->OnInPlaceActivate();
        inPlaceSite = site;
        inPlaceActive = true;
        HWND parent = nullptr;
        site->GetWindow(&parent);
        RECT position = {}, clip = {};
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof(frameInfo);
        site->GetWindowContext(&inPlaceFrame, &inPlaceUiWindow, &position, &clip, &frameInfo);
        if (!window) {
            if (!CreateControlWindow(parent, position, clip)) {
                InPlaceDeactivate();
                return E_FAIL;
            }
        } else {
            if (parent)
                SetParent(window, parent);
            MoveWindow(window, position.left, position.top, position.right - position.left,
                       position.bottom - position.top, TRUE);
        }
        ShowWindow(window, SW_SHOWNA);
    }
    if (uiActivate && !uiActive) {
        uiActive = true;
        inPlaceSite->OnUIActivate();
        IOleInPlaceActiveObject* active = static_cast<IOleInPlaceActiveObject*>(this);
        if (inPlaceFrame) {
            inPlaceFrame->SetActiveObject(active, nullptr);
            inPlaceFrame->SetBorderSpace(nullptr);
        }
        if (inPlaceUiWindow) {
            inPlaceUiWindow->SetActiveObject(active, nullptr);
            inPlaceUiWindow->SetBorderSpace(nullptr);
        }
    }
    return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate()
{
    if (!uiActive)
        return S_OK;
    uiActive = false;
    if (inPlaceUiWindow)
        inPlaceUiWindow->SetActiveObject(nullptr, nullptr);
    if (inPlaceFrame)
        inPlaceFrame->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite)
        inPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP OleControl::InPlaceDeactivate()
{
    if (!inPlaceActive)
        return S_OK;
    UIDeactivate();
    inPlaceActive = false;
    if (window)
        ShowWindow(window, SW_HIDE);
    if (inPlaceSite)
        inPlaceSite->OnInPlaceDeactivate();
    ReleaseInPlaceSite();
    return S_OK;
}

void OleControl::ReleaseInPlaceSite()
{
    ReleaseAndClear(inPlaceUiWindow);
    ReleaseAndClear(inPlaceFrame);
    ReleaseAndClear(inPlaceSite);
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT position, LPCRECT)
{
    if (!position)
        return E_POINTER;
    if (window)
        MoveWindow(window, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    return S_OK;
}

STDMETHODIMP OleControl::ReactivateAndUndo() { return E_NOTIMPL; }

STDMETHODIMP OleControl::TranslateAccelerator(LPMSG msg)
{
    return PreTranslateMessage(msg) ? S_OK : S_FALSE;
}

STDMETHODIMP OleControl::OnFrameWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP OleControl::OnDocWindowActivate(BOOL) { return S_OK; }

STDMETHODIMP OleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }

STDMETHODIMP OleControl::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl

STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP OleControl::OnMnemonic(MSG*) { return S_OK; }

STDMETHODIMP OleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

STDMETHODIMP OleControl::FreezeEvents(BOOL freeze)
{
    if (freeze)
        ++eventsFrozen;
    else if (eventsFrozen > 0)
        --eventsFrozen;
    return S_OK;
}

// ---- IViewObject2

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                              LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                              ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!drawDc)
        return E_INVALIDARG;
    RECT area = {};
    if (bounds) {
        area.left = bounds->left;
        area.top = bounds->top;
        area.right = bounds->right;
        area.bottom = bounds->bottom;
    } else if (window && inPlaceActive) {
        GetClientRect(window, &area);
    } else {
        return E_INVALIDARG;
    }
    OnDraw(drawDc, area, area);
    return S_OK;
}

STDMETHODIMP OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors)
{
    if (colors)
        *colors = nullptr;
    return S_FALSE;
}

STDMETHODIMP OleControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }

STDMETHODIMP OleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink)
{
    if (sink)
        sink->AddRef();
    ReleaseAndClear(viewSink);
    viewSink = sink;
    viewAspects = aspects;
    viewAdviseFlags = advf;
    return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects;
    if (advf)
        *advf = viewAdviseFlags;
    if (sink) {
        *sink = viewSink;
        if (viewSink)
            viewSink->AddRef();
    }
    return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// ---- Persistence: the control keeps no properties, only a version and its
// extent, in the same 12 bytes for every medium.

STDMETHODIMP OleControl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = controlClass.clsid;
    return S_OK;
}

STDMETHODIMP OleControl::IsDirty() { return dirty ? S_OK : S_FALSE; }

STDMETHODIMP OleControl::InitNew() { return S_OK; }

HRESULT OleControl::LoadState(const BYTE* bytes, ULONG size)
{
    if (!bytes)
        return E_POINTER;
    if (size < kStateSize)
        return E_FAIL;
    DWORD version;
    memcpy(&version, bytes, 4);
    // Older versions hold the same fields; a newer one is not ours to read.
    if (version > kStateVersion)
        return E_FAIL;
    SIZEL loaded;
    memcpy(&loaded.cx, bytes + 4, 4);
    memcpy(&loaded.cy, bytes + 8, 4);
    if (loaded.cx < 0 || loaded.cy < 0)
        return E_FAIL;
    extent = loaded;
    dirty = false;
    return S_OK;
}

void OleControl::StoreState(BYTE* bytes) const
{
    memcpy(bytes, &kStateVersion, 4);
    memcpy(bytes + 4, &extent.cx, 4);
    memcpy(bytes + 8, &extent.cy, 4);
}

STDMETHODIMP OleControl::Load(LPSTREAM stream)
{
    if (!stream)
        return E_POINTER;
    BYTE bytes[kStateSize];
    ULONG read = 0;
    HRESULT hr = stream->Read(bytes, kStateSize, &read);
    if (FAILED(hr))
        return hr;
    return LoadState(bytes, read);
}

STDMETHODIMP OleControl::Save(LPSTREAM stream, BOOL clearDirty)
{
    if (!stream)
        return E_POINTER;
    BYTE bytes[kStateSize];
    StoreState(bytes);
    ULONG written = 0;
    HRESULT hr = stream->Write(bytes, kStateSize, &written);
    if (FAILED(hr))
        return hr;
    if (written != kStateSize)
        return STG_E_MEDIUMFULL;
    if (clearDirty)
        dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = kStateSize;
    return S_OK;
}

STDMETHODIMP OleControl::Load(IPropertyBag* bag, IErrorLog*)
{
    return bag ? S_OK : E_POINTER;
}

STDMETHODIMP OleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL)
{
    if (!bag)
        return E_POINTER;
    if (clearDirty)
        dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::InitNew(IStorage* storage) { return storage ? S_OK : E_POINTER; }

STDMETHODIMP OleControl::Load(IStorage* storage)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                     0, &stream);
    if (FAILED(hr))
        return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

STDMETHODIMP OleControl::Save(IStorage* storage, BOOL)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(
        kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (FAILED(hr))
        return hr;
    hr = Save(stream, TRUE);
    stream->Release();
    return hr;
}

STDMETHODIMP OleControl::SaveCompleted(IStorage*) { return S_OK; }

STDMETHODIMP OleControl::HandsOffStorage() { return S_OK; }

STDMETHODIMP OleControl::Load(LPVOID memory, ULONG size)
{
    return LoadState(static_cast<const BYTE*>(memory), size);
}

STDMETHODIMP OleControl::Save(LPVOID memory, BOOL clearDirty, ULONG size)
{
    if (!memory)
        return E_POINTER;
    if (size < kStateSize)
        return STG_E_MEDIUMFULL;
    StoreState(static_cast<BYTE*>(memory));
    if (clearDirty)
        dirty = false;
    return S_OK;
}

STDMETHODIMP OleControl::GetSizeMax(ULONG* size)
{
    if (!size)
        return E_POINTER;
    *size = kStateSize;
    return S_OK;
}

// ---- Connection points

STDMETHODIMP OleControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (!points)
        return E_POINTER;
    *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, controlClass.eventIid))
        return CONNECT_E_NOCONNECTION;
    *point = &events;
    events.AddRef();
    return S_OK;
}

void OleControl::FireEvent(DISPID dispid, VARIANT* args, UINT count)
{
    if (eventsFrozen > 0 || events.SinkCount() == 0)
        return;
    // Invoke takes the arguments last to first.
    std::vector<VARIANT> reversed(args, args + count);
    for (UINT i = 0; i < count / 2; ++i)
        std::swap(reversed[i], reversed[count - 1 - i]);
    DISPPARAMS params = {};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = count;
    AddRef();
    events.Fire(dispid, &params);
    Release();
}

// ---- Class information and property pages

STDMETHODIMP OleControl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ITypeInfo* dispatch = nullptr;
    HRESULT hr = DispatchTypeInfo(&dispatch);
    if (FAILED(hr))
        return hr;
    dispatch->Release();
    return typeLibrary->GetTypeInfoOfGuid(controlClass.clsid, info);
}

STDMETHODIMP OleControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = controlClass.eventIid;
    return S_OK;
}

STDMETHODIMP OleControl::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    std::vector<CLSID> ids;
    GetPropPageIDs(ids);
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (ids.empty())
        return S_OK;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(ids.size() * sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    memcpy(pages->pElems, ids.data(), ids.size() * sizeof(GUID));
    pages->cElems = static_cast<ULONG>(ids.size());
    return S_OK;
}

void OleControl::ShowPropertyPages(HWND parent)
{
    CAUUID pages = {};
    if (FAILED(GetPages(&pages)) || pages.cElems == 0)
        return;
    wchar_t caption[256] = L"";
    LoadStringW(ComModule::Instance(), controlClass.userTypeNameId, caption, 256);
    IUnknown* self = static_cast<IDispatch*>(this);
    OleCreatePropertyFrame(parent ? parent : window, 0, 0, caption, 1, &self, pages.cElems,
                           pages.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
    CoTaskMemFree(pages.pElems);
}

// ---- The control's window

bool OleControl::CreateControlWindow(HWND parent, const RECT& position, const RECT&)
{
    if (window)
        return true;
    RegisterWindowClass(StaticWindowProc);
    HWND created = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                   position.left, position.top, position.right - position.left,
                                   position.bottom - position.top, parent, nullptr,
                                   ComModule::Instance(), this);
    // WM_NCCREATE tied the window to this control before WM_CREATE ran, so
    // window is already this handle unless the creation was refused.
    return created != nullptr && window == created;
}

void OleControl::DestroyControlWindow()
{
    if (window)
        DestroyWindow(window);
}

LRESULT OleControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultWindowProc(message, wParam, lParam);
}

LRESULT OleControl::DefaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK OleControl::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        OleControl* creator = static_cast<OleControl*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
        creator->window = hwnd;
    }
    OleControl* control =
        reinterpret_cast<OleControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!control)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        LRESULT result = control->WindowProc(message, wParam, lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        control->window = nullptr;
        return result;
    }
    return control->WindowProc(message, wParam, lParam);
}

void OleControl::InvalidateControl(const RECT* rect, bool erase)
{
    if (inPlaceActive && window) {
        InvalidateRect(window, rect, erase ? TRUE : FALSE);
        return;
    }
    if (viewSink)
        viewSink->OnViewChange(DVASPECT_CONTENT, -1);
}

void OleControl::Refresh()
{
    InvalidateControl(nullptr, true);
    if (window)
        UpdateWindow(window);
}

void OleControl::SetControlFocus()
{
    if (window)
        SetFocus(window);
}

} // namespace comcontrol
