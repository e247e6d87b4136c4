// Fuzz target for the URL parser, Location resolution and the resolver's
// answer. The input is lines: a URL, then a Location value, the request
// path, and four bytes of a resolver answer. A URL that parses is held to
// its limits and its clean form must parse to the same server and path; a
// resolved Location names the server it was resolved against.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "BaseUrl.h"
#include "FuzzCheck.h"
#include "HostAddress.h"
#include "HttpResponseHead.h"
#include "UrlParser.h"

using namespace FileSystem;

namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void CheckEncoded(const std::string& encoded) {
  for (size_t i = 0; i < encoded.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(encoded[i]);
    FUZZ_CHECK(c > 0x20 && c < 0x7F);
    FUZZ_CHECK(std::strchr("\"<>\\^`{|}", c) == nullptr);
    if (c == '%') FUZZ_CHECK(i + 2 < encoded.size() && IsHex(encoded[i + 1]) && IsHex(encoded[i + 2]));
  }
}

bool CheckUrl(const std::string& url, UrlParser* parser) {
  if (!parser->Parse(url)) return false;
  const std::string host = parser->GetHost();
  FUZZ_CHECK(!host.empty() && host.size() <= UrlParser::kMaxHostLength);
  for (unsigned char c : host) FUZZ_CHECK(c > 0x20 && c != 0x7F);
  FUZZ_CHECK(parser->GetPort() >= 0 && parser->GetPort() <= 65535);
  FUZZ_CHECK(!parser->GetPath().empty() && parser->GetPath()[0] == '/');
  FUZZ_CHECK(parser->GetPath().size() <= UrlParser::kMaxPathLength);
  FUZZ_CHECK(parser->GetUser().size() <= UrlParser::kMaxCredentialLength);
  FUZZ_CHECK(parser->GetPassword().size() <= UrlParser::kMaxCredentialLength);
  CheckEncoded(parser->GetEncodedPath());
  const std::string clean = parser->GetCleanUrl();
  const std::string directory = parser->GetDirectoryUrl();
  FUZZ_CHECK(directory.size() <= UrlParser::kMaxDirectoryUrlLength);
  FUZZ_CHECK(clean.compare(0, directory.size(), directory) == 0);

  UrlParser again;
  FUZZ_CHECK(again.Parse(clean));
  FUZZ_CHECK(again.GetHost() == host && again.GetPort() == parser->GetPort());
  FUZZ_CHECK(again.GetPath() == parser->GetPath());
  FUZZ_CHECK(again.GetCleanUrl() == clean);
  return true;
}

bool StartsNoCase(const std::string& text, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

void CheckLocation(const std::string& value, const UrlParser& server, const std::string& path) {
  const std::string resolved =
      HttpResponseHead::ResolveLocation(value, server.GetHost(), server.GetPort(), path);
  if (StartsNoCase(value, "http://") || StartsNoCase(value, "ftp://")) {
    FUZZ_CHECK(resolved == value);
    return;
  }
  std::string origin = "http://" + server.GetHost();
  if (server.GetPort() != 80) origin += ":" + std::to_string(server.GetPort());
  if (!value.empty() && value[0] == '/') {
    FUZZ_CHECK(resolved == origin + value);
    return;
  }
  FUZZ_CHECK(resolved.compare(0, origin.size(), origin) == 0);
  FUZZ_CHECK(resolved.size() >= origin.size() + value.size() + 1);
  FUZZ_CHECK(resolved.compare(resolved.size() - value.size() - 1, value.size() + 1, "/" + value) == 0);
}

void CheckResolverAnswer(const std::string& bytes) {
  if (bytes.size() < 4) return;
  const int family = bytes[0] & 0x1F;
  const int length = bytes[1] & 0x07;
  const char* addresses[] = {bytes.c_str() + 2, nullptr};
  const char* const* list = (bytes[0] & 0x20) ? nullptr : addresses;
  uint8_t out[4] = {0, 0, 0, 0};
  const bool ok = HostAddress::FirstIPv4(family, length, list, out);
  FUZZ_CHECK(ok == (family == HostAddress::kFamilyIPv4 && length == 4 && list != nullptr));
  if (ok) FUZZ_CHECK(std::memcmp(out, addresses[0], 4) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  std::string rest = FuzzSupport::Text(data, len);
  const std::string url = FuzzSupport::TakeLine(&rest);
  const std::string location = FuzzSupport::TakeLine(&rest);
  const std::string path = FuzzSupport::TakeLine(&rest);
  UrlParser parser;
  BaseUrl base{url, false};
  if (CheckUrl(base.url, &parser)) CheckLocation(location, parser, path);
  CheckResolverAnswer(rest);
  return 0;
}
