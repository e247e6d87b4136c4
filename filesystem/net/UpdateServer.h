// One update server of the product: asks it, on a thread of its own, for the
// version of "version.pcfg" and the download base addresses. The update
// manager starts every server at once, polls Done and Succeeded, and takes
// the first good answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BaseUrl.h"
#include "base/CriticalSection.h"
#include "net/TcpSocket.h"
#include "base/Thread.h"

namespace FileSystem {

class LogManager;

class UpdateServer : private IStopSignal {
 public:
  explicit UpdateServer(LogManager& log);
  // Stops a running query and waits for its thread.
  virtual ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  void SetHost(const char* host, uint32_t port);
  void SetProductName(const char* productName);
  // Time-outs in milliseconds: for the connect, for the send and receive
  // options of the socket, and for receiving one part of the answer.
  void SetTimeouts(uint32_t connectMs, uint32_t socketMs, uint32_t receiveMs);

  // Begins one query on the server's own thread, after stopping and joining
  // the previous one. False (done and failed) when the thread cannot start.
  bool Start();
  // Asks the running query to end; it ends without an outcome.
  void Stop();
  // Waits for the query thread, if any.
  void Join();

  bool Done();
  bool Succeeded();
  bool Failed();
  // 0 before a success.
  uint32_t Version();
  std::vector<BaseUrl> Results();

  // The update manager's list of servers.
  UpdateServer* Next() const { return next_; }
  void SetNext(UpdateServer* next) { next_ = next; }

  static constexpr uint32_t kConnectTimeoutMs = 30000;
  static constexpr uint32_t kSocketTimeoutMs = 5000;
  static constexpr uint32_t kReceiveTimeoutMs = 30000;

 private:
  static void Run(void* self);
  void Query();
  bool Connect(const std::string& host, uint32_t port);
  bool Send(const std::string& bytes);
  bool Receive(uint8_t* buffer, size_t size);
  uint32_t ReceiveTimeoutMs();
  bool IsStopRequested() override;
  bool Stopping() { return IsStopRequested(); }
  void EndFailed();
  void EndSucceeded(uint32_t version, std::vector<BaseUrl>* urls);

  LogManager& log_;
  std::string host_;
  std::string productName_;
  std::vector<BaseUrl> results_;
  uint32_t port_ = 0;
  Thread thread_;
  CriticalSection lock_;
  uint32_t version_ = 0;
  uint32_t connectTimeoutMs_ = kConnectTimeoutMs;
  uint32_t socketTimeoutMs_ = kSocketTimeoutMs;
  uint32_t receiveTimeoutMs_ = kReceiveTimeoutMs;
  // The socket belongs to the query thread alone.
  TcpSocket socket_;
  UpdateServer* next_ = nullptr;
  bool stop_ = false;
  bool done_ = false;
  bool succeeded_ = false;
  bool failed_ = false;
};

}  // namespace FileSystem
