// The page's script interface through the test browser: each case is a
// script of calls with their expected answers and events.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "BrowserRun.h"

namespace {

struct ScriptCase {
  const char* name;
  const char* script;
};

const char kProduct[] = "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n";

const ScriptCase kCases[] = {
    {"KeySetsAndFlagsHaveTheirDefaultsAndChange",
     "setwindow\n"
     "call IsPassKey 115 false true false => true\n"
     "call IsPassKey 115 false true true => false\n"
     "call IsPassKey 122 false false false => true\n"
     "call IsInterceptKey 115 false true false => false\n"
     "call ClearPassKey => true\n"
     "call IsPassKey 115 false true false => false\n"
     "call AddPassKey 116 false false false => true\n"
     "call IsPassKey 116 false false false => true\n"
     "call RemovePassKey 116 false false false => true\n"
     "call RemovePassKey 116 false false false => true\n"
     "call IsPassKey 116 false false false => false\n"
     "call AddInterceptKey 65 false false true => true\n"
     "call AddInterceptKey 65 false false true => true\n"
     "call IsInterceptKey 65 false false true => true\n"
     "call IsInterceptKey 65 false false false => false\n"
     "call RemoveInterceptKey 65 false false true => true\n"
     "call IsInterceptKey 65 false false true => false\n"
     "call AddInterceptKey 66 true false false => true\n"
     "call ClearInterceptKey => true\n"
     "call IsInterceptKey 66 true false false => false\n"
     "call IsPassAllKey => false\n"
     "call SetPassAllKey true => true\n"
     "call IsPassAllKey => true\n"
     "call IsInterceptAllKey => false\n"
     "call SetInterceptAllKey true => true\n"
     "call IsInterceptAllKey => true\n"
     "call IsInterceptMouseMessage => true\n"
     "call SetInterceptMouseMessage false => true\n"
     "call IsInterceptMouseMessage => false\n"
     "call AddPassKey 117.9 false false false => true\n"
     "call IsPassKey 117 false false false => true\n"},
    {"FileSystemMethodsWithoutProductAnswerTheirDefaults",
     "setwindow\n"
     "call IsFileReady \"a.txt\" => false\n"
     "call UpdateFile \"a.txt\" => false\n"
     "call IsResourceGroupReady \"g\" => false\n"
     "call UpdateResourceGroup \"g\" => false\n"
     "call GetUpdateTaskCount => 0\n"
     "call GetUpdateSpeed => ~0\n"
     "call GetUpdateInfo 0 => \"\"\n"
     "call GetUpdateInfo 2.9 => \"\"\n"
     "call IsReadyForUpdate => false\n"
     "call GetUpdateState => \"Disabled\"\n"
     "call IsInitGame => false\n"
     "call GetInitGameProgress => ~0\n"
     "call IsGameRuning => false\n"
     "call StopGame => true\n"
     "call GetFileUpdateInfo \"a.txt\" => \"\"\n"
     "call GetResourceGroupUpdateInfo \"g\" => \"\"\n"
     "call IsAllResourceGroupsReady => false\n"
     "call UpdateAllResourceGroups => false\n"
     "call IsAllReady => false\n"
     "call UpdateAll => false\n"
     "call EnableIdleUpdate true => true\n"
     "call IsIdleUpdateEnabled => false\n"
     "call IsIdleUpdateFinishied => false\n"
     "call SetIdleUpdateInfo 1 2 => false\n"
     "call TakeOffUpdatedFiles => \"\"\n"
     "call TakeOffUpdateFailedFiles => \"\"\n"
     "call TakeOffUpdatedResourceGroups => \"\"\n"
     "call TakeOffUpdateFailedResourceGroups => \"\"\n"
     "call GetVersion => nonempty\n"
     "call CanLoadSystemDll \"kernel32.dll\" => true\n"
     "call CanLoadSystemDll \"no-such-library.dll\" => false\n"
     "call RunGame \"Login=success\" => false\n"
     "expect-no-event\n"},
    {"FileSystemMethodsWithProductReachTheFileSystem",
     "setwindow\n"
     "attach OnUpdateStateChanged\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "expect-event OnUpdateStateChanged nonempty\n"
     "call GetUpdateState => nonempty\n"
     "call IsFileReady \"a.txt\" => false\n"
     "call UpdateFile \"a.txt\" => true\n"
     "call UpdateResourceGroup \"g\" => true\n"
     "call GetUpdateTaskCount => *\n"
     "call GetUpdateSpeed => *\n"
     "call GetUpdateInfo 0 => \"\"\n"
     "call GetUpdateInfo 99 => \"\"\n"
     "call IsReadyForUpdate => false\n"
     "call UpdateAll => *\n"
     "call UpdateAllResourceGroups => *\n"
     "call EnableIdleUpdate true => true\n"
     "call IsIdleUpdateEnabled => *\n"
     "call SetIdleUpdateInfo 1 2 => *\n"
     "call TakeOffUpdatedFiles => \"\"\n"
     "call GetFileUpdateInfo \"a.txt\" => *\n"
     "call GetResourceGroupUpdateInfo \"g\" => *\n"},
    {"ProductNamesThatAreNoPlainFolderNameAreRefused",
     "setwindow\n"
     "call SetProduct \"\" 5 5 5 => false\n"
     "call SetProduct \"..\\\\..\\\\Downloads\" 5 5 5 => false\n"
     "call SetProduct \"a/b\" 5 5 5 => false\n"
     "call SetProduct \"c:x\" 5 5 5 => false\n"
     "call SetProduct \"..\" 5 5 5 => false\n"
     "call GetUpdateState => \"Disabled\"\n"
     "call UpdateFile \"a.txt\" => false\n"},
    {"ArgumentsOfAnotherKindFailTheCall",
     "setwindow\n"
     "call AddPassKey 115 false true => fail\n"
     "call AddPassKey \"115\" false true false => fail\n"
     "call AddPassKey 115 1 true false => fail\n"
     "call AddPassKey 115 null true false => fail\n"
     "call SetPassAllKey 1 => fail\n"
     "call SetProduct 5 5 5 5 => fail\n"
     "call SetProduct \"npdemo\" \"5\" 5 5 => fail\n"
     "call IsFileReady => fail\n"
     "call IsFileReady null => fail\n"
     "call IsFileReady listener:L => fail\n"
     "call IsFileReady nullstr => false\n"
     "call RunGame 5 => fail\n"
     "call CanLoadSystemDll true => fail\n"
     "call GetUpdateInfo \"0\" => fail\n"
     "call GetUpdateTaskCount \"extra\" 1 => 0\n"
     "call ClearPassKey 1 2 3 => true\n"
     "call NoSuchMethod => fail\n"
     "call IsPassAllKey => false\n"},
    {"NumbersThatAreNotFiniteOrDoNotFitAreRefused",
     "setwindow\n"
     "call AddPassKey nan false false false => fail\n"
     "call AddPassKey inf false false false => fail\n"
     "call AddPassKey -inf false false false => fail\n"
     "call AddPassKey -1.5 false false false => fail\n"
     "call AddPassKey 4294967296.0 false false false => fail\n"
     "call AddPassKey 1e300 false false false => fail\n"
     "call AddPassKey 4294967295.9 false false false => true\n"
     "call IsPassKey -1 false false false => true\n"
     "call AddPassKey -0.5 false false false => true\n"
     "call IsPassKey 0 false false false => true\n"
     "call SetIdleUpdateInfo 2147483648.0 0 => fail\n"
     "call SetIdleUpdateInfo -2147483649.0 0 => fail\n"
     "call SetIdleUpdateInfo 0 nan => fail\n"
     "call SetIdleUpdateInfo -2147483648.0 2147483647.0 => false\n"
     "call SetProduct \"npdemo\" nan 5 5 => fail\n"
     "call GetUpdateState => \"Disabled\"\n"},
    {"TextArgumentsAreReadOnlyToTheirLength",
     // The browser's strings carry junk after their bytes: a name read past
     // its length would not be found.
     "setwindow\n"
     "call CanLoadSystemDll \"kernel32.dll\" => true\n"
     "call CanLoadSystemDll \"kernel32.dll\" => true\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"},
    {"ListenersAreCheckedCountedAndDetachedOneAtATime",
     "setwindow\n"
     "call attachEvent \"\" listener:A => fail\n"
     "call attachEvent \"OnUpdateStateChanged\" 5 => fail\n"
     "call attachEvent \"OnUpdateStateChanged\" null => fail\n"
     "call attachEvent \"OnUpdateStateChanged\" => fail\n"
     "call attachEvent 5 listener:A => fail\n"
     "call detachEvent \"OnNever\" listener:A => ok\n"
     "call detachEvent \"\" listener:A => fail\n"
     "attach OnUpdateStateChanged Twice\n"
     "attach OnUpdateStateChanged Twice\n"
     "attach onupdatestatechanged Lower\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "expect-event OnUpdateStateChanged nonempty\n"
     "expect-next OnUpdateStateChanged nonempty\n"
     "expect-no-event onupdatestatechanged\n"
     "detach OnUpdateStateChanged Twice\n"
     "expect-alive Twice\n"
     "detach OnUpdateStateChanged Twice\n"
     "expect-released Twice\n"},
    {"AListenerThatDetachesOthersDuringDeliveryLeavesItWhole",
     "setwindow\n"
     "on OnUpdateStateChanged First call detachEvent \"OnUpdateStateChanged\" listener:Second\n"
     "attach OnUpdateStateChanged Second\n"
     "on OnUpdateStateChanged Third call detachEvent \"OnUpdateStateChanged\" listener:Third\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "expect-event OnUpdateStateChanged nonempty\n"
     "expect-next OnUpdateStateChanged nonempty\n"
     "expect-next OnUpdateStateChanged nonempty\n"
     "expect-released Second\n"
     "expect-released Third\n"
     "expect-alive First\n"},
    {"DestroyReleasesListenersAndTheObjectForgetsItsInstance",
     "setwindow\n"
     "attach OnUpdateStateChanged Kept\n"
     "call SetProduct \"npdemo\" 5 524288000 104857600 => true\n"
     "destroy\n"
     "expect-released Kept\n"
     "call IsPassAllKey => fail\n"
     "call attachEvent \"OnInit\" listener:Late => fail\n"
     "expect-no-timer 300\n"},
    {"ValuesAndTheScriptableObject",
     "expect-value name \"NPKVTPlayer\"\n"
     "expect-value description \"Net Scape Dorv game player\"\n"
     // One reference is the instance's own, one the page's from the start.
     "expect-object-count 3 5\n"
     "call IsPassAllKey => fail\n"
     "setwindow\n"
     "setwindow\n"
     "call IsPassAllKey => false\n"},
    {"RunGameWithoutGameDllFailsWithoutEvent",
     "setwindow\n"
     "attach OnRunGameFailed\n"
     "attach OnRunGameSuccess\n"
     "call SetProduct \"npnogame\" 5 524288000 104857600 => true\n"
     "call RunGame str:5000 => false\n"
     "call IsGameRuning => false\n"
     "pump 100\n"
     "expect-no-event OnRunGameFailed\n"
     "expect-no-event OnRunGameSuccess\n"},
};

void PrintTo(const ScriptCase& scriptCase, std::ostream* out) { *out << scriptCase.name; }

class ScriptInterface : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptInterface, PlaysAsExpected) {
  BrowserRun run = RunBrowser(GetParam().script);
  EXPECT_EQ(0, run.exitCode) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptInterface, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ScriptCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
