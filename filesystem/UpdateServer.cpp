#include "UpdateServer.h"

#include <ws2tcpip.h>

#include <cstring>

#include "ConnectPoll.h"
#include "FileSystem.h"
#include "HostAddress.h"
#include "LogManager.h"
#include "ProductQuery.h"
#include "WinsockInit.h"

namespace FileSystem {

static_assert(HostAddress::kFamilyIPv4 == AF_INET && HostAddress::kFamilyIPv6 == AF_INET6,
              "the resolver's address families");

namespace {

uint64_t MicrosecondsNow() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t perSecond = static_cast<uint64_t>(frequency.QuadPart);
  return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

// Milliseconds since a start taken with MicrosecondsNow.
uint64_t MillisecondsSince(uint64_t start) { return (MicrosecondsNow() - start) / 1000u; }

bool SetBlocking(SOCKET socket, bool blocking) {
  u_long mode = blocking ? 0 : 1;
  return ioctlsocket(socket, FIONBIO, &mode) == 0;
}

}  // namespace

UpdateServer::UpdateServer(LogManager& log) : log_(log) {}

UpdateServer::~UpdateServer() {
  Stop();
  thread_.Join();
}

void UpdateServer::SetHost(const char* host, uint32_t port) {
  ScopedLock lock(lock_);
  host_ = host != nullptr ? host : "";
  port_ = port;
}

void UpdateServer::SetProductName(const char* productName) {
  ScopedLock lock(lock_);
  productName_ = productName != nullptr ? productName : "";
}

void UpdateServer::SetTimeouts(uint32_t connectMs, uint32_t socketMs, uint32_t receiveMs) {
  ScopedLock lock(lock_);
  connectTimeoutMs_ = connectMs;
  socketTimeoutMs_ = socketMs;
  receiveTimeoutMs_ = receiveMs;
}

bool UpdateServer::Start() {
  Stop();
  thread_.Join();
  {
    ScopedLock lock(lock_);
    stop_ = false;
    done_ = false;
    succeeded_ = false;
    failed_ = false;
    results_.clear();
    version_ = 0;
  }
  if (thread_.Start(&UpdateServer::Run, this)) return true;
  ScopedLock lock(lock_);
  done_ = true;
  failed_ = true;
  return false;
}

void UpdateServer::Stop() {
  ScopedLock lock(lock_);
  stop_ = true;
}

void UpdateServer::Join() { thread_.Join(); }

bool UpdateServer::Done() {
  ScopedLock lock(lock_);
  return done_;
}

bool UpdateServer::Succeeded() {
  ScopedLock lock(lock_);
  return succeeded_;
}

bool UpdateServer::Failed() {
  ScopedLock lock(lock_);
  return failed_;
}

uint32_t UpdateServer::Version() {
  ScopedLock lock(lock_);
  return version_;
}

std::vector<BaseUrl> UpdateServer::Results() {
  ScopedLock lock(lock_);
  return results_;
}

void UpdateServer::Run(void* self) {
  UpdateServer* server = static_cast<UpdateServer*>(self);
  WinsockInit sockets;
  if (!sockets.Ok()) {
    server->EndFailed();
    return;
  }
  server->Query();
  server->CloseSocket();
}

bool UpdateServer::Stopping() {
  ScopedLock lock(lock_);
  return stop_;
}

void UpdateServer::EndFailed() {
  ScopedLock lock(lock_);
  done_ = true;
  failed_ = true;
}

void UpdateServer::EndSucceeded(uint32_t version, std::vector<BaseUrl>* urls) {
  ScopedLock lock(lock_);
  results_.insert(results_.end(), urls->begin(), urls->end());
  version_ = version;
  succeeded_ = true;
  done_ = true;
}

void UpdateServer::Query() {
  if (Stopping()) return;
  std::string host;
  std::string productName;
  uint32_t port = 0;
  {
    ScopedLock lock(lock_);
    host = host_;
    productName = productName_;
    port = port_;
  }
  LogManager& log = log_;
  log.Log(kLogInfo, "Connect to update server \"%s, %u\"...", host.c_str(), port);
  if (!Connect(host, port)) {
    // A stop during the connect is no failure of the server.
    if (Stopping()) return;
    log.Log(kLogError, "Connect to update server \"%s, %u\" failed.", host.c_str(), port);
    EndFailed();
    return;
  }
  if (Stopping()) return;
  std::string request;
  if (!ProductQuery::BuildRequest(productName, &request) || !Send(request)) {
    if (!Stopping()) EndFailed();
    return;
  }
  uint8_t headerBytes[ProductQuery::kHeaderSize];
  ProductReplyHeader header;
  if (!Receive(headerBytes, sizeof headerBytes) ||
      ProductQuery::ParseHeader(headerBytes, sizeof headerBytes, &header) !=
          ProductReplyError::kNone) {
    if (!Stopping()) EndFailed();
    return;
  }
  std::vector<uint8_t> body(ProductQuery::BodySize(header));
  if (!Receive(body.data(), body.size())) {
    if (!Stopping()) EndFailed();
    return;
  }
  std::vector<BaseUrl> urls;
  const ProductReplyError error =
      ProductQuery::ParseBody(header, body.data(), body.size(), productName, &urls);
  if (error == ProductReplyError::kVersionTooLarge) {
    log.Log(kLogError, "Update server \"%s, %u\" announced version %u, above %u; ignored.",
            host.c_str(), port, header.version, ProductQuery::kMaxVersion);
  }
  if (error != ProductReplyError::kNone) {
    EndFailed();
    return;
  }
  if (Stopping()) return;
  EndSucceeded(header.version, &urls);
}

bool UpdateServer::Connect(const std::string& host, uint32_t port) {
  CloseSocket();
  uint32_t socketTimeoutMs = 0;
  {
    ScopedLock lock(lock_);
    socketTimeoutMs = socketTimeoutMs_;
  }
  // The port field of the wire address is 16 bits; a larger number would
  // silently reach another port.
  // An empty name would resolve to this machine itself, which is never
  // what a configuration with a missing host means.
  if (port > 0xFFFF || host.empty()) return false;
  socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) return false;
  socketOpen_ = true;
  const hostent* entry = gethostbyname(host.c_str());
  uint8_t resolved[4];
  // Only an IPv4 answer fits the IPv4 socket; anything else fails this
  // server rather than being read as four address bytes.
  if (entry == nullptr ||
      !HostAddress::FirstIPv4(entry->h_addrtype, entry->h_length, entry->h_addr_list, resolved))
    return false;
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  std::memcpy(&address.sin_addr, resolved, sizeof resolved);
  if (!SetBlocking(socket_, false)) return false;
  bool connected = connect(socket_, reinterpret_cast<const sockaddr*>(&address),
                           sizeof address) == 0;
  if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) connected = WaitForConnect();
  if (!SetBlocking(socket_, true) || !connected) return false;
  connected_ = true;
  const DWORD timeout = socketTimeoutMs;
  setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof timeout);
  return SetBlocking(socket_, false);
}

bool UpdateServer::WaitForConnect() {
  uint32_t timeoutMs = 0;
  {
    ScopedLock lock(lock_);
    timeoutMs = connectTimeoutMs_;
  }
  const uint64_t start = MicrosecondsNow();
  while (MillisecondsSince(start) < timeoutMs && !Stopping()) {
    const ConnectPoll poll = PollConnect(socket_);
    if (poll != ConnectPoll::kPending) return poll == ConnectPoll::kConnected;
    Sleep(1);
  }
  return false;
}

bool UpdateServer::Send(const std::string& bytes) {
  uint32_t timeoutMs = 0;
  {
    ScopedLock lock(lock_);
    timeoutMs = receiveTimeoutMs_;
  }
  // The request is small, but a peer that never reads would otherwise keep
  // this loop going for good; the receive limit bounds it as well.
  const uint64_t start = MicrosecondsNow();
  size_t sent = 0;
  while (sent < bytes.size() && !Stopping()) {
    if (MillisecondsSince(start) >= timeoutMs) return false;
    const size_t left = bytes.size() - sent;
    const int chunk = left > 0x10000 ? 0x10000 : static_cast<int>(left);
    const int result = send(socket_, bytes.data() + sent, chunk, 0);
    if (result == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEINTR || error == WSAEWOULDBLOCK) {
        Sleep(1);
        continue;
      }
      CloseSocket();
      return false;
    }
    if (result == 0) {
      CloseSocket();
      return false;
    }
    sent += static_cast<size_t>(result);
    if (sent < bytes.size()) Sleep(1);
  }
  return sent == bytes.size();
}

bool UpdateServer::Receive(uint8_t* buffer, size_t size) {
  uint32_t timeoutMs = 0;
  {
    ScopedLock lock(lock_);
    timeoutMs = receiveTimeoutMs_;
  }
  const uint64_t start = MicrosecondsNow();
  size_t received = 0;
  while (received < size && !Stopping() && MillisecondsSince(start) < timeoutMs) {
    const size_t left = size - received;
    const int chunk = left > 0x10000 ? 0x10000 : static_cast<int>(left);
    const int result = recv(socket_, reinterpret_cast<char*>(buffer) + received, chunk, 0);
    if (result == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEINTR || error == WSAEWOULDBLOCK) {
        Sleep(1);
        continue;
      }
      CloseSocket();
      return false;
    }
    if (result == 0) {
      CloseSocket();
      return false;
    }
    received += static_cast<size_t>(result);
    if (received < size) Sleep(1);
  }
  return received == size;
}

void UpdateServer::CloseSocket() {
  if (!socketOpen_) return;
  if (connected_) shutdown(socket_, SD_RECEIVE);
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
  socketOpen_ = false;
  connected_ = false;
}

}  // namespace FileSystem
