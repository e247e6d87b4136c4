// Formats the library's messages and hands them to the host's sink, one call
// at a time from whatever thread logs.
#pragma once

#include "base/CriticalSection.h"

namespace FileSystem {

class ILogSystem;

class LogManager {
 public:
  // Longest delivered message plus its terminating NUL.
  static constexpr int kBufferSize = 4096;

  LogManager() = default;
  virtual ~LogManager();
  LogManager(const LogManager&) = delete;
  LogManager& operator=(const LogManager&) = delete;

  void SetSink(ILogSystem* sink);

  // False without a sink, or when the formatted text does not fit the buffer
  // (the message is then dropped whole rather than cut).
  bool Log(int level, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(gnu_printf, 3, 4)))
#endif
      ;

 private:
  ILogSystem* sink_ = nullptr;
  CriticalSection lock_;
};

}  // namespace FileSystem
