// The launcher's browser host against the stand-in control registered for
// CLSID_WebBrowser in this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "StandInBrowser.h"
#include "WebBrowser.h"

namespace {

const wchar_t kOwnerClass[] = L"BrowserTestOwner";
int ownerCloses = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++ownerCloses;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateOwner() {
  WNDCLASSW info = {};
  info.lpfnWndProc = OwnerProc;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = kOwnerClass;
  RegisterClassW(&info);
  return CreateWindowExW(0, kOwnerClass, L"owner", WS_POPUP | WS_VISIBLE, 100, 80, 400, 300,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// A 32-bit top-down DIB with a DC, filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    GdiFlush();
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  COLORREF Pixel(int x, int y) {
    GdiFlush();
    return GetPixel(dc, x, y);
  }
  HDC dc = nullptr;

 private:
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  void* bits = nullptr;
};

class WebBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    registration = new StandIn::Registration();
    ASSERT_TRUE(registration->ok());
    StandIn::Reset();
    ownerCloses = 0;
    owner = CreateOwner();
    ASSERT_NE(owner, nullptr);
    ASSERT_TRUE(browser.Create(GetModuleHandleW(nullptr), owner, 10, 20, 200, 100));
  }
  void TearDown() override {
    browser.Destroy();
    if (owner) DestroyWindow(owner);
    delete registration;
    CoUninitialize();
  }
  RECT HostRect() {
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(browser.HostWindow(), &rect);
    return rect;
  }

  StandIn::Registration* registration = nullptr;
  HWND owner = nullptr;
  WebBrowser browser;
};

TEST_F(WebBrowserTest, CreateReachesTheRegisteredControlAndSitsOnTheOwner) {
  const StandIn::State& state = StandIn::Current();
  EXPECT_EQ(state.liveControls, 1);
  EXPECT_EQ(state.containerName, L"VelMor_Game_Updater");
  EXPECT_EQ(state.advises, 1);
  EXPECT_TRUE(browser.IsAdvised());
  EXPECT_TRUE(state.resizable);
  EXPECT_EQ(state.width, 200);
  EXPECT_EQ(state.height, 100);
  EXPECT_EQ(state.parentWindow, browser.HostWindow());
  RECT rect = HostRect();
  EXPECT_EQ(rect.left, 110);
  EXPECT_EQ(rect.top, 100);
  EXPECT_EQ(rect.right - rect.left, 200);
  EXPECT_EQ(rect.bottom - rect.top, 100);
  EXPECT_FALSE(IsWindowVisible(browser.HostWindow()));
  EXPECT_EQ(GetWindow(browser.HostWindow(), GW_OWNER), owner);
  wchar_t name[64] = {};
  GetClassNameW(browser.HostWindow(), name, 64);
  EXPECT_STREQ(name, L"Vel_Mor_Web_Browser");
}

TEST_F(WebBrowserTest, NavigateSilencesScriptErrorsOnceComplete) {
  browser.SetShowBorder(false);
  browser.SetShowScrollBars(false);
  StandIn::Current().completeOnNavigate = false;
  ASSERT_TRUE(browser.Navigate(L"http://127.0.0.1/login?x=1"));
  const StandIn::State& state = StandIn::Current();
  ASSERT_EQ(state.navigated.size(), 1u);
  EXPECT_EQ(state.navigated[0], L"http://127.0.0.1/login?x=1");
  EXPECT_EQ(state.hostInfoFlags & 0xC, 0xCu);
  EXPECT_FALSE(browser.IsReady());
  EXPECT_TRUE(state.executedScripts.empty());
  ASSERT_TRUE(StandIn::CompleteNavigation());
  EXPECT_TRUE(browser.IsReady());
  ASSERT_EQ(state.executedScripts.size(), 1u);
  EXPECT_EQ(state.executedScripts[0],
            L"function myerror() {return true}; window.onerror = myerror;");
  EXPECT_EQ(state.scriptLanguages[0], L"JScript");
}

TEST_F(WebBrowserTest, BordersAndScrollBarsStayByDefault) {
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  EXPECT_EQ(StandIn::Current().hostInfoCalls, 1);
  EXPECT_EQ(StandIn::Current().hostInfoFlags & 0xC, 0u);
}

TEST_F(WebBrowserTest, FailedNavigationAnswersFalse) {
  StandIn::Current().failNavigate = true;
  EXPECT_FALSE(browser.Navigate(L"http://127.0.0.1/"));
  EXPECT_FALSE(browser.IsReady());
}

struct ResultCase {
  const char* label;
  StandIn::ScriptValue value;
  const wchar_t* expected;
};

TEST_F(WebBrowserTest, CallScriptTurnsEachResultTypeIntoText) {
  StandIn::ScriptValue lpstr = StandIn::ScriptValue::Of(VT_LPSTR);
  lpstr.ansiText = "ansi text";
  StandIn::ScriptValue lpwstr = StandIn::ScriptValue::Of(VT_LPWSTR);
  lpwstr.text = L"wide text";
  const ResultCase cases[] = {
      {"bstr", StandIn::ScriptValue::Bstr(L"Login=success;Account=a"), L"Login=success;Account=a"},
      {"i4", StandIn::ScriptValue::Integer(VT_I4, 42), L"42"},
      {"negative i2", StandIn::ScriptValue::Integer(VT_I2, -7), L"-7"},
      {"ui4", StandIn::ScriptValue::Integer(VT_UI4, 4000000000LL), L"4000000000"},
      {"i8", StandIn::ScriptValue::Integer(VT_I8, -1234567890123LL), L"-1234567890123"},
      {"ui8", StandIn::ScriptValue::Integer(VT_UI8, 1234567890123LL), L"1234567890123"},
      {"r8", StandIn::ScriptValue::Real(VT_R8, 0.5), L"0.5"},
      {"r4", StandIn::ScriptValue::Real(VT_R4, 1.5), L"1.500000"},
      {"true", StandIn::ScriptValue::Integer(VT_BOOL, VARIANT_TRUE), L"true"},
      {"false", StandIn::ScriptValue::Integer(VT_BOOL, VARIANT_FALSE), L"false"},
      {"bool 1", StandIn::ScriptValue::Integer(VT_BOOL, 1), L"false"},
      {"empty", StandIn::ScriptValue::Of(VT_EMPTY), L""},
      {"null", StandIn::ScriptValue::Of(VT_NULL), L"null"},
      {"lpstr", lpstr, L"ansi text"},
      {"lpwstr", lpwstr, L"wide text"},
  };
  for (const ResultCase& c : cases) {
    SCOPED_TRACE(c.label);
    StandIn::Current().page = StandIn::Page();
    StandIn::Current().page.functions.push_back({L"getRunGameParam", c.value});
    ASSERT_TRUE(browser.Navigate(L"about:blank"));
    browser.ClearScriptResult();
    EXPECT_TRUE(browser.CallScript(L"getRunGameParam"));
    EXPECT_EQ(browser.ScriptResult(), c.expected);
  }
}

TEST_F(WebBrowserTest, UnconvertedResultLeavesTheTextAsItWas) {
  StandIn::Current().page.functions.push_back({L"first", StandIn::ScriptValue::Bstr(L"kept")});
  StandIn::Current().page.functions.push_back({L"date", StandIn::ScriptValue::Real(VT_DATE, 2.0)});
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ASSERT_TRUE(browser.CallScript(L"first"));
  EXPECT_TRUE(browser.CallScript(L"date"));
  EXPECT_EQ(browser.ScriptResult(), L"kept");
}

TEST_F(WebBrowserTest, MissingFunctionFailsAndLeavesTheText) {
  StandIn::Current().page.functions.push_back({L"other", StandIn::ScriptValue::Bstr(L"x")});
  StandIn::Page frame;
  frame.functions.push_back({L"alsoOther", StandIn::ScriptValue::Bstr(L"y")});
  StandIn::Current().page.frames.push_back(frame);
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ASSERT_TRUE(browser.CallScript(L"other"));
  EXPECT_FALSE(browser.CallScript(L"getRunGameParam"));
  EXPECT_EQ(browser.ScriptResult(), L"x");
}

TEST_F(WebBrowserTest, CallScriptSearchesFramesDepthFirstAndStopsAtTheFirst) {
  StandIn::Page& top = StandIn::Current().page;
  top.otherEmbeddings = 1;
  StandIn::Page first, inner, second;
  inner.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Bstr(L"inner")});
  first.frames.push_back(inner);
  second.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Bstr(L"second")});
  top.frames.push_back(first);
  top.frames.push_back(second);
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ASSERT_TRUE(browser.CallScript(L"getRunGameParam"));
  EXPECT_EQ(browser.ScriptResult(), L"inner");
  ASSERT_EQ(StandIn::Current().calledFunctions.size(), 1u);
  EXPECT_EQ(StandIn::Current().calledFunctions[0], L"top/0/0:getRunGameParam");
}

TEST_F(WebBrowserTest, TopDocumentWinsOverItsFrames) {
  StandIn::Page& top = StandIn::Current().page;
  top.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Bstr(L"top")});
  StandIn::Page frame;
  frame.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Bstr(L"frame")});
  top.frames.push_back(frame);
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ASSERT_TRUE(browser.CallScript(L"getRunGameParam"));
  EXPECT_EQ(browser.ScriptResult(), L"top");
}

TEST_F(WebBrowserTest, FailingCallAndPlainDocumentsFallBackToFrames) {
  StandIn::Page& top = StandIn::Current().page;
  StandIn::ScriptValue failing = StandIn::ScriptValue::Bstr(L"never");
  failing.invokeResult = DISP_E_EXCEPTION;
  top.functions.push_back({L"getRunGameParam", failing});
  StandIn::Page plain;  // no IHTMLDocument2: only its frames count
  plain.htmlDocument = false;
  plain.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Bstr(L"hidden")});
  StandIn::Page innerOfPlain;
  innerOfPlain.functions.push_back({L"getRunGameParam", StandIn::ScriptValue::Integer(VT_I4, 7)});
  plain.frames.push_back(innerOfPlain);
  top.frames.push_back(plain);
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ASSERT_TRUE(browser.CallScript(L"getRunGameParam"));
  EXPECT_EQ(browser.ScriptResult(), L"7");
}

TEST_F(WebBrowserTest, CallScriptWithoutBrowserOrDocumentFails) {
  EXPECT_FALSE(browser.CallScript(nullptr, L"getRunGameParam"));
  // Before any navigation the control has no document.
  EXPECT_FALSE(browser.CallScript(L"getRunGameParam"));
}

TEST_F(WebBrowserTest, DestroyReleasesEverythingAndMayRepeat) {
  HWND host = browser.HostWindow();
  browser.Destroy();
  const StandIn::State& state = StandIn::Current();
  EXPECT_EQ(state.unadvises, 1);
  EXPECT_EQ(state.closes, 1);
  EXPECT_EQ(state.liveControls, 0);
  EXPECT_EQ(browser.HostWindow(), nullptr);
  EXPECT_FALSE(IsWindow(host));
  EXPECT_FALSE(browser.HasControl());
  browser.Destroy();
  EXPECT_EQ(state.unadvises, 1);
  EXPECT_FALSE(browser.Navigate(L"about:blank"));
  EXPECT_FALSE(browser.IsReady());
  // The class was unregistered, so a new Create registers it again.
  ASSERT_TRUE(browser.Create(GetModuleHandleW(nullptr), owner, 0, 0, 50, 50));
  EXPECT_EQ(state.liveControls, 1);
}

TEST_F(WebBrowserTest, QuitEventEndsTheConnectionOnce) {
  ASSERT_TRUE(StandIn::FireQuit());
  EXPECT_FALSE(browser.IsAdvised());
  EXPECT_EQ(StandIn::Current().unadvises, 1);
  browser.Destroy();
  EXPECT_EQ(StandIn::Current().unadvises, 1);
}

TEST_F(WebBrowserTest, DrawToDrawsNothingWhileHidden) {
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  Canvas canvas(400, 300, RGB(255, 0, 0));
  EXPECT_TRUE(browser.DrawTo(canvas.dc));
  EXPECT_EQ(canvas.Pixel(50, 50), RGB(255, 0, 0));
  EXPECT_EQ(StandIn::Current().draws, 0);
  EXPECT_TRUE(browser.DrawTo(nullptr));
}

TEST_F(WebBrowserTest, DrawToCopiesTheSnapshotAtTheHostPositionAndFollowsResizes) {
  ASSERT_TRUE(browser.Navigate(L"about:blank"));
  ShowWindow(browser.HostWindow(), SW_SHOWNA);
  Canvas canvas(400, 300, RGB(255, 0, 0));
  ASSERT_TRUE(browser.DrawTo(canvas.dc));
  COLORREF page = StandIn::Current().pageColor;
  EXPECT_EQ(canvas.Pixel(10, 20), page);
  EXPECT_EQ(canvas.Pixel(209, 119), page);
  EXPECT_EQ(canvas.Pixel(9, 20), RGB(255, 0, 0));
  EXPECT_EQ(canvas.Pixel(210, 119), RGB(255, 0, 0));
  EXPECT_EQ(canvas.Pixel(10, 120), RGB(255, 0, 0));
  ASSERT_TRUE(browser.SetRect(30, 40, 330, 240));
  Canvas second(400, 300, RGB(255, 0, 0));
  ASSERT_TRUE(browser.DrawTo(second.dc));
  EXPECT_EQ(second.Pixel(30, 40), page);
  EXPECT_EQ(second.Pixel(329, 239), page);
  EXPECT_EQ(second.Pixel(29, 40), RGB(255, 0, 0));
  EXPECT_EQ(second.Pixel(330, 239), RGB(255, 0, 0));
}

TEST_F(WebBrowserTest, MoveKeepsTheSizeAndSetRectResizesTheControl) {
  ASSERT_TRUE(browser.Move(50, 60));
  RECT rect = HostRect();
  EXPECT_EQ(rect.left, 150);
  EXPECT_EQ(rect.top, 140);
  EXPECT_EQ(rect.right - rect.left, 200);
  EXPECT_EQ(rect.bottom - rect.top, 100);
  ASSERT_TRUE(browser.SetRect(5, 6, 305, 156));
  rect = HostRect();
  EXPECT_EQ(rect.left, 105);
  EXPECT_EQ(rect.top, 86);
  EXPECT_EQ(rect.right - rect.left, 300);
  EXPECT_EQ(rect.bottom - rect.top, 150);
  EXPECT_EQ(StandIn::Current().width, 300);
  EXPECT_EQ(StandIn::Current().height, 150);
  RECT view;
  GetWindowRect(StandIn::Current().viewWindow, &view);
  EXPECT_EQ(view.right - view.left, 300);
  // An inverted rectangle becomes an empty one.
  ASSERT_TRUE(browser.SetRect(20, 20, 10, 10));
  EXPECT_EQ(StandIn::Current().width, 0);
  EXPECT_EQ(StandIn::Current().height, 0);
}

TEST_F(WebBrowserTest, EditingKeysNeverReachTheControl) {
  const WPARAM keys[] = {VK_BACK, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_RETURN};
  for (WPARAM key : keys) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG msg = {StandIn::Current().viewWindow, message, key, 0, 0, {0, 0}};
      EXPECT_FALSE(browser.PreTranslateMessage(&msg)) << key;
    }
  }
  EXPECT_EQ(StandIn::Current().accelerators, 0);
}

TEST_F(WebBrowserTest, OtherKeysGoThroughTheDialogManagerToTheControl) {
  MSG msg = {StandIn::Current().viewWindow, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
  EXPECT_TRUE(browser.PreTranslateMessage(&msg));
  EXPECT_EQ(StandIn::Current().accelerators, 1);
  browser.Destroy();
  EXPECT_FALSE(browser.PreTranslateMessage(&msg));
}

TEST_F(WebBrowserTest, ClosingTheHostWindowAsksTheOwner) {
  SendMessageW(browser.HostWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(ownerCloses, 1);
  EXPECT_TRUE(IsWindow(browser.HostWindow()));
}

TEST_F(WebBrowserTest, InterfacesAnswerAsAContainerAndCountWithoutDeleting) {
  // The event sink's IDispatch is the first base: the object itself.
  EXPECT_EQ(static_cast<void*>(static_cast<IDispatch*>(&browser)), static_cast<void*>(&browser));
  void* object = nullptr;
  EXPECT_EQ(browser.QueryInterface(IID_IStorage, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(browser.QueryInterface(IID_IOleClientSite, &object), S_OK);
  EXPECT_EQ(object, static_cast<IOleClientSite*>(&browser));
  ASSERT_EQ(browser.QueryInterface(IID_IDocHostUIHandler, &object), S_OK);
  EXPECT_EQ(object, static_cast<IDocHostUIHandler*>(&browser));
  ULONG count = browser.AddRef();
  EXPECT_EQ(browser.Release(), count - 1);
  IOleContainer* container = reinterpret_cast<IOleContainer*>(1);
  EXPECT_EQ(browser.GetContainer(&container), E_NOINTERFACE);
  EXPECT_EQ(container, nullptr);
  UINT types = 5;
  EXPECT_EQ(browser.GetTypeInfoCount(&types), S_OK);
  EXPECT_EQ(types, 0u);
  EXPECT_EQ(browser.SetClass(CLSID_WebBrowser), S_OK);
}

}  // namespace
