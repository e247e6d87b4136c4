// The six skin pictures of the launcher window, kept as DIB sections until
// the user interface is torn down.
#pragma once

#include <windows.h>

class ISkinPictureSource;

enum class SkinPicture { MainBackground, SmallBackground, SmallProgressBar, SubProgressBar,
                         ProgressBar, BrowserPlaceholder, Count };

// Resource IDs of the pictures, in loading order.
int SkinPictureId(SkinPicture picture);

class SkinSet {
 public:
  SkinSet() = default;
  ~SkinSet();

  SkinSet(const SkinSet&) = delete;
  SkinSet& operator=(const SkinSet&) = delete;

  // Loads the six pictures in their order; false (with whatever loaded
  // freed again) at the first that is missing or does not decode.
  bool Load(ISkinPictureSource& source, HMODULE module, HWND window);
  void Free();
  HBITMAP Get(SkinPicture picture) const;
  // Width and height of a picture; 0 x 0 when absent.
  SIZE Size(SkinPicture picture) const;

 private:
  HBITMAP pictures[static_cast<int>(SkinPicture::Count)] = {};
};

SIZE BitmapSize(HBITMAP bitmap);
