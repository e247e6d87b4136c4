#include "ConfiguredWindowHost.h"

#include "ConfigMgr.h"
#include "LauncherWindow.h"
#include "CodePageConversion.h"
#include "WindowLayout.h"

bool ConfiguredWindowHost::Layout() { return LayoutWindow(config, window); }

ExitAnswer ConfiguredWindowHost::ConfirmExit(HWND owner) {
  std::wstring caption, body;
  if (!config.GetString("sure_to_exit_title", &caption) || !config.GetString("sure_to_exit", &body))
    return ExitAnswer::NoText;
  return AskExitConfirmation(owner, body.c_str(), caption.c_str());
}

void ConfiguredWindowHost::OpenLink(int linkIndex) {
  const std::string* urls[] = {&config.governmentButtonUrl, &config.bbsButtonUrl,
                               &config.chargeButtonUrl, &config.customServiceButtonUrl};
  if (linkIndex < 0 || linkIndex >= 4) return;
  // The configuration is UTF-8; the shell's ANSI entry wants the code page.
  std::wstring wide;
  std::string ansi;
  if (!ToWideString(*urls[linkIndex], CP_UTF8, &wide) || !ToAnsiString(wide, &ansi)) return;
  OpenLinkUrl(ansi.c_str());
}

void ConfiguredWindowHost::OpenMessageUrl(const std::wstring& url) { OpenMessageUrlInShell(url); }
