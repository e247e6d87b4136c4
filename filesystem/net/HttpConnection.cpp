#include "net/HttpConnection.h"

#include "FileSystem.h"
#include "base/LogManager.h"

namespace FileSystem {

namespace {

const int kReceiveBufferSize = 65535;

}  // namespace

HttpConnection::HttpConnection(LogManager& log, IStopSignal& stop) : log_(log), socket_(stop) {}

HttpConnection::~HttpConnection() { Close(); }

void HttpConnection::Close() { socket_.Close(); }

bool HttpConnection::Connect(const std::string& host, int32_t port) {
  sockaddr_in address;
  // A negative port is refused like one above 16 bits.
  const uint32_t wirePort = port < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(port);
  switch (socket_.Open(host, wirePort, &address)) {
    case TcpSocket::OpenResult::kOk:
      break;
    case TcpSocket::OpenResult::kNoSocket:
      lastError_ = kErrorSocket;
      return false;
    case TcpSocket::OpenResult::kNotIPv4:
      lastError_ = kErrorAddressType;
      return false;
    case TcpSocket::OpenResult::kBadPort:
    case TcpSocket::OpenResult::kNoHost:
      lastError_ = kErrorResolve;
      return false;
  }
  log_.Log(kLogInfo, "connect to ip %s when download file %s", inet_ntoa(address.sin_addr),
           url_.c_str());
  const TcpSocket::Options options{static_cast<uint32_t>(timing_.connectTimeoutMs),
                                   static_cast<uint32_t>(timing_.socketTimeoutSeconds) * 1000u,
                                   kReceiveBufferSize};
  switch (socket_.Connect(address, options)) {
    case TcpSocket::ConnectResult::kOk:
      return true;
    case TcpSocket::ConnectResult::kFailed:
      lastError_ = kErrorConnect;
      return false;
    case TcpSocket::ConnectResult::kNotNonBlocking:
      lastError_ = kErrorNonBlocking;
      return false;
  }
  return false;
}

bool HttpConnection::Send(const char* bytes, int count) {
  if (count <= 0 || bytes == nullptr) {
    lastError_ = kErrorNothingToSend;
    return false;
  }
  const TcpSocket::Transfer sent =
      socket_.Send(bytes, static_cast<size_t>(count), TcpSocket::kNoTimeLimit);
  if (sent.end == TcpSocket::End::kClosed) lastError_ = kErrorSendZero;
  if (sent.end == TcpSocket::End::kError) lastError_ = kErrorSend;
  return sent.end == TcpSocket::End::kDone;
}

int HttpConnection::Receive(int count, char* buffer, bool returnOnAnyData) {
  return ReceiveWith(count, buffer, returnOnAnyData, false);
}

int HttpConnection::Peek(int count, char* buffer) { return ReceiveWith(count, buffer, true, true); }

int HttpConnection::ReceiveWith(int count, char* buffer, bool returnOnAnyData, bool peek) {
  if (!socket_.IsConnected()) {
    log_.Log(kLogError, "the socket is not connected when recv data of  %s.", url_.c_str());
    lastError_ = kErrorNotConnected;
    return -1;
  }
  if (count < 1 || buffer == nullptr) {
    log_.Log(kLogError, "buffer is invalid when recv data of  %s.", url_.c_str());
    lastError_ = kErrorBadBuffer;
    return -1;
  }
  const TcpSocket::Transfer received =
      socket_.Receive(buffer, static_cast<size_t>(count), returnOnAnyData, peek,
                      static_cast<uint32_t>(timing_.receiveTimeoutMs));
  switch (received.end) {
    case TcpSocket::End::kDone:
    case TcpSocket::End::kStopped:
      break;
    case TcpSocket::End::kTimedOut:
      log_.Log(kLogError, "time out when recv data of  %s.", url_.c_str());
      break;
    case TcpSocket::End::kError:
      log_.Log(kLogError, "socket error when recv data of %s, error code is %d.", url_.c_str(),
               received.systemError);
      lastError_ = kErrorRecv;
      return -1;
    case TcpSocket::End::kClosed:
      log_.Log(kLogError, "socket is closed when recv data of %s.", url_.c_str());
      lastError_ = kErrorPeerClosed;
      break;
  }
  return static_cast<int>(received.count);
}

}  // namespace FileSystem
