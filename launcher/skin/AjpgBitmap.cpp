#include "AjpgBitmap.h"

#include <cstdint>

#include "AjpgDecoder.h"

namespace {

// The largest image a DIB header's 32-bit size field can describe.
constexpr uint64_t kLargestImageBytes = 0x7FFFFFFF;

BITMAPINFOHEADER DibHeader(uint32_t width, uint32_t height, DWORD imageBytes) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);  // positive: bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = imageBytes;
  header.biXPelsPerMeter = 2834;
  header.biYPelsPerMeter = 2834;
  return header;
}

HBITMAP DecodeIntoSection(const void* bytes, DWORD size, HWND window) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!GetAjpgInfo(bytes, size, &width, &height, nullptr, nullptr, nullptr)) return nullptr;
  const uint64_t imageBytes = uint64_t(width) * height * 4;
  if (imageBytes > kLargestImageBytes) return nullptr;
  HDC dc = GetWindowDC(window);
  if (dc == nullptr) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader = DibHeader(width, height, static_cast<DWORD>(imageBytes));
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr &&
      !DecodeAjpg(bytes, size, bits, static_cast<size_t>(imageBytes), size_t(width) * 4)) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  ReleaseDC(window, dc);
  return bitmap;
}

}  // namespace

HBITMAP LoadAjpgBitmap(HMODULE module, HRSRC resource, HWND window) {
  if (resource == nullptr) return nullptr;
  const DWORD size = SizeofResource(module, resource);
  if (size == 0) return nullptr;
  HGLOBAL loaded = LoadResource(module, resource);
  if (loaded == nullptr) return nullptr;
  HBITMAP bitmap = nullptr;
  const void* bytes = LockResource(loaded);
  if (bytes != nullptr) bitmap = DecodeIntoSection(bytes, size, window);
  FreeResource(loaded);
  return bitmap;
}

HBITMAP LoadAjpgBitmapById(HMODULE module, int id, HWND window) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"AJPEG");
  if (resource == nullptr) return nullptr;
  return LoadAjpgBitmap(module, resource, window);
}
