// The launcher program: everything it does lives in the launcher library.
#include <windows.h>

#include "LauncherMain.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  return LauncherMain(instance, commandLine);
}
