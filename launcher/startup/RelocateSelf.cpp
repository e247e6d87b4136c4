#include "RelocateSelf.h"

#include <windows.h>

namespace {

std::string Normalised(const std::string& folder) {
  std::string text = folder;
  for (char& c : text)
    if (c == '/') c = '\\';
  char full[2048] = {};
  DWORD n = GetFullPathNameA(text.c_str(), sizeof(full), full, nullptr);
  if (n > 0 && n < sizeof(full)) text = full;
  char longName[2048] = {};
  n = GetLongPathNameA(text.c_str(), longName, sizeof(longName));
  if (n > 0 && n < sizeof(longName)) text = longName;
  for (char& c : text) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  while (text.size() > 3 && text.back() == '\\') text.pop_back();
  return text;
}

void CreateDirectories(const std::string& folder) {
  for (size_t i = 3; i < folder.size(); ++i)
    if (folder[i] == '\\' || folder[i] == '/') CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
  CreateDirectoryA(folder.c_str(), nullptr);
}

}  // namespace

bool SameFolder(const std::string& a, const std::string& b) { return Normalised(a) == Normalised(b); }

bool RelocateSelf(const wchar_t* commandLine, const LoaderSettings& settings,
                  ILoaderSystem* system) {
  std::string runFolder;
  if (settings.runPlace == kRunPlaceLocalAppData) {
    if (!system->GetLocalDataFolder(&runFolder)) return false;
  } else if (settings.runPlace == kRunPlaceInternetCache) {
    if (!system->GetLowIntegrityDataFolder(&runFolder)) return false;
  } else {
    return true;
  }
  std::string moduleFolder;
  if (!system->GetModuleFolder(&moduleFolder)) return false;
  if (SameFolder(runFolder, moduleFolder)) return true;

  CreateDirectories(runFolder);
  std::string target = runFolder + settings.updaterFileName;
  // Two spellings of one folder (a short and a long name) must not start
  // the program again and again.
  if (SameFolder(system->GetModulePath(), target)) return true;
  if (!system->FileExists(target))
    CopyFileA(system->GetModulePath().c_str(), target.c_str(), TRUE);
  if (!system->FileExists(target)) return false;
  system->StartProgram(target, commandLine != nullptr ? commandLine : L"");
  return false;
}
