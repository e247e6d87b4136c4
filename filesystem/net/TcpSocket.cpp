#include "net/TcpSocket.h"

#include <ws2tcpip.h>

#include <climits>
#include <cstring>

#include "base/Clock.h"
#include "HostAddress.h"

namespace FileSystem {

static_assert(HostAddress::kFamilyIPv4 == AF_INET && HostAddress::kFamilyIPv6 == AF_INET6,
              "the resolver's address families");

namespace {

// The longest single wait on the socket: the bound on noticing a stop.
const long kWaitMicroseconds = 1000;

int ChunkOf(size_t left) { return left > INT_MAX ? INT_MAX : static_cast<int>(left); }

bool IsRetryable(int error) { return error == WSAEINTR || error == WSAEWOULDBLOCK; }

}  // namespace

TcpSocket::TcpSocket(IStopSignal& stop) : stop_(stop) {}

TcpSocket::~TcpSocket() { Close(); }

void TcpSocket::Close() {
  if (socket_ == INVALID_SOCKET) return;
  if (connected_) shutdown(socket_, SD_RECEIVE);
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
  connected_ = false;
  if (readable_ != nullptr) CloseHandle(readable_);
  readable_ = nullptr;
}

bool TcpSocket::SetBlocking(bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(socket_, FIONBIO, &nonBlocking) == 0;
}

TcpSocket::OpenResult TcpSocket::Open(const std::string& host, uint32_t port,
                                      sockaddr_in* address) {
  Close();
  // A larger number would silently reach another port.
  if (port > 0xFFFF) return OpenResult::kBadPort;
  socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) return OpenResult::kNoSocket;
  const hostent* entry = host.empty() ? nullptr : gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
    return OpenResult::kNoHost;
  // Only an IPv4 answer fits the IPv4 socket; anything else is refused
  // rather than read as four address bytes.
  uint8_t resolved[4];
  if (!HostAddress::FirstIPv4(entry->h_addrtype, entry->h_length, entry->h_addr_list, resolved))
    return OpenResult::kNotIPv4;
  std::memset(address, 0, sizeof *address);
  address->sin_family = AF_INET;
  address->sin_port = htons(static_cast<u_short>(port));
  std::memcpy(&address->sin_addr, resolved, sizeof resolved);
  return OpenResult::kOk;
}

TcpSocket::ConnectResult TcpSocket::Connect(const sockaddr_in& address, const Options& options) {
  if (socket_ == INVALID_SOCKET) return ConnectResult::kFailed;
  bool connected = false;
  if (SetBlocking(false)) {
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
      connected = true;
    else if (WSAGetLastError() == WSAEWOULDBLOCK)
      connected = WaitForConnect(options.connectTimeoutMs);
  }
  SetBlocking(true);
  if (options.receiveBufferSize > 0) {
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<const char*>(&options.receiveBufferSize),
               sizeof options.receiveBufferSize);
  }
  if (!connected) return ConnectResult::kFailed;
  connected_ = true;
  const DWORD timeoutMs = options.socketTimeoutMs;
  setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs),
             sizeof timeoutMs);
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
             sizeof timeoutMs);
  if (!SetBlocking(false)) return ConnectResult::kNotNonBlocking;
  WatchReads();
  return ConnectResult::kOk;
}

// A wait on an event costs Wine one call to its server where a select
// costs several, and the download's receive loop waits once per chunk.
// The event is auto-reset: a stale signal costs one more look, never a
// missed wake-up, since each recv that finds nothing re-arms it.
void TcpSocket::WatchReads() {
  readable_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (readable_ == nullptr) return;
  if (WSAEventSelect(socket_, readable_, FD_READ | FD_CLOSE) != 0) {
    CloseHandle(readable_);
    readable_ = nullptr;
  }
}

void TcpSocket::WaitForData() {
  if (readable_ == nullptr || WaitForSingleObject(readable_, 1) == WAIT_FAILED) WaitUntil(false);
}

bool TcpSocket::WaitForConnect(uint32_t timeoutMs) {
  const uint64_t start = Clock::MicrosecondsNow();
  for (;;) {
    if (stop_.IsStopRequested()) return false;
    if (Clock::MillisecondsSince(start) >= timeoutMs) return false;
    const Poll poll = PollConnect();
    if (poll != Poll::kPending) return poll == Poll::kConnected;
  }
}

// One wait of at most 1 ms on a connect under way.
TcpSocket::Poll TcpSocket::PollConnect() {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket_, &writable);
  FD_SET(socket_, &failed);
  timeval wait = {0, kWaitMicroseconds};
  // Windows reports a refused connect in the exception set, never as
  // writable; watching both ends a refused connect at once instead of after
  // the whole time-out.
  const int ready = select(0, nullptr, &writable, &failed, &wait);
  if (ready == SOCKET_ERROR) return Poll::kFailed;
  if (ready == 0) return Poll::kPending;
  if (FD_ISSET(socket_, &failed)) return Poll::kFailed;
  int error = 0;
  int size = sizeof error;
  if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
    return Poll::kFailed;
  return error == 0 ? Poll::kConnected : Poll::kFailed;
}

// Waits at most 1 ms for the socket to take or give bytes: the same bound on
// noticing stop as a 1 ms sleep, but it returns as soon as the socket is
// ready.
void TcpSocket::WaitUntil(bool writable) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(socket_, &ready);
  timeval wait = {0, kWaitMicroseconds};
  const int result = writable ? select(0, nullptr, &ready, nullptr, &wait)
                              : select(0, &ready, nullptr, nullptr, &wait);
  if (result < 0) Sleep(1);
}

TcpSocket::Transfer TcpSocket::Send(const char* bytes, size_t count, uint32_t timeLimitMs) {
  return Move(const_cast<char*>(bytes), count, Direction::kSend, false, timeLimitMs);
}

TcpSocket::Transfer TcpSocket::Receive(char* buffer, size_t count, bool returnOnAnyData,
                                       bool peek, uint32_t timeLimitMs) {
  return Move(buffer, count, peek ? Direction::kPeek : Direction::kReceive,
              returnOnAnyData || peek, timeLimitMs);
}

// The one loop of sending and receiving: stop and the time limit are
// looked at before every call, a call that would block waits on the socket.
TcpSocket::Transfer TcpSocket::Move(char* bytes, size_t count, Direction direction,
                                    bool returnOnAnyData, uint32_t timeLimitMs) {
  const uint64_t start = Clock::MicrosecondsNow();
  Transfer transfer;
  while (transfer.count < count) {
    if (stop_.IsStopRequested()) {
      transfer.end = End::kStopped;
      return transfer;
    }
    if (timeLimitMs != kNoTimeLimit && Clock::MillisecondsSince(start) >= timeLimitMs) {
      transfer.end = End::kTimedOut;
      return transfer;
    }
    char* at = bytes + transfer.count;
    const int chunk = ChunkOf(count - transfer.count);
    const int result = direction == Direction::kSend
                           ? send(socket_, at, chunk, 0)
                           : recv(socket_, at, chunk, direction == Direction::kPeek ? MSG_PEEK : 0);
    if (result == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (IsRetryable(error)) {
        if (direction == Direction::kSend) WaitUntil(true);
        else WaitForData();
        continue;
      }
      transfer.end = End::kError;
      transfer.systemError = error;
      Close();
      return transfer;
    }
    if (result == 0) {
      transfer.end = End::kClosed;
      Close();
      return transfer;
    }
    transfer.count += static_cast<size_t>(result);
    if (returnOnAnyData) break;
  }
  return transfer;
}

}  // namespace FileSystem
