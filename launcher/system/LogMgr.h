// The launcher's text log "gameupdater.log" in the product's local data
// folder, one line per message in the hosts' shared line format. The
// launcher's code and, through the launcher's log sink, the file system's
// worker threads write to it at the same time, so every line is written
// whole under the log's own lock.
//
// Shutting down: whoever owns the file system releases it first and then
// calls Close, so no worker thread writes into a closing log. Lines logged
// while the log is closed still go to the standard output.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "LauncherLock.h"

class LogMgr {
 public:
  static const char* const kFileName;  // "gameupdater.log"
  static const int kMaxMessageLength = 4092;

  LogMgr();
  virtual ~LogMgr();

  // Opens (and empties) the log in the product's local data folder, or in
  // folder when one is given, creating missing folders. Only errors are
  // written until SetLevels turns more on.
  bool Init();
  bool Init(const std::string& folder);

  // Formats and writes one line; false for a null format, a level other
  // than 0-2, or a message longer than kMaxMessageLength.
  bool Log(int level, const char* format, ...);
  bool LogV(int level, const char* format, va_list args);
  // Writes text as it is, never read as a format: for texts that come from
  // elsewhere, such as the file system's log lines.
  bool LogText(int level, const char* text);

  // Which of levels 0 (information), 1 (warning), 2 (error) are written.
  void SetLevels(bool information, bool warning, bool error);

  // Logs "Exit log manager." and closes the file; later lines go to the
  // standard output only. Safe to call more than once.
  void Close();

  bool IsOpen();
  std::string GetPath();

 private:
  LogMgr(const LogMgr&) = delete;
  LogMgr& operator=(const LogMgr&) = delete;

  LauncherLock lock_;
  std::string path_;
  FILE* file_ = nullptr;
  bool levels_[3] = {false, false, false};
};

extern LogMgr g_logMgr;
