#include "SkinSet.h"

#include "SkinPictureSource.h"

namespace {

const int kPictureIds[] = {132, 160, 161, 144, 135, 179};
static_assert(sizeof(kPictureIds) / sizeof(kPictureIds[0]) ==
                  static_cast<size_t>(SkinPicture::Count),
              "one resource ID per skin picture");

}  // namespace

int SkinPictureId(SkinPicture picture) { return kPictureIds[static_cast<int>(picture)]; }

SIZE BitmapSize(HBITMAP bitmap) {
  SIZE size = {0, 0};
  BITMAP description;
  if (bitmap && GetObjectW(bitmap, sizeof(description), &description) == sizeof(description)) {
    size.cx = description.bmWidth;
    size.cy = description.bmHeight < 0 ? -description.bmHeight : description.bmHeight;
  }
  return size;
}

SkinSet::~SkinSet() { Free(); }

bool SkinSet::Load(ISkinPictureSource& source, HMODULE module, HWND window) {
  Free();
  for (int i = 0; i < static_cast<int>(SkinPicture::Count); ++i) {
    pictures[i] = source.Load(module, kPictureIds[i], window);
    if (!pictures[i]) {
      Free();
      return false;
    }
  }
  return true;
}

void SkinSet::Free() {
  for (HBITMAP& picture : pictures) {
    if (picture) DeleteObject(picture);
    picture = nullptr;
  }
}

HBITMAP SkinSet::Get(SkinPicture picture) const {
  int index = static_cast<int>(picture);
  if (index < 0 || index >= static_cast<int>(SkinPicture::Count)) return nullptr;
  return pictures[index];
}

SIZE SkinSet::Size(SkinPicture picture) const { return BitmapSize(Get(picture)); }
