#pragma once

#include <windows.h>

#include <string>

#include "SystemInstallEnvironment.h"

class ConfigMgr;
class RunState;
class StatReporter;

// The installer's and the uninstaller's environment in the launcher: the
// values of the loaded configuration, its string table, the run-state file
// and the one-time statistics report, and the dialogs' banner from the
// launcher's skin pictures.
class LauncherInstallEnvironment : public SystemInstallEnvironment {
 public:
  // runState and reporter may be null (uninstalling records nothing).
  LauncherInstallEnvironment(HINSTANCE module, const ConfigMgr& config, RunState* runState,
                             StatReporter* reporter);

  std::wstring GetString(const char* id) override;
  bool TestAndSetRunState(const char* name) override;
  void ReportOneTimeEvent(const char* name, int type) override;
  HBITMAP LoadBanner() override;

  static const int kBannerResource = 151;

 private:
  const ConfigMgr& config_;
  RunState* runState_;
  StatReporter* reporter_;
};

// The installer's view of the configuration, in UTF-16.
InstallSettings InstallSettingsFromConfig(const ConfigMgr& config);
