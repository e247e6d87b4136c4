#include "LauncherWindowHost.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

ExitAnswer AskExitConfirmation(HWND window, const wchar_t* body, const wchar_t* caption) {
  if (!body || !caption) return ExitAnswer::NoText;
  return MessageBoxW(window, body, caption, MB_OKCANCEL) == IDOK ? ExitAnswer::Confirmed
                                                                  : ExitAnswer::Cancelled;
}

namespace {

bool Launched(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

bool OpenLinkUrl(const char* url) {
  if (!url) return false;
  if (Launched(ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL))) return true;
  // No handler for the URL: fall back to the system's own browser.
  char folder[MAX_PATH + 1] = {};
  if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    std::string workingFolder = base + "Internet Explorer\\";
    std::string program = workingFolder + "iexplore.exe";
    if (Launched(ShellExecuteA(nullptr, "open", program.c_str(), url, workingFolder.c_str(),
                               SW_SHOWNORMAL)))
      return true;
  }
  return Launched(ShellExecuteA(nullptr, "open", "IEXPLORE", url, nullptr, SW_SHOWNORMAL));
}

void OpenMessageUrlInShell(const std::wstring& url) {
  // A failed launch is not shown: the status line stays as it is.
  ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
