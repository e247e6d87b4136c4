#include <gtest/gtest.h>

#include "SwitchScan.h"

namespace {

struct SwitchCase {
  const wchar_t* line;
  bool install, uninstall, plugin, silent, relogin, firstRun, checkInstall;
};

class SwitchScanTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchScanTest, SetsTheFlagsOfTheLine) {
  const SwitchCase& c = GetParam();
  LauncherSwitches s = ScanSwitches(c.line);
  EXPECT_EQ(c.install, s.install);
  EXPECT_EQ(c.uninstall, s.uninstall);
  EXPECT_EQ(c.plugin, s.plugin);
  EXPECT_EQ(c.silent, s.silent);
  EXPECT_EQ(c.relogin, s.relogin);
  EXPECT_EQ(c.firstRun, s.firstRun);
  EXPECT_EQ(c.checkInstall, s.checkInstall);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SwitchScanTest,
    testing::Values(
        SwitchCase{nullptr, false, false, false, false, false, false, false},
        SwitchCase{L"", false, false, false, false, false, false, false},
        SwitchCase{L"/INSTALL", true, false, false, false, false, false, false},
        SwitchCase{L"/installnow", true, false, false, false, false, false, false},
        SwitchCase{L"/FIRSTRUN/CHECKINSTALL", false, false, false, false, false, true, true},
        SwitchCase{L"/FIRSTRUN/CHECKINSTALLLogin=success;A=1", false, false, false, false, false,
                   true, true},
        SwitchCase{L"/uninstall /plugin /silent", false, true, true, true, false, false, false},
        SwitchCase{L"  /relogin\t/install", true, false, false, false, true, false, false},
        // A path or page text must not pass for a switch.
        SwitchCase{L"\"C:/games/x /uninstall\"", false, false, false, false, false, false, false},
        SwitchCase{L"C:/tmp/uninstall", false, false, false, false, false, false, false},
        SwitchCase{L"Login=success;ServerAddress=h/uninstall", false, false, false, false, false,
                   false, false},
        SwitchCase{L"/FIRSTRUNLogin=success;Url=http://h/uninstall", false, false, false, false,
                   false, true, false},
        SwitchCase{L"\"C:/a b/velmor.exe\" /relogin", false, false, false, false, true, false,
                   false}));

}  // namespace
