// A skinned push button: four pictures (disabled optional) and its state.
#pragma once

#include <windows.h>

class ISkinPictureSource;

class Button {
 public:
  Button() = default;
  virtual ~Button();

  Button(const Button&) = delete;
  Button& operator=(const Button&) = delete;

  // Frees the pictures held, then loads normal, over, down and (when not 0)
  // disabled in this order; the first failure frees all four.
  bool Load(ISkinPictureSource& source, HMODULE module, HWND owner, int normalId, int overId,
            int downId, int disabledId);
  void FreeImages();
  // Nothing when hidden; otherwise restores the background under rect (when
  // given) and draws the picture of the current state.
  bool Draw(HBITMAP background, HDC sourceDc, HDC destinationDc) const;
  bool HitTest(int x, int y) const;
  // disabled (when it has a picture), else down, over, normal.
  HBITMAP StateImage() const;

  HBITMAP normalImage = nullptr;
  HBITMAP overImage = nullptr;
  HBITMAP downImage = nullptr;
  HBITMAP disabledImage = nullptr;
  RECT rect = {0, 0, 0, 0};
  bool visible = true;
  bool pressed = false;
  bool hover = false;
  bool disabled = false;
};
