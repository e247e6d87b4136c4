// The one-time statistics report: an event new to the run state is posted
// once as "type=<n>" to the statistics URL while statistics are enabled.
#pragma once

#include <string>

class HttpClient;
class RunState;

// The one-time events and the statistics type each sends (0: none, run
// state only).
struct OneTimeEvent {
  const char* name;
  int type;
};

extern const OneTimeEvent kOneTimeEvents[13];

class StatReporter {
 public:
  StatReporter(RunState* runState, HttpClient* client);

  // The configuration's Stat element: Enable and Url.
  void Configure(bool enabled, const std::string& url);

  // True when the event is new (it is then recorded, and posted when
  // statistics are enabled).
  bool ReportStat(const char* name, int type);

  // "type=%d"
  static std::string Body(int type);

 private:
  RunState* runState_;
  HttpClient* client_;
  bool enabled_ = false;
  std::string url_;
};
