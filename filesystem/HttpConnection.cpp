#include "HttpConnection.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>

#include "ConnectPoll.h"
#include "FileSystem.h"
#include "LogManager.h"

namespace FileSystem {

namespace {

const int kReceiveBufferSize = 65535;

// Milliseconds since start; GetTickCount wraps, the difference does not.
DWORD ElapsedMs(DWORD start) { return GetTickCount() - start; }

}  // namespace

HttpConnection::HttpConnection(LogManager& log, IStopSignal& stop) : log_(log), stop_(stop) {}

HttpConnection::~HttpConnection() { Close(); }

void HttpConnection::Close() {
  if (!open_) return;
  if (connected_) shutdown(socket_, SD_RECEIVE);
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
  open_ = false;
  connected_ = false;
}

bool HttpConnection::SetBlocking(bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(socket_, FIONBIO, &nonBlocking) == 0;
}

bool HttpConnection::Connect(const std::string& host, int32_t port) {
  Close();
  socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) {
    lastError_ = kErrorSocket;
    return false;
  }
  open_ = true;

  // An empty host (from a URL or a Location that did not parse) names no
  // server; the resolver would otherwise answer with this machine.
  const hostent* entry = host.empty() ? nullptr : gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    lastError_ = kErrorResolve;
    return false;
  }
  // Only an IPv4 answer fits the IPv4 address the socket connects to.
  if (entry->h_addrtype != AF_INET || entry->h_length != 4) {
    lastError_ = kErrorAddressType;
    return false;
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  std::memcpy(&address.sin_addr, entry->h_addr_list[0], 4);
  log_.Log(kLogInfo, "connect to ip %s when download file %s", inet_ntoa(address.sin_addr),
           url_.c_str());

  if (!ConnectWithTimeout(address)) {
    lastError_ = kErrorConnect;
    return false;
  }
  connected_ = true;
  const DWORD timeoutMs = static_cast<DWORD>(timing_.socketTimeoutSeconds) * 1000;
  setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs),
             sizeof timeoutMs);
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
             sizeof timeoutMs);
  if (!SetBlocking(false)) {
    lastError_ = kErrorNonBlocking;
    return false;
  }
  return true;
}

bool HttpConnection::ConnectWithTimeout(const sockaddr_in& address) {
  bool connected = false;
  if (SetBlocking(false)) {
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      connected = true;
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
      connected = WaitUntilWritable();
    }
  }
  SetBlocking(true);
  const int receiveBuffer = kReceiveBufferSize;
  setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
             sizeof receiveBuffer);
  return connected;
}

bool HttpConnection::WaitUntilWritable() {
  const DWORD start = GetTickCount();
  for (;;) {
    if (stop_.IsStopRequested()) return false;
    if (ElapsedMs(start) >= static_cast<DWORD>(timing_.connectTimeoutMs)) return false;
    const ConnectPoll poll = PollConnect(socket_);
    if (poll != ConnectPoll::kPending) return poll == ConnectPoll::kConnected;
    Sleep(1);
  }
}

bool HttpConnection::Send(const char* bytes, int count) {
  if (count <= 0 || bytes == nullptr) {
    lastError_ = kErrorNothingToSend;
    return false;
  }
  int sent = 0;
  while (sent < count) {
    if (stop_.IsStopRequested()) return false;
    const int result = send(socket_, bytes + sent, count - sent, 0);
    if (result == 0) {
      lastError_ = kErrorSendZero;
      Close();
      return false;
    }
    if (result == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error != WSAEINTR && error != WSAEWOULDBLOCK) {
        lastError_ = kErrorSend;
        Close();
        return false;
      }
    } else {
      sent += result;
    }
    if (sent < count) Sleep(1);
  }
  return true;
}

// Waits at most 1 ms for data: the same bound on noticing stop as a 1 ms
// sleep, but it returns as soon as bytes arrive.
void HttpConnection::WaitForData() {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  timeval wait = {0, 1000};
  if (select(0, &readable, nullptr, nullptr, &wait) < 0) Sleep(1);
}

int HttpConnection::Receive(int count, char* buffer, bool returnOnAnyData) {
  return ReceiveWith(count, buffer, returnOnAnyData, 0);
}

int HttpConnection::Peek(int count, char* buffer) {
  return ReceiveWith(count, buffer, true, MSG_PEEK);
}

int HttpConnection::ReceiveWith(int count, char* buffer, bool returnOnAnyData, int flags) {
  if (!connected_) {
    log_.Log(kLogError, "the socket is not connected when recv data of  %s.", url_.c_str());
    lastError_ = kErrorNotConnected;
    return -1;
  }
  if (count < 1 || buffer == nullptr) {
    log_.Log(kLogError, "buffer is invalid when recv data of  %s.", url_.c_str());
    lastError_ = kErrorBadBuffer;
    return -1;
  }
  const DWORD start = GetTickCount();
  int received = 0;
  while (received < count) {
    if (stop_.IsStopRequested()) return received;
    if (ElapsedMs(start) >= static_cast<DWORD>(timing_.receiveTimeoutMs)) {
      log_.Log(kLogError, "time out when recv data of  %s.", url_.c_str());
      return received;
    }
    const int result = recv(socket_, buffer + received, count - received, flags);
    if (result == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEINTR || error == WSAEWOULDBLOCK) {
        WaitForData();
        continue;
      }
      log_.Log(kLogError, "socket error when recv data of %s, error code is %d.", url_.c_str(),
               error);
      lastError_ = kErrorRecv;
      Close();
      return -1;
    }
    if (result == 0) {
      log_.Log(kLogError, "socket is closed when recv data of %s.", url_.c_str());
      lastError_ = kErrorPeerClosed;
      Close();
      return received;
    }
    received += result;
    if (returnOnAnyData) break;
  }
  return received;
}

}  // namespace FileSystem
