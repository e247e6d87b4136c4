#include "PlainLoaderView.h"

#include <cstdio>

namespace {

struct MessageEntry {
  const char* id;
  const wchar_t* text;
};

const MessageEntry kMessages[] = {
    {"update_error", L"Update failed. Click here to try again."},
    {"update_game_info", L"Asking the update servers..."},
    {"update_version_file", L"Updating the version list..."},
    {"update_resource_group_file", L"Updating the resource groups..."},
    {"update_file_list", L"Updating the file list..."},
    {"begin_update_resource", L"Starting the update..."},
    {"update_resource_progress", L"Updating resources: %d%%"},
    {"update_finished", L"Update finished."},
    {"please_login", L"Please log in."},
    {"loading_game", L"Loading the game..."},
    {"loading_game_error", L"The game could not be loaded (error %d)."},
};

void FillBar(HDC dc, int left, int top, int width, int height, float fraction, COLORREF color) {
  RECT frame = {left, top, left + width, top + height};
  HBRUSH back = CreateSolidBrush(RGB(40, 40, 40));
  FillRect(dc, &frame, back);
  DeleteObject(back);
  RECT bar = {left, top, left + static_cast<int>(width * fraction), top + height};
  HBRUSH fill = CreateSolidBrush(color);
  FillRect(dc, &bar, fill);
  DeleteObject(fill);
}

}  // namespace

std::wstring PlainLoaderView::MessageText(const std::string& id, int value) {
  for (const MessageEntry& entry : kMessages) {
    if (id != entry.id) continue;
    wchar_t buffer[256];
    _snwprintf(buffer, 255, entry.text, value);
    buffer[255] = L'\0';
    return buffer;
  }
  return std::wstring(id.begin(), id.end());
}

void PlainLoaderView::Show() {
  if (window_ == nullptr) return;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void PlainLoaderView::Repaint() {
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void PlainLoaderView::SetMessage(const char* id, int value) {
  std::wstring format;
  if (textSource_ && textSource_(id, &format) && !format.empty()) {
    // Only one integer conversion is offered to the table's text.
    wchar_t buffer[512];
    bool numeric = format.find(L"%d") != std::wstring::npos && format.find(L"%s") == std::wstring::npos;
    if (numeric) {
      _snwprintf(buffer, 511, format.c_str(), value);
      buffer[511] = L'\0';
      message_ = buffer;
    } else {
      message_ = format;
    }
  } else {
    message_ = MessageText(id, value);
  }
  Repaint();
}

void PlainLoaderView::SetProgress(float progress) {
  progress_ = progress;
  Repaint();
}

void PlainLoaderView::SetSubProgress(float progress) {
  subProgress_ = progress;
  Repaint();
}

void PlainLoaderView::SetCloseEnabled(bool enabled) {
  closeEnabled_ = enabled;
  Repaint();
}

void PlainLoaderView::SwitchToMainSkin() {
  mainSkin_ = true;
  Repaint();
}

void PlainLoaderView::InvalidateAll() { Repaint(); }

void PlainLoaderView::EndLayered() {
  if (window_ != nullptr) SetWindowLongW(window_, GWL_EXSTYLE, 0);
}

void PlainLoaderView::Paint(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  HBRUSH background = CreateSolidBrush(mainSkin_ ? RGB(20, 60, 110) : RGB(70, 30, 90));
  FillRect(dc, &client, background);
  DeleteObject(background);
  int width = client.right - client.left;
  int barWidth = width - 80;
  FillBar(dc, 40, client.bottom - 70, barWidth, 14, subProgress_, RGB(80, 200, 255));
  FillBar(dc, 40, client.bottom - 46, barWidth, 18, progress_, RGB(90, 230, 90));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT text = {40, client.bottom - 110, client.right - 40, client.bottom - 80};
  DrawTextW(dc, message_.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
  RECT title = {40, 30, client.right - 40, 70};
  DrawTextW(dc, mainSkin_ ? L"velmor" : L"velmor updater", -1, &title, DT_LEFT | DT_SINGLELINE);
}

LRESULT PlainLoaderView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc != nullptr) Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
      if (closeEnabled_) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
