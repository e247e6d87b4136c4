#include "HttpRequest.h"

#include <cinttypes>
#include <cstdio>

namespace FileSystem {

namespace {

bool HasLineBreak(const std::string& value) {
  return value.find('\r') != std::string::npos || value.find('\n') != std::string::npos;
}

class RequestBuilder {
 public:
  explicit RequestBuilder(std::string* text) : text_(text) { text_->clear(); }

  void Line(const std::string& prefix, const std::string& value = std::string()) {
    if (!ok_) return;
    if (HasLineBreak(value) || prefix.size() + value.size() + 2 > HttpRequest::kMaxLineLength) {
      ok_ = false;
      return;
    }
    text_->append(prefix).append(value).append("\r\n");
    if (text_->size() > HttpRequest::kMaxRequestLength) ok_ = false;
  }

  bool Finish() {
    Line("");
    if (!ok_) text_->clear();
    return ok_;
  }

 private:
  std::string* text_;
  bool ok_ = true;
};

const char* RequestMethod(HttpRequest::Kind kind) { return kind == HttpRequest::kHead ? "HEAD " : "GET "; }

const char* RequestVersion(HttpRequest::Kind kind) {
  return kind == HttpRequest::kGet10 ? " HTTP/1.0" : " HTTP/1.1";
}

}  // namespace

bool HttpRequest::Format(Kind kind, const Fields& fields, std::string* text) {
  if (text == nullptr) return false;
  RequestBuilder request(text);
  request.Line(RequestMethod(kind), fields.path + RequestVersion(kind));
  request.Line("User-Agent: Mozilla/4.0(compatible;MSIE 5.00;Windows 98)");
  request.Line("Accept: */*");
  request.Line("Host: ", fields.host);
  request.Line("Referer: ", fields.referer);
  for (const std::string& cookie : fields.cookies) request.Line("Cookie: ", cookie);
  if (kind == kHead) {
    request.Line("Pragma: no-cache");
    request.Line("Cache-Control:no-cache");
    request.Line("Connection: Keep-Alive");
  } else {
    request.Line("Connection: close");
  }
  if (kind == kGetRange) {
    char range[64];
    std::snprintf(range, sizeof range, "%" PRId64 "-", fields.resumePoint);
    request.Line("Range: bytes=", range);
  }
  return request.Finish();
}

}  // namespace FileSystem
