// The phases of the launcher window, with their names for the log.
#pragma once

enum LoaderState {
  kLoaderStart = 0,
  kLoaderUpdating = 1,
  kLoaderWaitingForLogin = 2,
  kLoaderLoadingGame = 3,
  kLoaderFailed = 5,
};

inline const char* LoaderStateName(int state) {
  switch (state) {
    case kLoaderStart: return "Start";
    case kLoaderUpdating: return "Updating";
    case kLoaderWaitingForLogin: return "WaitingForLogin";
    case kLoaderLoadingGame: return "LoadingGame";
    case kLoaderFailed: return "Failed";
    default: return "Unknown";
  }
}
