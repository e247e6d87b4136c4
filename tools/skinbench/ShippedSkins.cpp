#include "ShippedSkins.h"

#include <windows.h>

#include "SkinPictures.h"

std::vector<ShippedSkin> LoadShippedSkins() {
  std::vector<ShippedSkin> skins;
  HMODULE module = GetModuleHandleW(nullptr);
  for (const SkinPictures::ShippedPicture& picture : SkinPictures::kShipped) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(picture.id), L"AJPEG");
    if (resource == nullptr) continue;
    const DWORD size = SizeofResource(module, resource);
    const void* data = LockResource(LoadResource(module, resource));
    if (data != nullptr && size != 0) skins.push_back(ShippedSkin{picture.id, data, size});
  }
  return skins;
}
