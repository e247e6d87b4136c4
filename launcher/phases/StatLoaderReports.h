// The phases' reports through the report client: one-time events through
// the statistics report, dispatch reports as posts of the HTTP worker.
#pragma once

#include "HttpClient.h"
#include "ILoaderReports.h"
#include "StatReporter.h"

class StatLoaderReports : public ILoaderReports {
 public:
  StatLoaderReports(StatReporter* stats, HttpClient* client) : stats_(stats), client_(client) {}
  bool ReportStat(const char* name, int type) override { return stats_->ReportStat(name, type); }
  void Post(const std::string& url, const std::string& body) override {
    client_->Post(url.c_str(), body.c_str());
  }

 private:
  StatReporter* stats_;
  HttpClient* client_;
};
