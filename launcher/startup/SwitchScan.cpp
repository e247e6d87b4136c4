#include "SwitchScan.h"

#include <cstddef>

namespace {

struct SwitchText {
  const wchar_t* text;
  bool LauncherSwitches::*flag;
};

const SwitchText kSwitches[] = {
    {L"/install", &LauncherSwitches::install},
    {L"/uninstall", &LauncherSwitches::uninstall},
    {L"/plugin", &LauncherSwitches::plugin},
    {L"/silent", &LauncherSwitches::silent},
    {L"/relogin", &LauncherSwitches::relogin},
    {L"/nofileshortcuts", &LauncherSwitches::noFileShortcuts},
    {L"/nointernetshortcuts", &LauncherSwitches::noInternetShortcuts},
    {L"/firstrun", &LauncherSwitches::firstRun},
    {L"/checkinstall", &LauncherSwitches::checkInstall},
};

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// Length of the switch text that the line starts with at p, 0 for none.
size_t MatchAt(const wchar_t* p, LauncherSwitches* switches) {
  for (const SwitchText& candidate : kSwitches) {
    size_t n = 0;
    while (candidate.text[n] != L'\0' && LowerAscii(p[n]) == candidate.text[n]) ++n;
    if (candidate.text[n] == L'\0') {
      switches->*candidate.flag = true;
      return n;
    }
  }
  return 0;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

LauncherSwitches ScanSwitches(const wchar_t* commandLine) {
  LauncherSwitches switches;
  if (commandLine == nullptr) return switches;
  bool quoted = false;
  size_t matchEnd = 0;
  for (size_t i = 0; commandLine[i] != L'\0'; ++i) {
    wchar_t c = commandLine[i];
    if (c == L'"') {
      quoted = !quoted;
      continue;
    }
    if (c != L'/' || quoted) continue;
    bool atStart = i == 0 || IsBlank(commandLine[i - 1]) || (matchEnd != 0 && i == matchEnd);
    if (!atStart) continue;
    size_t n = MatchAt(commandLine + i, &switches);
    if (n != 0) matchEnd = i + n;
  }
  return switches;
}
