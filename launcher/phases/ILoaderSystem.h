// The few services of the machine the phases need: folders, files, the
// system's own libraries and starting a program.
#pragma once

#include <string>

class ILoaderSystem {
 public:
  virtual ~ILoaderSystem() {}
  // Folders end in '\'; false when they cannot be obtained.
  virtual bool GetLocalDataFolder(std::string* folder) = 0;
  virtual bool GetLowIntegrityDataFolder(std::string* folder) = 0;
  virtual bool GetModuleFolder(std::string* folder) = 0;
  virtual std::string GetModulePath() = 0;
  // The product's install folder from the registry; empty when unset.
  virtual std::string GetInstallFolder(const std::string& productName) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // True when the system loads the library itself (it is freed again).
  virtual bool CanLoadSystemLibrary(const std::string& name) = 0;
  virtual bool SetCurrentFolder(const std::string& folder) = 0;
  virtual void StartProgram(const std::string& path, const std::wstring& commandLine) = 0;
  // Closes the main window; the loading phase then ends with a quit message.
  virtual void CloseMainWindow() = 0;
};
