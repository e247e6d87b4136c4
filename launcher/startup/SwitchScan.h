// The launcher's command-line switches. A switch is matched
// case-insensitively as a prefix ("/FIRSTRUN", "/installnow"), and two may
// follow each other without a separator ("/FIRSTRUN/CHECKINSTALL"). A '/'
// starts a switch only at the start of the line, after a blank or right
// after a matched switch, and never inside double quotes, so a path or page
// text on the line cannot pass for one.
#pragma once

struct LauncherSwitches {
  bool install = false;
  bool uninstall = false;
  bool plugin = false;
  bool silent = false;
  bool relogin = false;
  bool noFileShortcuts = false;
  bool noInternetShortcuts = false;
  bool firstRun = false;
  bool checkInstall = false;
};

LauncherSwitches ScanSwitches(const wchar_t* commandLine);
