// The launcher's reports: one-time statistics events and posts to the game
// server, both queued without waiting for an answer.
#pragma once

#include <string>

class ILoaderReports {
 public:
  virtual ~ILoaderReports() {}
  // True when the event was new in the run state (and so was posted).
  virtual bool ReportStat(const char* name, int type) = 0;
  virtual void Post(const std::string& url, const std::string& body) = 0;
};
