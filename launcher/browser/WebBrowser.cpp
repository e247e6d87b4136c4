#include "WebBrowser.h"

#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kHostClassName[] = L"Vel_Mor_Web_Browser";
const wchar_t kContainerName[] = L"VelMor_Game_Updater";
const wchar_t kSilenceErrorsScript[] = L"function myerror() {return true}; window.onerror = myerror;";
const wchar_t kScriptLanguage[] = L"JScript";
const int kLauncherIcon = 107;

template <typename T>
void ReleaseAndNull(T*& pointer) {
  if (pointer) {
    pointer->Release();
    pointer = nullptr;
  }
}

// A BSTR that frees itself.
class ScopedBstr {
 public:
  explicit ScopedBstr(const wchar_t* text) : value(SysAllocString(text)) {}
  ~ScopedBstr() { SysFreeString(value); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return value; }

 private:
  BSTR value;
};

std::wstring Formatted(const wchar_t* format, size_t limit, ...) {
  wchar_t buffer[64];
  va_list args;
  va_start(args, limit);
  int written = vswprintf(buffer, sizeof(buffer) / sizeof(buffer[0]), format, args);
  va_end(args);
  if (written < 0) written = 0;
  std::wstring text(buffer, static_cast<size_t>(written));
  if (text.size() > limit) text.resize(limit);
  return text;
}

std::wstring FromAnsi(const char* text) {
  if (!text) return std::wstring();
  wchar_t buffer[4096];
  int length = MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, 4096);
  if (length <= 0) {
    // Too long for the buffer: keep what fits.
    length = MultiByteToWideChar(CP_ACP, 0, text, 4095, buffer, 4095);
    if (length < 0) length = 0;
    buffer[length] = 0;
    return std::wstring(buffer, static_cast<size_t>(length));
  }
  return std::wstring(buffer, static_cast<size_t>(length - 1));
}

}  // namespace

WebBrowser::WebBrowser() = default;

WebBrowser::~WebBrowser() { Destroy(); }

bool WebBrowser::Create(HINSTANCE instance, HWND owner, int x, int y, int width, int height) {
  Destroy();
  if (!comInitialised) {
    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE still counts: it must be balanced by CoUninitialize.
    if (SUCCEEDED(result)) comInitialised = true;
  }
  instanceHandle = instance;
  ownerWindow = owner;
  if (!CreateHostWindow(x, y, width, height) || !CreateControl()) {
    Destroy();
    return false;
  }
  return true;
}

void WebBrowser::Destroy() {
  DeleteSnapshot();
  ReleaseControl();
  if (hostWindow) {
    DestroyWindow(hostWindow);
    hostWindow = nullptr;
  }
  if (windowClass) {
    UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(windowClass)),
                     instanceHandle);
    windowClass = 0;
  }
  if (comInitialised) {
    CoUninitialize();
    comInitialised = false;
  }
}

bool WebBrowser::CreateHostWindow(int x, int y, int width, int height) {
  if (width < 1) width = 0;
  if (height < 1) height = 0;
  WNDCLASSEXW windowClassInfo = {};
  windowClassInfo.cbSize = sizeof(windowClassInfo);
  windowClassInfo.style = CS_HREDRAW | CS_VREDRAW;
  windowClassInfo.lpfnWndProc = HostWindowProc;
  windowClassInfo.hInstance = instanceHandle;
  windowClassInfo.hIcon = LoadIconW(instanceHandle, MAKEINTRESOURCEW(kLauncherIcon));
  windowClassInfo.hIconSm = windowClassInfo.hIcon;
  windowClassInfo.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClassInfo.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClassInfo.lpszClassName = kHostClassName;
  windowClass = RegisterClassExW(&windowClassInfo);
  if (!windowClass) return false;
  POINT origin = OwnerOrigin();
  hostWindow = CreateWindowExW(0, kHostClassName, nullptr, WS_POPUP, origin.x + x, origin.y + y,
                               width, height, ownerWindow, nullptr, instanceHandle, nullptr);
  if (!hostWindow) {
    UnregisterClassW(kHostClassName, instanceHandle);
    windowClass = 0;
    return false;
  }
  SetWindowLongPtrW(hostWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool WebBrowser::CreateControl() {
  ReleaseControl();
  HRESULT result = OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr,
                             static_cast<IOleClientSite*>(this), static_cast<IStorage*>(this),
                             reinterpret_cast<void**>(&oleObject));
  bool ok = SUCCEEDED(result) && oleObject;
  ok = ok && SUCCEEDED(OleSetContainedObject(oleObject, TRUE));
  ok = ok && SUCCEEDED(oleObject->SetHostNames(kContainerName, nullptr));
  ok = ok && SUCCEEDED(oleObject->SetClientSite(static_cast<IOleClientSite*>(this)));
  ok = ok && SUCCEEDED(oleObject->DoVerb(OLEIVERB_SHOW, nullptr,
                                         static_cast<IOleClientSite*>(this), -1, hostWindow,
                                         nullptr));
  ok = ok && SUCCEEDED(oleObject->QueryInterface(IID_IWebBrowser2,
                                                 reinterpret_cast<void**>(&webBrowser))) &&
       webBrowser;
  ok = ok && SUCCEEDED(webBrowser->QueryInterface(
                 IID_IConnectionPointContainer,
                 reinterpret_cast<void**>(&connectionPointContainer))) &&
       connectionPointContainer;
  ok = ok && SUCCEEDED(connectionPointContainer->FindConnectionPoint(DIID_DWebBrowserEvents2,
                                                                    &connectionPoint)) &&
       connectionPoint;
  ok = ok && SUCCEEDED(connectionPoint->Advise(static_cast<IDispatch*>(this), &adviseCookie));
  if (ok) advised = true;
  ok = ok && SUCCEEDED(webBrowser->put_Resizable(VARIANT_TRUE));
  if (ok && hostWindow) ok = FitControlToHost();
  if (!ok) ReleaseControl();
  return ok;
}

void WebBrowser::ReleaseControl() {
  if (connectionPoint) {
    if (advised) {
      connectionPoint->Unadvise(adviseCookie);
      adviseCookie = 0;
      advised = false;
    }
    ReleaseAndNull(connectionPoint);
  }
  advised = false;
  ReleaseAndNull(connectionPointContainer);
  ReleaseAndNull(webBrowser);
  if (oleObject) {
    oleObject->Close(OLECLOSE_NOSAVE);
    ReleaseAndNull(oleObject);
  }
}

bool WebBrowser::FitControlToHost() {
  RECT rect;
  if (!HostPositionInOwner(&rect)) return false;
  return SetRect(rect.left, rect.top, rect.right, rect.bottom);
}

POINT WebBrowser::OwnerOrigin() const {
  POINT origin = {0, 0};
  RECT ownerRect;
  if (ownerWindow && GetWindowRect(ownerWindow, &ownerRect)) {
    origin.x = ownerRect.left;
    origin.y = ownerRect.top;
  }
  return origin;
}

bool WebBrowser::HostPositionInOwner(RECT* rect) const {
  if (!hostWindow || !GetWindowRect(hostWindow, rect)) return false;
  POINT origin = OwnerOrigin();
  OffsetRect(rect, -origin.x, -origin.y);
  return true;
}

bool WebBrowser::Navigate(const wchar_t* url) {
  if (!webBrowser || !url) return false;
  VARIANT address;
  VariantInit(&address);
  address.vt = VT_BSTR;
  address.bstrVal = SysAllocString(url);
  if (!address.bstrVal) return false;
  HRESULT result = webBrowser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
  VariantClear(&address);
  return SUCCEEDED(result);
}

bool WebBrowser::IsReady() {
  if (!webBrowser) return false;
  READYSTATE state = READYSTATE_UNINITIALIZED;
  return SUCCEEDED(webBrowser->get_ReadyState(&state)) && state == READYSTATE_COMPLETE;
}

bool WebBrowser::CallScript(const wchar_t* name) { return CallScript(webBrowser, name); }

bool WebBrowser::CallScript(IWebBrowser2* browser, const wchar_t* name) {
  if (!browser || !name) return false;
  IDispatch* document = nullptr;
  if (FAILED(browser->get_Document(&document)) || !document) return false;
  bool found = false;
  IHTMLDocument2* htmlDocument = nullptr;
  if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2,
                                         reinterpret_cast<void**>(&htmlDocument))) &&
      htmlDocument) {
    found = CallScriptInDocument(htmlDocument, name);
    htmlDocument->Release();
  }
  if (!found) found = CallScriptInFrames(document, name);
  document->Release();
  return found;
}

bool WebBrowser::CallScriptInFrames(IDispatch* document, const wchar_t* name) {
  IOleContainer* container = nullptr;
  if (FAILED(document->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(&container))) ||
      !container)
    return false;
  IEnumUnknown* objects = nullptr;
  bool found = false;
  if (SUCCEEDED(container->EnumObjects(OLECONTF_EMBEDDINGS, &objects)) && objects) {
    IUnknown* object = nullptr;
    ULONG fetched = 0;
    while (!found && objects->Next(1, &object, &fetched) == S_OK && object) {
      IWebBrowser2* frame = nullptr;
      if (SUCCEEDED(object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&frame))) &&
          frame) {
        found = CallScript(frame, name);
        frame->Release();
      }
      object->Release();
      object = nullptr;
    }
    objects->Release();
  }
  container->Release();
  return found;
}

bool WebBrowser::CallScriptInDocument(IHTMLDocument2* document, const wchar_t* name) {
  IDispatch* script = nullptr;
  if (FAILED(document->get_Script(&script)) || !script) return false;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  if (FAILED(script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
    script->Release();
    return false;
  }
  DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO exception = {};
  UINT argError = 0;
  HRESULT invoked = script->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &noArguments, &result,
                                   &exception, &argError);
  // The exception record's texts belong to the caller.
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  if (FAILED(invoked)) {
    VariantClear(&result);
    script->Release();
    return false;
  }
  StoreScriptResult(result);
  VariantClear(&result);
  script->Release();
  return true;
}

void WebBrowser::StoreScriptResult(const VARIANT& value) {
  switch (value.vt) {
    case VT_EMPTY: scriptResult.clear(); break;
    case VT_NULL: scriptResult = L"null"; break;
    case VT_BSTR:
      scriptResult = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                                   : std::wstring();
      break;
    case VT_LPWSTR:
      scriptResult = value.byref ? static_cast<const wchar_t*>(value.byref) : L"";
      break;
    case VT_LPSTR: scriptResult = FromAnsi(static_cast<const char*>(value.byref)); break;
    case VT_BOOL: scriptResult = value.boolVal == VARIANT_TRUE ? L"true" : L"false"; break;
    case VT_I1: scriptResult = Formatted(L"%d", 15, static_cast<int>(value.cVal)); break;
    case VT_I2: scriptResult = Formatted(L"%d", 15, static_cast<int>(value.iVal)); break;
    case VT_I4: scriptResult = Formatted(L"%d", 15, static_cast<int>(value.lVal)); break;
    case VT_INT: scriptResult = Formatted(L"%d", 15, value.intVal); break;
    case VT_UI1: scriptResult = Formatted(L"%u", 15, static_cast<unsigned>(value.bVal)); break;
    case VT_UI2: scriptResult = Formatted(L"%u", 15, static_cast<unsigned>(value.uiVal)); break;
    case VT_UI4: scriptResult = Formatted(L"%u", 15, static_cast<unsigned>(value.ulVal)); break;
    case VT_UINT: scriptResult = Formatted(L"%u", 15, value.uintVal); break;
    case VT_I8: scriptResult = Formatted(L"%lld", 63, static_cast<long long>(value.llVal)); break;
    case VT_UI8:
      scriptResult = Formatted(L"%llu", 63, static_cast<unsigned long long>(value.ullVal));
      break;
    case VT_R4: scriptResult = Formatted(L"%f", 31, static_cast<double>(value.fltVal)); break;
    case VT_R8: scriptResult = Formatted(L"%g", 63, value.dblVal); break;
    default: break;  // objects, dates, currency, errors, arrays, references
  }
}

bool WebBrowser::EnsureSnapshot(HDC dc) {
  RECT rect = {0, 0, 0, 0};
  int width = 0, height = 0;
  if (GetWindowRect(hostWindow, &rect)) {
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }
  if (snapshot && width == snapshotWidth && height == snapshotHeight) return true;
  DeleteSnapshot();
  snapshot = CreateCompatibleBitmap(dc, width, height);
  if (!snapshot) return false;
  snapshotWidth = width;
  snapshotHeight = height;
  return true;
}

void WebBrowser::DeleteSnapshot() {
  if (snapshot) DeleteObject(snapshot);
  snapshot = nullptr;
  snapshotWidth = 0;
  snapshotHeight = 0;
}

bool WebBrowser::DrawTo(HDC dc) {
  if (!dc || !hostWindow || !IsWindowVisible(hostWindow) || !webBrowser) return true;
  if (!EnsureSnapshot(dc)) return true;
  HDC memoryDc = CreateCompatibleDC(dc);
  if (!memoryDc) return true;
  HGDIOBJ old = SelectObject(memoryDc, snapshot);
  IViewObject* view = nullptr;
  if (SUCCEEDED(webBrowser->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view))) &&
      view) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(hostWindow, &client);
    OleDraw(view, DVASPECT_CONTENT, memoryDc, &client);
    RECT position;
    if (HostPositionInOwner(&position))
      BitBlt(dc, position.left, position.top, snapshotWidth, snapshotHeight, memoryDc, 0, 0,
             SRCCOPY);
    view->Release();
  }
  SelectObject(memoryDc, old);
  DeleteDC(memoryDc);
  return true;
}

bool WebBrowser::PlaceHostWindow(int x, int y, int width, int height) {
  POINT origin = OwnerOrigin();
  return MoveWindow(hostWindow, origin.x + x, origin.y + y, width, height, TRUE) != FALSE;
}

bool WebBrowser::Move(int x, int y) {
  if (!hostWindow) return false;
  RECT rect;
  int width = 0, height = 0;
  if (GetWindowRect(hostWindow, &rect)) {
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }
  return PlaceHostWindow(x, y, width, height);
}

bool WebBrowser::ResizeControl(int width, int height) {
  if (!oleObject || !webBrowser) return false;
  IOleInPlaceObject* inPlace = nullptr;
  if (FAILED(oleObject->QueryInterface(IID_IOleInPlaceObject,
                                       reinterpret_cast<void**>(&inPlace))) ||
      !inPlace)
    return false;
  HWND controlWindow = nullptr;
  bool ok = SUCCEEDED(inPlace->GetWindow(&controlWindow));
  inPlace->Release();
  if (!ok) return false;
  // The control's own window may not exist (a windowless stand-in): moving a
  // null window fails, and that is a failure of the resize as a whole.
  ok = MoveWindow(controlWindow, 0, 0, width, height, FALSE) != FALSE;
  ok = ok && SUCCEEDED(webBrowser->put_Width(width));
  ok = ok && SUCCEEDED(webBrowser->put_Height(height));
  return ok;
}

bool WebBrowser::SetRect(int left, int top, int right, int bottom) {
  if (!hostWindow) return false;
  int width = right - left > 0 ? right - left : 0;
  int height = bottom - top > 0 ? bottom - top : 0;
  if (!ResizeControl(width, height)) return false;
  return PlaceHostWindow(left, top, width, height);
}

bool WebBrowser::PreTranslateMessage(MSG* message) {
  if (!message) return false;
  if (message->message == WM_KEYDOWN || message->message == WM_KEYUP) {
    switch (message->wParam) {
      case VK_BACK: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_RETURN:
        return false;
      default: break;
    }
  }
  if (!webBrowser) return false;
  if (!IsDialogMessageW(hostWindow, message)) return false;
  IOleInPlaceActiveObject* active = nullptr;
  if (FAILED(webBrowser->QueryInterface(IID_IOleInPlaceActiveObject,
                                        reinterpret_cast<void**>(&active))) ||
      !active)
    return false;
  HRESULT result = active->TranslateAccelerator(message);
  active->Release();
  return result == S_OK || result == S_FALSE;
}

LRESULT CALLBACK WebBrowser::HostWindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  WebBrowser* self = reinterpret_cast<WebBrowser*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->OnHostMessage(window, message, wParam, lParam);
}

LRESULT WebBrowser::OnHostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc && window == hostWindow && webBrowser) {
        IViewObject* view = nullptr;
        if (SUCCEEDED(webBrowser->QueryInterface(IID_IViewObject,
                                                 reinterpret_cast<void**>(&view))) &&
            view) {
          RECT client;
          GetClientRect(window, &client);
          OleDraw(view, DVASPECT_CONTENT, dc, &client);
          view->Release();
        }
      }
      EndPaint(window, &paint);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_CLOSE:
      if (ownerWindow) SendMessageW(ownerWindow, WM_CLOSE, wParam, lParam);
      return 0;
    case WM_ERASEBKGND:
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// IUnknown

STDMETHODIMP WebBrowser::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch))
    *object = static_cast<IDispatch*>(this);
  else if (IsEqualIID(iid, IID_IOleClientSite))
    *object = static_cast<IOleClientSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceSite))
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (IsEqualIID(iid, IID_IOleInPlaceFrame))
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (IsEqualIID(iid, IID_IDocHostUIHandler))
    *object = static_cast<IDocHostUIHandler*>(this);
  else
    return E_NOINTERFACE;
  // The object lives as long as its owner; references are counted only for
  // the control's sake and never delete it.
  return S_OK;
}

STDMETHODIMP_(ULONG) WebBrowser::AddRef() { return static_cast<ULONG>(++refCount); }
STDMETHODIMP_(ULONG) WebBrowser::Release() { return static_cast<ULONG>(--refCount); }

// IDispatch

STDMETHODIMP WebBrowser::GetTypeInfoCount(UINT* count) {
  if (!count) return E_FAIL;
  *count = 0;
  return S_OK;
}

STDMETHODIMP WebBrowser::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (!info) return E_FAIL;
  *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP WebBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return S_OK; }

STDMETHODIMP WebBrowser::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                EXCEPINFO*, UINT*) {
  switch (id) {
    case DISPID_NAVIGATECOMPLETE2:
      return OnNavigateComplete();
    case DISPID_ONQUIT:
      if (connectionPoint && advised) {
        connectionPoint->Unadvise(adviseCookie);
        adviseCookie = 0;
        advised = false;
      }
      return DISP_E_MEMBERNOTFOUND;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT WebBrowser::OnNavigateComplete() {
  if (!webBrowser) return DISP_E_MEMBERNOTFOUND;
  HRESULT answer = DISP_E_MEMBERNOTFOUND;
  IDispatch* document = nullptr;
  if (SUCCEEDED(webBrowser->get_Document(&document)) && document) {
    IHTMLDocument2* htmlDocument = nullptr;
    if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2,
                                           reinterpret_cast<void**>(&htmlDocument))) &&
        htmlDocument) {
      IHTMLWindow2* pageWindow = nullptr;
      if (SUCCEEDED(htmlDocument->get_parentWindow(&pageWindow)) && pageWindow) {
        ScopedBstr script(kSilenceErrorsScript);
        ScopedBstr language(kScriptLanguage);
        VARIANT result;
        VariantInit(&result);
        if (script.get() && language.get()) {
          pageWindow->execScript(script.get(), language.get(), &result);
          answer = S_OK;
        }
        VariantClear(&result);
        pageWindow->Release();
      }
      htmlDocument->Release();
    }
    document->Release();
  }
  return answer;
}

// IStorage: the control needs a storage to be created with, never one that
// keeps anything.

STDMETHODIMP WebBrowser::CreateStream(LPCOLESTR, DWORD, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OpenStream(LPCOLESTR, void*, DWORD, DWORD, IStream**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::CopyTo(DWORD, const IID*, SNB, IStorage*) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::Commit(DWORD) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::Revert() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::DestroyElement(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::RenameElement(LPCOLESTR, LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetClass(REFCLSID) { return S_OK; }
STDMETHODIMP WebBrowser::SetStateBits(DWORD, DWORD) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::Stat(STATSTG*, DWORD) { return E_NOTIMPL; }

// IOleClientSite

STDMETHODIMP WebBrowser::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::GetContainer(IOleContainer** container) {
  if (!container) return E_FAIL;
  *container = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP WebBrowser::ShowObject() { return S_OK; }
STDMETHODIMP WebBrowser::OnShowWindow(BOOL) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow

STDMETHODIMP WebBrowser::GetWindow(HWND* window) {
  if (!window) return E_FAIL;
  *window = hostWindow;
  return S_OK;
}
STDMETHODIMP WebBrowser::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSite

STDMETHODIMP WebBrowser::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP WebBrowser::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP WebBrowser::OnUIActivate() { return S_OK; }

STDMETHODIMP WebBrowser::GetWindowContext(IOleInPlaceFrame** frame,
                                          IOleInPlaceUIWindow** document, LPRECT position,
                                          LPRECT clip, LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document) return E_FAIL;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  *document = nullptr;
  RECT client = {0, 0, 0, 0};
  if (hostWindow) GetClientRect(hostWindow, &client);
  if (position) *position = client;
  if (clip) *clip = client;
  if (frameInfo) {
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = hostWindow;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
  }
  return S_OK;
}

STDMETHODIMP WebBrowser::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP WebBrowser::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP WebBrowser::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OnPosRectChange(LPCRECT) { return S_OK; }

// IOleInPlaceFrame

STDMETHODIMP WebBrowser::GetBorder(LPRECT) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP WebBrowser::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP WebBrowser::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP WebBrowser::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP WebBrowser::TranslateAccelerator(LPMSG, WORD) { return E_NOTIMPL; }

// IDocHostUIHandler

STDMETHODIMP WebBrowser::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return E_NOTIMPL; }

STDMETHODIMP WebBrowser::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_NOTIMPL;
  if (!showBorder) info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER;
  if (!showScrollBars) info->dwFlags |= DOCHOSTUIFLAG_SCROLL_NO;
  return S_OK;
}

STDMETHODIMP WebBrowser::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                IOleInPlaceFrame*, IOleInPlaceUIWindow*) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::HideUI() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::UpdateUI() { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OnDocWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::OnFrameWindowActivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::GetOptionKeyPath(LPOLESTR*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::GetDropTarget(IDropTarget*, IDropTarget**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::GetExternal(IDispatch**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::TranslateUrl(DWORD, OLECHAR*, OLECHAR**) { return E_NOTIMPL; }
STDMETHODIMP WebBrowser::FilterDataObject(IDataObject*, IDataObject**) { return E_NOTIMPL; }
