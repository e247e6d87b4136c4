// Drawing figures of the launcher window on the shipped skins.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "AjpgPictureSource.h"
#include "ConfigMgr.h"
#include "LauncherWindow.h"
#include "WindowLayout.h"

namespace {

const char kConfig[] =
    "<Config>"
    "<WebBrowser Point=\"TopLeft\" RelateTo=\"Parent\" RelatePoint=\"TopLeft\" X=\"480\" Y=\"120\""
    " W=\"500\" H=\"300\"/>"
    "<LoadingWebBrowser Point=\"Center\" RelateTo=\"WebBrowser\" RelatePoint=\"Center\"/>"
    "<SubProgress Point=\"BottomLeft\" RelateTo=\"Progress\" RelatePoint=\"TopLeft\" Y=\"-6\""
    " Visible=\"true\"/>"
    "<Progress Point=\"BottomCenter\" RelateTo=\"Parent\" RelatePoint=\"BottomCenter\" Y=\"-40\"/>"
    "<CloseButton Point=\"TopRight\" RelateTo=\"Parent\" RelatePoint=\"TopRight\" X=\"-14\" Y=\"12\"/>"
    "<Messages Point=\"BottomCenter\" RelateTo=\"SubProgress\" RelatePoint=\"TopCenter\" Y=\"-4\""
    " W=\"560\" H=\"20\"/>"
    "<SelfUpdateProgress Point=\"BottomCenter\" RelateTo=\"Parent\" RelatePoint=\"BottomCenter\""
    " Y=\"-30\"/>"
    "<SelfUpdateMessage Point=\"BottomCenter\" RelateTo=\"Progress\" RelatePoint=\"TopCenter\""
    " Y=\"-8\" W=\"300\" H=\"20\"/>"
    "</Config>";

class BenchHost : public ILauncherWindowHost {
 public:
  bool Layout() override { return LayoutWindow(config, *window); }
  void RestartUpdater() override {}
  ExitAnswer ConfirmExit(HWND) override { return ExitAnswer::Confirmed; }
  void OpenLink(int) override {}
  void OpenMessageUrl(const std::wstring&) override {}
  ConfigMgr config;
  LauncherWindow* window = nullptr;
};

LauncherWindow* current = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (current) return current->LoaderWindowProc(window, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// The composition image as a 32-bit BMP file, for a look at what was drawn.
bool SaveBitmap(HBITMAP bitmap, const char* path) {
  DIBSECTION section;
  if (GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return false;
  GdiFlush();
  DWORD imageSize = static_cast<DWORD>(section.dsBm.bmWidthBytes) * section.dsBm.bmHeight;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + imageSize;
  BITMAPINFOHEADER header = section.dsBmih;
  header.biSizeImage = imageSize;
  FILE* out = std::fopen(path, "wb");
  if (!out) return false;
  bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
            std::fwrite(&header, sizeof(header), 1, out) == 1 &&
            std::fwrite(section.dsBm.bmBits, imageSize, 1, out) == 1;
  return std::fclose(out) == 0 && ok;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = 50;
  LARGE_INTEGER start = Now();
  LauncherWindow launcher;
  BenchHost host;
  host.window = &launcher;
  // The program's own configuration when it has one, else a small layout.
  if (!host.config.LoadConfig(GetModuleHandleW(nullptr)) &&
      !host.config.LoadConfigText(kConfig, std::strlen(kConfig)))
    return 1;
  WNDCLASSW info = {};
  info.lpfnWndProc = Procedure;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = L"WindowBench";
  RegisterClassW(&info);
  HWND window = CreateWindowExW(0, L"WindowBench", L"velmor", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  current = &launcher;
  launcher.Attach(GetModuleHandleW(nullptr), window, &host, nullptr);
  AjpgPictureSource source;
  if (!launcher.SetUpSkin(source)) {
    std::printf("skin set-up failed\n");
    return 1;
  }
  launcher.SetLoading(true);
  ShowWindow(window, SW_SHOW);
  launcher.RedrawOnWindow();
  LARGE_INTEGER firstFrame = Now();
  std::printf("start to first frame of the small skin: %.2f ms\n", Milliseconds(start, firstFrame));

  WindowSettings settings;
  settings.pageEnabled = false;
  launcher.SetSettings(settings);
  launcher.SwitchToMainSkin();
  launcher.SetProgress(0.5f);
  launcher.SetSubProgress(0.75f);
  MessageStyle status;
  status.text = L"Updating game resources 50%";
  status.color = RGB(230, 230, 230);
  launcher.SetMessage(status);
  HDC dc = GetWindowDC(window);
  LARGE_INTEGER from = Now();
  for (int i = 0; i < rounds; ++i) launcher.Redraw(dc);
  double redraw = Milliseconds(from, Now()) / rounds;

  RECT rect;
  GetWindowRect(window, &rect);
  POINT position = {rect.left, rect.top}, origin = {0, 0};
  SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  from = Now();
  for (int i = 0; i < rounds; ++i)
    UpdateLayeredWindow(window, dc, &position, &size, launcher.CompositionDc(), &origin, 0, &blend,
                        ULW_ALPHA);
  double present = Milliseconds(from, Now()) / rounds;
  ReleaseDC(window, dc);
  if (argc > 1 && !SaveBitmap(launcher.CompositionBitmap(), argv[1]))
    std::printf("could not save %s\n", argv[1]);
  std::printf("main skin %ldx%ld, %d rounds each\n", size.cx, size.cy, rounds);
  std::printf("one full redraw of the main skin:          %.3f ms\n", redraw);
  std::printf("one UpdateLayeredWindow of a prepared image: %.3f ms\n", present);
  launcher.SetLoading(false);
  DestroyWindow(window);
  return 0;
}
