// The launcher log as the phases write it: one line per call, at level 0
// (information), 1 (warning) or 2 (error).
#pragma once

class ILoaderLog {
 public:
  virtual ~ILoaderLog() {}
  virtual void Write(int level, const char* text) = 0;
};
