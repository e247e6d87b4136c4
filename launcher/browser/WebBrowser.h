// The launcher's OLE container for the system's web browser control. The
// skinned window is layered, so the page lives in a borderless popup (the
// host window) owned by it and kept over its browser area; the control runs
// in place inside that popup.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <oleidl.h>

#include <string>

class WebBrowser : public IDispatch,
                   public IStorage,
                   public IOleClientSite,
                   public IOleInPlaceSite,
                   public IOleInPlaceFrame,
                   public IDocHostUIHandler {
 public:
  WebBrowser();
  virtual ~WebBrowser();

  WebBrowser(const WebBrowser&) = delete;
  WebBrowser& operator=(const WebBrowser&) = delete;

  // Host window at (x, y) relative to the owner's top-left corner, with the
  // control in it. Runs Destroy first.
  bool Create(HINSTANCE instance, HWND owner, int x, int y, int width, int height);
  // Releases the control, the host window, its class, the snapshot and the
  // COM initialisation this object holds. Harmless when repeated.
  void Destroy();
  bool Navigate(const wchar_t* url);
  bool IsReady();
  // Calls the page's global function `name` without arguments, looking in the
  // top document first and then depth-first through its frames; the result
  // is left as text in ScriptResult().
  bool CallScript(IWebBrowser2* browser, const wchar_t* name);
  // CallScript on the top-level browser (false without a control).
  bool CallScript(const wchar_t* name);
  // Draws a snapshot of the page into dc at the host window's position
  // relative to the owner. Draws nothing while the host window is hidden.
  bool DrawTo(HDC dc);
  bool Move(int x, int y);
  bool SetRect(int left, int top, int right, int bottom);
  // True when the control consumed the message: the caller must not
  // dispatch it.
  bool PreTranslateMessage(MSG* message);

  HWND HostWindow() const { return hostWindow; }
  IWebBrowser2* Browser() const { return webBrowser; }
  bool HasControl() const { return webBrowser != nullptr; }
  const std::wstring& ScriptResult() const { return scriptResult; }
  void ClearScriptResult() { scriptResult.clear(); }
  void SetShowBorder(bool show) { showBorder = show; }
  void SetShowScrollBars(bool show) { showScrollBars = show; }
  bool IsAdvised() const { return advised; }

  // IUnknown (shared by every base)
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch: the sink of the control's DWebBrowserEvents2
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IStorage
  STDMETHODIMP CreateStream(LPCOLESTR, DWORD, DWORD, DWORD, IStream**) override;
  STDMETHODIMP OpenStream(LPCOLESTR, void*, DWORD, DWORD, IStream**) override;
  STDMETHODIMP CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override;
  STDMETHODIMP OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) override;
  STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override;
  STDMETHODIMP MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override;
  STDMETHODIMP Commit(DWORD) override;
  STDMETHODIMP Revert() override;
  STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override;
  STDMETHODIMP DestroyElement(LPCOLESTR) override;
  STDMETHODIMP RenameElement(LPCOLESTR, LPCOLESTR) override;
  STDMETHODIMP SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*,
                               const FILETIME*) override;
  STDMETHODIMP SetClass(REFCLSID) override;
  STDMETHODIMP SetStateBits(DWORD, DWORD) override;
  STDMETHODIMP Stat(STATSTG*, DWORD) override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow (IOleInPlaceSite and IOleInPlaceFrame)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO frameInfo) override;
  STDMETHODIMP Scroll(SIZE) override;
  STDMETHODIMP OnUIDeactivate(BOOL) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT) override;

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override;
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override;
  STDMETHODIMP RemoveMenus(HMENU) override;
  STDMETHODIMP SetStatusText(LPCOLESTR) override;
  STDMETHODIMP EnableModeless(BOOL) override;
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override;

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override;
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override;
  STDMETHODIMP HideUI() override;
  STDMETHODIMP UpdateUI() override;
  STDMETHODIMP OnDocWindowActivate(BOOL) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL) override;
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override;
  STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override;
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override;
  STDMETHODIMP GetExternal(IDispatch**) override;
  STDMETHODIMP TranslateUrl(DWORD, OLECHAR*, OLECHAR**) override;
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override;

 private:
  static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnHostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateHostWindow(int x, int y, int width, int height);
  bool CreateControl();
  void ReleaseControl();
  bool FitControlToHost();
  bool ResizeControl(int width, int height);
  bool PlaceHostWindow(int x, int y, int width, int height);
  POINT OwnerOrigin() const;
  bool HostPositionInOwner(RECT* rect) const;
  bool CallScriptInDocument(IHTMLDocument2* document, const wchar_t* name);
  bool CallScriptInFrames(IDispatch* document, const wchar_t* name);
  void StoreScriptResult(const VARIANT& value);
  HRESULT OnNavigateComplete();
  bool EnsureSnapshot(HDC dc);
  void DeleteSnapshot();

  HINSTANCE instanceHandle = nullptr;
  HWND ownerWindow = nullptr;
  HWND hostWindow = nullptr;
  ATOM windowClass = 0;
  LONG refCount = 0;
  IOleObject* oleObject = nullptr;
  IWebBrowser2* webBrowser = nullptr;
  IConnectionPointContainer* connectionPointContainer = nullptr;
  IConnectionPoint* connectionPoint = nullptr;
  bool advised = false;
  DWORD adviseCookie = 0;
  std::wstring scriptResult;
  bool showBorder = true;
  bool showScrollBars = true;
  HBITMAP snapshot = nullptr;
  int snapshotWidth = 0;
  int snapshotHeight = 0;
  bool comInitialised = false;
};
