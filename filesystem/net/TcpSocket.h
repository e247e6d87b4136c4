// The library's one TCP client socket, under both the update-server client
// and the HTTP connection: the port and address checks, a connect with a
// time-out, and send and receive loops in non-blocking mode that wait on
// the socket at most 1 ms at a time, so that the owner's stop signal is
// seen within a millisecond without a second thread. It logs nothing; the
// owners say what a failure means to them.
#pragma once

#include <winsock2.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace FileSystem {

// Asked in every wait loop whether the running task is to end.
class IStopSignal {
 public:
  virtual bool IsStopRequested() = 0;

 protected:
  ~IStopSignal() = default;
};

class TcpSocket {
 public:
  enum class OpenResult { kOk, kBadPort, kNoSocket, kNoHost, kNotIPv4 };
  enum class ConnectResult { kOk, kFailed, kNotNonBlocking };
  // How a send or receive loop ended.
  enum class End { kDone, kStopped, kTimedOut, kClosed, kError };

  struct Options {
    uint32_t connectTimeoutMs;
    uint32_t socketTimeoutMs;   // SO_SNDTIMEO and SO_RCVTIMEO once connected
    int receiveBufferSize;      // SO_RCVBUF; 0 leaves the system's size
  };

  struct Transfer {
    size_t count = 0;
    End end = End::kDone;
    int systemError = 0;  // the WSA error of End::kError
  };

  static constexpr uint32_t kNoTimeLimit = 0xFFFFFFFFu;

  explicit TcpSocket(IStopSignal& stop);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Closes what is open, then creates the socket and resolves host to its
  // first IPv4 address. The port must fit the 16 bits of the wire address;
  // an empty host names no server (the resolver would answer with this
  // machine).
  OpenResult Open(const std::string& host, uint32_t port, sockaddr_in* address);
  // Connects the opened socket within options.connectTimeoutMs, then sets
  // the socket's time-outs and leaves it non-blocking. A stop fails it.
  ConnectResult Connect(const sockaddr_in& address, const Options& options);
  // All count bytes, unless stop, the time limit, a closed peer or an error
  // ends the loop first; a closed peer or an error also closes the socket.
  Transfer Send(const char* bytes, size_t count, uint32_t timeLimitMs);
  // Up to count bytes; with returnOnAnyData the first bytes end the call.
  // With peek the bytes stay in the socket (implies returnOnAnyData).
  Transfer Receive(char* buffer, size_t count, bool returnOnAnyData, bool peek,
                   uint32_t timeLimitMs);
  // Shuts the receive side down when connected, then closes the socket.
  void Close();

  bool IsOpen() const { return socket_ != INVALID_SOCKET; }
  bool IsConnected() const { return connected_; }

 private:
  enum class Poll { kPending, kConnected, kFailed };
  enum class Direction { kSend, kReceive, kPeek };

  Transfer Move(char* bytes, size_t count, Direction direction, bool returnOnAnyData,
                uint32_t timeLimitMs);

  bool SetBlocking(bool blocking);
  bool WaitForConnect(uint32_t timeoutMs);
  Poll PollConnect();
  void WaitUntil(bool writable);
  void WaitForData();
  void WatchReads();

  IStopSignal& stop_;
  SOCKET socket_ = INVALID_SOCKET;
  // Set by the system when bytes or the peer's close arrive on the connected
  // socket; null when it could not be had, and then a select waits instead.
  HANDLE readable_ = nullptr;
  bool connected_ = false;
};

}  // namespace FileSystem
