#include "Button.h"

#include <initializer_list>

#include "SkinPictureSource.h"
#include "SkinSet.h"

Button::~Button() { FreeImages(); }

bool Button::Load(ISkinPictureSource& source, HMODULE module, HWND owner, int normalId,
                  int overId, int downId, int disabledId) {
  FreeImages();
  normalImage = source.Load(module, normalId, owner);
  if (normalImage) overImage = source.Load(module, overId, owner);
  if (overImage) downImage = source.Load(module, downId, owner);
  if (downImage && disabledId != 0) disabledImage = source.Load(module, disabledId, owner);
  if (!normalImage || !overImage || !downImage || (disabledId != 0 && !disabledImage)) {
    FreeImages();
    return false;
  }
  return true;
}

void Button::FreeImages() {
  for (HBITMAP* image : {&disabledImage, &downImage, &overImage, &normalImage}) {
    if (*image) DeleteObject(*image);
    *image = nullptr;
  }
}

HBITMAP Button::StateImage() const {
  if (disabled && disabledImage) return disabledImage;
  if (pressed) return downImage;
  if (hover) return overImage;
  return normalImage;
}

bool Button::Draw(HBITMAP background, HDC sourceDc, HDC destinationDc) const {
  if (!visible) return true;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  HGDIOBJ old = nullptr;
  if (background) {
    old = SelectObject(sourceDc, background);
    BitBlt(destinationDc, rect.left, rect.top, width, height, sourceDc, rect.left, rect.top,
           SRCCOPY);
  }
  HBITMAP image = StateImage();
  if (image) {
    HGDIOBJ previous = SelectObject(sourceDc, image);
    if (!old) old = previous;
    BitBlt(destinationDc, rect.left, rect.top, width, height, sourceDc, 0, 0, SRCCOPY);
  }
  if (old) SelectObject(sourceDc, old);
  return true;
}

bool Button::HitTest(int x, int y) const {
  return visible && rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}
