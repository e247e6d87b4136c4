// Reports kept in a run-state file: a one-time event is recorded there by
// name and counts as new only once; posts are written to the log. It stands
// where the HTTP report client is not wired in.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "ILoaderLog.h"
#include "ILoaderReports.h"

class RunStateReports : public ILoaderReports {
 public:
  RunStateReports() = default;
  void SetFile(const std::string& path);
  void SetLog(ILoaderLog* log) { log_ = log; }

  bool ReportStat(const char* name, int type) override;
  void Post(const std::string& url, const std::string& body) override;

 private:
  std::string path_;
  std::set<std::string> events_;
  ILoaderLog* log_ = nullptr;
};
