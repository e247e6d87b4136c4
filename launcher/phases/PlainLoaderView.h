// A plain GDI face for the loader window: a background per skin, the
// message line and the two progress bars. It stands where the skinned
// layered window is not wired in, and paints the same state.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ILoaderView.h"

class PlainLoaderView : public ILoaderView {
 public:
  PlainLoaderView() = default;
  void SetWindow(HWND window) { window_ = window; }
  // Where message texts come from (a format with one number); without
  // one, or when it has no text, the built-in English texts.
  void SetTextSource(std::function<bool(const char*, std::wstring*)> source) { textSource_ = source; }

  bool Prepare() override { return window_ != nullptr; }
  void Show() override;
  void SetMessage(const char* id, int value) override;
  void SetProgress(float progress) override;
  void SetSubProgress(float progress) override;
  void SetCloseEnabled(bool enabled) override;
  void SwitchToMainSkin() override;
  void InvalidateAll() override;
  void EndLayered() override;
  void DestroyUI() override {}

  void Paint(HDC dc);
  // The loading phase's window procedure.
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The English text of a string-table ID, with its number.
  static std::wstring MessageText(const std::string& id, int value);

 private:
  void Repaint();

  std::function<bool(const char*, std::wstring*)> textSource_;
  HWND window_ = nullptr;
  std::wstring message_;
  float progress_ = 0;
  float subProgress_ = 0;
  bool closeEnabled_ = true;
  bool mainSkin_ = false;
};
