#include <gtest/gtest.h>

#include "SettingsFile.h"

namespace {

TEST(SettingsFileTest, ReadsRepeatedEntriesInOrder) {
  LoaderSettings s;
  std::string error;
  ASSERT_TRUE(ParseSettingsText("# demo\nProductName=velmordemo\nRunPlace=2\n"
                                "UpdateServer=127.0.0.1:7001\nUpdateServer=localhost:7002\n"
                                "UpdateFile=game.dll\nUpdateFile=d3dx9_43.dll, SystemDll\n"
                                "ResourceGroup=maps\nLoginEnable=false\nStatEnable=true\n",
                                &s, &error))
      << error;
  EXPECT_EQ("velmordemo", s.productName);
  EXPECT_EQ(2, s.runPlace);
  ASSERT_EQ(2u, s.updateServers.size());
  EXPECT_EQ(7002u, s.updateServers[1].port);
  ASSERT_EQ(2u, s.updateFiles.size());
  EXPECT_TRUE(s.updateFiles[1].systemDll);
  EXPECT_FALSE(s.loginEnabled);
  EXPECT_TRUE(s.statEnabled);
}

TEST(SettingsFileTest, RejectsWhatItDoesNotKnow) {
  for (const char* text : {"ProductName=x\nColour=red\n", "ProductName=x\nUpdateServer=host\n",
                           "ProductName=x\nUpdateServer=h:99999\n", "RunPlace=1\n",
                           "ProductName=x\nRunPlace=-1\n"}) {
    LoaderSettings s;
    std::string error;
    EXPECT_FALSE(ParseSettingsText(text, &s, &error)) << text;
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
