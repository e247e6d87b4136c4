#include <gtest/gtest.h>

#include <string>

#include "ConfigMgr.h"

namespace {

TEST(ShippedConfigTest, EmbeddedDocumentsLoad) {
  ConfigMgr config;
  ASSERT_TRUE(config.LoadConfig(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(config.LoadStrings(GetModuleHandleW(nullptr)));

  EXPECT_EQ(config.runPlace, kRunPlaceLocalAppData);
  EXPECT_TRUE(config.publishVersion);
  EXPECT_EQ(config.productName, "WendRastKulPo_Beta");
  EXPECT_EQ(config.updaterFileName, "wendrastkulpo_beta.exe");
  EXPECT_EQ(config.updateThreadCount, 4u);
  EXPECT_EQ(config.maxPackageSize, 104857600u);
  ASSERT_EQ(config.GetUpdateServerCount(), 6);
  EXPECT_EQ(config.updateServers[0].port, 9009);
  EXPECT_EQ(config.updateServers[5].port, 80);
  ASSERT_EQ(config.GetUpdateFileCount(), 4);
  EXPECT_TRUE(config.IsSystemDll(1));
  EXPECT_STREQ(config.GetUpdateFilePath(2), "game.dll");
  ASSERT_EQ(config.GetResourceGroupCount(), 4);
  EXPECT_STREQ(config.GetResourceGroupName(3), "dl_001_preload");
  EXPECT_NE(config.loginUrl.find("/controller/client.php?game_id=297&tpl_type=game1"),
            std::string::npos);
  EXPECT_EQ(config.loginUrl, config.reloginUrl);
  EXPECT_NE(config.statUrl.find(":9000/velmor_manager/api/stat/globalstat"), std::string::npos);
  EXPECT_EQ(config.webBrowser.x, 110);
  EXPECT_EQ(config.webBrowserWidth, 560);
  EXPECT_TRUE(config.webBrowserVisibleWhenReady);
  EXPECT_EQ(config.selfUpdateProgress.y, -95);
  EXPECT_EQ(config.uninstallPatterns.size(), 10u);
  EXPECT_EQ(config.uninstallId, "{2A9F6E03-D15C-4B87-8F64-C03A1E7B92D5}");
  EXPECT_EQ(config.GetNPPluginFile(), L"npkvtplayer.dll");
  ASSERT_EQ(config.fileShortcuts.size(), 1u);
  EXPECT_FALSE(config.internetShortcuts.front().enable);

  EXPECT_EQ(config.messageMap.size(), 35u);
  EXPECT_EQ(config.messageMap.at("update_error").color, 0xFFu);
  EXPECT_EQ(config.messageMap.at("sure_to_exit").color, 0xFFFFFFu);
  std::wstring text;
  ASSERT_TRUE(config.GetString("updater_short_cut", &text));
  EXPECT_EQ(text, L"\x6C90\x680E\x8FED\x5DDD.lnk");
  ASSERT_TRUE(config.GetString("update_resource_progress", &text));
  wchar_t line[256];
  swprintf(line, 256, text.c_str(), 42);
  EXPECT_NE(std::wstring(line).find(L"42%"), std::wstring::npos);
}

TEST(ShippedConfigTest, LoopbackVariantPointsEveryServerAtLoopback) {
  ConfigMgr config;
  std::wstring path;
  for (const char* p = VELMOR_LOOPBACK_CONFIG_FILE; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
  // The build tree's source path is a Unix path; Wine maps it through Z:.
  ASSERT_TRUE(config.LoadConfigFile((L"Z:" + path).c_str()));
  ASSERT_GT(config.GetUpdateServerCount(), 0);
  for (const UpdateServerEntry& server : config.updateServers) EXPECT_EQ(server.host, "127.0.0.1");
  const std::string urls[] = {config.statUrl, config.loginUrl, config.reloginUrl,
                              config.governmentButtonUrl, config.bbsButtonUrl,
                              config.chargeButtonUrl, config.customServiceButtonUrl,
                              config.installSuccessUrl, config.internetShortcuts.front().target};
  for (const std::string& url : urls) EXPECT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
}

}  // namespace
