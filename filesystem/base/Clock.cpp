#include "base/Clock.h"

#include <windows.h>

namespace FileSystem {

namespace {

// The frequency is fixed at boot; asking once saves a call per reading.
uint64_t CounterFrequency() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart > 0 ? static_cast<uint64_t>(value.QuadPart) : 1u;
  }();
  return frequency;
}

}  // namespace

uint64_t Clock::MicrosecondsNow() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t perSecond = CounterFrequency();
  // Split so that the product cannot overflow however long the machine runs.
  return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

uint64_t Clock::MillisecondsSince(uint64_t startMicroseconds) {
  return (MicrosecondsNow() - startMicroseconds) / 1000u;
}

}  // namespace FileSystem
