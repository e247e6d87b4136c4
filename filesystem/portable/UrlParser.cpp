#include "UrlParser.h"

namespace FileSystem {

namespace {

const char kDefaultUser[] = "anonymous";
const char kDefaultPassword[] = "582039";
const int32_t kMaxPort = 65535;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() || LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool NeedsEncoding(unsigned char c) {
  if (c >= 0x01 && c <= 0x20) return true;
  if (c >= 0x7F) return true;
  switch (c) {
    case 0x22: case 0x3C: case 0x3E: case 0x5C: case 0x5E: case 0x60:
    case 0x7B: case 0x7C: case 0x7D:
      return true;
    default:
      return false;
  }
}

// A host goes verbatim into the Host line and the resolver: blanks, control
// characters and DEL would let a URL or a Location split or bend a request.
bool IsHostTextSafe(const std::string& host) {
  for (unsigned char c : host) {
    if (c < 0x21 || c == 0x7F) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  size_t begin = 0;
  while (begin < end && text[begin] == ' ') ++begin;
  return text.substr(begin, end - begin);
}

}  // namespace

int32_t UrlParser::DefaultPort(int32_t scheme) {
  if (scheme == kSchemeFtp) return 21;
  if (scheme == kSchemeHttp) return 80;
  return 0;
}

bool UrlParser::Parse(std::string url) {
  const std::string text = Trim(url);
  scheme_ = kSchemeUnknown;
  if (text.size() >= 7) {
    if (StartsWithNoCase(text, "ftp://")) {
      scheme_ = kSchemeFtp;
    } else if (StartsWithNoCase(text, "http://")) {
      scheme_ = kSchemeHttp;
    }
  }
  if (scheme_ != kSchemeHttp) return false;
  if (text.size() > kMaxUrlLength) return false;
  // A 0 byte would end the URL as text but travel inside the request line
  // as a byte the path encoding leaves alone.
  if (text.find('\0') != std::string::npos) return false;

  // "http://" puts the first two slashes right after the colon.
  const size_t firstSlash = text.find('/');
  secondSlash_ = firstSlash == std::string::npos ? std::string::npos : text.find('/', firstSlash + 1);
  thirdSlash_ = secondSlash_ == std::string::npos ? std::string::npos : text.find('/', secondSlash_ + 1);
  at_ = std::string::npos;
  if (secondSlash_ != std::string::npos) {
    const size_t end = thirdSlash_ == std::string::npos ? text.size() : thirdSlash_;
    const size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
    if (at != std::string::npos && at > secondSlash_) at_ = at;
  }

  if (!ParseCredentials(text)) return false;
  if (!ParseHostAndPort(text)) return false;
  if (!ParseCleanUrl(text)) return false;
  if (!ParsePath(text)) return false;
  EncodePath();
  return ParseDirectoryUrl();
}

bool UrlParser::ParseCredentials(const std::string& text) {
  if (at_ == std::string::npos) {
    user_ = kDefaultUser;
    password_ = kDefaultPassword;
    return true;
  }
  const size_t userBegin = secondSlash_ + 1;
  const size_t colon = text.find(':', userBegin);
  if (colon == std::string::npos || colon >= at_ || colon + 1 == at_) return false;
  const std::string user = text.substr(userBegin, colon - userBegin);
  const std::string password = text.substr(colon + 1, at_ - colon - 1);
  if (user.size() > kMaxCredentialLength || password.size() > kMaxCredentialLength) return false;
  user_ = user;
  password_ = password;
  return true;
}

bool UrlParser::ParseHostAndPort(const std::string& text) {
  if (secondSlash_ == std::string::npos || thirdSlash_ == std::string::npos) return false;
  const size_t begin = at_ != std::string::npos ? at_ + 1 : secondSlash_ + 1;
  // An empty authority names no server at all.
  if (begin >= thirdSlash_) return false;
  const std::string authority = text.substr(begin, thirdSlash_ - begin);

  // The first character is never taken for the port's colon.
  const size_t colon = authority.size() > 1 ? authority.rfind(':') : std::string::npos;
  if (colon == std::string::npos || colon == 0) {
    if (authority.size() > kMaxHostLength || !IsHostTextSafe(authority)) return false;
    host_ = authority;
    port_ = DefaultPort(scheme_);
    return true;
  }
  const std::string host = authority.substr(0, colon);
  const std::string digits = authority.substr(colon + 1);
  if (host.size() > kMaxHostLength || !IsHostTextSafe(host)) return false;
  if (digits.size() > 5) return false;
  int32_t port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  if (port > kMaxPort) return false;
  host_ = host;
  port_ = port;
  return true;
}

bool UrlParser::ParseCleanUrl(const std::string& text) {
  if (secondSlash_ == std::string::npos) return false;
  if (at_ != std::string::npos) {
    cleanUrl_ = text.substr(0, secondSlash_ + 1) + text.substr(at_ + 1);
  } else {
    cleanUrl_ = text;
  }
  return true;
}

bool UrlParser::ParsePath(const std::string& text) {
  if (thirdSlash_ == std::string::npos) return false;
  const std::string path = text.substr(thirdSlash_);
  if (path.size() > kMaxPathLength) return false;
  path_ = path;
  return true;
}

void UrlParser::EncodePath() {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(path_.size() * 3);
  for (size_t i = 0; i < path_.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path_[i]);
    if (c == '%') {
      if (i + 2 < path_.size() && IsHexDigit(path_[i + 1]) && IsHexDigit(path_[i + 2])) {
        encoded.append(path_, i, 3);
        i += 2;
      } else {
        encoded += "%25";
      }
    } else if (NeedsEncoding(c)) {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    } else {
      encoded += static_cast<char>(c);
    }
  }
  encodedPath_ = encoded;
}

bool UrlParser::ParseDirectoryUrl() {
  if (!directoryUrl_.empty()) return true;
  const size_t lastSlash = cleanUrl_.rfind('/');
  if (lastSlash == std::string::npos || lastSlash == 0) {
    directoryUrl_.clear();
    return true;
  }
  if (lastSlash > kMaxDirectoryUrlLength) return false;
  directoryUrl_ = cleanUrl_.substr(0, lastSlash);
  return true;
}

}  // namespace FileSystem
