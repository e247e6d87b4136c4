#include "CkvtplayerCtrl.h"

#include <new>
#include <vector>

#include "ComModule.h"
#include "ModuleVersion.h"
#include "ScriptTable.h"
#include "KvtplayerIds.h"
#include "KvtplayerResources.h"

namespace kvtplayer {

namespace {

const comcontrol::ControlClass kControlClass = {
    kControlClsid, kDispatchIid, kEventIid, kTypeLibId, kTypeLibMajor, kTypeLibMinor,
    kMiscStatus, IDS_KVTPLAYER};

const UINT_PTR kTickTimer = 1;
const int kConversionUnits = 4095;
const int kLogInformation = 0;

// Keeps OnActivateInPlace from re-entering itself through the window
// creation an activation causes; touched only on the browser thread.
bool activatingInPlace = false;

const DISPID kOnInit = 1;
const DISPID kGetVersion = 44;

HRESULT SetText(VARIANT* result, const std::wstring& text)
{
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = copy;
    return S_OK;
}

// A dispatch argument, already converted to its declared variant type, as
// the game host's value of the table's type.
ScriptValue ToScriptValue(const VARIANT& arg, ScriptType type)
{
    switch (type) {
    case ScriptType::Bool: return ScriptValue::Bool(V_BOOL(&arg) != 0);
    case ScriptType::UInt32: return ScriptValue::UInt32(V_UI4(&arg));
    case ScriptType::Int32: return ScriptValue::Int32(V_I4(&arg));
    case ScriptType::Float: return ScriptValue::Float(V_R4(&arg));
    case ScriptType::Text: {
        std::string narrow;
        WideToAnsi(V_BSTR(&arg), narrow);
        return ScriptValue::Text(narrow);
    }
    case ScriptType::WideText:
        return ScriptValue::WideText(V_BSTR(&arg) ? V_BSTR(&arg) : L"");
    default: return ScriptValue::Void();
    }
}

HRESULT ToVariant(const ScriptValue& value, VARIANT* result)
{
    switch (value.type) {
    case ScriptType::Bool:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value.boolValue ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case ScriptType::UInt32:
        V_VT(result) = VT_UI4;
        V_UI4(result) = value.uint32Value;
        return S_OK;
    case ScriptType::Int32:
        V_VT(result) = VT_I4;
        V_I4(result) = value.int32Value;
        return S_OK;
    case ScriptType::Float:
        V_VT(result) = VT_R4;
        V_R4(result) = value.floatValue;
        return S_OK;
    case ScriptType::Text: {
        std::wstring wide;
        AnsiToWide(value.text.c_str(), wide);
        return SetText(result, wide);
    }
    case ScriptType::WideText: return SetText(result, value.wideText);
    default: VariantInit(result); return S_OK;
    }
}

HRESULT ToDispatchFailure(ScriptCallStatus status)
{
    switch (status) {
    case ScriptCallStatus::WrongArgumentCount: return DISP_E_BADPARAMCOUNT;
    case ScriptCallStatus::WrongArgumentType: return DISP_E_TYPEMISMATCH;
    default: return DISP_E_MEMBERNOTFOUND;
    }
}

bool IsEditingKey(WPARAM key)
{
    return key == VK_BACK || key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN) ||
           key == VK_INSERT || key == VK_DELETE;
}

} // namespace

bool AnsiToWide(const char* text, std::wstring& result)
{
    result.clear();
    if (!text)
        return true;
    wchar_t buffer[kConversionUnits + 1];
    int converted = MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, kConversionUnits);
    if (converted > 0) {
        buffer[kConversionUnits] = 0;
        result.assign(buffer);
        return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 0)
        return false;
    std::vector<wchar_t> heap(static_cast<size_t>(needed) + 1, 0);
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, heap.data(), needed) <= 0)
        return false;
    result.assign(heap.data());
    return true;
}

bool WideToAnsi(const wchar_t* text, std::string& result)
{
    result.clear();
    if (!text)
        return true;
    char buffer[kConversionUnits + 1];
    int converted = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, kConversionUnits, nullptr,
                                        nullptr);
    if (converted > 0) {
        buffer[kConversionUnits] = 0;
        result.assign(buffer);
        return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return false;
    std::vector<char> heap(static_cast<size_t>(needed) + 1, 0);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, heap.data(), needed, nullptr, nullptr) <= 0)
        return false;
    result.assign(heap.data());
    return true;
}

CkvtplayerCtrl::CkvtplayerCtrl()
    : OleControl(kControlClass), objectSafety(this), loader(HostFlavour::InternetExplorer)
{
}

CkvtplayerCtrl::~CkvtplayerCtrl() { Cleanup(); }

HRESULT CkvtplayerCtrl::Create(REFIID iid, void** object)
{
    CkvtplayerCtrl* control = new (std::nothrow) CkvtplayerCtrl();
    if (!control)
        return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
}

CkvtplayerCtrl* CkvtplayerCtrl::ActiveControl()
{
    return dynamic_cast<CkvtplayerCtrl*>(MessageHook::GetFocused());
}

int CkvtplayerCtrl::HookReferenceCount() { return MessageHook::ReferenceCount(); }

IUnknown* CkvtplayerCtrl::QueryExtraInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IObjectSafety))
        return &objectSafety;
    return nullptr;
}

void CkvtplayerCtrl::GetPropPageIDs(std::vector<CLSID>& pages) { pages.push_back(kPropPageClsid); }

// ---- Siting, creation and clean-up

void CkvtplayerCtrl::OnSetClientSite()
{
    loader.Log(kLogInformation, "On set client site.");
    if (ClientSite()) {
        // The window, and with it the game host, the hook, the timer and
        // OnInit, exist as soon as the control is sited, activated or not.
        RECT empty = {0, 0, 0, 0};
        CreateControlWindow(GetDesktopWindow(), empty, empty);
    } else {
        DestroyControlWindow();
        Cleanup();
    }
}

int CkvtplayerCtrl::OnCreate()
{
    // Set first, so that script methods called from the steps below do not
    // start a second initialisation.
    initialized = true;
    keys.ResetToDefaults();
    OnActivateInPlace(TRUE, nullptr);
    SetControlFocus();
    loader.Init(this, comcontrol::ComModule::Instance(), Window());
    if (!holdsHook && MessageHook::Acquire(comcontrol::ComModule::Instance()))
        holdsHook = true;
    FireEvent(kOnInit, nullptr, 0);
    SetTimer(Window(), kTickTimer, 0, nullptr);
    return 0;
}

void CkvtplayerCtrl::Cleanup()
{
    loader.Exit();
    MessageHook::ForgetTarget(this);
    if (holdsHook) {
        MessageHook::Release();
        holdsHook = false;
    }
    keys.Clear();
    initialized = false;
}

void CkvtplayerCtrl::OnClose(DWORD saveOption)
{
    loader.Log(kLogInformation, "On close.");
    Cleanup();
    OleControl::OnClose(saveOption);
}

void CkvtplayerCtrl::EnsureInitialized()
{
    if (!initialized && Window())
        SendMessageW(Window(), WM_CREATE, 0, 0);
}

HRESULT CkvtplayerCtrl::OnActivateInPlace(BOOL uiActivate, MSG* msg)
{
    if (activatingInPlace)
        return S_OK;
    activatingInPlace = true;
    HRESULT hr = OleControl::OnActivateInPlace(uiActivate, msg);
    if (uiActivate)
        MessageHook::SetFocused(this);
    else
        MessageHook::ForgetTarget(this);
    activatingInPlace = false;
    return hr;
}

// ---- Window, timer and drawing

void CkvtplayerCtrl::OnTimer()
{
    bool notInPlaceActive = !IsInPlaceActive();
    loader.OnTimer(notInPlaceActive);
    if (notInPlaceActive) {
        // Outside in-place activation these become a request to the
        // container to redraw the control, which lets the game draw into the
        // container's device context.
        InvalidateControl(nullptr, false);
        Refresh();
    }
}

void CkvtplayerCtrl::OnDraw(HDC dc, const RECT& bounds, const RECT&)
{
    // In place the game paints into the control's window itself; while no
    // game runs the control paints nothing of its own.
    if (!dc || IsInPlaceActive() || !loader.IsGameRunning())
        return;
    loader.DrawToDc(dc, bounds.left, bounds.top, bounds.right - bounds.left,
                    bounds.bottom - bounds.top);
}

BOOL CkvtplayerCtrl::PreTranslateMessage(MSG* msg)
{
    // Editing keys go to the game, so the browser neither navigates back,
    // moves the focus nor scrolls.
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) &&
        IsEditingKey(msg->wParam)) {
        SendMessageW(Window(), msg->message, msg->wParam, msg->lParam);
        return TRUE;
    }
    return FALSE;
}

void CkvtplayerCtrl::ForwardToGame(UINT message, WPARAM wParam, LPARAM lParam)
{
    loader.WindowProc(Window(), message, wParam, lParam);
}

LRESULT CkvtplayerCtrl::HandleInterceptedMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    return WindowProc(message, wParam, lParam);
}

LRESULT CkvtplayerCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        if (DefaultWindowProc(message, wParam, lParam) == -1)
            return -1;
        return OnCreate();
    case WM_DESTROY:
        Cleanup();
        return DefaultWindowProc(message, wParam, lParam);
    case WM_CLOSE:
        Cleanup();
        return DefaultWindowProc(message, wParam, lParam);
    case WM_TIMER:
        ForwardToGame(message, wParam, lParam);
        DefaultWindowProc(message, wParam, lParam);
        OnTimer();
        return 0;
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_PAINT:
    case WM_CAPTURECHANGED:
    case WM_MOUSEHOVER:
        ForwardToGame(message, wParam, lParam);
        return DefaultWindowProc(message, wParam, lParam);
    case WM_ERASEBKGND:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSCOMMAND:
        return loader.WindowProc(Window(), message, wParam, lParam);
    case WM_SETCURSOR:
        if (HIWORD(lParam) != 0)
            return loader.WindowProc(Window(), message, wParam, lParam);
        return DefaultWindowProc(message, wParam, lParam);
    default:
        if (message >= WM_MOUSEMOVE && message <= 0x020D /* WM_XBUTTONDBLCLK */)
            ForwardToGame(message, wParam, lParam);
        return DefaultWindowProc(message, wParam, lParam);
    }
}

// ---- Script methods and events

void CkvtplayerCtrl::FireTextEvent(DISPID dispid, const char* text)
{
    std::wstring wide;
    AnsiToWide(text, wide);
    VARIANT arg;
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    FireEvent(dispid, &arg, 1);
    VariantClear(&arg);
}

void CkvtplayerCtrl::FirePageEvent(int number, const char*, const ScriptValue* args, size_t count)
{
    if (count == 1 && args[0].type == ScriptType::Text) {
        FireTextEvent(number, args[0].text.c_str());
        return;
    }
    VARIANT converted[2];
    UINT used = 0;
    for (size_t i = 0; i < count && i < 2; ++i) {
        VariantInit(&converted[i]);
        ToVariant(args[i], &converted[i]);
        ++used;
    }
    FireEvent(number, used ? converted : nullptr, used);
    for (UINT i = 0; i < used; ++i)
        VariantClear(&converted[i]);
}

HRESULT CkvtplayerCtrl::InvokeMethod(DISPID dispid, VARIANT* args, UINT count, VARIANT* result)
{
    const ScriptMethod* method = FindScriptMethod(dispid);
    if (!method)
        return DISP_E_MEMBERNOTFOUND;
    if (dispid == kGetVersion) {
        // The version does not start the initialisation and reads this
        // library's own version block, whether or not the host runs.
        wchar_t version[kModuleVersionBufferUnits] = L"";
        GetModuleFileVersion(comcontrol::ComModule::Instance(), version);
        version[kModuleVersionBufferUnits - 1] = 0;
        return SetText(result, version);
    }
    EnsureInitialized();
    if (count != static_cast<UINT>(method->parameterCount))
        return DISP_E_BADPARAMCOUNT;
    ScriptValue values[kMaxScriptParameters];
    for (UINT i = 0; i < count; ++i)
        values[i] = ToScriptValue(args[i], method->parameters[i]);
    ScriptContext context = {&loader, &keys};
    ScriptValue answer;
    ScriptCallStatus status = InvokeScriptMethod(context, dispid, values, count, &answer);
    if (status != ScriptCallStatus::Ok)
        return ToDispatchFailure(status);
    return ToVariant(answer, result);
}

// ---- Object safety

bool CkvtplayerCtrl::IsPersistenceInterface(REFIID iid) const
{
    return IsEqualIID(iid, IID_IPersistPropertyBag) || IsEqualIID(iid, IID_IPersistStreamInit) ||
           IsEqualIID(iid, IID_IPersistStorage) || IsEqualIID(iid, IID_IPersistMemory);
}

HRESULT CkvtplayerCtrl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = 0;
    if (!ImplementsInterface(iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IDispatch)) {
        *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
        return S_OK;
    }
    if (IsPersistenceInterface(iid)) {
        *enabled = INTERFACESAFE_FOR_UNTRUSTED_DATA;
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CkvtplayerCtrl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    if (mask == 0 && enabled == 0)
        return S_OK;
    if (!ImplementsInterface(iid))
        return E_FAIL;
    if (IsEqualIID(iid, IID_IDispatch))
        return mask == INTERFACESAFE_FOR_UNTRUSTED_CALLER &&
                       enabled == INTERFACESAFE_FOR_UNTRUSTED_CALLER
                   ? S_OK
                   : E_FAIL;
    if (IsPersistenceInterface(iid))
        return mask == INTERFACESAFE_FOR_UNTRUSTED_DATA && enabled == INTERFACESAFE_FOR_UNTRUSTED_DATA
                   ? S_OK
                   : E_FAIL;
    return E_FAIL;
}

STDMETHODIMP CkvtplayerCtrl::XObjectSafety::QueryInterface(REFIID iid, void** object)
{
    return owner->QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) CkvtplayerCtrl::XObjectSafety::AddRef() { return owner->AddRef(); }

STDMETHODIMP_(ULONG) CkvtplayerCtrl::XObjectSafety::Release() { return owner->Release(); }

STDMETHODIMP CkvtplayerCtrl::XObjectSafety::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                                       DWORD* enabled)
{
    return owner->GetInterfaceSafetyOptions(iid, supported, enabled);
}

STDMETHODIMP CkvtplayerCtrl::XObjectSafety::SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                                       DWORD enabled)
{
    return owner->SetInterfaceSafetyOptions(iid, mask, enabled);
}

} // namespace kvtplayer
