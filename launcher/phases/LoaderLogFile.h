// The launcher log "gameupdater.log": one line per message in the shared
// log-line format, written under a lock because the file system's threads
// log too.
#pragma once

#include <windows.h>

#include <string>

#include "ILoaderLog.h"

class LoaderLogFile : public ILoaderLog {
 public:
  LoaderLogFile();
  ~LoaderLogFile() override;
  LoaderLogFile(const LoaderLogFile&) = delete;
  LoaderLogFile& operator=(const LoaderLogFile&) = delete;

  // Truncates the file; false when it cannot be created.
  bool Open(const std::string& path);
  // Writes "Exit log manager." and closes the file.
  void Close();
  bool IsOpen();
  void Write(int level, const char* text) override;

 private:
  CRITICAL_SECTION lock_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};
