// What the loader's phases ask of the skinned window: messages by their
// string-table ID, the two progress bars, the Close button, the skins.
#pragma once

class ILoaderView {
 public:
  virtual ~ILoaderView() {}
  // Makes the window the loader's skin window; false when it cannot.
  virtual bool Prepare() = 0;
  // Shows the window and paints it once.
  virtual void Show() = 0;
  // The message of a string-table ID; formatted with value when the text
  // carries a number.
  virtual void SetMessage(const char* id, int value) = 0;
  // Both clamped to [0, 1] by the caller.
  virtual void SetProgress(float progress) = 0;
  virtual void SetSubProgress(float progress) = 0;
  virtual void SetCloseEnabled(bool enabled) = 0;
  virtual void SwitchToMainSkin() = 0;
  // The browser area needs painting again.
  virtual void InvalidateAll() = 0;
  // The window stops being a layered skin window, so the game can draw in it.
  virtual void EndLayered() = 0;
  // Releases fonts, pictures and the composition image.
  virtual void DestroyUI() = 0;
  // Where the login page goes, once Prepare has laid the window out; false
  // when the face has no place of its own for it.
  virtual bool BrowserArea(int* left, int* top, int* width, int* height) { return false; }
};
