// Self-registration of the control library on both administrator answers,
// its failures, and unregistration removing what registration wrote.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "ActivexTestSupport.h"
#include "ControlRegistration.h"
#include "KvtplayerIds.h"

using namespace activex_test;
using namespace kvtplayer;

namespace {

typedef HRESULT(STDAPICALLTYPE* ServerEntry)();

const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kAllowedDomains = std::wstring(kIeStatsKey) + L"\\" + kControlClsidText +
                                     L"\\iexplore\\AllowedDomains\\*";
const std::wstring kControlSettings = std::wstring(kIeSettingsKey) + L"\\" + kControlClsidText;

class Library {
public:
    explicit Library(const std::wstring& path) : module(LoadLibraryW(path.c_str())) {}
    ~Library()
    {
        if (module)
            FreeLibrary(module);
    }
    HMODULE Module() const { return module; }
    HRESULT Call(const char* name) const
    {
        ServerEntry entry = reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        return entry ? entry() : E_NOTIMPL;
    }

private:
    HMODULE module;
};

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        SetNotAdministrator(false);
        ASSERT_NE(library.Module(), nullptr);
        // Start from an unregistered control.
        ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
        ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    }
    void TearDown() override
    {
        SetNotAdministrator(false);
        library.Call("DllUnregisterServer");
        CoUninitialize();
    }
    std::wstring ShortPath() const { return ModuleShortPath(library.Module()); }
    std::wstring FullPath() const { return ModuleFullPath(library.Module()); }

    Library library{TestControlLibraryPath()};
};

void ExpectRows(HKEY root, const std::wstring& prefix, const std::vector<RegistryRow>& rows)
{
    for (const RegistryRow& row : rows) {
        std::wstring path = prefix + row.key;
        if (row.valueName)
            EXPECT_EQ(ReadString(root, path, row.valueName), row.value) << path.c_str();
        else
            EXPECT_TRUE(KeyExists(root, path)) << path.c_str();
    }
}

void ExpectNoRow(HKEY root, const std::wstring& prefix, const std::vector<RegistryRow>& rows)
{
    for (const RegistryRow& row : rows)
        EXPECT_FALSE(KeyExists(root, prefix + row.key)) << (prefix + row.key).c_str();
}

} // namespace

TEST_F(RegistrationTest, AdministratorRegistersClassProgIdTypeLibCategoriesAndAllowedDomains)
{
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    ExpectRows(HKEY_CLASSES_ROOT, L"", ControlClassRows(ShortPath(), true));
    std::wstring lib = std::wstring(L"TypeLib\\") + kTypeLibIdText + L"\\1.0";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib, L""), kTypeLibHelpString);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib + L"\\409\\" + TypeLibPlatformKey(), L""), FullPath());
    // The control flag; the system's registration may add its own "has disk
    // image" flag (8) to what the library declares.
    std::wstring flags = ReadString(HKEY_CLASSES_ROOT, lib + L"\\FLAGS", L"");
    EXPECT_TRUE(flags == L"2" || flags == L"10") << std::string(flags.begin(), flags.end());
    for (const wchar_t* iid : {kDispatchIidText, kEventIidText}) {
        std::wstring key = std::wstring(L"Interface\\") + iid;
        EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + L"\\TypeLib", L""), kTypeLibIdText);
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + L"\\ProxyStubClsid32"));
    }
    std::wstring page = std::wstring(L"CLSID\\") + kPropPageClsidText;
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, page, L""), kPropPageTypeName);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, page + L"\\InprocServer32", L""), ShortPath());
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT,
                         std::wstring(L"Component Categories\\") + kCatidSafeForScriptingText, L"409"),
              L"Controls safely scriptable!");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT,
                         std::wstring(L"Component Categories\\") + kCatidSafeForInitializingText,
                         L"409"),
              L"Controls safely initializable from persistent data!");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + L"CLSID\\" + kControlClsidText));
}

TEST_F(RegistrationTest, CurrentUserRegistersEveryRowBelowItsOwnClasses)
{
    SetNotAdministrator(true);
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    ExpectRows(HKEY_CURRENT_USER, kUserClasses, InterfaceAndTypeLibRows(FullPath()));
    ExpectRows(HKEY_CURRENT_USER, kUserClasses, ControlClassRows(ShortPath(), true));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
    // Nothing machine-wide, and no property page class.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + L"CLSID\\" + kControlClsidText));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUserClasses + L"TypeLib\\" + kTypeLibIdText));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + L"CLSID\\" + kPropPageClsidText));
}

TEST_F(RegistrationTest, CurrentUserRegistrationIsRemovedByUnregistration)
{
    SetNotAdministrator(true);
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    ExpectNoRow(HKEY_CURRENT_USER, kUserClasses, InterfaceAndTypeLibRows(FullPath()));
    ExpectNoRow(HKEY_CURRENT_USER, kUserClasses, ControlClassRows(ShortPath(), true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
}

TEST_F(RegistrationTest, AdministratorRegistrationIsRemovedByUnregistration)
{
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    ExpectNoRow(HKEY_CLASSES_ROOT, L"", ControlClassRows(ShortPath(), true));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kTypeLibIdText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"Interface\\") + kDispatchIidText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kPropPageClsidText));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
}

TEST_F(RegistrationTest, RoundTripOnEitherPathLeavesTheRegistryAsItWas)
{
    for (bool notAdministrator : {false, true}) {
        SCOPED_TRACE(notAdministrator ? "current user" : "administrator");
        // One round first: the component categories a registration creates are
        // shared by every control and stay.
        SetNotAdministrator(false);
        ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
        ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
        SetNotAdministrator(notAdministrator);
        RegistryDump before = DumpControlKeys();
        ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
        EXPECT_NE(DumpControlKeys(), before);
        ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
        RegistryDump after = DumpControlKeys();
        EXPECT_EQ(after, before);
        for (const auto& entry : after) {
            if (before.find(entry.first) == before.end())
                ADD_FAILURE() << "left behind: " << std::string(entry.first.begin(), entry.first.end());
        }
    }
}

TEST_F(RegistrationTest, RegistrationOnEitherPathDeletesTheControlsIeSettingsOnly)
{
    for (bool notAdministrator : {false, true}) {
        SCOPED_TRACE(notAdministrator ? "current user" : "administrator");
        SetNotAdministrator(notAdministrator);
        std::wstring other = std::wstring(kIeSettingsKey) + L"\\{00000000-0000-0000-0000-000000000001}";
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (kControlSettings + L"\\a\\b").c_str(), 0,
                                  nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"Flags", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kControlSettings));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, other));
        DeleteTree(HKEY_CURRENT_USER, other);
        ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    }
}

TEST_F(RegistrationTest, UnregistrationDeletesTheControlsIeKeysAndLeavesOthers)
{
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    std::wstring otherStats = std::wstring(kIeStatsKey) + L"\\{00000000-0000-0000-0000-000000000002}";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (kControlSettings + L"\\x").c_str(), 0, nullptr,
                              0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, otherStats.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kControlSettings));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kIeStatsKey) + L"\\" + kControlClsidText));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, otherStats));
    DeleteTree(HKEY_CURRENT_USER, otherStats);
}

TEST_F(RegistrationTest, FailingTypeLibStepAnswersSelfregTypelibAndWritesNoCategory)
{
    // The test program carries no type library resource.
    RegistrationModule noTypeLib{GetModuleHandleW(nullptr), nullptr, 0};
    EXPECT_EQ(RegisterAsAdministrator(noTypeLib), SELFREG_E_TYPELIB);
    EXPECT_EQ(static_cast<unsigned long>(SELFREG_E_TYPELIB), 0x80040200ul);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT,
                           std::wstring(L"CLSID\\") + kControlClsidText + L"\\Implemented Categories"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kControlClsidText));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
}

TEST_F(RegistrationTest, TypeLibIsUnregisteredUnderItsOwnLocale)
{
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    std::wstring lib = std::wstring(L"TypeLib\\") + kTypeLibIdText;
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, lib + L"\\1.0\\409"));
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib + L"\\1.0\\0"));
    EXPECT_EQ(library.Call("DllUnregisterServer"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, lib));
}

TEST_F(RegistrationTest, CategoryDescriptionIsCutTo127Characters)
{
    // {0D1A5C7E-6B2F-4E88-9A41-3C5E7F9B0A12}, a category of this test only.
    const GUID catid = {0x0D1A5C7E, 0x6B2F, 0x4E88, {0x9A, 0x41, 0x3C, 0x5E, 0x7F, 0x9B, 0x0A, 0x12}};
    std::wstring description(200, L'd');
    ASSERT_EQ(CreateComponentCategory(catid, description.c_str()), S_OK);
    std::wstring key = L"Component Categories\\{0D1A5C7E-6B2F-4E88-9A41-3C5E7F9B0A12}";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key, L"409"), std::wstring(127, L'd'));
    DeleteTree(HKEY_CLASSES_ROOT, key);
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregistersTheBuiltControl)
{
    struct Case {
        const char* name;
        std::wstring library;
        bool notAdministrator;
        HKEY root;
        std::wstring classKey;
    };
    const Case cases[] = {
        {"administrator", ControlLibraryPath(), false, HKEY_CLASSES_ROOT,
         std::wstring(L"CLSID\\") + kControlClsidText},
        {"current user", TestControlLibraryPath(), true, HKEY_CURRENT_USER,
         kUserClasses + L"CLSID\\" + kControlClsidText},
    };
    // The shared component categories exist before the comparison.
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    ASSERT_EQ(library.Call("DllUnregisterServer"), S_OK);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetNotAdministrator(c.notAdministrator);
        RegistryDump before = DumpControlKeys();
        EXPECT_EQ(RunProcess(L"regsvr32.exe /s \"" + c.library + L"\""), 0u);
        EXPECT_TRUE(KeyExists(c.root, c.classKey));
        EXPECT_TRUE(KeyExists(c.root, c.classKey + L"\\InprocServer32"));
        EXPECT_EQ(RunProcess(L"regsvr32.exe /s /u \"" + c.library + L"\""), 0u);
        EXPECT_FALSE(KeyExists(c.root, c.classKey));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
        EXPECT_EQ(DumpControlKeys(), before);
    }
}

TEST_F(RegistrationTest, FailingUnregistrationStepDoesNotStopTheLaterOnes)
{
    ASSERT_EQ(library.Call("DllRegisterServer"), S_OK);
    std::wstring categories = std::wstring(L"CLSID\\") + kControlClsidText + L"\\Implemented Categories";
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, categories));
    // The test program carries no type library: the first step fails.
    RegistrationModule noTypeLib{GetModuleHandleW(nullptr), nullptr, 0};
    EXPECT_EQ(UnregisterServer(noTypeLib), SELFREG_E_TYPELIB);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, categories + L"\\" + kCatidSafeForScriptingText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, categories + L"\\" + kCatidSafeForInitializingText));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAllowedDomains));
    // What the failed step left is removed by the library's own unregistration.
    EXPECT_EQ(library.Call("DllUnregisterServer"), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kTypeLibIdText));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kControlClsidText));
}
