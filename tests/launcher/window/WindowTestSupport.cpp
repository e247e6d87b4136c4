#include "WindowTestSupport.h"

namespace WindowTest {

HBITMAP SolidPicture(int width, int height, COLORREF colour, BYTE alpha) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  DWORD pixel = (DWORD(alpha) << 24) | (DWORD(GetRValue(colour)) << 16) |
                (DWORD(GetGValue(colour)) << 8) | GetBValue(colour);
  DWORD* pixels = static_cast<DWORD*>(bits);
  for (int i = 0; i < width * height; ++i) pixels[i] = pixel;
  return bitmap;
}

namespace {

DWORD* PixelAddress(HBITMAP bitmap, int x, int y) {
  DIBSECTION section;
  if (!bitmap || GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return nullptr;
  int height = section.dsBm.bmHeight;
  if (x < 0 || y < 0 || x >= section.dsBm.bmWidth || y >= height) return nullptr;
  int row = section.dsBmih.biHeight > 0 ? height - 1 - y : y;
  BYTE* base = static_cast<BYTE*>(section.dsBm.bmBits);
  return reinterpret_cast<DWORD*>(base + static_cast<size_t>(row) * section.dsBm.bmWidthBytes) + x;
}

}  // namespace

DWORD PixelOf(HBITMAP bitmap, int x, int y) {
  GdiFlush();
  DWORD* address = PixelAddress(bitmap, x, y);
  return address ? *address : 0xDEADBEEF;
}

void SetPixelOf(HBITMAP bitmap, int x, int y, DWORD pixel) {
  GdiFlush();
  if (DWORD* address = PixelAddress(bitmap, x, y)) *address = pixel;
}

BYTE AlphaOf(DWORD pixel) { return BYTE(pixel >> 24); }

COLORREF ColourOf(DWORD pixel) {
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

COLORREF SolidPictures::ColourFor(int id) { return RGB(id, 255 - id, (id * 7) & 0xFF); }

SIZE SolidPictures::SizeFor(int id) {
  switch (id) {
    case 132: return {640, 200};   // main background
    case 160: return {150, 100};   // small background
    case 161: return {100, 3};     // small progress bar
    case 144: return {200, 9};     // sub-progress bar
    case 135: return {567, 9};     // main progress bar
    case 179: return {50, 20};     // browser placeholder
    case 180: case 181: case 182: case 183: return {10, 10};  // small Close
    case 137: case 138: case 139: case 152: return {12, 12};  // main Close
    case 140: case 141: case 142: return {12, 12};             // Minimize
    default: return {20, 10};                                  // link buttons
  }
}

HBITMAP SolidPictures::Load(HMODULE, int id, HWND) {
  loaded.push_back(id);
  if (id == failId) return nullptr;
  SIZE size = SizeFor(id);
  HBITMAP bitmap = SolidPicture(size.cx, size.cy, ColourFor(id), 255);
  if (id == 132 || id == 160) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) SetPixelOf(bitmap, x, y, 0);
    for (int x = 0; x < size.cx; ++x)
      SetPixelOf(bitmap, x, size.cy - 1, (DWORD(128) << 24) | (PixelOf(bitmap, x, 0) & 0xFFFFFF));
  }
  return bitmap;
}

WindowRects SmallRects() {
  WindowRects rects;
  rects.window = {0, 0, 150, 100};
  rects.progress = {20, 80, 120, 83};
  rects.subProgress = {20, 90, 220, 99};
  rects.message = {10, 50, 140, 70};
  rects.webBrowser = {100, 30, 250, 130};
  rects.loadingWebBrowser = {150, 60, 200, 80};
  rects.buttons[0] = {130, 5, 140, 15};
  for (int i = 1; i < kButtonCount; ++i) rects.buttons[i] = {10 + 25 * i, 5, 30 + 25 * i, 15};
  return rects;
}

WindowRects MainRects() {
  WindowRects rects;
  rects.window = {0, 0, 640, 200};
  rects.subProgress = {50, 150, 250, 159};
  rects.progress = {50, 170, 617, 179};
  rects.message = {50, 120, 250, 140};
  rects.webBrowser = {300, 40, 450, 110};
  rects.loadingWebBrowser = {350, 60, 400, 80};
  rects.buttons[0] = {620, 5, 632, 17};
  rects.buttons[1] = {600, 5, 612, 17};
  for (int i = 2; i < kButtonCount; ++i) rects.buttons[i] = {30 * i, 20, 30 * i + 20, 30};
  return rects;
}

bool RecordingHost::Layout() {
  ++layouts;
  if (window) window->SetRects(window->IsMainSkin() ? MainRects() : SmallRects());
  return true;
}

namespace {

LauncherWindow* current = nullptr;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (current) return current->LoaderWindowProc(window, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND CreateLauncherWindow(LauncherWindow* window) {
  current = window;
  WNDCLASSW info = {};
  info.lpfnWndProc = Procedure;
  info.hInstance = GetModuleHandleW(nullptr);
  info.lpszClassName = L"LauncherWindowTest";
  info.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  RegisterClassW(&info);
  return CreateWindowExW(0, L"LauncherWindowTest", L"velmor", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                         200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void Pump() {
  MSG message;
  for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

}  // namespace WindowTest
