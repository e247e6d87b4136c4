// The stand-in browser's COM server DLL (what the demo registers in its Wine
// prefix) serves the login page its environment describes. Its class object
// is registered in this process only: the prefix's registry is shared with
// the tests running beside this one.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>

#include <string>

#include "WebBrowser.h"

namespace {

typedef HRESULT(WINAPI* GetClassObjectFunction)(REFCLSID, REFIID, void**);

std::wstring BesideThisProgram(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

TEST(StandInServerTest, ServesTheLoginTheEnvironmentDescribes) {
  SetEnvironmentVariableW(L"VELMOR_STANDIN_RESULT", L"Login=success;ServerAddress=127.0.0.1;Account=demo;ServerIndex=1");
  SetEnvironmentVariableW(L"VELMOR_STANDIN_POLLS", L"2");
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  HMODULE server = LoadLibraryW(BesideThisProgram(L"standinbrowser.dll").c_str());
  ASSERT_NE(server, nullptr);
  auto getClassObject =
      reinterpret_cast<GetClassObjectFunction>(
          reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  ASSERT_NE(GetProcAddress(server, "DllRegisterServer"), nullptr);
  ASSERT_NE(GetProcAddress(server, "DllUnregisterServer"), nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject(CLSID_WebBrowser, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  IClassFactory* other = nullptr;
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&other)),
            CLASS_E_CLASSNOTAVAILABLE);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_WebBrowser, factory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  {
    WebBrowser browser;
    ASSERT_TRUE(browser.Create(GetModuleHandleW(nullptr), nullptr, 0, 0, 100, 100));
    ASSERT_TRUE(browser.Navigate(L"http://127.0.0.1/login"));
    EXPECT_TRUE(browser.IsReady());
    for (int poll = 0; poll < 2; ++poll) {
      browser.ClearScriptResult();
      ASSERT_TRUE(browser.CallScript(L"getRunGameParam"));
      EXPECT_EQ(browser.ScriptResult(), L"Login=pending");
    }
    ASSERT_TRUE(browser.CallScript(L"getRunGameParam"));
    EXPECT_EQ(browser.ScriptResult(),
              L"Login=success;ServerAddress=127.0.0.1;Account=demo;ServerIndex=1");
    browser.Destroy();
  }
  CoRevokeClassObject(cookie);
  CoUninitialize();
}

}  // namespace
