#include "CkvtplayerCtrl.h"

#include <new>
#include <vector>

#include "ComModule.h"
#include "KvtplayerIds.h"
#include "KvtplayerResources.h"

namespace kvtplayer {

namespace {

const comcontrol::ControlClass kControlClass = {
    kControlClsid, kDispatchIid, kEventIid, kTypeLibId, kTypeLibMajor, kTypeLibMinor,
    kMiscStatus, IDS_KVTPLAYER};

const UINT_PTR kTickTimer = 1;
const int kConversionUnits = 4095;

// Shared by every control of the library, touched only on the browser
// thread that created them.
CkvtplayerCtrl* activeControl = nullptr;
HHOOK hookHandle = nullptr;
LONG hookRefCount = 0;
bool activatingInPlace = false;

enum Dispid : DISPID {
    kClearPassKey = 1, kAddPassKey, kRemovePassKey, kIsPassKey, kClearInterceptKey,
    kAddInterceptKey, kRemoveInterceptKey, kIsInterceptKey, kSetPassAllKey, kIsPassAllKey,
    kSetInterceptAllKey, kIsInterceptAllKey, kSetInterceptMouseMessage,
    kIsInterceptMouseMessage, kSetProduct, kIsFileReady, kUpdateFile, kIsResourceGroupReady,
    kUpdateResourceGroup, kGetUpdateTaskCount, kGetUpdateSpeed, kGetUpdateInfo,
    kIsReadyForUpdate, kGetUpdateState, kRunGame, kIsInitGame, kGetInitGameProgress,
    kIsGameRuning, kStopGame, kGetFileUpdateInfo, kGetResourceGroupUpdateInfo,
    kIsAllResourceGroupsReady, kUpdateAllResourceGroups, kIsAllReady, kUpdateAll,
    kEnableIdleUpdate, kIsIdleUpdateEnabled, kIsIdleUpdateFinishied, kSetIdleUpdateInfo,
    kTakeOffUpdatedFiles, kTakeOffUpdateFailedFiles, kTakeOffUpdatedResourceGroups,
    kTakeOffUpdateFailedResourceGroups, kGetVersion, kCanLoadSystemDll
};

const DISPID kOnInit = 1;

void SetBool(VARIANT* result, bool value)
{
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetUint(VARIANT* result, ULONG value)
{
    V_VT(result) = VT_UI4;
    V_UI4(result) = value;
}

void SetFloat(VARIANT* result, float value)
{
    V_VT(result) = VT_R4;
    V_R4(result) = value;
}

HRESULT SetText(VARIANT* result, const std::wstring& text)
{
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!copy)
        return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = copy;
    return S_OK;
}

HRESULT SetAnsiText(VARIANT* result, const char* text)
{
    std::wstring wide;
    AnsiToWide(text, wide);
    return SetText(result, wide);
}

KeyCombination KeyFrom(const VARIANT* args)
{
    return KeyCombination{V_UI4(&args[0]), V_BOOL(&args[1]) != 0, V_BOOL(&args[2]) != 0,
                          V_BOOL(&args[3]) != 0};
}

bool IsEditingKey(WPARAM key)
{
    return key == VK_BACK || key == VK_TAB || (key >= VK_PRIOR && key <= VK_DOWN) ||
           key == VK_INSERT || key == VK_DELETE;
}

// Reads the 1033/1252 FileVersion text of the library's own version block.
bool ReadModuleFileVersion(std::wstring& version)
{
    std::wstring path = comcontrol::ComModule::ModulePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size * 2 + 2);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes))
        return false;
    for (UINT i = 0; i < bytes / sizeof(Translation); ++i) {
        if (translations[i].language != 1033 || translations[i].codePage != 1252)
            continue;
        wchar_t query[64];
        wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\FileVersion", translations[i].language,
                  translations[i].codePage);
        wchar_t* text = nullptr;
        UINT units = 0;
        if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &units) || !text)
            return false;
        version.assign(text);
        return version.size() < 2048;
    }
    return false;
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

CkvtplayerCtrl::CkvtplayerCtrl() : OleControl(kControlClass), objectSafety(this) {}

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

LONG CkvtplayerCtrl::HookReferenceCount() { return hookRefCount; }

CkvtplayerCtrl* CkvtplayerCtrl::ActiveControl() { return activeControl; }

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
    if (ClientSite()) {
        RECT empty = {0, 0, 0, 0};
        CreateControlWindow(GetDesktopWindow(), empty, empty);
    } else {
        DestroyControlWindow();
        Cleanup();
    }
}

int CkvtplayerCtrl::OnCreate()
{
    passAllKeys = false;
    interceptAllKeys = false;
    interceptMouseMessages = true;
    initialized = true;
    passKeys.clear();
    interceptKeys.clear();
    passKeys[KeyCombination{VK_F4, false, true, false}] = true;
    passKeys[KeyCombination{VK_F11, false, false, false}] = true;
    OnActivateInPlace(TRUE, nullptr);
    SetControlFocus();
    if (!holdsHook) {
        if (!hookHandle)
            hookHandle = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHookProc,
                                           comcontrol::ComModule::Instance(), GetCurrentThreadId());
        if (hookHandle) {
            ++hookRefCount;
            holdsHook = true;
        }
    }
    FireEvent(kOnInit, nullptr, 0);
    SetTimer(Window(), kTickTimer, 0, nullptr);
    return 0;
}

void CkvtplayerCtrl::Cleanup()
{
    if (activeControl == this)
        activeControl = nullptr;
    if (holdsHook) {
        if (--hookRefCount == 0 && hookHandle) {
            UnhookWindowsHookEx(hookHandle);
            hookHandle = nullptr;
        }
        holdsHook = false;
    }
    passKeys.clear();
    interceptKeys.clear();
    initialized = false;
}

void CkvtplayerCtrl::OnClose(DWORD saveOption)
{
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
        activeControl = this;
    else if (activeControl == this)
        activeControl = nullptr;
    activatingInPlace = false;
    return hr;
}

// ---- Window, timer and drawing

void CkvtplayerCtrl::OnTimer()
{
    if (!IsInPlaceActive()) {
        InvalidateControl(nullptr, false);
        Refresh();
    }
}

void CkvtplayerCtrl::OnDraw(HDC dc, const RECT&, const RECT&)
{
    // The game paints itself; while none runs the control draws nothing.
    if (!dc || IsInPlaceActive())
        return;
}

BOOL CkvtplayerCtrl::PreTranslateMessage(MSG* msg)
{
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) &&
        IsEditingKey(msg->wParam) && Window()) {
        SendMessageW(Window(), msg->message, msg->wParam, msg->lParam);
        return TRUE;
    }
    return FALSE;
}

LRESULT CkvtplayerCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        LRESULT created = DefaultWindowProc(message, wParam, lParam);
        if (created == -1)
            return -1;
        return OnCreate();
    }
    case WM_DESTROY:
        Cleanup();
        return DefaultWindowProc(message, wParam, lParam);
    case WM_CLOSE:
        Cleanup();
        return DefaultWindowProc(message, wParam, lParam);
    case WM_TIMER:
        DefaultWindowProc(message, wParam, lParam);
        OnTimer();
        return 0;
    case WM_ERASEBKGND:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSCOMMAND:
        // Only the game answers these; without one nothing happens.
        return 0;
    default:
        return DefaultWindowProc(message, wParam, lParam);
    }
}

LRESULT CALLBACK CkvtplayerCtrl::GetMessageHookProc(int code, WPARAM removal, LPARAM message)
{
    MSG* msg = reinterpret_cast<MSG*>(message);
    if (!activeControl || !msg || code < 0 || removal != PM_REMOVE)
        return CallNextHookEx(hookHandle, code, removal, message);
    if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_SYSKEYDOWN ||
        msg->message == WM_SYSKEYUP) {
        KeyCombination key{static_cast<unsigned int>(msg->wParam),
                           (GetKeyState(VK_CONTROL) & 0x8000) != 0,
                           (GetKeyState(VK_MENU) & 0x8000) != 0,
                           (GetKeyState(VK_SHIFT) & 0x8000) != 0};
        bool intercept = !activeControl->IsPassAllKey() && !activeControl->IsPassKey(key) &&
                         (activeControl->IsInterceptAllKey() || activeControl->IsInterceptKey(key));
        if (intercept) {
            TranslateMessage(msg);
            activeControl->WindowProc(msg->message, msg->wParam, msg->lParam);
            msg->message = 0;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(hookHandle, code, PM_REMOVE, message);
}

// ---- Script methods

BOOL CkvtplayerCtrl::IsPassKey(const KeyCombination& key) const
{
    auto found = passKeys.find(key);
    return found != passKeys.end() && found->second;
}

BOOL CkvtplayerCtrl::IsInterceptKey(const KeyCombination& key) const
{
    auto found = interceptKeys.find(key);
    return found != interceptKeys.end() && found->second;
}

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

HRESULT CkvtplayerCtrl::InvokeMethod(DISPID dispid, VARIANT* args, UINT, VARIANT* result)
{
    if (dispid == kGetVersion) {
        std::wstring version;
        ReadModuleFileVersion(version);
        return SetText(result, version);
    }
    EnsureInitialized();
    if (dispid >= kClearPassKey && dispid <= kIsInterceptMouseMessage)
        return CallKeyMethod(dispid, args, result);
    return CallHostMethod(dispid, args, result);
}

HRESULT CkvtplayerCtrl::CallKeyMethod(DISPID dispid, VARIANT* args, VARIANT* result)
{
    switch (dispid) {
    case kClearPassKey: passKeys.clear(); SetBool(result, true); break;
    case kAddPassKey: passKeys[KeyFrom(args)] = true; SetBool(result, true); break;
    case kRemovePassKey: passKeys.erase(KeyFrom(args)); SetBool(result, true); break;
    case kIsPassKey: SetBool(result, IsPassKey(KeyFrom(args))); break;
    case kClearInterceptKey: interceptKeys.clear(); SetBool(result, true); break;
    case kAddInterceptKey: interceptKeys[KeyFrom(args)] = true; SetBool(result, true); break;
    case kRemoveInterceptKey: interceptKeys.erase(KeyFrom(args)); SetBool(result, true); break;
    case kIsInterceptKey: SetBool(result, IsInterceptKey(KeyFrom(args))); break;
    case kSetPassAllKey: passAllKeys = V_BOOL(&args[0]) != 0; SetBool(result, true); break;
    case kIsPassAllKey: SetBool(result, passAllKeys); break;
    case kSetInterceptAllKey: interceptAllKeys = V_BOOL(&args[0]) != 0; SetBool(result, true); break;
    case kIsInterceptAllKey: SetBool(result, interceptAllKeys); break;
    case kSetInterceptMouseMessage:
        interceptMouseMessages = V_BOOL(&args[0]) != 0;
        SetBool(result, true);
        break;
    case kIsInterceptMouseMessage: SetBool(result, interceptMouseMessages); break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

// Until the game host is attached the control has no product: every
// file-system method answers its "no product" value.
HRESULT CkvtplayerCtrl::CallHostMethod(DISPID dispid, VARIANT* args, VARIANT* result)
{
    switch (dispid) {
    case kSetProduct:
    case kIsFileReady:
    case kUpdateFile:
    case kIsResourceGroupReady:
    case kUpdateResourceGroup:
    case kIsReadyForUpdate:
    case kIsInitGame:
    case kIsGameRuning:
    case kIsAllResourceGroupsReady:
    case kUpdateAllResourceGroups:
    case kIsAllReady:
    case kUpdateAll:
    case kEnableIdleUpdate:
    case kIsIdleUpdateEnabled:
    case kIsIdleUpdateFinishied:
    case kSetIdleUpdateInfo:
        SetBool(result, false);
        return S_OK;
    case kRunGame:
    case kStopGame:
        SetBool(result, true);
        return S_OK;
    case kGetUpdateTaskCount:
        SetUint(result, 0);
        return S_OK;
    case kGetUpdateSpeed:
    case kGetInitGameProgress:
        SetFloat(result, 0.0f);
        return S_OK;
    case kGetUpdateState:
        return SetAnsiText(result, "Disabled");
    case kGetUpdateInfo:
    case kGetFileUpdateInfo:
    case kGetResourceGroupUpdateInfo:
    case kTakeOffUpdatedFiles:
    case kTakeOffUpdateFailedFiles:
    case kTakeOffUpdatedResourceGroups:
    case kTakeOffUpdateFailedResourceGroups:
        return SetAnsiText(result, "");
    case kCanLoadSystemDll: {
        // Only a bare file name, and only from the system folder: a page
        // must not make the browser load a library planted next to it.
        const wchar_t* name = V_BSTR(&args[0]);
        if (!name || !*name || wcschr(name, L'\\') || wcschr(name, L'/') || wcschr(name, L':')) {
            SetBool(result, false);
            return S_OK;
        }
        wchar_t system[MAX_PATH] = {};
        UINT length = GetSystemDirectoryW(system, MAX_PATH);
        std::wstring path = length > 0 && length < MAX_PATH ? std::wstring(system) + L"\\" + name
                                                            : std::wstring();
        HMODULE module = path.empty() ? nullptr : LoadLibraryW(path.c_str());
        if (module)
            FreeLibrary(module);
        SetBool(result, module != nullptr);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
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
