// The machine's services for the phases, on Win32.
#pragma once

#include <windows.h>

#include "ILoaderSystem.h"

class LoaderSystem : public ILoaderSystem {
 public:
  LoaderSystem() = default;
  void SetMainWindow(HWND window) { window_ = window; }

  bool GetLocalDataFolder(std::string* folder) override;
  bool GetLowIntegrityDataFolder(std::string* folder) override;
  bool GetModuleFolder(std::string* folder) override;
  std::string GetModulePath() override;
  std::string GetInstallFolder(const std::string& productName) override;
  bool FileExists(const std::string& path) override;
  bool CanLoadSystemLibrary(const std::string& name) override;
  bool SetCurrentFolder(const std::string& folder) override;
  void StartProgram(const std::string& path, const std::wstring& commandLine) override;
  void CloseMainWindow() override;

  // The product whose data folder "dorvgame\<product>\" names.
  void SetProductName(const std::string& productName) { productName_ = productName; }

 private:
  bool DataFolderBelow(int csidl, const char* extra, std::string* folder);

  HWND window_ = nullptr;
  std::string productName_;
};
