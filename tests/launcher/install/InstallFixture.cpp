#include "InstallFixture.h"

using InstallTestFiles::DeleteRegistryKeyTree;
using InstallTestFiles::ReadRegistryText;

const wchar_t* const InstallFixture::kPluginTraceKey = L"Software\\VelmorInstallTests";

InstallFixture::InstallFixture() : scratch_(L"install") {
  CleanRegistry();
  Reset(SampleSettings(), SampleStrings());
  MakeLauncherFile();
}

InstallFixture::~InstallFixture() { CleanRegistry(); }

void InstallFixture::CleanRegistry() {
  DeleteRegistryKeyTree(kPluginTraceKey);
  DeleteRegistryKeyTree(std::wstring(Installer::kUninstallKey) + SampleSettings().uninstallId);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Installer::kPathKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, SampleSettings().productName.c_str());
    RegCloseKey(key);
  }
}

void InstallFixture::Reset(const InstallSettings& settings,
                           const std::map<std::string, std::wstring>& strings) {
  settings_ = settings;
  env_.reset(new TestInstallEnvironment(scratch_.Path(), settings, strings));
  installer_.SetEnvironment(env_.get());
  installer_.SetModule(GetModuleHandleW(nullptr));
}

void InstallFixture::RunInstall(bool noFileShortcuts, bool noInternetShortcuts) {
  installer_.SetNoFileShortcuts(noFileShortcuts);
  installer_.SetNoInternetShortcuts(noInternetShortcuts);
  EXPECT_TRUE(installer_.Install());
}

std::wstring InstallFixture::UninstallKey() const {
  return std::wstring(Installer::kUninstallKey) + SampleSettings().uninstallId;
}

bool InstallFixture::PathValue(std::wstring* folder) const {
  return ReadRegistryText(Installer::kPathKey, SampleSettings().productName, folder);
}

bool InstallFixture::PluginRegistered(const wchar_t* file) const {
  return ReadRegistryText(kPluginTraceKey, file, nullptr);
}

void InstallFixture::MakeLauncherFile() {
  ASSERT_TRUE(InstallTestFiles::WriteWholeFile(env_->launcher, "launcher program"));
}
