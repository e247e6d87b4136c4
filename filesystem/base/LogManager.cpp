#include "base/LogManager.h"

#include <cstdarg>
#include <cstdio>

#include "FileSystem.h"

namespace FileSystem {

LogManager::~LogManager() {
  // The sink is already cleared by the file system's exit, so this last
  // message goes nowhere; it is kept for the symmetry of the exit sequence.
  Log(kLogInfo, "Exit Log System.");
}

void LogManager::SetSink(ILogSystem* sink) {
  ScopedLock guard(lock_);
  sink_ = sink;
}

bool LogManager::Log(int level, const char* format, ...) {
  {
    ScopedLock guard(lock_);
    if (sink_ == nullptr) return false;
  }
  char text[kBufferSize];
  va_list args;
  va_start(args, format);
  const int length = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0 || length >= kBufferSize) return false;

  ScopedLock guard(lock_);
  if (sink_ == nullptr) return false;
  sink_->Log(level, text);
  return true;
}

}  // namespace FileSystem
