// Small file helpers of the installation tests: a private folder that is
// removed with everything in it, whole-file reads and writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace InstallTestFiles {

// A fresh folder below the temporary folder (on the system drive, whose root
// the uninstaller parks files in); removed when the object ends.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's full path with a closing backslash.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Removes a folder and everything below it (read-only files included),
// without following junctions.
void RemoveTree(const std::wstring& folder);

bool ReadWholeFile(const std::wstring& path, std::vector<char>& bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// Every file below folder, as paths relative to it with '\' separators, sorted.
std::vector<std::wstring> ListFiles(const std::wstring& folder);

// Holds a file open without sharing, as a running program holds its image.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

}  // namespace InstallTestFiles

namespace InstallTestFiles {

// A text value below HKEY_CURRENT_USER; false when the key or value is missing.
bool ReadRegistryText(const std::wstring& keyPath, const std::wstring& name, std::wstring* text);
bool RegistryKeyExists(const std::wstring& keyPath);
void DeleteRegistryKeyTree(const std::wstring& keyPath);

}  // namespace InstallTestFiles
