// Reading the response heads the downloader receives: the status line,
// Content-Length, Location and Set-Cookie lines, and resolving a Location
// against the request it answers. Portable: no Windows headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace FileSystem {

class HttpResponseHead {
 public:
  // A header line is examined up to this many characters; the rest is cut.
  static constexpr size_t kMaxExaminedLine = 254;
  static constexpr size_t kMaxContentLengthText = 25;
  static constexpr size_t kMaxLocationLength = 511;

  // What a GET answer's head says: only the status and the Location count.
  struct GetAnswer {
    int status = -1;  // -1: no status line
    bool hasLocation = false;
    std::string location;
  };

  // One Location or Set-Cookie line of an information answer, in head order.
  struct Item {
    enum Kind { kLocation, kCookie };
    Kind kind;
    std::string value;
  };

  // What a HEAD answer (or a GET used for information) says.
  struct InfoAnswer {
    int status = -1;             // -1: no status line
    int64_t contentLength = -1;  // -1: none given
    // A Content-Length that is longer than kMaxContentLengthText or does not
    // fit a signed 64-bit number; the walk stopped at that line.
    bool lengthTooLong = false;
    size_t lengthTextSize = 0;
    std::vector<Item> items;
  };

  // head: the whole head, its empty line included.
  static GetAnswer ReadGetHead(const std::string& head);
  // head: the head text as InfoHeadText cuts it.
  static InfoAnswer ReadInfoHead(const std::string& head);

  // The text up to, not including, the final LF of the first CR LF CR LF;
  // empty when there is none.
  static std::string InfoHeadText(const std::string& received);

  // The request path before its last '/'; empty when it has none.
  static std::string RequestDirectory(const std::string& requestPath);

  // An absolute http or ftp Location stays as it is; '/x' and bare names
  // are made absolute on the server that answered, its port kept (a port
  // other than 80 is written into the URL).
  static std::string ResolveLocation(const std::string& value, const std::string& host,
                                     int32_t port, const std::string& requestPath);

  // Leading blanks, an optional sign and decimal digits, up to the first
  // other character (no digits: 0). False when the value does not fit.
  static bool ParseLength(const std::string& text, int64_t* value);

  // A cookie goes verbatim into later request lines: control characters
  // would split or bend them, so such a cookie is not kept.
  static bool IsCookieSafe(const std::string& cookie);
};

}  // namespace FileSystem
