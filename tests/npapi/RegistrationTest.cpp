// Self-registration of the plug-in: the per-user key always, the
// per-machine key only for an administrator (chosen through the
// administrator seam, which Wine would otherwise always answer yes).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrowserRun.h"
#include "Registry.h"

namespace {

const wchar_t kPluginKey[] = L"Software\\MozillaPlugins\\@kvtplayer.velmor-game.example";
const char kLibrary[] = "npkvtplayer_loopback.dll";

typedef HRESULT(WINAPI* ServerFunction)();

std::wstring ReadValue(HKEY root, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kPluginKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"(no key)";
  wchar_t value[2048] = {};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  DWORD type = 0;
  LONG result =
      RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return L"(no value)";
  return value;
}

bool KeyExists(HKEY root) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kPluginKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void RemoveKeys() {
  DeleteRegistryTree(HKEY_CURRENT_USER, kPluginKey);
  DeleteRegistryTree(HKEY_LOCAL_MACHINE, kPluginKey);
}

class AdministratorAnswer {
 public:
  explicit AdministratorAnswer(bool administrator) {
    SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", administrator ? "1" : "0");
  }
  ~AdministratorAnswer() { SetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", nullptr); }
};

class LoadedPlugin {
 public:
  LoadedPlugin() : module_(LoadLibraryA((TestFolder() + kLibrary).c_str())) {}
  ~LoadedPlugin() {
    if (module_) FreeLibrary(module_);
  }
  ServerFunction Ordinal(int ordinal) const {
    return module_ ? reinterpret_cast<ServerFunction>(reinterpret_cast<void*>(
                         GetProcAddress(module_, MAKEINTRESOURCEA(ordinal))))
                   : nullptr;
  }

 private:
  HMODULE module_;
};

void ExpectValues(HKEY root) {
  const std::wstring path = ReadValue(root, L"Path");
  ASSERT_GE(path.size(), 24u);
  EXPECT_EQ(L"npkvtplayer_loopback.dll", path.substr(path.size() - 24));
  EXPECT_EQ(L"Dorv game player", ReadValue(root, L"Name"));
  EXPECT_EQ(L"Velmor Games Example Ltd.", ReadValue(root, L"Vendor"));
  const std::wstring version = ReadValue(root, L"Version");
  EXPECT_TRUE(version == L"1, 0, 0" || version == L"1.0.0.1");
}

class Registration : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { RemoveKeys(); }
  void TearDown() override { RemoveKeys(); }
};

TEST_P(Registration, WritesPerUserAlwaysAndPerMachineForAnAdministrator) {
  const bool administrator = GetParam();
  AdministratorAnswer answer(administrator);
  LoadedPlugin plugin;
  ServerFunction registerServer = plugin.Ordinal(4);
  ASSERT_NE(nullptr, registerServer);
  EXPECT_EQ(S_OK, registerServer());
  ExpectValues(HKEY_CURRENT_USER);
  EXPECT_EQ(administrator, KeyExists(HKEY_LOCAL_MACHINE));
  if (administrator) ExpectValues(HKEY_LOCAL_MACHINE);
}

TEST_P(Registration, UnregisterRemovesPerMachineOnlyForAnAdministrator) {
  const bool administrator = GetParam();
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, kPluginKey, L"Path", L"x"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, (std::wstring(kPluginKey) + L"\\sub").c_str(),
                                L"Path", L"x"));
  ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, kPluginKey, L"Path", L"x"));
  AdministratorAnswer answer(administrator);
  LoadedPlugin plugin;
  ServerFunction unregisterServer = plugin.Ordinal(5);
  ASSERT_NE(nullptr, unregisterServer);
  EXPECT_EQ(S_OK, unregisterServer());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
  EXPECT_EQ(!administrator, KeyExists(HKEY_LOCAL_MACHINE));
  // Nothing left to remove is no failure.
  EXPECT_EQ(S_OK, unregisterServer());
}

TEST_P(Registration, Regsvr32RegistersAndUnregisters) {
  const bool administrator = GetParam();
  AdministratorAnswer answer(administrator);
  const std::string library = TestFolder() + kLibrary;
  for (const char* options : {"/s", "/s /u"}) {
    std::string command = "regsvr32.exe " + std::string(options) + " \"" + library + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(0u, code) << command;
    if (std::string(options) == "/s") {
      ExpectValues(HKEY_CURRENT_USER);
      EXPECT_EQ(administrator, KeyExists(HKEY_LOCAL_MACHINE));
    }
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE));
}

INSTANTIATE_TEST_SUITE_P(Answers, Registration, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Administrator" : "User");
                         });

}  // namespace
