// Pictures, a host and a window for the launcher window's tests.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "LauncherWindow.h"
#include "SkinPictureSource.h"

namespace WindowTest {

// A 32-bit bottom-up DIB section of one colour and alpha.
HBITMAP SolidPicture(int width, int height, COLORREF colour, BYTE alpha);
// BGRA of a 32-bit DIB section at picture coordinates (x, y).
DWORD PixelOf(HBITMAP bitmap, int x, int y);
BYTE AlphaOf(DWORD pixel);
COLORREF ColourOf(DWORD pixel);
void SetPixelOf(HBITMAP bitmap, int x, int y, DWORD pixel);

// Every picture a solid colour of its own; backgrounds have a transparent
// 8 x 8 corner at the top left and a half-transparent row at the bottom.
class SolidPictures : public ISkinPictureSource {
 public:
  HBITMAP Load(HMODULE module, int id, HWND window) override;
  static COLORREF ColourFor(int id);
  static SIZE SizeFor(int id);
  int failId = 0;
  std::vector<int> loaded;
};

class RecordingHost : public ILauncherWindowHost {
 public:
  bool Layout() override;
  void RestartUpdater() override { ++restarts; }
  ExitAnswer ConfirmExit(HWND) override {
    ++exitQuestions;
    return exitAnswer;
  }
  void OpenLink(int index) override { links.push_back(index); }
  void OpenMessageUrl(const std::wstring& url) override { messageUrls.push_back(url); }

  LauncherWindow* window = nullptr;
  int layouts = 0;
  int restarts = 0;
  int exitQuestions = 0;
  ExitAnswer exitAnswer = ExitAnswer::Confirmed;
  std::vector<int> links;
  std::vector<std::wstring> messageUrls;
};

// The rectangles RecordingHost lays out.
WindowRects SmallRects();
WindowRects MainRects();

// A top-level window whose procedure is the launcher window's.
HWND CreateLauncherWindow(LauncherWindow* window);
// Dispatches what is queued for this thread (bounded).
void Pump();
LPARAM Point(int x, int y);

}  // namespace WindowTest
