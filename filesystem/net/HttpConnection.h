// The download worker's connection over the library's TCP socket: what a
// failure of connecting, sending or receiving means to an HTTP exchange, as
// the code of the last error and, where the user may want to know, a log
// line.
#pragma once

#include <cstdint>
#include <string>

#include "net/TcpSocket.h"

namespace FileSystem {

class LogManager;

class HttpConnection {
 public:
  struct Timing {
    int connectTimeoutMs;     // longest wait for a connection
    int socketTimeoutSeconds; // send and receive time-out of the socket
    int receiveTimeoutMs;     // longest one Receive call may take
  };

  // Last-error codes of the socket layer.
  enum Error {
    kErrorSocket = 1,
    kErrorResolve = 2,
    kErrorAddressType = 3,
    kErrorConnect = 4,
    kErrorSendZero = 8,
    kErrorSend = 9,
    kErrorNothingToSend = 10,
    kErrorNotConnected = 11,
    kErrorBadBuffer = 12,
    kErrorRecv = 13,
    kErrorPeerClosed = 14,
    kErrorNonBlocking = 65537,
  };

  HttpConnection(LogManager& log, IStopSignal& stop);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  void SetTiming(const Timing& timing) { timing_ = timing; }
  // The URL that the receive log lines name.
  void SetUrl(const std::string& url) { url_ = url; }

  // Closes what is open, then connects to the first IPv4 address of host.
  bool Connect(const std::string& host, int32_t port);
  bool Send(const char* bytes, int count);
  // Up to count bytes into buffer; with returnOnAnyData the first bytes end
  // the call. The count received (short on stop, time-out or a peer that
  // closed), or -1 on a socket error or bad arguments.
  int Receive(int count, char* buffer, bool returnOnAnyData);
  // Like Receive with returnOnAnyData, but the bytes stay in the socket for
  // the next Receive: so a reader can take exactly up to a delimiter in one
  // call instead of one byte per call.
  int Peek(int count, char* buffer);
  // Shuts the receive side down when connected, then closes the socket.
  void Close();

  bool IsOpen() const { return socket_.IsOpen(); }
  bool IsConnected() const { return socket_.IsConnected(); }
  int32_t LastError() const { return lastError_; }
  void SetLastError(int32_t error) { lastError_ = error; }

 private:
  int ReceiveWith(int count, char* buffer, bool returnOnAnyData, bool peek);

  LogManager& log_;
  TcpSocket socket_;
  Timing timing_{30000, 5, 30000};
  std::string url_;
  int32_t lastError_ = 0;
};

}  // namespace FileSystem
