// The installer's environment for tests: the real registry, links and
// folders, but every folder inside one scratch tree, the launcher's program
// a copy there, and the run-state records and reports kept in memory.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "SystemInstallEnvironment.h"

class TestInstallEnvironment : public SystemInstallEnvironment {
 public:
  // root ends in a separator.
  TestInstallEnvironment(const std::wstring& root, const InstallSettings& settings,
                         const std::map<std::string, std::wstring>& strings);

  std::wstring LocalDataFolder() override;
  std::wstring LowIntegrityDataFolder() override;
  std::wstring PluginFolder() override;
  std::wstring DesktopFolder() override { return desktop; }
  std::wstring ProgramsFolder() override { return programs; }
  std::wstring LauncherPath() override { return launcher; }

  bool TestAndSetRunState(const char* name) override;
  void ReportOneTimeEvent(const char* name, int type) override;
  bool StartHidden(const std::wstring& file, const std::wstring& parameters,
                   HANDLE* process) override;
  void ShellOpen(const std::wstring& file, const std::wstring& parameters) override;

  std::wstring root;
  std::wstring dorvgame;  // the local "dorvgame" folder, shared by every product
  std::wstring desktop;
  std::wstring programs;
  std::wstring launcher;
  std::set<std::string> runStates;
  std::vector<std::pair<std::string, int>> reports;
  std::vector<std::wstring> started;  // file and parameters of each hidden start
  std::vector<std::wstring> opened;
  bool reallyStart = false;
};

// The settings the tests start from: every list and switch in use.
InstallSettings SampleSettings();
std::map<std::string, std::wstring> SampleStrings();
