// The one clock of the library's waits and rates: a monotonic microsecond
// count from the performance counter, which neither wraps nor steps with
// the wall clock.
#pragma once

#include <cstdint>

namespace FileSystem {

class Clock {
 public:
  static uint64_t MicrosecondsNow();
  // Whole milliseconds since a start taken with MicrosecondsNow.
  static uint64_t MillisecondsSince(uint64_t startMicroseconds);
};

}  // namespace FileSystem
