#include "LogLine.h"

#include <cstdio>

const char* LogLevelTag(int level) {
  switch (level) {
    case 0: return "INF";
    case 1: return "WAR";
    case 2: return "ERR";
    default: return nullptr;
  }
}

std::string WithLogLineEnd(const std::string& message) {
  std::string text = message;
  size_t n = text.size();
  if (n >= 2 && text[n - 2] == '\r' && text[n - 1] == '\n') {
    // Already ended as it should be; a CR before the LF must not double.
  } else if (n >= 2 && text[n - 2] == '\n' && text[n - 1] == '\r') {
    text[n - 2] = '\r';
    text[n - 1] = '\n';
  } else if (n >= 1 && text[n - 1] == '\r') {
    text += '\n';
  } else if (n >= 1 && text[n - 1] == '\n') {
    text.insert(n - 1, 1, '\r');
  } else {
    text += "\r\n";
  }
  return text;
}

std::string FormatLogPrefix(const SYSTEMTIME& time, int level) {
  const char* tag = LogLevelTag(level);
  if (!tag) return std::string();
  char prefix[512];
  int n = std::snprintf(prefix, sizeof prefix, "%04u/%02u/%02u-%02u:%02u:%02u<%s>%s",
                        unsigned(time.wYear), unsigned(time.wMonth), unsigned(time.wDay),
                        unsigned(time.wHour), unsigned(time.wMinute), unsigned(time.wSecond),
                        tag, ": ");
  if (n < 0 || n >= int(sizeof prefix)) return std::string();
  return std::string(prefix, size_t(n));
}

std::string FormatLogLine(const SYSTEMTIME& time, int level, const std::string& message) {
  std::string prefix = FormatLogPrefix(time, level);
  if (prefix.empty()) return prefix;
  return prefix + WithLogLineEnd(message);
}
