// Where the skin's pictures come from. The launcher decodes the AJPG
// resources of its own module; tests hand in pictures they paint themselves.
#pragma once

#include <windows.h>

class ISkinPictureSource {
 public:
  virtual ~ISkinPictureSource() = default;
  // A new DIB section for picture `id` of `module`, created against the
  // window's DC (the screen when null); null on any failure. The caller owns
  // the bitmap and frees it with DeleteObject.
  virtual HBITMAP Load(HMODULE module, int id, HWND window) = 0;
};
