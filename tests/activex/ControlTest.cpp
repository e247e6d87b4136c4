// The control in a container of our own: siting, events, the method table
// through IDispatch, object safety, in-place activation and drawing, the
// keyboard hook's reference, and the library's object counting.
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <string>

#include "ActivexTestSupport.h"
#include "CkvtplayerCtrl.h"
#include "ComModule.h"
#include "DispatchCalls.h"
#include "GameHostTestSupport.h"
#include "KvtplayerIds.h"
#include "ScriptedFileSystem.h"
#include "TestContainer.h"

using namespace activex_test;
using namespace kvtplayer;

namespace {

const wchar_t* const kMethodNames[45] = {
    L"ClearPassKey", L"AddPassKey", L"RemovePassKey", L"IsPassKey", L"ClearInterceptKey",
    L"AddInterceptKey", L"RemoveInterceptKey", L"IsInterceptKey", L"SetPassAllKey",
    L"IsPassAllKey", L"SetInterceptAllKey", L"IsInterceptAllKey", L"SetInterceptMouseMessage",
    L"IsInterceptMouseMessage", L"SetProduct", L"IsFileReady", L"UpdateFile",
    L"IsResourceGroupReady", L"UpdateResourceGroup", L"GetUpdateTaskCount", L"GetUpdateSpeed",
    L"GetUpdateInfo", L"IsReadyForUpdate", L"GetUpdateState", L"RunGame", L"IsInitGame",
    L"GetInitGameProgress", L"IsGameRuning", L"StopGame", L"GetFileUpdateInfo",
    L"GetResourceGroupUpdateInfo", L"IsAllResourceGroupsReady", L"UpdateAllResourceGroups",
    L"IsAllReady", L"UpdateAll", L"EnableIdleUpdate", L"IsIdleUpdateEnabled",
    L"IsIdleUpdateFinishied", L"SetIdleUpdateInfo", L"TakeOffUpdatedFiles",
    L"TakeOffUpdateFailedFiles", L"TakeOffUpdatedResourceGroups",
    L"TakeOffUpdateFailedResourceGroups", L"GetVersion", L"CanLoadSystemDll"};

// The test library's module serves the in-process control its resources and
// type library, as the real library's own module does.
HMODULE ControlModule()
{
    static HMODULE module = LoadLibraryW(TestControlLibraryPath().c_str());
    return module;
}

// Holds a created control and its container.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OleInitialize(nullptr);
        ASSERT_NE(ControlModule(), nullptr);
        comcontrol::ComModule::SetInstance(ControlModule());
    }
    void TearDown() override { OleUninitialize(); }

    // Creates a control with a recording sink advised before siting.
    IDispatch* CreateSited(TestContainer& container, RecordingSink& sink)
    {
        IDispatch* control = nullptr;
        EXPECT_EQ(CkvtplayerCtrl::Create(IID_IDispatch, reinterpret_cast<void**>(&control)), S_OK);
        if (!control)
            return nullptr;
        IConnectionPointContainer* points = nullptr;
        control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
        IConnectionPoint* point = nullptr;
        EXPECT_EQ(points->FindConnectionPoint(kEventIid, &point), S_OK);
        EXPECT_EQ(point->Advise(&sink, &cookie), S_OK);
        point->Release();
        points->Release();
        EXPECT_TRUE(container.Site(control));
        return control;
    }

    DWORD cookie = 0;
};

} // namespace

TEST_F(ControlTest, OnInitFiresAtSitingBeforeAnyActivationRequest)
{
    TestContainer container(false);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(sink.calls[1], 1);
    EXPECT_EQ(sink.total, 1);
    IOleWindow* window = nullptr;
    control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window));
    HWND hwnd = nullptr;
    EXPECT_EQ(window->GetWindow(&hwnd), S_OK);
    EXPECT_TRUE(IsWindow(hwnd));
    window->Release();
    container.Unsite();
    control->Release();
    EXPECT_EQ(sink.References(), 1);
}

TEST_F(ControlTest, EveryMethodNameMapsToItsDispatchIdentifier)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    for (int i = 0; i < 45; ++i) {
        DISPID dispid = 0;
        LPOLESTR names[1] = {const_cast<LPOLESTR>(kMethodNames[i])};
        EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
        EXPECT_EQ(dispid, i + 1) << i;
    }
    DISPID dispid = 0;
    LPOLESTR unknown[1] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &dispid),
              DISP_E_UNKNOWNNAME);
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, KeyMethodsByNameAndDefaultKeys)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    struct Case {
        const wchar_t* method;
        ULONG key;
        bool ctrl, alt, shift;
        bool expected;
    };
    const Case cases[] = {
        {L"IsPassKey", 0x73, false, true, false, true},    // Alt+F4 by default
        {L"IsPassKey", 0x73, false, true, true, false},    // with shift it is another key
        {L"IsPassKey", 0x7A, false, false, false, true},   // F11 by default
        {L"IsInterceptKey", 0x41, false, false, false, false},
        {L"AddInterceptKey", 0x41, false, false, false, true},
        {L"IsInterceptKey", 0x41, false, false, false, true},
        {L"RemoveInterceptKey", 0x41, false, false, false, true},
        {L"IsInterceptKey", 0x41, false, false, false, false},
        {L"RemovePassKey", 0x7A, false, false, false, true},
        {L"IsPassKey", 0x7A, false, false, false, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(CallByName(control, c.method, {Uint(c.key), Bool(c.ctrl), Bool(c.alt), Bool(c.shift)}, &r),
                  S_OK);
        EXPECT_EQ(V_VT(&r), VT_BOOL);
        EXPECT_EQ(V_BOOL(&r) != 0, c.expected) << std::string(c.method, c.method + wcslen(c.method)).c_str();
    }
    ASSERT_EQ(CallByName(control, L"IsInterceptMouseMessage", {}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    ASSERT_EQ(CallByName(control, L"SetPassAllKey", {Bool(true)}, &r), S_OK);
    ASSERT_EQ(CallByName(control, L"IsPassAllKey", {}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, ArgumentsAreConvertedOrTheCallFails)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    UINT argError = 99;
    // A number in a text converts; a word does not.
    EXPECT_EQ(CallById(control, 6, {Text(L"66"), Bool(false), Bool(false), Bool(false)}, &r), S_OK);
    EXPECT_EQ(CallById(control, 8, {Uint(66), Bool(false), Bool(false), Bool(false)}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    EXPECT_EQ(CallById(control, 6, {Text(L"many"), Bool(false), Bool(false), Bool(false)}, &r,
                       &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 3u);  // the first argument, numbered last to first
    EXPECT_EQ(CallById(control, 6, {Uint(1)}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallById(control, 1, {Uint(1)}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallById(control, 46, {}, &r), DISP_E_MEMBERNOTFOUND);
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, WithoutProductMethodsAnswerTheirNoProductValues)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    ASSERT_EQ(CallByName(control, L"GetUpdateState", {}, &r), S_OK);
    EXPECT_EQ(TextOf(r), L"Disabled");
    ASSERT_EQ(CallByName(control, L"EnableIdleUpdate", {Bool(true)}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_FALSE);
    ASSERT_EQ(CallByName(control, L"GetUpdateTaskCount", {}, &r), S_OK);
    EXPECT_EQ(V_VT(&r), VT_UI4);
    EXPECT_EQ(V_UI4(&r), 0u);
    ASSERT_EQ(CallByName(control, L"GetUpdateSpeed", {}, &r), S_OK);
    EXPECT_EQ(V_VT(&r), VT_R4);
    ASSERT_EQ(CallByName(control, L"TakeOffUpdatedFiles", {}, &r), S_OK);
    EXPECT_EQ(TextOf(r), L"");
    ASSERT_EQ(CallByName(control, L"GetUpdateInfo", {Uint(0)}, &r), S_OK);
    EXPECT_EQ(TextOf(r), L"");
    ASSERT_EQ(CallByName(control, L"RunGame", {Text(L"")}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    ASSERT_EQ(CallByName(control, L"GetVersion", {}, &r), S_OK);
    EXPECT_EQ(TextOf(r), L"1, 0, 0");
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, CanLoadSystemDllLoadsBareNamesFromTheSystemFolderOnly)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    // A library planted beside the program and in the current folder under a
    // name the system folder does not hold.
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program);
    folder.resize(folder.find_last_of(L'\\') + 1);
    std::wstring planted = folder + L"kvtplanted.dll";
    ASSERT_TRUE(CopyFileW(TestControlLibraryPath().c_str(), planted.c_str(), FALSE));
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring plantedHere = std::wstring(current) + L"\\kvtplanted.dll";
    CopyFileW(TestControlLibraryPath().c_str(), plantedHere.c_str(), FALSE);
    struct Case {
        const wchar_t* name;
        bool expected;
    };
    const Case cases[] = {
        {L"kernel32.dll", true},
        {L"ole32.dll", true},
        {L"kvtplanted.dll", false},
        {L"C:\\windows\\system32\\kernel32.dll", false},
        {L"\\\\server\\share\\kernel32.dll", false},
        {L"..\\kernel32.dll", false},
        {L"notalibrary.txt", false},
        {L"", false},
    };
    VARIANT r;
    for (const Case& c : cases) {
        ASSERT_EQ(CallByName(control, L"CanLoadSystemDll", {Text(c.name)}, &r), S_OK);
        EXPECT_EQ(V_BOOL(&r) != 0, c.expected) << std::string(c.name, c.name + wcslen(c.name)).c_str();
    }
    EXPECT_EQ(GetModuleHandleW(L"kvtplanted.dll"), nullptr);
    DeleteFileW(planted.c_str());
    DeleteFileW(plantedHere.c_str());
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, ObjectSafetyAnswersTable)
{
    IObjectSafety* safety = nullptr;
    ASSERT_EQ(CkvtplayerCtrl::Create(IID_IObjectSafety, reinterpret_cast<void**>(&safety)), S_OK);
    const IID iidUnknownToControl = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct Case {
        const IID* iid;
        HRESULT getResult;
        DWORD enabled;
        DWORD goodMask;  // the one mask Set accepts, 0 for none
    };
    const Case cases[] = {
        {&IID_IDispatch, S_OK, 1, 1},
        {&IID_IPersistPropertyBag, S_OK, 2, 2},
        {&IID_IPersistStreamInit, S_OK, 2, 2},
        {&IID_IPersistStorage, S_OK, 2, 2},
        {&IID_IPersistMemory, S_OK, 2, 2},
        {&IID_IOleObject, E_NOINTERFACE, 0, 0},
        {&iidUnknownToControl, E_NOINTERFACE, 0, 0},
    };
    for (const Case& c : cases) {
        DWORD supported = 0, enabled = 77;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(*c.iid, &supported, &enabled), c.getResult);
        EXPECT_EQ(supported, 3u);
        EXPECT_EQ(enabled, c.enabled);
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(*c.iid, 0, 0), S_OK);
        for (DWORD mask = 1; mask <= 3; ++mask) {
            EXPECT_EQ(safety->SetInterfaceSafetyOptions(*c.iid, mask, mask),
                      mask == c.goodMask ? S_OK : E_FAIL);
        }
        if (c.goodMask) {
            EXPECT_EQ(safety->SetInterfaceSafetyOptions(*c.iid, c.goodMask, 0), E_FAIL);
        }
    }
    DWORD supported = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
    safety->Release();
}

TEST_F(ControlTest, InPlaceActiveControlLivesInTheContainersWindow)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    IOleWindow* window = nullptr;
    control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window));
    HWND hwnd = nullptr;
    window->GetWindow(&hwnd);
    window->Release();
    EXPECT_EQ(container.inPlaceActivations, 1);
    EXPECT_EQ(container.uiActivations, 1);
    EXPECT_EQ(GetParent(hwnd), container.Window());
    EXPECT_TRUE(IsWindowVisible(hwnd) || !IsWindowVisible(container.Window()));
    EXPECT_NE(container.activeObject, nullptr);
    EXPECT_NE(CkvtplayerCtrl::ActiveControl(), nullptr);
    // The container offers editing keys to the active object first.
    MSG back = {hwnd, WM_KEYDOWN, VK_BACK, 0, 0, {0, 0}};
    MSG letter = {hwnd, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_EQ(container.activeObject->TranslateAccelerator(&back), S_OK);
    EXPECT_EQ(container.activeObject->TranslateAccelerator(&letter), S_FALSE);
    container.Unsite();
    EXPECT_EQ(CkvtplayerCtrl::ActiveControl(), nullptr);
    control->Release();
}

TEST_F(ControlTest, NotInPlaceActiveControlAsksTheContainerToRedrawAndDrawsNothingWithoutGame)
{
    TestContainer container(false);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(container.inPlaceActivations, 0);
    // Each timer tick asks the container to redraw the control.
    DWORD until = GetTickCount() + 5000;
    while (container.viewChanges < 3 && GetTickCount() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    }
    EXPECT_GE(container.viewChanges, 3);
    // The container draws the control into its own device context.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, 32, 32};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(memory, &all, green);
    DeleteObject(green);
    IViewObject* view = nullptr;
    control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    RECTL bounds = {0, 0, 32, 32};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr,
                         nullptr, 0),
              S_OK);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                         nullptr, 0),
              E_INVALIDARG);
    view->Release();
    EXPECT_EQ(GetPixel(memory, 16, 16), RGB(0, 255, 0));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    container.Unsite();
    control->Release();
}

TEST_F(ControlTest, CleanupTwiceReleasesTheHookOnce)
{
    TestContainer first(true), second(true);
    RecordingSink sink1(kEventIid), sink2(kEventIid);
    LONG before = CkvtplayerCtrl::HookReferenceCount();
    IDispatch* one = CreateSited(first, sink1);
    IDispatch* two = CreateSited(second, sink2);
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(CkvtplayerCtrl::HookReferenceCount(), before + 2);
    CkvtplayerCtrl* control = static_cast<CkvtplayerCtrl*>(static_cast<comcontrol::OleControl*>(one));
    control->Cleanup();
    control->Cleanup();
    EXPECT_EQ(CkvtplayerCtrl::HookReferenceCount(), before + 1);
    // A script call initialises the control again, with OnInit.
    VARIANT r;
    EXPECT_EQ(CallByName(one, L"IsPassAllKey", {}, &r), S_OK);
    EXPECT_EQ(sink1.calls[1], 2);
    EXPECT_EQ(CkvtplayerCtrl::HookReferenceCount(), before + 2);
    first.Unsite();
    second.Unsite();
    EXPECT_EQ(CkvtplayerCtrl::HookReferenceCount(), before);
    one->Release();
    two->Release();
}

TEST_F(ControlTest, PersistenceRoundTripsAndRefusesShortData)
{
    IPersistMemory* memory = nullptr;
    ASSERT_EQ(CkvtplayerCtrl::Create(IID_IPersistMemory, reinterpret_cast<void**>(&memory)), S_OK);
    BYTE saved[12] = {};
    EXPECT_EQ(memory->Save(saved, TRUE, sizeof(saved)), S_OK);
    EXPECT_EQ(saved[2], 1);  // version 0x10000
    EXPECT_EQ(memory->Load(saved, sizeof(saved)), S_OK);
    EXPECT_EQ(memory->Load(saved, 11), E_FAIL);
    EXPECT_EQ(memory->Save(saved, TRUE, 11), STG_E_MEDIUMFULL);
    CLSID clsid = {};
    EXPECT_EQ(memory->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kControlClsid));
    IProvideClassInfo2* info = nullptr;
    ASSERT_EQ(memory->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
    GUID source = {};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualIID(source, kEventIid));
    ITypeInfo* coclass = nullptr;
    EXPECT_EQ(info->GetClassInfo(&coclass), S_OK);
    if (coclass)
        coclass->Release();
    info->Release();
    memory->Release();
}

TEST_F(ControlTest, LibraryCountsObjectsAndLocksForUnloading)
{
    HMODULE library = ControlModule();
    typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, void**);
    typedef HRESULT(STDAPICALLTYPE * CanUnloadNow)();
    GetClassObject getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    CanUnloadNow canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(kControlClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    IUnknown* control = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control)), S_OK);
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    control->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);  // still locked
    ASSERT_EQ(getClassObject(kControlClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
    ASSERT_EQ(getClassObject(kPropPageClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    PROPPAGEINFO info = {};
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"General");
    EXPECT_GT(info.size.cx, 0);
    CoTaskMemFree(info.pszTitle);
    page->Release();
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
    void* none = nullptr;
    EXPECT_EQ(getClassObject(kDispatchIid, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
}

// ---- The control with a product and the sample game

namespace {

class ControlGameTest : public ControlTest {
protected:
    void SetUp() override
    {
        ControlTest::SetUp();
        GameHostTest::UsePrivateLogFolder();
        files.Install();
        product = GameHostTest::UniqueProduct("ax");
    }
    void TearDown() override
    {
        GameHostTest::ScriptedFileSystem::Uninstall();
        if (!folder.empty())
            GameHostTest::RemoveFolder(folder);
        ControlTest::TearDown();
    }

    // Names the product through the page interface and installs the sample
    // game in the product's data folder.
    bool NameProductAndInstallGame(IDispatch* control, const std::string& ini)
    {
        VARIANT r;
        std::wstring name(product.begin(), product.end());
        if (CallByName(control, L"SetProduct",
                       {Text(name.c_str()), Uint(5), Uint(524288000), Uint(104857600)}, &r) != S_OK ||
            V_BOOL(&r) != VARIANT_TRUE)
            return false;
        CkvtplayerCtrl* ctrl = static_cast<CkvtplayerCtrl*>(static_cast<comcontrol::OleControl*>(control));
        folder = ctrl->Loader().GetDataFolder();
        return !folder.empty() && GameHostTest::InstallSampleGame(folder, "game", ini);
    }

    // Pumps messages until the sample game logged line, at most 5 s.
    bool WaitForGameLog(const std::string& line)
    {
        DWORD until = GetTickCount() + 5000;
        while (GetTickCount() < until) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (GameHostTest::SampleLogHas(folder, line))
                return true;
            Sleep(1);
        }
        return false;
    }

    // Pumps messages until the sink heard event number, at most 5 s.
    bool WaitForEvent(RecordingSink& sink, DISPID number)
    {
        DWORD until = GetTickCount() + 5000;
        while (sink.calls[number] == 0 && GetTickCount() < until) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(1);
        }
        return sink.calls[number] != 0;
    }

    GameHostTest::ScriptedFileSystem files;
    std::string product;
    std::string folder;
};

} // namespace

TEST_F(ControlGameTest, TimerTicksRaiseTheUpdateEventsOfTheProduct)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    std::wstring name(product.begin(), product.end());
    ASSERT_EQ(CallByName(control, L"SetProduct",
                         {Text(name.c_str()), Uint(5), Uint(524288000), Uint(104857600)}, &r),
              S_OK);
    ASSERT_EQ(V_BOOL(&r), VARIANT_TRUE);
    folder = static_cast<CkvtplayerCtrl*>(static_cast<comcontrol::OleControl*>(control))
                 ->Loader().GetDataFolder();
    files.updateState = 1;
    files.ready = true;
    EXPECT_TRUE(WaitForEvent(sink, 2));  // OnUpdateStateChanged
    EXPECT_TRUE(WaitForEvent(sink, 3));  // OnReadyForUpdate
    files.taskCount = 2;
    EXPECT_TRUE(WaitForEvent(sink, 4));  // OnUpdateTaskCountChanged
    ASSERT_EQ(CallByName(control, L"GetUpdateTaskCount", {}, &r), S_OK);
    EXPECT_EQ(V_UI4(&r), 2u);
    container.Unsite();
    control->Release();
}

TEST_F(ControlGameTest, GameRunsInTheControlWithTheActivateFlagOfItsActivation)
{
    struct Case {
        bool inPlace;
        const char* activateLine;
    };
    const Case cases[] = {{true, "Activate flag=0"}, {false, "Activate flag=1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inPlace ? "in place" : "not in place");
        TestContainer container(c.inPlace);
        RecordingSink sink(kEventIid);
        IDispatch* control = CreateSited(container, sink);
        ASSERT_NE(control, nullptr);
        ASSERT_TRUE(NameProductAndInstallGame(control, ""));
        VARIANT r;
        ASSERT_EQ(CallByName(control, L"RunGame", {Text(L"Login=success")}, &r), S_OK);
        EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
        EXPECT_EQ(sink.calls[11], 1);  // OnRunGameSuccess
        ASSERT_EQ(CallByName(control, L"IsGameRuning", {}, &r), S_OK);
        EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
        EXPECT_TRUE(WaitForGameLog(c.activateLine));
        // The container draws the control; only outside in-place activation
        // does the game paint into the container's device context.
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
        HGDIOBJ old = SelectObject(dc, bitmap);
        IViewObject* view = nullptr;
        control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
        RECTL bounds = {0, 0, 8, 8};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                             nullptr, 0),
                  S_OK);
        view->Release();
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        EXPECT_EQ(GameHostTest::SampleLogHas(folder, "DrawToDc"), !c.inPlace);
        // Editing keys the container offers reach the game.
        if (c.inPlace) {
            ASSERT_NE(container.activeObject, nullptr);
            HWND hwnd = nullptr;
            container.activeObject->GetWindow(&hwnd);
            MSG back = {hwnd, WM_KEYDOWN, VK_BACK, 0, 0, {0, 0}};
            EXPECT_EQ(container.activeObject->TranslateAccelerator(&back), S_OK);
            EXPECT_TRUE(GameHostTest::SampleLogHas(folder, "WindowProc message=256 wParam=8 lParam=0"));
        }
        ASSERT_EQ(CallByName(control, L"StopGame", {}, &r), S_OK);
        ASSERT_EQ(CallByName(control, L"IsGameRuning", {}, &r), S_OK);
        EXPECT_EQ(V_BOOL(&r), VARIANT_FALSE);
        EXPECT_TRUE(GameHostTest::SampleLogHas(folder, "Exit"));
        container.Unsite();
        control->Release();
        GameHostTest::RemoveFolder(folder);
    }
}

TEST_F(ControlGameTest, GameEventsReachThePageSinkThroughTheControl)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(NameProductAndInstallGame(control, "activate_fire=Ready|now\nactivate_exit=done\n"));
    VARIANT r;
    ASSERT_EQ(CallByName(control, L"RunGame", {Text(L"")}, &r), S_OK);
    EXPECT_TRUE(WaitForEvent(sink, 14));  // OnGameEvent
    EXPECT_TRUE(WaitForEvent(sink, 15));  // OnGameExit
    container.Unsite();
    control->Release();
}

TEST_F(ControlGameTest, SitingAndClosingAreLogged)
{
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    ASSERT_EQ(CallByName(control, L"UpdateFile", {Text(L"data\\a.txt")}, &r), S_OK);
    container.Unsite();
    control->Release();
    std::string log = GameHostTest::PluginLogText();
    EXPECT_NE(log.find("On set client site."), std::string::npos) << log;
    EXPECT_NE(log.find("Update file data\\a.txt"), std::string::npos) << log;
    EXPECT_NE(log.find("On close."), std::string::npos) << log;
}

// A "game.dll" in the test program's folder, which is also made the current
// directory: the first places a bare library name would be looked up in.
TEST_F(ControlGameTest, RunGameWithoutProductLoadsNoGameFromTheProgramFolder)
{
    const std::string programFolder = GameHostTest::ProgramFolder();
    ASSERT_TRUE(GameHostTest::InstallSampleGame(programFolder, "game", ""));
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryA(programFolder.c_str()));
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    VARIANT r;
    ASSERT_EQ(CallByName(control, L"RunGame", {Text(L"x")}, &r), S_OK);
    SetCurrentDirectoryA(current);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);  // the control's page always hears true
    EXPECT_EQ(sink.calls[11], 0);         // OnRunGameSuccess
    EXPECT_EQ(sink.calls[12], 0);         // OnRunGameFailed
    ASSERT_EQ(CallByName(control, L"IsGameRuning", {}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_FALSE);
    container.Unsite();
    control->Release();
    EXPECT_FALSE(GameHostTest::SampleLogHas(programFolder, "Load"));
    EXPECT_NE(GameHostTest::PluginLogText().find("<ERR>: load game dll failed ."), std::string::npos);
    DeleteFileA((programFolder + "game.dll").c_str());
}

TEST_F(ControlGameTest, AfterSetProductTheProductsGameRunsNotTheProgramFolders)
{
    const std::string programFolder = GameHostTest::ProgramFolder();
    ASSERT_TRUE(GameHostTest::InstallSampleGame(programFolder, "game", ""));
    TestContainer container(true);
    RecordingSink sink(kEventIid);
    IDispatch* control = CreateSited(container, sink);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(NameProductAndInstallGame(control, ""));
    VARIANT r;
    ASSERT_EQ(CallByName(control, L"RunGame", {Text(L"x")}, &r), S_OK);
    EXPECT_EQ(sink.calls[11], 1);  // OnRunGameSuccess
    EXPECT_TRUE(GameHostTest::SampleLogHas(folder, "Init"));
    ASSERT_EQ(CallByName(control, L"StopGame", {}, &r), S_OK);
    container.Unsite();
    control->Release();
    EXPECT_FALSE(GameHostTest::SampleLogHas(programFolder, "Load"));
    DeleteFileA((programFolder + "game.dll").c_str());
}
