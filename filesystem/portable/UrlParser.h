// Splits a download URL into what the downloader puts into its requests:
// host, port, the percent-encoded request path and the directory URL that
// serves as Referer. Only "http://" URLs are accepted. Portable: no Windows
// headers. A parser parses one URL; make a fresh one for every URL.
#pragma once

#include <cstdint>
#include <string>

namespace FileSystem {

class UrlParser {
 public:
  enum Scheme { kSchemeUnknown = 0, kSchemeFtp = 1, kSchemeHttp = 2 };

  UrlParser() = default;
  virtual ~UrlParser() = default;

  // False when the text is not an http URL that fits the limits below, or
  // holds a 0 byte; the fields of the steps that ran before the failure
  // keep what they set.
  bool Parse(std::string url);

  std::string GetUser() const { return user_; }
  std::string GetPassword() const { return password_; }
  std::string GetPath() const { return path_; }
  std::string GetHost() const { return host_; }
  std::string GetEncodedPath() const { return encodedPath_; }
  std::string GetDirectoryUrl() const { return directoryUrl_; }
  std::string GetCleanUrl() const { return cleanUrl_; }
  int32_t GetPort() const { return port_; }
  int32_t GetScheme() const { return scheme_; }

  // 21 for ftp, 80 for http, 0 for anything else.
  static int32_t DefaultPort(int32_t scheme);

  static constexpr size_t kMaxUrlLength = 510;
  static constexpr size_t kMaxPathLength = 510;
  static constexpr size_t kMaxHostLength = 255;
  static constexpr size_t kMaxDirectoryUrlLength = 512;
  static constexpr size_t kMaxCredentialLength = 29;

 private:
  bool ParseCredentials(const std::string& text);
  bool ParseHostAndPort(const std::string& text);
  bool ParseCleanUrl(const std::string& text);
  bool ParsePath(const std::string& text);
  void EncodePath();
  bool ParseDirectoryUrl();

  std::string user_;
  std::string password_;
  std::string path_;
  std::string host_;
  std::string encodedPath_;
  std::string directoryUrl_;
  std::string cleanUrl_;
  int32_t port_ = 0;
  int32_t scheme_ = kSchemeUnknown;

  // Positions found while parsing: the two slashes after the scheme's colon,
  // the '/' that ends the authority and the credentials' '@'.
  size_t secondSlash_ = std::string::npos;
  size_t thirdSlash_ = std::string::npos;
  size_t at_ = std::string::npos;
};

}  // namespace FileSystem
