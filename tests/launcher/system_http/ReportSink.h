// A loopback HTTP server on a free port inside the test process that
// records every request whole (head and body) and either answers each one
// or accepts and never answers.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

namespace TestFixtures {

struct SinkRequest {
  std::string method;
  std::string path;
  std::string head;  // request line and headers, up to the blank line
  std::string body;
};

class ReportSink {
 public:
  enum class Mode { kAnswer, kNeverAnswer };

  explicit ReportSink(Mode mode = Mode::kAnswer);
  ~ReportSink();
  ReportSink(const ReportSink&) = delete;
  ReportSink& operator=(const ReportSink&) = delete;

  bool Ok() const { return port_ != 0; }
  std::string Url(const std::string& path) const;

  std::vector<SinkRequest> Requests();
  size_t Count();
  // True once at least count requests arrived, waiting at most timeoutMs.
  bool WaitForCount(size_t count, DWORD timeoutMs);
  // Connections accepted so far.
  size_t Connections();
  bool WaitForConnections(size_t count, DWORD timeoutMs);

 private:
  static DWORD WINAPI AcceptMain(void* self);
  void AcceptLoop();
  void Serve(SOCKET client);
  bool Readable(SOCKET socket);
  bool Stopping();
  void Record(const SinkRequest& request);

  Mode mode_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  volatile LONG stopping_ = 0;
  std::vector<SinkRequest> requests_;
  size_t connections_ = 0;
};

}  // namespace TestFixtures
