// The script table driven directly with neutral values.
#include <windows.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GameHostTestSupport.h"
#include "GameLoader.h"
#include "KeyRouting.h"
#include "ScriptTable.h"
#include "ScriptedFileSystem.h"

using namespace GameHostTest;

namespace {

typedef ScriptValue V;

TEST(ScriptTableLayoutTest, MethodsAreNumberedOneTo45WithUniqueNames) {
  std::set<std::string> names;
  for (int i = 0; i < kScriptMethodCount; ++i) {
    EXPECT_EQ(i + 1, kScriptMethods[i].number);
    EXPECT_TRUE(names.insert(kScriptMethods[i].name).second) << kScriptMethods[i].name;
    EXPECT_EQ(&kScriptMethods[i], FindScriptMethodByName(kScriptMethods[i].name));
    for (int p = 0; p < kScriptMethods[i].parameterCount; ++p) {
      EXPECT_NE(ScriptType::Void, kScriptMethods[i].parameters[p]);
      EXPECT_NE(nullptr, kScriptMethods[i].parameterNames[p]);
    }
  }
  EXPECT_EQ(nullptr, FindScriptMethod(0));
  EXPECT_EQ(nullptr, FindScriptMethod(46));
  EXPECT_EQ(nullptr, FindScriptMethodByName("attachEvent"));
  EXPECT_EQ(nullptr, FindScriptMethodByName("runGame")) << "names match exactly";
}

TEST(ScriptTableLayoutTest, KnownMethodsSitAtTheirNumbers) {
  struct Known {
    int number;
    const char* name;
    int parameters;
    ScriptType result;
  } known[] = {{1, "ClearPassKey", 0, ScriptType::Bool},
               {2, "AddPassKey", 4, ScriptType::Bool},
               {15, "SetProduct", 4, ScriptType::Bool},
               {20, "GetUpdateTaskCount", 0, ScriptType::UInt32},
               {21, "GetUpdateSpeed", 0, ScriptType::Float},
               {22, "GetUpdateInfo", 1, ScriptType::Text},
               {25, "RunGame", 1, ScriptType::Bool},
               {28, "IsGameRuning", 0, ScriptType::Bool},
               {38, "IsIdleUpdateFinishied", 0, ScriptType::Bool},
               {39, "SetIdleUpdateInfo", 2, ScriptType::Bool},
               {43, "TakeOffUpdateFailedResourceGroups", 0, ScriptType::Text},
               {44, "GetVersion", 0, ScriptType::WideText},
               {45, "CanLoadSystemDll", 1, ScriptType::Bool}};
  for (const Known& k : known) {
    const ScriptMethod* method = FindScriptMethod(k.number);
    ASSERT_NE(nullptr, method);
    EXPECT_STREQ(k.name, method->name);
    EXPECT_EQ(k.parameters, method->parameterCount) << k.name;
    EXPECT_EQ(k.result, method->result) << k.name;
  }
  EXPECT_EQ(ScriptType::WideText, FindScriptMethod(25)->parameters[0]);
  EXPECT_EQ(ScriptType::WideText, FindScriptMethod(45)->parameters[0]);
  EXPECT_EQ(ScriptType::Text, FindScriptMethod(15)->parameters[0]);
  EXPECT_EQ(ScriptType::Int32, FindScriptMethod(39)->parameters[1]);
}

TEST(ScriptTableLayoutTest, EventsAreNumberedOneTo15) {
  const char* names[] = {"OnInit",
                         "OnUpdateStateChanged",
                         "OnReadyForUpdate",
                         "OnUpdateTaskCountChanged",
                         "OnUpdateFileSuccess",
                         "OnUpdateFileFailed",
                         "OnUpdateResourceGroupSuccess",
                         "OnUpdateResourceGroupFailed",
                         "OnUpdateProgressChanged",
                         "OnUpdateSpeedChanged",
                         "OnRunGameSuccess",
                         "OnRunGameFailed",
                         "OnLoadingGameProgressChanged",
                         "OnGameEvent",
                         "OnGameExit"};
  for (int i = 0; i < kScriptEventCount; ++i) {
    EXPECT_EQ(i + 1, kScriptEvents[i].number);
    EXPECT_STREQ(names[i], kScriptEvents[i].name);
    EXPECT_EQ(&kScriptEvents[i], FindScriptEventByName(names[i]));
  }
  EXPECT_EQ(2, FindScriptEvent(kEventOnGameEvent)->argumentCount);
  EXPECT_EQ(ScriptType::WideText, FindScriptEvent(kEventOnGameExit)->arguments[0]);
  EXPECT_EQ(ScriptType::UInt32, FindScriptEvent(kEventOnRunGameFailed)->arguments[0]);
}

class ScriptTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UsePrivateLogFolder();
    files.Install();
    keys.ResetToDefaults();
    product = UniqueProduct("st");
  }
  void TearDown() override {
    loader.reset();
    ScriptedFileSystem::Uninstall();
    RemoveFolder(ProductFolder(product));
  }

  void Start(HostFlavour flavour, HMODULE module = nullptr) {
    loader.reset(new GameLoader(flavour));
    loader->Init(&owner, module, nullptr);
    context.loader = loader.get();
    context.keys = &keys;
  }

  ScriptValue Call(int number, std::vector<ScriptValue> args = {}) {
    ScriptValue result;
    ScriptCallStatus status =
        InvokeScriptMethod(context, number, args.data(), args.size(), &result);
    EXPECT_EQ(ScriptCallStatus::Ok, status) << FindScriptMethod(number)->name;
    if (status == ScriptCallStatus::Ok) {
      EXPECT_EQ(FindScriptMethod(number)->result, result.type) << FindScriptMethod(number)->name;
    }
    return result;
  }

  std::string CallText(int number, std::vector<ScriptValue> args = {}) {
    return FormatValue(Call(number, args));
  }

  ScriptedFileSystem files;
  RecordingOwner owner;
  KeyRouting keys;
  std::unique_ptr<GameLoader> loader;
  ScriptContext context = {nullptr, nullptr};
  std::string product;
};

struct NoProductCase {
  int number;
  std::vector<ScriptValue> args;
  std::string netscape;
  std::string control;
};

std::vector<ScriptValue> KeyArgs(uint32_t key, bool ctrl, bool alt, bool shift) {
  return {V::UInt32(key), V::Bool(ctrl), V::Bool(alt), V::Bool(shift)};
}

std::vector<NoProductCase> NoProductCases() {
  return {
      {16, {V::Text("a.txt")}, "false", "false"},
      {17, {V::Text("a.txt")}, "false", "false"},
      {18, {V::Text("group")}, "false", "false"},
      {19, {V::Text("group")}, "false", "false"},
      {20, {}, "0", "0"},
      {21, {}, "0", "0"},
      {22, {V::UInt32(0)}, "", ""},
      {23, {}, "false", "false"},
      {24, {}, "Disabled", "Disabled"},
      {25, {V::WideText(L"param")}, "false", "true"},
      {26, {}, "false", "false"},
      {27, {}, "0", "0"},
      {28, {}, "false", "false"},
      {29, {}, "true", "true"},
      {30, {V::Text("a.txt")}, "", ""},
      {31, {V::Text("group")}, "", ""},
      {32, {}, "false", "false"},
      {33, {}, "false", "false"},
      {34, {}, "false", "false"},
      {35, {}, "false", "false"},
      {36, {V::Bool(true)}, "true", "false"},
      {37, {}, "false", "false"},
      {38, {}, "false", "false"},
      {39, {V::Int32(1), V::Int32(2)}, "false", "false"},
      {40, {}, "", ""},
      {41, {}, "", ""},
      {42, {}, "", ""},
      {43, {}, "", ""},
      {44, {}, "", ""},
  };
}

TEST_F(ScriptTableTest, EveryMethodWithoutProductInBothFlavours) {
  for (HostFlavour flavour : {HostFlavour::Netscape, HostFlavour::InternetExplorer}) {
    Start(flavour);
    for (const NoProductCase& c : NoProductCases()) {
      const std::string& expected = flavour == HostFlavour::Netscape ? c.netscape : c.control;
      EXPECT_EQ(expected, CallText(c.number, c.args)) << FindScriptMethod(c.number)->name;
    }
    EXPECT_TRUE(owner.events.empty()) << "no method without product fires an event";
  }
  std::string log = PluginLogText();
  EXPECT_NE(std::string::npos, log.find("Update file a.txt\r\n"));
  EXPECT_NE(std::string::npos, log.find("Update resource group group\r\n"));
}

TEST_F(ScriptTableTest, ArgumentErrorsFailTheCall) {
  Start(HostFlavour::Netscape);
  ScriptValue result = V::Bool(true);
  ScriptValue one = V::Text("x");
  EXPECT_EQ(ScriptCallStatus::UnknownMethod, InvokeScriptMethod(context, 0, nullptr, 0, &result));
  EXPECT_EQ(ScriptCallStatus::UnknownMethod, InvokeScriptMethod(context, 46, nullptr, 0, &result));
  EXPECT_EQ(ScriptCallStatus::WrongArgumentCount,
            InvokeScriptMethod(context, 1, &one, 1, &result));
  EXPECT_EQ(ScriptCallStatus::WrongArgumentCount,
            InvokeScriptMethod(context, 16, nullptr, 0, &result));
  EXPECT_EQ(ScriptCallStatus::WrongArgumentType,
            InvokeScriptMethod(context, 22, &one, 1, &result));
  std::vector<ScriptValue> key = KeyArgs(0x41, false, false, false);
  key[2] = V::Int32(1);
  EXPECT_EQ(ScriptCallStatus::WrongArgumentType,
            InvokeScriptMethod(context, 2, key.data(), key.size(), &result));
  ScriptValue narrow = V::Text("p");
  EXPECT_EQ(ScriptCallStatus::WrongArgumentType,
            InvokeScriptMethod(context, 25, &narrow, 1, &result))
      << "RunGame takes UTF-16 text";
  EXPECT_EQ(ScriptType::Void, result.type);
  EXPECT_FALSE(loader->IsGameLoaded());
}

TEST_F(ScriptTableTest, KeySetsAndFlags) {
  Start(HostFlavour::Netscape);
  EXPECT_EQ("true", CallText(4, KeyArgs(0x73, false, true, false))) << "Alt+F4 by default";
  EXPECT_EQ("false", CallText(4, KeyArgs(0x73, false, true, true)));
  EXPECT_EQ("true", CallText(4, KeyArgs(0x7A, false, false, false))) << "F11 by default";
  EXPECT_EQ("false", CallText(8, KeyArgs(0x52, false, false, true)));
  EXPECT_EQ("true", CallText(6, KeyArgs(0x52, false, false, true)));
  EXPECT_EQ("true", CallText(6, KeyArgs(0x52, false, false, true)));
  EXPECT_EQ("true", CallText(8, KeyArgs(0x52, false, false, true)));
  EXPECT_EQ("true", CallText(7, KeyArgs(0x52, false, false, true)));
  EXPECT_EQ("false", CallText(8, KeyArgs(0x52, false, false, true))) << "held once";
  EXPECT_EQ("true", CallText(3, KeyArgs(0x7A, false, false, false)));
  EXPECT_EQ("false", CallText(4, KeyArgs(0x7A, false, false, false)));
  EXPECT_EQ("true", CallText(1));
  EXPECT_EQ("false", CallText(4, KeyArgs(0x73, false, true, false)));
  EXPECT_EQ("false", CallText(10));
  EXPECT_EQ("true", CallText(9, {V::Bool(true)}));
  EXPECT_EQ("true", CallText(10));
  EXPECT_EQ("false", CallText(12));
  EXPECT_EQ("true", CallText(11, {V::Bool(true)}));
  EXPECT_EQ("true", CallText(12));
  EXPECT_EQ("true", CallText(14));
  EXPECT_EQ("true", CallText(13, {V::Bool(false)}));
  EXPECT_EQ("false", CallText(14));
  EXPECT_EQ("true", CallText(6, KeyArgs(0x20, true, false, false)));
  EXPECT_EQ("true", CallText(5));
  EXPECT_EQ("false", CallText(8, KeyArgs(0x20, true, false, false)));
}

TEST_F(ScriptTableTest, FileSystemMethodsWithProduct) {
  Start(HostFlavour::Netscape);
  EXPECT_EQ("true", CallText(15, {V::Text(product), V::UInt32(3), V::UInt32(10), V::UInt32(5)}));
  files.workers[1] = WorkerInfo{"data/a.bin", 4, 1, 1.0f};
  files.updateState = 3;
  files.lists[0] = "a;b";
  EXPECT_EQ("true", CallText(16, {V::Text("x")}));
  EXPECT_EQ("true", CallText(17, {V::Text("short/name")}));
  EXPECT_EQ("true", CallText(17, {V::Text(std::string(1022, 'n'))}));
  EXPECT_EQ("false", CallText(17, {V::Text(std::string(1023, 'n'))}))
      << "a name no take-off buffer could carry is refused";
  EXPECT_EQ("false", CallText(19, {V::Text(std::string(1023, 'g'))}));
  EXPECT_EQ(2u, files.updateFileNames.size());
  EXPECT_EQ("", CallText(22, {V::UInt32(0)}));
  EXPECT_EQ("data/a.bin;4;1;1.000000", CallText(22, {V::UInt32(1)}));
  EXPECT_EQ("x;100;25;1.500000", CallText(30, {V::Text("x")}));
  EXPECT_EQ("g;-3;7;0.250000", CallText(31, {V::Text("g")}));
  EXPECT_EQ("UpdatingResourceGroupConfig", CallText(24));
  EXPECT_EQ("a;b", CallText(40));
  EXPECT_EQ("", CallText(40)) << "taken off once";
  EXPECT_EQ("true", CallText(36, {V::Bool(true)})) << "the plug-in always answers true";
  EXPECT_EQ("2.5", CallText(21));
}

TEST_F(ScriptTableTest, ControlAnswersTheIdleUpdateResult) {
  Start(HostFlavour::InternetExplorer);
  EXPECT_EQ("true", CallText(15, {V::Text(product), V::UInt32(3), V::UInt32(10), V::UInt32(5)}));
  EXPECT_EQ("false", CallText(36, {V::Bool(true)}));
}

TEST_F(ScriptTableTest, UpdateStateAfterRunGameIsTheLastReported) {
  Start(HostFlavour::Netscape);
  EXPECT_EQ("true", CallText(15, {V::Text(product), V::UInt32(3), V::UInt32(10), V::UInt32(5)}));
  files.updateState = 4;
  loader->OnTimer();
  EXPECT_EQ("false", CallText(25, {V::WideText(L"")})) << "no game.dll in the folder";
  EXPECT_EQ("UpdatingFileListConfig", CallText(24));
  EXPECT_EQ("false", CallText(23));
}

TEST_F(ScriptTableTest, GetVersionReadsTheFrontEndsOwnLibrary) {
  HMODULE module = LoadLibraryA((ProgramFolder() + "sample_game.dll").c_str());
  ASSERT_NE(nullptr, module);
  Start(HostFlavour::Netscape, module);
  ScriptValue version = Call(44);
  EXPECT_EQ(ScriptType::WideText, version.type);
  EXPECT_EQ(L"1.2.3.4", version.wideText);
  loader.reset();
  FreeLibrary(module);
}

TEST_F(ScriptTableTest, CanLoadSystemDllTakesBareNamesFromTheSystemFolder) {
  Start(HostFlavour::Netscape);
  std::string programFolder = ProgramFolder();
  ASSERT_TRUE(InstallSampleGame(programFolder, "game", "", "plantedsys.dll"));
  char current[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, current);
  ASSERT_TRUE(SetCurrentDirectoryA(programFolder.c_str()));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"plantedsys.dll")}));
  SetCurrentDirectoryA(current);
  EXPECT_FALSE(SampleLogHas(programFolder, "Load")) << "the planted library never ran";
  DeleteFileA((programFolder + "plantedsys.dll").c_str());

  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ("true", CallText(45, {V::WideText(L"kernel32.dll")}));
  EXPECT_EQ("true", CallText(45, {V::WideText(L"version.dll")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(std::wstring(system) + L"\\kernel32.dll")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"\\\\server\\share\\x.dll")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"..\\kernel32.dll")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"c:kernel32.dll")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"")}));
  EXPECT_EQ("false", CallText(45, {V::WideText(L"no_such_library_here.dll")}));
}

TEST_F(ScriptTableTest, RunGameThroughTheTableFiresItsEvents) {
  Start(HostFlavour::Netscape);
  EXPECT_EQ("true", CallText(15, {V::Text(product), V::UInt32(3), V::UInt32(10), V::UInt32(5)}));
  ASSERT_TRUE(InstallSampleGame(ProductFolder(product), "game",
                                "init_pending=1\nstep.1=0,0,0,0.5\nstep.2=0,1,0,1\n"));
  EXPECT_EQ("true", CallText(25, {V::WideText(L"p")}));
  EXPECT_EQ("true", CallText(26));
  loader->OnTimer();
  EXPECT_EQ("0.5", CallText(27));
  loader->OnTimer();
  EXPECT_EQ("false", CallText(26));
  EXPECT_EQ("true", CallText(28));
  EXPECT_EQ(std::vector<std::string>({"OnLoadingGameProgressChanged(0.5)",
                                      "OnLoadingGameProgressChanged(1)", "OnRunGameSuccess"}),
            owner.events);
  EXPECT_EQ("true", CallText(29));
  EXPECT_EQ("false", CallText(28));
  EXPECT_FALSE(loader->IsGameLoaded());
}

}  // namespace
