#include "ReportSink.h"

#include <cctype>
#include <cstdlib>

namespace TestFixtures {

namespace {

class Guard {
 public:
  explicit Guard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~Guard() { LeaveCriticalSection(lock_); }

 private:
  CRITICAL_SECTION* lock_;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

size_t ContentLength(const std::string& head) {
  const std::string lower = Lower(head);
  const size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return static_cast<size_t>(std::strtoul(lower.c_str() + at + 17, nullptr, 10));
}

SinkRequest Parse(const std::string& head, const std::string& body) {
  SinkRequest request;
  request.head = head;
  request.body = body;
  const size_t space = head.find(' ');
  const size_t second = head.find(' ', space + 1);
  if (space != std::string::npos && second != std::string::npos) {
    request.method = head.substr(0, space);
    request.path = head.substr(space + 1, second - space - 1);
  }
  return request;
}

}  // namespace

ReportSink::ReportSink(Mode mode) : mode_(mode) {
  InitializeCriticalSection(&lock_);
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (listener_ == INVALID_SOCKET ||
      bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0) {
    return;
  }
  int length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  thread_ = CreateThread(nullptr, 0, AcceptMain, this, 0, nullptr);
  if (thread_ != nullptr) port_ = ntohs(address.sin_port);
}

ReportSink::~ReportSink() {
  InterlockedExchange(&stopping_, 1);
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  WSACleanup();
  DeleteCriticalSection(&lock_);
}

std::string ReportSink::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<SinkRequest> ReportSink::Requests() {
  Guard guard(&lock_);
  return requests_;
}

size_t ReportSink::Count() {
  Guard guard(&lock_);
  return requests_.size();
}

bool ReportSink::WaitForCount(size_t count, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (Count() < count) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

size_t ReportSink::Connections() {
  Guard guard(&lock_);
  return connections_;
}

bool ReportSink::WaitForConnections(size_t count, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (Connections() < count) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

DWORD WINAPI ReportSink::AcceptMain(void* self) {
  static_cast<ReportSink*>(self)->AcceptLoop();
  return 0;
}

bool ReportSink::Stopping() { return InterlockedCompareExchange(&stopping_, 0, 0) != 0; }

bool ReportSink::Readable(SOCKET socket) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait = {0, 20000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
}

void ReportSink::Record(const SinkRequest& request) {
  Guard guard(&lock_);
  requests_.push_back(request);
}

void ReportSink::AcceptLoop() {
  while (!Stopping()) {
    if (!Readable(listener_)) continue;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    {
      Guard guard(&lock_);
      ++connections_;
    }
    Serve(client);
    closesocket(client);
  }
}

// Requests of one connection, one after the other (the client keeps its
// connection alive between requests).
void ReportSink::Serve(SOCKET client) {
  std::string pending;
  while (!Stopping()) {
    const size_t end = pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      const std::string head = pending.substr(0, end);
      const size_t bodyLength = ContentLength(head + "\r\n");
      if (pending.size() >= end + 4 + bodyLength) {
        Record(Parse(head, pending.substr(end + 4, bodyLength)));
        pending.erase(0, end + 4 + bodyLength);
        if (mode_ == Mode::kAnswer) {
          static const char kAnswer[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
          send(client, kAnswer, sizeof kAnswer - 1, 0);
        }
        continue;
      }
    }
    if (!Readable(client)) continue;
    char buffer[2048];
    const int got = recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    pending.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace TestFixtures
