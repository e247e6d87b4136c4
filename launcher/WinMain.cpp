// The launcher program: everything it does lives in the launcher library.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show) {
  return 0;
}
