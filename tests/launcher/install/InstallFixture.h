// A scratch tree, an environment over it and a clean registry for one test
// of the installer or the uninstaller.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "InstallTestFiles.h"
#include "Installer.h"
#include "TestInstallEnvironment.h"

class InstallFixture : public testing::Test {
 protected:
  static const wchar_t* const kPluginTraceKey;

  InstallFixture();
  ~InstallFixture() override;

  // A new environment over the same tree (after a change of settings).
  void Reset(const InstallSettings& settings, const std::map<std::string, std::wstring>& strings);
  void RunInstall(bool noFileShortcuts = false, bool noInternetShortcuts = false);

  std::wstring UninstallKey() const;
  bool PathValue(std::wstring* folder) const;
  bool PluginRegistered(const wchar_t* file) const;
  // The launcher's stand-in program file in the download folder.
  void MakeLauncherFile();

  InstallTestFiles::ScratchFolder scratch_;
  InstallSettings settings_;
  std::unique_ptr<TestInstallEnvironment> env_;
  Installer installer_;

 private:
  void CleanRegistry();
};
