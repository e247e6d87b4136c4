// The plug-in library's exports and plug-in functions, called in process as
// a browser would, with the test browser's function table.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "BrowserObjects.h"
#include "BrowserRun.h"
#include "NetscapePluginApi.h"

namespace {

typedef NPError(WINAPI* InitializeFunction)(NPNetscapeFuncs*);
typedef NPError(WINAPI* GetEntryPointsFunction)(NPPluginFuncs*);
typedef NPError(WINAPI* ShutdownFunction)();

class PluginFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA((TestFolder() + "npkvtplayer_loopback.dll").c_str());
    ASSERT_NE(nullptr, module_);
    getEntryPoints_ = reinterpret_cast<GetEntryPointsFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(1))));
    initialize_ = reinterpret_cast<InitializeFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(2))));
    shutdown_ = reinterpret_cast<ShutdownFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(3))));
    ASSERT_TRUE(getEntryPoints_ && initialize_ && shutdown_);
    Browser::FillFunctions(&browser_, sizeof(browser_), 27);
    ASSERT_EQ(NPERR_NO_ERROR, initialize_(&browser_));
    std::memset(&funcs_, 0, sizeof(funcs_));
    funcs_.size = 0x1234;
    funcs_.javaClass = reinterpret_cast<void*>(static_cast<uintptr_t>(0x77));
    ASSERT_EQ(NPERR_NO_ERROR, getEntryPoints_(&funcs_));
  }

  void TearDown() override {
    if (window_) DestroyWindow(window_);
    if (shutdown_) {
      EXPECT_EQ(NPERR_NO_ERROR, shutdown_());
    }
    if (module_) FreeLibrary(module_);
  }

  HWND Window() {
    if (!window_) {
      window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    return window_;
  }

  HMODULE module_ = nullptr;
  GetEntryPointsFunction getEntryPoints_ = nullptr;
  InitializeFunction initialize_ = nullptr;
  ShutdownFunction shutdown_ = nullptr;
  NPNetscapeFuncs browser_;
  NPPluginFuncs funcs_;
  HWND window_ = nullptr;
};

TEST_F(PluginFixture, NullTablesAreRefused) {
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, getEntryPoints_(nullptr));
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, initialize_(nullptr));
}

TEST_F(PluginFixture, TheEntryTableIsFilledAroundWhatTheBrowserOwns) {
  EXPECT_EQ(27, funcs_.version);
  EXPECT_EQ(0x1234, funcs_.size);
  EXPECT_EQ(reinterpret_cast<void*>(static_cast<uintptr_t>(0x77)), funcs_.javaClass);
  EXPECT_TRUE(funcs_.newp && funcs_.destroy && funcs_.setwindow && funcs_.newstream &&
              funcs_.destroystream && funcs_.asfile && funcs_.writeready && funcs_.write &&
              funcs_.print && funcs_.event && funcs_.urlnotify && funcs_.getvalue &&
              funcs_.setvalue);
}

TEST_F(PluginFixture, FunctionsWithoutInstanceAnswerTheirDefaults) {
  char mime[] = "application/npkvtplayer-plugin-kvt";
  NPWindow window = {};
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.newp(mime, nullptr, 1, 0, nullptr, nullptr,
                                                      nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.destroy(nullptr, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.setwindow(nullptr, &window));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.getvalue(nullptr, NPPVpluginNameString,
                                                          nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.setvalue(nullptr, NPNVWindowNPObject,
                                                          nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR,
            funcs_.newstream(nullptr, mime, nullptr, false, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, funcs_.destroystream(nullptr, nullptr, 0));
  NPP_t empty = {nullptr, nullptr};
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.destroy(&empty, nullptr));
  EXPECT_EQ(NPERR_GENERIC_ERROR, funcs_.setwindow(&empty, &window));
  EXPECT_EQ(NPERR_GENERIC_ERROR, funcs_.getvalue(&empty, NPPVpluginNameString, nullptr));
  EXPECT_EQ(NPERR_GENERIC_ERROR, funcs_.newstream(&empty, mime, nullptr, false, nullptr));
  EXPECT_EQ(0x0FFFFFFF, funcs_.writeready(nullptr, nullptr));
  EXPECT_EQ(0x0FFFFFFF, funcs_.writeready(&empty, nullptr));
  EXPECT_EQ(42, funcs_.write(&empty, nullptr, 0, 42, nullptr));
  EXPECT_EQ(0, funcs_.event(&empty, nullptr));
  funcs_.asfile(&empty, nullptr, "x");
  funcs_.print(&empty, nullptr);
  funcs_.urlnotify(&empty, "x", 0, nullptr);
}

TEST_F(PluginFixture, AnInstanceAnswersStreamsValuesAndWindows) {
  char mime[] = "application/npkvtplayer-plugin-kvt";
  NPP_t instance = {nullptr, nullptr};
  ASSERT_EQ(NPERR_NO_ERROR, funcs_.newp(mime, &instance, 1, 0, nullptr, nullptr, nullptr));
  ASSERT_NE(nullptr, instance.pdata);
  uint16_t streamType = 0;
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.newstream(&instance, mime, nullptr, false, &streamType));
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.destroystream(&instance, nullptr, 0));
  EXPECT_EQ(0x0FFFFFFF, funcs_.writeready(&instance, nullptr));
  EXPECT_EQ(17, funcs_.write(&instance, nullptr, 0, 17, nullptr));
  EXPECT_EQ(0, funcs_.event(&instance, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.setvalue(&instance, NPNVWindowNPObject, nullptr));
  // A variable the plug-in does not know leaves the value alone.
  void* untouched = reinterpret_cast<void*>(static_cast<uintptr_t>(0x55));
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.getvalue(&instance, NPPVpluginWindowBool, &untouched));
  EXPECT_EQ(reinterpret_cast<void*>(static_cast<uintptr_t>(0x55)), untouched);
  // A window without a handle does not initialise the instance.
  NPWindow noHandle = {};
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.setwindow(&instance, &noHandle));
  EXPECT_EQ(NPERR_GENERIC_ERROR, funcs_.setwindow(&instance, nullptr));
  NPWindow window = {};
  window.window = Window();
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.setwindow(&instance, &window));
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.destroy(&instance, nullptr));
  EXPECT_EQ(nullptr, instance.pdata);
}

TEST_F(PluginFixture, ASubclassedWindowGetsItsOwnProcedureBackOnDestroy) {
  char mime[] = "application/npkvtplayer-plugin-kvt";
  NPP_t instance = {nullptr, nullptr};
  ASSERT_EQ(NPERR_NO_ERROR, funcs_.newp(mime, &instance, 1, 0, nullptr, nullptr, nullptr));
  HWND hwnd = Window();
  const LONG_PTR before = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
  NPWindow window = {};
  window.window = hwnd;
  ASSERT_EQ(NPERR_NO_ERROR, funcs_.setwindow(&instance, &window));
  EXPECT_NE(before, GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  EXPECT_EQ(NPERR_NO_ERROR, funcs_.destroy(&instance, nullptr));
  EXPECT_EQ(before, GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  EXPECT_EQ(0, GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // The timer went with the instance: no tick is left queued for the window.
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE));
}

}  // namespace
