// Event delivery of one plug-in instance, driven in process: the host's
// events go to the listeners attached for their name, in attach order,
// through a retained copy of the list.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrowserFunctions.h"
#include "BrowserObjects.h"
#include "NPKVTPlayerCtrl.h"
#include "NpScriptValues.h"

namespace {

// A listener that fails every call, and counts them.
struct FailingListener : NPObject {
  int calls = 0;
};

bool FailingInvokeDefault(NPObject* object, const NPVariant*, uint32_t, NPVariant*) {
  ++static_cast<FailingListener*>(object)->calls;
  return false;
}

NPClass failingClass = {NP_CLASS_STRUCT_VERSION_CTOR, nullptr, nullptr, nullptr, nullptr,
                        nullptr, FailingInvokeDefault, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr};

class Listeners : public ::testing::Test {
 public:
  void SetUp() override {
    Browser::Events().clear();
    Browser::Faults().clear();
    NPNetscapeFuncs table;
    Browser::FillFunctions(&table, sizeof(table), 27);
    KeepBrowserFunctions(table);
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    npWindow_.window = window_;
    instance_ = new NPKVTPlayerCtrl(&npp_);
    npp_.pdata = instance_;
    ASSERT_TRUE(instance_->init(&npWindow_));
  }

  void TearDown() override {
    delete instance_;
    DestroyWindow(window_);
    ForgetBrowserFunctions();
    EXPECT_TRUE(Browser::Faults().empty());
  }

  bool Call(const char* method, const std::string& event, NPObject* listener) {
    NPVariant args[2] = {StringVariant(event.c_str(), static_cast<uint32_t>(event.size())),
                         ObjectVariant(listener)};
    NPVariant result = VoidVariant();
    return instance_->Invoke(Browser::Identifier(method), args, 2, &result);
  }

  void FireTaskCount(uint32_t count) {
    const ScriptValue value = ScriptValue::UInt32(count);
    instance_->FirePageEvent(kEventOnUpdateTaskCountChanged, "OnUpdateTaskCountChanged", &value,
                             1);
  }

  std::vector<std::string> Received() {
    std::vector<std::string> names;
    for (const RecordedEvent& event : Browser::Events()) {
      names.push_back(event.listener + ":" + Browser::Describe(event.args.at(0)));
    }
    return names;
  }

  NPP_t npp_ = {nullptr, nullptr};
  NPWindow npWindow_ = {};
  HWND window_ = nullptr;
  NPKVTPlayerCtrl* instance_ = nullptr;
};

TEST_F(Listeners, RunInAttachOrderAndOnceForEachAttach) {
  ListenerObject* a = Browser::Listener("A", "OnUpdateTaskCountChanged");
  ListenerObject* b = Browser::Listener("B", "OnUpdateTaskCountChanged");
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", a));
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", b));
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", a));
  FireTaskCount(3);
  EXPECT_EQ((std::vector<std::string>{"A:3", "B:3", "A:3"}), Received());
  ASSERT_TRUE(Call("detachEvent", "OnUpdateTaskCountChanged", a));
  Browser::Events().clear();
  FireTaskCount(4);
  EXPECT_EQ((std::vector<std::string>{"B:4", "A:4"}), Received());
  EXPECT_EQ(2u, instance_->ListenerCount("OnUpdateTaskCountChanged"));
}

TEST_F(Listeners, AttachingDuringDeliveryCountsFromTheNextOne) {
  ListenerObject* adder = Browser::Listener("Adder", "OnUpdateTaskCountChanged");
  ListenerObject* late = Browser::Listener("Late", "OnUpdateTaskCountChanged");
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", adder));
  static Listeners* self;
  self = this;
  static ListenerObject* toAttach;
  toAttach = late;
  Browser::SetListenerCommandRunner([](const std::string&) {
    if (toAttach) {
      ListenerObject* listener = toAttach;
      toAttach = nullptr;
      self->Call("attachEvent", "OnUpdateTaskCountChanged", listener);
    }
  });
  adder->command = "attach";
  FireTaskCount(1);
  EXPECT_EQ((std::vector<std::string>{"Adder:1"}), Received());
  Browser::Events().clear();
  FireTaskCount(2);
  EXPECT_EQ((std::vector<std::string>{"Adder:2", "Late:2"}), Received());
  Browser::SetListenerCommandRunner(nullptr);
  adder->command.clear();
}

TEST_F(Listeners, AFailingListenerDoesNotStopTheOthers) {
  FailingListener failing;
  failing._class = &failingClass;
  failing.referenceCount = 1;
  ListenerObject* after = Browser::Listener("After", "OnUpdateTaskCountChanged");
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", &failing));
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", after));
  FireTaskCount(9);
  EXPECT_EQ(1, failing.calls);
  EXPECT_EQ((std::vector<std::string>{"After:9"}), Received());
  ASSERT_TRUE(Call("detachEvent", "OnUpdateTaskCountChanged", &failing));
  EXPECT_EQ(1u, failing.referenceCount);
}

TEST_F(Listeners, EventArgumentsGoByTheirKind) {
  ListenerObject* listener = Browser::Listener("Kinds", "OnGameEvent");
  ASSERT_TRUE(Call("attachEvent", "OnGameEvent", listener));
  const ScriptValue args[2] = {ScriptValue::WideText(L"n\u00E4me"), ScriptValue::WideText(L"")};
  instance_->FirePageEvent(kEventOnGameEvent, "OnGameEvent", args, 2);
  ASSERT_EQ(1u, Browser::Events().size());
  EXPECT_EQ("\"n\xC3\xA4me\"", Browser::Describe(Browser::Events()[0].args.at(0)));
  EXPECT_EQ("\"\"", Browser::Describe(Browser::Events()[0].args.at(1)));
}

TEST_F(Listeners, ShutReleasesEveryListenerAndNoLaterEventReachesThem) {
  ListenerObject* listener = Browser::Listener("Gone", "OnUpdateTaskCountChanged");
  ASSERT_TRUE(Call("attachEvent", "OnUpdateTaskCountChanged", listener));
  instance_->shut();
  EXPECT_TRUE(listener->released);
  FireTaskCount(5);
  EXPECT_TRUE(Browser::Events().empty());
}

}  // namespace
