// The launcher's own skin pictures: AJPEG resources of its module.
#pragma once

#include "SkinPictureSource.h"

class AjpgPictureSource : public ISkinPictureSource {
 public:
  HBITMAP Load(HMODULE module, int id, HWND window) override;
};
