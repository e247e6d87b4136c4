#include "DialogDriver.h"

namespace {

const DWORD kWaitPerWindowMs = 20000;

std::wstring ControlText(HWND dialog, int id) {
  wchar_t text[512] = {0};
  GetDlgItemTextW(dialog, id, text, 512);
  return text;
}

// A visible dialog of this caption: its caption is set last while it starts.
HWND WaitForDialog(const std::wstring& caption) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < kWaitPerWindowMs) {
    HWND window = FindWindowW(L"#32770", caption.c_str());
    if (window != nullptr && IsWindowVisible(window)) return window;
    Sleep(10);
  }
  return nullptr;
}

}  // namespace

DialogDriver::DialogDriver(const std::vector<Step>& steps)
    : steps_(steps),
      seen_(steps.size()),
      thread_(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr)) {}

DialogDriver::~DialogDriver() { Finish(); }

const std::vector<DialogDriver::Seen>& DialogDriver::Finish() {
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, kWaitPerWindowMs * static_cast<DWORD>(steps_.size() + 1));
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return seen_;
}

DWORD WINAPI DialogDriver::ThreadMain(void* self) {
  static_cast<DialogDriver*>(self)->Run();
  return 0;
}

void DialogDriver::Run() {
  for (size_t i = 0; i < steps_.size(); ++i) {
    HWND dialog = WaitForDialog(steps_[i].caption);
    if (dialog == nullptr) return;
    Seen& seen = seen_[i];
    seen.found = true;
    HWND box = GetDlgItem(dialog, 1002);
    seen.boxVisible = box != nullptr && IsWindowVisible(box);
    seen.boxChecked = box != nullptr && SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    seen.description = ControlText(dialog, 1003);
    seen.okText = ControlText(dialog, IDOK);
    Action action = steps_[i].action;
    if (action == kTickThenOk) SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    if (action == kClearThenOk) SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    WPARAM id = action == kClickCancel ? IDCANCEL : IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    // Before the next step: this window is gone, or the next one is up
    // (a warning over a dialog that stays open beneath it).
    std::wstring next = i + 1 < steps_.size() ? steps_[i + 1].caption : std::wstring();
    DWORD start = GetTickCount();
    while (IsWindow(dialog) && GetTickCount() - start < kWaitPerWindowMs) {
      HWND following = next.empty() ? nullptr : FindWindowW(L"#32770", next.c_str());
      if (following != nullptr && following != dialog && IsWindowVisible(following)) break;
      Sleep(10);
    }
  }
}
