#include "GameRunLoop.h"

namespace {

const DWORD kPeriodMs = 16;

HANDLE StartPeriodicTimer() {
  HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  if (timer == nullptr) return nullptr;
  LARGE_INTEGER due;
  due.QuadPart = -1;
  if (!SetWaitableTimer(timer, &due, kPeriodMs, nullptr, nullptr, FALSE)) {
    CloseHandle(timer);
    return nullptr;
  }
  return timer;
}

// Handles every waiting message; true with the exit code on WM_QUIT.
bool PumpMessages(IGameRunTarget* game, int* exitCode) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      game->Unload();
      *exitCode = static_cast<int>(message.wParam);
      return true;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return false;
}

}  // namespace

int RunGameLoop(IGameRunTarget* game, bool withoutTimer) {
  HANDLE timer = withoutTimer ? nullptr : StartPeriodicTimer();
  DWORD nextActivation = GetTickCount() + kPeriodMs;
  int exitCode = 0;
  for (;;) {
    DWORD result = WAIT_FAILED;
    if (timer != nullptr) {
      result = MsgWaitForMultipleObjectsEx(1, &timer, INFINITE, QS_ALLINPUT, 0);
      if (result == WAIT_FAILED) {
        // The timer is of no use any more; the timed wait below takes over.
        CloseHandle(timer);
        timer = nullptr;
      }
    }
    if (timer == nullptr) {
      DWORD now = GetTickCount();
      DWORD left = static_cast<int>(nextActivation - now) > 0 ? nextActivation - now : 0;
      result = MsgWaitForMultipleObjectsEx(0, nullptr, left, QS_ALLINPUT, 0);
      if (result == WAIT_TIMEOUT || result == WAIT_FAILED) {
        if (result == WAIT_FAILED) Sleep(kPeriodMs);
        nextActivation = GetTickCount() + kPeriodMs;
        game->Activate();
        continue;
      }
    } else if (result == WAIT_OBJECT_0) {
      game->Activate();
      continue;
    }
    if (PumpMessages(game, &exitCode)) break;
  }
  if (timer != nullptr) CloseHandle(timer);
  return exitCode;
}
