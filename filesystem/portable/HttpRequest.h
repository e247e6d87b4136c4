// The request texts the downloader writes by hand, one per exchange kind.
// Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace FileSystem {

class HttpRequest {
 public:
  enum Kind { kHead, kGetRange, kGet, kGet10 };

  struct Fields {
    std::string path;     // request target, already percent-encoded
    std::string host;     // the Host line: the host alone, never a port
    std::string referer;
    std::vector<std::string> cookies;  // one Cookie line each, in this order
    int64_t resumePoint = 0;           // kGetRange only
  };

  // Longest line with its CR LF, and longest whole request: what the
  // downloader's fixed buffers hold.
  static constexpr size_t kMaxLineLength = 511;
  static constexpr size_t kMaxRequestLength = 2047;

  // The request text, ended by the empty line. False (and *text empty) when
  // a line or the whole request does not fit, or when a field carries CR or
  // LF: such a request is refused whole rather than cut or split.
  static bool Format(Kind kind, const Fields& fields, std::string* text);
};

}  // namespace FileSystem
