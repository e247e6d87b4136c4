#include "AjpgPictureSource.h"

#include "AjpgBitmap.h"

HBITMAP AjpgPictureSource::Load(HMODULE module, int id, HWND window) {
  return LoadAjpgBitmapById(module, id, window);
}
