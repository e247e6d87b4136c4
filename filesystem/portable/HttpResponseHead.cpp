#include "HttpResponseHead.h"

#include <cstdio>

namespace FileSystem {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() || UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  }
  return true;
}

size_t PrefixLength(const char* prefix) { return std::char_traits<char>::length(prefix); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string SkipBlanks(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

// Calls visit with every line that a CR LF ends, cut to the examined length.
template <typename Visit>
void WalkLines(const std::string& head, Visit visit) {
  size_t position = 0;
  for (;;) {
    const size_t end = head.find("\r\n", position);
    if (end == std::string::npos) return;
    const std::string line = head.substr(position, end - position);
    if (!visit(line.substr(0, HttpResponseHead::kMaxExaminedLine))) return;
    position = end + 2;
  }
}

// The status line's code: the three characters at positions 9 to 11.
int StatusOf(const std::string& line) {
  const std::string code = line.size() > 9 ? line.substr(9, 3) : std::string();
  int64_t value = 0;
  HttpResponseHead::ParseLength(code, &value);
  return static_cast<int>(value);
}

}  // namespace

HttpResponseHead::GetAnswer HttpResponseHead::ReadGetHead(const std::string& head) {
  GetAnswer answer;
  WalkLines(head, [&answer](const std::string& line) {
    if (StartsWithNoCase(line, "HTTP/1.")) {
      answer.status = StatusOf(line);
    } else if (StartsWithNoCase(line, "Location: ")) {
      answer.hasLocation = true;
      answer.location = line.substr(PrefixLength("Location: "), kMaxLocationLength);
    }
    return true;
  });
  return answer;
}

HttpResponseHead::InfoAnswer HttpResponseHead::ReadInfoHead(const std::string& head) {
  InfoAnswer answer;
  WalkLines(head, [&answer](const std::string& line) {
    if (StartsWithNoCase(line, "HTTP/1.")) {
      answer.status = StatusOf(line);
    } else if (StartsWithNoCase(line, "CONTENT-LENGTH:")) {
      const std::string value = line.substr(PrefixLength("CONTENT-LENGTH:"));
      int64_t length = 0;
      if (value.size() > kMaxContentLengthText || !ParseLength(value, &length)) {
        answer.lengthTooLong = true;
        answer.lengthTextSize = value.size();
        return false;
      }
      answer.contentLength = length;
    } else if (StartsWithNoCase(line, "LOCATION:")) {
      answer.items.push_back({Item::kLocation, SkipBlanks(line.substr(PrefixLength("LOCATION:")))});
    } else if (StartsWithNoCase(line, "SET-COOKIE:")) {
      std::string cookie = SkipBlanks(line.substr(PrefixLength("SET-COOKIE:")));
      cookie = cookie.substr(0, cookie.find(';'));
      if (IsCookieSafe(cookie)) answer.items.push_back({Item::kCookie, cookie});
    }
    return true;
  });
  return answer;
}

std::string HttpResponseHead::InfoHeadText(const std::string& received) {
  const size_t end = received.find("\r\n\r\n");
  if (end == std::string::npos) return std::string();
  return received.substr(0, end + 3);
}

std::string HttpResponseHead::RequestDirectory(const std::string& requestPath) {
  const size_t slash = requestPath.rfind('/');
  return slash == std::string::npos ? std::string() : requestPath.substr(0, slash);
}

std::string HttpResponseHead::ResolveLocation(const std::string& value, const std::string& host,
                                              int32_t port, const std::string& requestPath) {
  if (StartsWithNoCase(value, "HTTP://") || StartsWithNoCase(value, "FTP://")) return value;
  std::string server = "http://" + host;
  if (port != 80) {
    char text[16];
    std::snprintf(text, sizeof text, ":%d", static_cast<int>(port));
    server += text;
  }
  if (!value.empty() && value[0] == '/') return server + value;
  return server + RequestDirectory(requestPath) + "/" + value;
}

bool HttpResponseHead::ParseLength(const std::string& text, int64_t* value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulated as a negative number so that the most negative value fits.
  const int64_t kMin = INT64_MIN;
  int64_t result = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (result < (kMin + digit) / 10) return false;
    result = result * 10 - digit;
  }
  if (!negative) {
    if (result == kMin) return false;
    result = -result;
  }
  *value = result;
  return true;
}

bool HttpResponseHead::IsCookieSafe(const std::string& cookie) {
  for (unsigned char c : cookie) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  }
  return true;
}

}  // namespace FileSystem
