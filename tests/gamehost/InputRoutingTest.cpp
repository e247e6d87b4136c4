// Key sets, the shared message hook with posted messages and the keyboard
// state, and the subclassing of the plug-in window.
#include <windows.h>

#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "GameHostTestSupport.h"
#include "GameLoader.h"
#include "KeyRouting.h"
#include "MessageHook.h"
#include "PluginWindow.h"
#include "ScriptedFileSystem.h"

using namespace GameHostTest;

namespace {

struct KeyCase {
  const char* name;
  KeyCombination key;
  RouteDecision decision;
};

void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.name; }

class DefaultKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DefaultKeyTest, DecidesAsTheDefaultsSay) {
  KeyRouting keys;
  keys.ResetToDefaults();
  EXPECT_EQ(GetParam().decision, keys.DecideKey(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, DefaultKeyTest,
    ::testing::Values(KeyCase{"CtrlR", {'R', true, false, false}, RouteDecision::Intercept},
                      KeyCase{"F5", {VK_F5, false, false, false}, RouteDecision::Intercept},
                      KeyCase{"F24", {VK_F24, false, false, false}, RouteDecision::Intercept},
                      KeyCase{"AltF4", {VK_F4, false, true, false}, RouteDecision::Pass},
                      KeyCase{"AltShiftF4", {VK_F4, false, true, true}, RouteDecision::Intercept},
                      KeyCase{"F11", {VK_F11, false, false, false}, RouteDecision::Pass},
                      KeyCase{"LetterA", {'A', false, false, false}, RouteDecision::Pass},
                      KeyCase{"Enter", {VK_RETURN, false, false, false}, RouteDecision::Pass},
                      KeyCase{"ShiftKey", {VK_SHIFT, false, false, false},
                              RouteDecision::Intercept},
                      KeyCase{"ControlKey", {VK_CONTROL, true, false, false},
                              RouteDecision::Intercept},
                      KeyCase{"MenuKey", {VK_MENU, false, false, false}, RouteDecision::Intercept},
                      KeyCase{"ShiftA", {'A', false, false, true}, RouteDecision::Intercept}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(KeyRoutingTest, PassSetAndFlagsComeFirst) {
  KeyRouting keys;
  keys.ResetToDefaults();
  KeyCombination f5 = {VK_F5, false, false, false};
  keys.AddPassKey(f5);
  EXPECT_EQ(RouteDecision::Pass, keys.DecideKey(f5));
  KeyCombination a = {'A', false, false, false};
  keys.AddInterceptKey(a);
  EXPECT_EQ(RouteDecision::Intercept, keys.DecideKey(a));
  keys.SetInterceptAllKeys(true);
  EXPECT_EQ(RouteDecision::Pass, keys.DecideKey(f5)) << "the pass set wins over intercept-all";
  EXPECT_EQ(RouteDecision::Intercept, keys.DecideKey(KeyCombination{'B', false, false, false}));
  keys.SetPassAllKeys(true);
  EXPECT_EQ(RouteDecision::Pass, keys.DecideKey(a)) << "pass-all wins over everything";
  keys.Clear();
  EXPECT_FALSE(keys.IsPassKey(KeyCombination{VK_F4, false, true, false}));
  EXPECT_TRUE(keys.IsInterceptMouseMessages());
}

TEST(KeyRoutingTest, MouseIsInterceptedOnlyForTheOwnWindow) {
  KeyRouting keys;
  keys.ResetToDefaults();
  EXPECT_EQ(RouteDecision::Intercept, keys.DecideMouse(true));
  EXPECT_EQ(RouteDecision::Pass, keys.DecideMouse(false));
  keys.SetInterceptMouseMessages(false);
  EXPECT_EQ(RouteDecision::Pass, keys.DecideMouse(true));
}

TEST(KeyCombinationTest, OrderIsKeyThenCtrlAltShiftFalseFirst) {
  KeyCombinationLess less;
  KeyCombination plain = {5, false, false, false};
  EXPECT_TRUE(less(plain, KeyCombination{6, false, false, false}));
  EXPECT_TRUE(less(KeyCombination{5, true, true, true}, KeyCombination{6, false, false, false}));
  EXPECT_TRUE(less(plain, KeyCombination{5, true, false, false}));
  EXPECT_TRUE(less(KeyCombination{5, false, true, true}, KeyCombination{5, true, false, false}));
  EXPECT_TRUE(less(KeyCombination{5, false, false, true}, KeyCombination{5, false, true, false}));
  EXPECT_TRUE(less(plain, KeyCombination{5, false, false, true}));
  EXPECT_FALSE(less(plain, plain));
  EXPECT_TRUE(less(KeyCombination{0x7FFFFFFFu, false, false, false},
                   KeyCombination{0x80000000u, false, false, false}))
      << "keys compare unsigned";
}

int originalProcCalls = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 5) ++originalProcCalls;
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &CountingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"GameHostRoutingTest";
    RegisterClassW(&windowClass);
    registered = true;
  }
  return CreateWindowExW(0, L"GameHostRoutingTest", L"routing", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                         150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Keeps the thread's keyboard state for one test and restores it.
class KeyboardState {
 public:
  KeyboardState() { GetKeyboardState(saved_); }
  ~KeyboardState() { SetKeyboardState(saved_); }
  void Press(int key, bool down) {
    BYTE state[256];
    GetKeyboardState(state);
    state[key] = down ? 0x80 : 0;
    SetKeyboardState(state);
  }

 private:
  BYTE saved_[256];
};

class RoutingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UsePrivateLogFolder();
    files.Install();
    window = MakeWindow();
    ASSERT_NE(nullptr, window);
    other = MakeWindow();
    loader.reset(new GameLoader(HostFlavour::Netscape));
    loader->Init(&owner, GetModuleHandleW(nullptr), window);
    keys.ResetToDefaults();
    plugin.reset(new PluginWindow(*loader, keys));
    ASSERT_TRUE(plugin->AttachWindow(window));
    ASSERT_TRUE(MessageHook::Acquire(GetModuleHandleW(nullptr)));
    SendMessageW(window, WM_SETFOCUS, 0, 0);
    ASSERT_EQ(plugin.get(), MessageHook::GetFocused());
  }

  void TearDown() override {
    MessageHook::ForgetTarget(plugin.get());
    MessageHook::Release();
    plugin.reset();
    loader.reset();
    ScriptedFileSystem::Uninstall();
    DestroyWindow(window);
    DestroyWindow(other);
    if (!product.empty()) RemoveFolder(ProductFolder(product));
  }

  // Posts a message and takes it off the queue again: what the browser
  // would then dispatch.
  MSG PostAndTake(HWND target, UINT message, WPARAM wParam, LPARAM lParam = 0) {
    MSG flush;
    while (PeekMessageW(&flush, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_TRUE(PostMessageW(target, message, wParam, lParam));
    MSG msg = {};
    EXPECT_TRUE(PeekMessageW(&msg, target, 0, 0, PM_REMOVE));
    return msg;
  }

  void RunSampleGame(const std::string& ini) {
    product = UniqueProduct("ir");
    ASSERT_TRUE(loader->SetProduct(product.c_str(), 5, 1, 1));
    ASSERT_TRUE(InstallSampleGame(ProductFolder(product), "game", ini));
    ASSERT_TRUE(loader->RunGame(L""));
  }

  ScriptedFileSystem files;
  RecordingOwner owner;
  KeyRouting keys;
  std::unique_ptr<GameLoader> loader;
  std::unique_ptr<PluginWindow> plugin;
  HWND window = nullptr;
  HWND other = nullptr;
  std::string product;
};

TEST_F(RoutingWindowTest, FunctionKeyIsInterceptedAndBlanked) {
  MSG msg = PostAndTake(window, WM_KEYDOWN, VK_F5);
  EXPECT_EQ(0u, msg.message);
  EXPECT_EQ(0u, msg.wParam);
}

TEST_F(RoutingWindowTest, PlainLetterAndDefaultPassKeysReachTheBrowser) {
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, 'A').message);
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, VK_F11).message);
  KeyboardState keyboard;
  keyboard.Press(VK_MENU, true);
  EXPECT_EQ(static_cast<UINT>(WM_SYSKEYDOWN), PostAndTake(window, WM_SYSKEYDOWN, VK_F4).message);
}

TEST_F(RoutingWindowTest, ModifierStateComesFromTheKeyboard) {
  KeyboardState keyboard;
  keyboard.Press(VK_CONTROL, true);
  EXPECT_EQ(0u, PostAndTake(window, WM_KEYDOWN, 'R').message) << "Ctrl+R";
  keyboard.Press(VK_CONTROL, false);
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, 'R').message);
}

TEST_F(RoutingWindowTest, PassAndInterceptSetsChangeTheDecision) {
  keys.AddPassKey(KeyCombination{VK_F5, false, false, false});
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, VK_F5).message);
  keys.AddInterceptKey(KeyCombination{'Q', false, false, false});
  EXPECT_EQ(0u, PostAndTake(window, WM_KEYUP, 'Q').message);
  keys.SetPassAllKeys(true);
  EXPECT_EQ(static_cast<UINT>(WM_KEYUP), PostAndTake(window, WM_KEYUP, 'Q').message);
}

TEST_F(RoutingWindowTest, MouseForOtherWindowsIsNeverIntercepted) {
  EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), PostAndTake(other, WM_MOUSEMOVE, 0).message);
  EXPECT_EQ(0u, PostAndTake(window, WM_MOUSEMOVE, 0).message);
  keys.SetInterceptMouseMessages(false);
  EXPECT_EQ(static_cast<UINT>(WM_MOUSEMOVE), PostAndTake(window, WM_MOUSEMOVE, 0).message);
}

TEST_F(RoutingWindowTest, WithoutFocusNothingIsIntercepted) {
  SendMessageW(window, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(nullptr, MessageHook::GetFocused());
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, VK_F5).message);
}

TEST_F(RoutingWindowTest, InterceptedKeyReachesTheRunningGame) {
  RunSampleGame("");
  EXPECT_EQ(0u, PostAndTake(window, WM_KEYDOWN, VK_F5).message);
  EXPECT_TRUE(SampleLogHas(ProductFolder(product), "WindowProc message=256 wParam=116 lParam=0"));
}

TEST_F(RoutingWindowTest, KeyMessagesAnswerWithTheGamesResultAndTimerTicks) {
  EXPECT_EQ(0, SendMessageW(window, WM_KEYDOWN, 'A', 0)) << "no game: 0";
  RunSampleGame("windowproc_result=77\n");
  EXPECT_EQ(77, SendMessageW(window, WM_KEYDOWN, 'A', 0));
  EXPECT_EQ(77, SendMessageW(window, WM_SETCURSOR, 0, MAKELPARAM(1, WM_MOUSEMOVE)));
  SendMessageW(window, WM_TIMER, 1, 0);
  EXPECT_TRUE(SampleLogHas(ProductFolder(product), "Activate flag=0"));
}

TEST_F(RoutingWindowTest, DetachRestoresTheWindowProcedure) {
  originalProcCalls = 0;
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&PluginWindow::PluginWindowProc),
            GetWindowLongPtrW(window, GWLP_WNDPROC));
  SendMessageW(window, WM_USER + 5, 0, 0);
  EXPECT_EQ(0, originalProcCalls) << "the replaced procedure is not called while subclassed";
  plugin->DetachWindow();
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&CountingProc), GetWindowLongPtrW(window, GWLP_WNDPROC));
  EXPECT_EQ(0, GetWindowLongPtrW(window, GWLP_USERDATA));
  SendMessageW(window, WM_USER + 5, 0, 0);
  EXPECT_EQ(1, originalProcCalls);
}

TEST_F(RoutingWindowTest, AttachingAnotherWindowReleasesTheFirst) {
  ASSERT_TRUE(plugin->AttachWindow(other));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&CountingProc), GetWindowLongPtrW(window, GWLP_WNDPROC));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(&PluginWindow::PluginWindowProc),
            GetWindowLongPtrW(other, GWLP_WNDPROC));
  EXPECT_FALSE(plugin->AttachWindow(nullptr));
  plugin->DetachWindow();
}

TEST_F(RoutingWindowTest, TwoInstancesShareOneHook) {
  KeyRouting secondKeys;
  secondKeys.ResetToDefaults();
  PluginWindow second(*loader, secondKeys);
  ASSERT_TRUE(MessageHook::Acquire(GetModuleHandleW(nullptr)));
  EXPECT_EQ(2, MessageHook::ReferenceCount());
  MessageHook::Release();
  EXPECT_TRUE(MessageHook::IsInstalled()) << "the first instance still holds it";
  EXPECT_EQ(0u, PostAndTake(window, WM_KEYDOWN, VK_F5).message);
  MessageHook::Release();
  EXPECT_FALSE(MessageHook::IsInstalled());
  EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), PostAndTake(window, WM_KEYDOWN, VK_F5).message);
  ASSERT_TRUE(MessageHook::Acquire(GetModuleHandleW(nullptr)));  // for TearDown
}

}  // namespace
