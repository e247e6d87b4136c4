// The phases' log written through the launcher log: the text is handed on
// as it is, never read as a format.
#pragma once

#include "ILoaderLog.h"
#include "LogMgr.h"

class LogMgrLoaderLog : public ILoaderLog {
 public:
  explicit LogMgrLoaderLog(LogMgr* log) : log_(log) {}
  void Write(int level, const char* text) override { log_->LogText(level, text); }

 private:
  LogMgr* log_;
};
