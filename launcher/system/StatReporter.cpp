#include "StatReporter.h"

#include <cstdio>

#include "HttpClient.h"
#include "RunState.h"

const OneTimeEvent kOneTimeEvents[13] = {
    {"RunClient", 1},       {"SilentInstall", 2},   {"SilentInstallSuccess", 4},
    {"SelfUpdateSuccess", 6}, {"UpdateSuccess", 7}, {"LoginSuccess", 8},
    {"BeginLoading", 9},    {"LoadingSuccess", 10}, {"LoadingFailed", 11},
    {"SelfUpdateFailed", 12}, {"UpdateFailed", 13}, {"Installed", 0},
    {"CreateShortCuts", 0},
};

StatReporter::StatReporter(RunState* runState, HttpClient* client)
    : runState_(runState), client_(client) {}

void StatReporter::Configure(bool enabled, const std::string& url) {
  enabled_ = enabled;
  url_ = url;
}

bool StatReporter::ReportStat(const char* name, int type) {
  const bool isNew = !runState_->TestAndSet(name);
  if (isNew && enabled_) client_->Post(url_.c_str(), Body(type).c_str());
  return isNew;
}

std::string StatReporter::Body(int type) {
  char body[128];
  std::snprintf(body, sizeof body, "type=%d", type);
  return body;
}
