// Skin pictures from the module's "AJPEG" resources as bottom-up 32-bit DIB
// sections for the layered window and the dialogs.
#pragma once

#include <windows.h>

// The resource (found by the caller with FindResourceW) as a new DIB
// section created against the window's DC (the screen for a null window);
// null on any failure, leaving nothing behind. The caller deletes the
// bitmap with DeleteObject.
HBITMAP LoadAjpgBitmap(HMODULE module, HRSRC resource, HWND window);

// FindResourceW with the numeric ID and the type "AJPEG", then
// LoadAjpgBitmap; null when the resource is missing or does not load.
HBITMAP LoadAjpgBitmapById(HMODULE module, int id, HWND window);
