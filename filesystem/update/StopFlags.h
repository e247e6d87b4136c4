// What the update manager's threads are told to stop: everything, the
// initialisation thread, the adder thread. Every loop re-reads them.
#pragma once

#include "base/CriticalSection.h"

namespace FileSystem {

class StopFlags {
 public:
  // Guards the flags with the update manager's lock.
  explicit StopFlags(CriticalSection& lock);
  StopFlags(const StopFlags&) = delete;
  StopFlags& operator=(const StopFlags&) = delete;

  void Reset();
  void StopEverything();
  void StopInitialisation();
  // Lets a new initialisation run; false, with nothing changed, once
  // everything stops.
  bool ResumeInitialisation();

  bool Stopping();
  bool InitialisationStopping();
  bool AdderStopping();

 private:
  CriticalSection& lock_;
  bool stopAll_ = false;
  bool stopInitialisation_ = false;
  bool stopAdder_ = false;
};

}  // namespace FileSystem
