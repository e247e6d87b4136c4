#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "ConfigMgr.h"

namespace {

std::unique_ptr<ConfigMgr> Load(const std::string& xml) {
  auto config = std::make_unique<ConfigMgr>();
  EXPECT_TRUE(config->LoadConfigText(xml.data(), xml.size())) << xml;
  return config;
}

struct Case {
  const char* name;
  std::string xml;
  std::function<void(const ConfigMgr&)> check;
};

const std::string kBom = "\xEF\xBB\xBF";

TEST(ConfigMgrTest, ReadsEachSnippetAsWritten) {
  const Case cases[] = {
      {"empty Config", "<Config/>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.runPlace, kRunPlaceCurrentDirectory);
         EXPECT_FALSE(c.publishVersion);
         EXPECT_FALSE(c.createShortCutOnDeskTop);
         EXPECT_FALSE(c.updateEnable);
         EXPECT_EQ(c.maxPackageSize, 0u);
         EXPECT_EQ(c.maxDeltaPackageSize, 0u);
         EXPECT_EQ(c.updateThreadCount, 0u);
         EXPECT_EQ(c.GetUpdateServerCount(), 0);
         EXPECT_TRUE(c.messageMap.empty());
       }},
      {"byte-order mark and declaration",
       kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?><!-- c --><Config RunPlace=\"InternetCache\"/>",
       [](const ConfigMgr& c) { EXPECT_EQ(c.runPlace, kRunPlaceInternetCache); }},
      {"run place names", "<Config RunPlace=\"LocalAppData\"/>",
       [](const ConfigMgr& c) { EXPECT_EQ(c.runPlace, kRunPlaceLocalAppData); }},
      {"run place lower case", "<Config RunPlace=\"localappdata\"/>",
       [](const ConfigMgr& c) { EXPECT_EQ(c.runPlace, kRunPlaceCurrentDirectory); }},
      {"booleans exact", "<Config PublishVersion=\"True\" CreateShortCutOnDeskTop=\"1\" "
                         "CreateShortCutOnStartMenu=\"true\"/>",
       [](const ConfigMgr& c) {
         EXPECT_FALSE(c.publishVersion);
         EXPECT_FALSE(c.createShortCutOnDeskTop);
         EXPECT_TRUE(c.createShortCutOnStartMenu);
       }},
      {"last attribute wins in a loop",
       "<Config PublishVersion=\"true\" PublishVersion=\"false\" RunPlace=\"LocalAppData\" "
       "RunPlace=\"InternetCache\"/>",
       [](const ConfigMgr& c) {
         EXPECT_FALSE(c.publishVersion);
         EXPECT_EQ(c.runPlace, kRunPlaceInternetCache);
       }},
      {"update presets", "<Config><Update/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.maxPackageSize, 524288000u);
         EXPECT_EQ(c.maxDeltaPackageSize, 104857600u);
         EXPECT_EQ(c.updateThreadCount, 5u);
         EXPECT_FALSE(c.updateEnable);
       }},
      {"unsigned numbers in every base",
       "<Config><Update MaxPackageSize=\"0x6400000\" MaxDeltaPackageSize=\"0100\" "
       "UpdateThreadCount=\" 12abc\" Enable=\"true\" ProductName=\"P\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.maxPackageSize, 104857600u);
         EXPECT_EQ(c.maxDeltaPackageSize, 64u);
         EXPECT_EQ(c.updateThreadCount, 12u);
         EXPECT_TRUE(c.updateEnable);
         EXPECT_EQ(c.productName, "P");
       }},
      {"upper-case hex prefix and garbage",
       "<Config><Update MaxPackageSize=\"0XFF\" MaxDeltaPackageSize=\"zz\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.maxPackageSize, 255u);
         EXPECT_EQ(c.maxDeltaPackageSize, 0u);
       }},
      {"update servers",
       "<Config><Update><UpdateServers>"
       "<UpdateServer Server=\"a\" Port=\"9009\"/>"
       "<UpdateServer Server=\"b\" Port=\"0\"/>"
       "<UpdateServer Server=\"c\" Port=\"x80\"/>"
       "<UpdateServer Port=\"80\"/>"
       "<UpdateServer Server=\"d\" Port=\"9009abc\"/>"
       "<UpdateServer Server=\"\" Port=\" -7\"/>"
       "<UpdateServer Server=\"e\" Server=\"f\" Port=\"1\" Port=\"2\"/>"
       "</UpdateServers><UpdateServer Server=\"outside\" Port=\"1\"/></Update></Config>",
       [](const ConfigMgr& c) {
         ASSERT_EQ(c.GetUpdateServerCount(), 4);
         const char* host = nullptr;
         int32_t port = -1;
         ASSERT_TRUE(c.GetUpdateServer(0, &host, &port));
         EXPECT_STREQ(host, "a");
         EXPECT_EQ(port, 9009);
         ASSERT_TRUE(c.GetUpdateServer(1, &host, &port));
         EXPECT_STREQ(host, "d");
         EXPECT_EQ(port, 9009);
         ASSERT_TRUE(c.GetUpdateServer(2, &host, &port));
         EXPECT_STREQ(host, "");
         EXPECT_EQ(port, -7);
         ASSERT_TRUE(c.GetUpdateServer(3, &host, &port));
         EXPECT_STREQ(host, "f");
         EXPECT_EQ(port, 2);
         EXPECT_FALSE(c.GetUpdateServer(4, &host, &port));
         EXPECT_EQ(host, nullptr);
         EXPECT_EQ(port, 0);
         EXPECT_FALSE(c.GetUpdateServer(-1, &host, &port));
         EXPECT_FALSE(c.GetUpdateServer(0, nullptr, &port));
       }},
      {"update files and groups",
       "<Config><Update><UpdateFiles><File Path=\"a.dll\" SystemDll=\"true\"/><File/>"
       "<File Path=\"b\" SystemDll=\"TRUE\"/></UpdateFiles><UpdateResourceGroups>"
       "<ResourceGroup Name=\"ui\"/><ResourceGroup/><ResourceGroup Name=\"\"/>"
       "</UpdateResourceGroups></Update></Config>",
       [](const ConfigMgr& c) {
         ASSERT_EQ(c.GetUpdateFileCount(), 2);
         EXPECT_STREQ(c.GetUpdateFilePath(0), "a.dll");
         EXPECT_TRUE(c.IsSystemDll(0));
         EXPECT_STREQ(c.GetUpdateFilePath(1), "b");
         EXPECT_FALSE(c.IsSystemDll(1));
         EXPECT_EQ(c.GetUpdateFilePath(2), nullptr);
         EXPECT_FALSE(c.IsSystemDll(-1));
         ASSERT_EQ(c.GetResourceGroupCount(), 2);
         EXPECT_STREQ(c.GetResourceGroupName(0), "ui");
         EXPECT_STREQ(c.GetResourceGroupName(1), "");
         EXPECT_EQ(c.GetResourceGroupName(2), nullptr);
       }},
      {"a repeated Update replaces its lists",
       "<Config><Update><UpdateFiles><File Path=\"a\"/></UpdateFiles></Update>"
       "<Update><UpdateFiles><File Path=\"b\"/></UpdateFiles></Update></Config>",
       [](const ConfigMgr& c) {
         ASSERT_EQ(c.GetUpdateFileCount(), 1);
         EXPECT_STREQ(c.GetUpdateFilePath(0), "b");
       }},
      {"bare ampersand stays",
       "<Config><Login Enable=\"true\" Url=\"http://h/c.php?game_id=297&tpl_type=game1\" "
       "SendFirstRunParam=\"true\"/><Relogin Url=\"a&amp;b&#65;\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.loginUrl, "http://h/c.php?game_id=297&tpl_type=game1");
         EXPECT_TRUE(c.loginEnable);
         EXPECT_TRUE(c.loginSendFirstRunParam);
         EXPECT_EQ(c.reloginUrl, "a&bA");
         EXPECT_FALSE(c.reloginEnable);
       }},
      {"layout from Point on",
       "<Config><Progress X=\"5\" Point=\"TopLeft\" RelateTo=\"Parent\" RelatePoint=\"TopRight\" "
       "Y=\" -17\"/><CloseButton X=\"3\" Y=\"4\" DisableWhenLoading=\"true\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.progress.point, "TopLeft");
         EXPECT_EQ(c.progress.relateTo, "Parent");
         EXPECT_EQ(c.progress.relatePoint, "TopRight");
         EXPECT_EQ(c.progress.x, 0);
         EXPECT_EQ(c.progress.y, -17);
         EXPECT_EQ(c.closeButton.point, "");
         EXPECT_EQ(c.closeButton.x, 0);
         EXPECT_EQ(c.closeButton.y, 0);
         EXPECT_TRUE(c.closeButtonDisableWhenLoading);
       }},
      {"web browser presets and sizes",
       "<Config><WebBrowser W=\"1\" Point=\"TopCenter\" H=\"378\" VisibleWhenReady=\"true\" "
       "VisibleWhenReady=\"false\"/><Messages Point=\"A\" W=\"600\" Align=\"Left\"/>"
       "<SelfUpdateMessage Point=\"B\" W=\"300\" H=\"16\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.webBrowserWidth, 500);
         EXPECT_EQ(c.webBrowserHeight, 378);
         EXPECT_FALSE(c.webBrowserVisibleWhenReady);
         EXPECT_EQ(c.messagesWidth, 600);
         EXPECT_EQ(c.messagesHeight, 0);
         EXPECT_EQ(c.messagesAlign, kAlignLeft);
         EXPECT_EQ(c.selfUpdateMessageWidth, 300);
         EXPECT_EQ(c.selfUpdateMessageHeight, 16);
       }},
      {"link buttons", "<Config><BBSButton Url=\"a\" Point=\"P\" X=\"455\" Url=\"b\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_EQ(c.bbsButtonUrl, "b");
         EXPECT_EQ(c.bbsButton.x, 455);
       }},
      {"messages",
       "<Config><Messages><Message ID=\"plain\"/><Message ID=\"red\" Color=\"0x0000FF\"/>"
       "<Message ID=\"states\" Color=\"1\" OverColor=\"0x10\" DownColor=\"010\"/>"
       "<Message ID=\"reboot\" ClickToReboot=\"true\" ClickToOpenUrl=\"http://x\"/>"
       "<Message ID=\"open\" ClickToOpenUrl=\"\"/><Message Color=\"5\"/>"
       "<Message ID=\"twice\" Color=\"1\"/><Message ID=\"twice\" OverColor=\"2\"/>"
       "</Messages></Config>",
       [](const ConfigMgr& c) {
         ASSERT_EQ(c.messageMap.size(), 6u);
         const MessageEntry& plain = c.messageMap.at("plain");
         EXPECT_EQ(plain.color, 0xFFFFFFu);
         EXPECT_EQ(plain.overColor, 0xFFFFFFu);
         EXPECT_EQ(plain.downColor, 0xFFFFFFu);
         EXPECT_EQ(c.messageMap.at("red").color, 0x000000FFu);
         EXPECT_EQ(c.messageMap.at("red").downColor, 0x000000FFu);
         const MessageEntry& states = c.messageMap.at("states");
         EXPECT_EQ(states.color, 1u);
         EXPECT_EQ(states.overColor, 16u);
         EXPECT_EQ(states.downColor, 8u);
         const MessageEntry& reboot = c.messageMap.at("reboot");
         EXPECT_TRUE(reboot.clickToReboot);
         EXPECT_FALSE(reboot.clickToOpenUrl);
         EXPECT_EQ(reboot.url, "");
         EXPECT_TRUE(c.messageMap.at("open").clickToOpenUrl);
         EXPECT_EQ(c.messageMap.at("open").url, "");
         EXPECT_EQ(c.messageMap.at("twice").color, 0xFFFFFFu);
         EXPECT_EQ(c.messageMap.at("twice").overColor, 2u);
       }},
      {"install children only inside Install",
       "<Config><Plugin Enable=\"true\" NPPluginFile=\"outside.dll\"/><Install Enable=\"true\">"
       "<Plugin Enable=\"true\" IEPluginFile=\"a.ocx\" NPPluginFile=\"np.dll\"/>"
       "<FileShortCuts><ShortCut Enable=\"false\" File=\"f.exe\" Param=\"-p\" Url=\"u\" "
       "CreateOnDeskTop=\"true\" ShortCutFileStringID=\"fid\" ShortCutDescStringID=\"did\"/>"
       "</FileShortCuts><InternetShortCuts><ShortCut Enable=\"true\" Url=\"http://u\" "
       "IconFile=\"g.ico\" File=\"ignored\" CreateOnStartMenu=\"true\"/></InternetShortCuts>"
       "<InstallSuccess ShowDialog=\"true\" RunExe=\"true\" File=\"f\" Param=\"p\" "
       "OpenUrl=\"true\" Url=\"u\"/></Install>"
       "<Install><FileShortCuts><ShortCut File=\"second\"/></FileShortCuts></Install></Config>",
       [](const ConfigMgr& c) {
         EXPECT_TRUE(c.pluginEnable);
         EXPECT_EQ(c.iePluginFile, "a.ocx");
         EXPECT_EQ(c.GetNPPluginFile(), L"np.dll");
         EXPECT_TRUE(c.installEnable);  // the second Install has no Enable to change it
         ASSERT_EQ(c.fileShortcuts.size(), 2u);
         const ShortcutRecord& file = c.fileShortcuts.front();
         EXPECT_FALSE(file.enable);
         EXPECT_EQ(file.target, "f.exe");
         EXPECT_EQ(file.second, "-p");
         EXPECT_TRUE(file.createOnDeskTop);
         EXPECT_FALSE(file.createOnStartMenu);
         EXPECT_EQ(file.fileStringId, "fid");
         EXPECT_EQ(file.descStringId, "did");
         EXPECT_EQ(c.fileShortcuts.back().target, "second");
         ASSERT_EQ(c.internetShortcuts.size(), 1u);
         EXPECT_EQ(c.internetShortcuts.front().target, "http://u");
         EXPECT_EQ(c.internetShortcuts.front().second, "g.ico");
         EXPECT_TRUE(c.installSuccessRunExe);
         EXPECT_TRUE(c.installSuccessOpenUrl);
         EXPECT_EQ(c.installSuccessParam, "p");
       }},
      {"uninstall patterns as UTF-16",
       "<Config><Uninstall Enable=\"true\" ID=\"{X}\" Version=\"1.0\" UninstallPlugin=\"true\">"
       "<File Path=\"*.log\"/><File/><File Path=\"\xE6\xB8\xB8.dat\"/></Uninstall></Config>",
       [](const ConfigMgr& c) {
         EXPECT_TRUE(c.uninstallEnable);
         EXPECT_TRUE(c.uninstallPlugin);
         EXPECT_EQ(c.uninstallId, "{X}");
         ASSERT_EQ(c.uninstallPatterns.size(), 2u);
         EXPECT_EQ(c.uninstallPatterns.front(), L"*.log");
         EXPECT_EQ(c.uninstallPatterns.back(), L"\x6E38.dat");
       }},
      {"stat", "<Config><Stat Enable=\"true\" Url=\"http://s:9000/p\"/></Config>",
       [](const ConfigMgr& c) {
         EXPECT_TRUE(c.statEnable);
         EXPECT_EQ(c.statUrl, "http://s:9000/p");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto config = Load(c.xml);
    c.check(*config);
  }
}

TEST(ConfigMgrTest, RefusesBrokenDocuments) {
  const std::string cases[] = {"", "<Config>", "<String/>", "<config/>", "not xml", "<Config a=/>"};
  for (const std::string& xml : cases) {
    ConfigMgr config;
    EXPECT_FALSE(config.LoadConfigText(xml.data(), xml.size())) << xml;
  }
  ConfigMgr config;
  EXPECT_FALSE(config.LoadConfigText(nullptr, 5));
  EXPECT_FALSE(config.LoadStringsText("<Config/>", 9));
  EXPECT_FALSE(config.LoadConfigFile(L"Z:\\no\\such\\file.xml"));
}

TEST(ConfigMgrTest, StringTableKeepsConfiguredColours) {
  ConfigMgr config;
  std::string xml = "<Config><Messages><Message ID=\"a\" Color=\"0x0000FF\" "
                    "ClickToOpenUrl=\"http://x\"/></Messages></Config>";
  ASSERT_TRUE(config.LoadConfigText(xml.data(), xml.size()));
  std::string strings = kBom + "<String><a>first</a><b> spaced &amp; text </b><a>\xE6\x8F\x90</a>"
                               "<empty></empty></String>";
  ASSERT_TRUE(config.LoadStringsText(strings.data(), strings.size()));

  std::wstring text, url;
  uint32_t color = 0, over = 0, down = 0;
  bool reboot = true, open = false;
  ASSERT_TRUE(config.GetMessageEntry("a", &text, &color, &over, &down, &reboot, &open, &url));
  EXPECT_EQ(text, L"\x63D0");
  EXPECT_EQ(color, 0xFFu);
  EXPECT_EQ(down, 0xFFu);
  EXPECT_FALSE(reboot);
  EXPECT_TRUE(open);
  EXPECT_EQ(url, L"http://x");

  ASSERT_TRUE(config.GetMessageEntry("b", &text, &color, &over, &down, &reboot, &open, &url));
  EXPECT_EQ(text, L" spaced & text ");
  EXPECT_EQ(color, 0xFFFFFFu);
  EXPECT_FALSE(open);
  EXPECT_EQ(url, L"");

  EXPECT_FALSE(config.GetMessageEntry("none", &text, &color, &over, &down, &reboot, &open, &url));
  EXPECT_EQ(text, L"");
  EXPECT_EQ(color, 0xFFFFFFFFu);
  text = L"kept";
  EXPECT_FALSE(config.GetMessageEntry("a", &text, &color, &over, nullptr, &reboot, &open, &url));
  EXPECT_EQ(text, L"kept");
  EXPECT_FALSE(config.GetMessageEntry(nullptr, &text, &color, &over, &down, &reboot, &open, &url));

  std::wstring out = L"x";
  EXPECT_TRUE(config.GetString("empty", &out));
  EXPECT_EQ(out, L"");
  out = L"x";
  EXPECT_FALSE(config.GetString("none", &out));
  EXPECT_EQ(out, L"");
  EXPECT_FALSE(config.GetString(nullptr, &out));
}

}  // namespace
