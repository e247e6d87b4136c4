// Drives the uninstaller's modal dialogs from a second thread: waits for
// each expected window by its caption, notes what it shows, then clicks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DialogDriver {
 public:
  enum Action { kClickOk, kClickCancel, kTickThenOk, kClearThenOk };
  struct Step {
    std::wstring caption;
    Action action;
  };
  // What a step found before it clicked.
  struct Seen {
    bool found = false;
    bool boxChecked = false;
    bool boxVisible = false;
    std::wstring description;  // control 1003
    std::wstring okText;
  };

  explicit DialogDriver(const std::vector<Step>& steps);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Waits for the thread (bounded); the steps' findings.
  const std::vector<Seen>& Finish();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();

  std::vector<Step> steps_;
  std::vector<Seen> seen_;
  HANDLE thread_;
};
