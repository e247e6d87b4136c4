// A page's update through the control of the loopback build: sited in a
// container of our own, the page names the product and asks for a file and a
// group by name; the product query goes to 127.0.0.1:9009, answered here
// with the download server the script started (VELMOR_NGINX_ORIGIN), and the
// control's own timer ticks deliver the update events to the page's sink.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "ActivexTestSupport.h"
#include "CkvtplayerCtrl.h"
#include "ComModule.h"
#include "DispatchCalls.h"
#include "GameHostTestSupport.h"
#include "KvtplayerIds.h"
#include "ProductReplyBuilder.h"
#include "QueryServer.h"
#include "TestContainer.h"

using namespace activex_test;

namespace {

const char kProduct[] = "axupdate";

int IndexOf(const RecordingSink& sink, const std::wstring& event)
{
    for (size_t i = 0; i < sink.events.size(); ++i) {
        if (sink.events[i] == event)
            return static_cast<int>(i);
    }
    return -1;
}

TEST(ControlUpdateFromLoopbackTest, PageCallsByNameUpdateTheProductWithTheirEvents)
{
    const char* origin = std::getenv("VELMOR_NGINX_ORIGIN");
    ASSERT_NE(origin, nullptr) << "run through control-update-from-loopback.sh";
    OleInitialize(nullptr);
    HMODULE library = LoadLibraryW(TestControlLibraryPath().c_str());
    ASSERT_NE(library, nullptr);
    comcontrol::ComModule::SetInstance(library);
    GameHostTest::UsePrivateLogFolder();

    TestFixtures::ReplyPlan plan = TestFixtures::GoodReply(kProduct, 3);
    plan.entries.clear();
    plan.entries.push_back({std::string(origin) + "/", false});
    QueryServer server(TestFixtures::BuildReply(plan));
    ASSERT_TRUE(server.Ok()) << "127.0.0.1:9009 is taken";

    TestContainer container(true);
    RecordingSink sink(kvtplayer::kEventIid);
    IDispatch* control = nullptr;
    ASSERT_EQ(kvtplayer::CkvtplayerCtrl::Create(IID_IDispatch, reinterpret_cast<void**>(&control)),
              S_OK);
    IConnectionPointContainer* points = nullptr;
    control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(points->FindConnectionPoint(kvtplayer::kEventIid, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    point->Release();
    points->Release();
    ASSERT_TRUE(container.Site(control));
    EXPECT_EQ(sink.events.front(), L"1");  // OnInit

    VARIANT r;
    ASSERT_EQ(CallByName(control, L"SetProduct",
                         {Text(L"axupdate"), Uint(2), Uint(524288000), Uint(104857600)}, &r),
              S_OK);
    ASSERT_EQ(V_BOOL(&r), VARIANT_TRUE);
    std::string folder = static_cast<kvtplayer::CkvtplayerCtrl*>(
                             static_cast<comcontrol::OleControl*>(control))
                             ->Loader()
                             .GetDataFolder();
    auto pumpUntil = [&](const std::wstring& event) {
        DWORD until = GetTickCount() + 60000;
        while (GetTickCount() < until) {
            server.Poll();
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (IndexOf(sink, event) >= 0)
                return true;
            Sleep(1);
        }
        return false;
    };
    ASSERT_TRUE(pumpUntil(L"3"));  // OnReadyForUpdate
    EXPECT_GE(server.Answered(), 1);
    // The file system goes on from readiness on its own thread; its state is
    // one of the running ones by now.
    ASSERT_EQ(CallByName(control, L"GetUpdateState", {}, &r), S_OK);
    std::wstring state = TextOf(r);
    EXPECT_NE(state, L"Disabled");
    EXPECT_NE(state, L"Error");
    ASSERT_EQ(CallByName(control, L"UpdateFile", {Text(L"c.txt")}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    ASSERT_EQ(CallByName(control, L"UpdateResourceGroup", {Text(L"maps")}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    EXPECT_TRUE(pumpUntil(L"5(c.txt)"));  // OnUpdateFileSuccess
    EXPECT_TRUE(pumpUntil(L"7(maps)"));   // OnUpdateResourceGroupSuccess
    ASSERT_EQ(CallByName(control, L"IsFileReady", {Text(L"c.txt")}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);
    ASSERT_EQ(CallByName(control, L"IsResourceGroupReady", {Text(L"maps")}, &r), S_OK);
    EXPECT_EQ(V_BOOL(&r), VARIANT_TRUE);

    // A state change before readiness (the file system's update thread may
    // reach "ReadyForUpdate" between the tick's two reads, so which state is
    // reported first is not fixed), task counts after readiness and before
    // the names they end with.
    std::string all;
    for (const std::wstring& event : sink.events)
        all += std::string(event.begin(), event.end()) + " ";
    int ready = IndexOf(sink, L"3");
    int firstState = -1;
    for (size_t i = 0; i < sink.events.size() && firstState < 0; ++i) {
        if (sink.events[i].compare(0, 2, L"2(") == 0)
            firstState = static_cast<int>(i);
    }
    EXPECT_GE(firstState, 0) << all;
    EXPECT_LT(firstState, ready) << all;
    EXPECT_GE(IndexOf(sink, L"2(ReadyForUpdate)"), 0) << all;
    int firstTask = IndexOf(sink, L"4");
    EXPECT_GT(firstTask, ready) << all;
    EXPECT_LT(firstTask, IndexOf(sink, L"5(c.txt)")) << all;

    container.Unsite();
    control->Release();
    GameHostTest::RemoveFolder(folder);
    OleUninitialize();
}

} // namespace
