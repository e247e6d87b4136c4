#include "RunStateReports.h"

#include <cstdio>
#include <fstream>

void RunStateReports::SetFile(const std::string& path) {
  path_ = path;
  events_.clear();
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) events_.insert(line);
  }
}

bool RunStateReports::ReportStat(const char* name, int type) {
  if (!events_.insert(name).second) return false;
  if (!path_.empty()) {
    std::ofstream out(path_, std::ios::app);
    out << name << "\n";
  }
  if (log_ != nullptr) {
    char line[256];
    _snprintf(line, sizeof(line) - 1, "Statistics event %s, type=%d.", name, type);
    line[sizeof(line) - 1] = '\0';
    log_->Write(0, line);
  }
  return true;
}

void RunStateReports::Post(const std::string& url, const std::string& body) {
  if (log_ != nullptr) log_->Write(0, ("Report to " + url + ": " + body).c_str());
}
