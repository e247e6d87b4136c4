#include "net/UpdateServer.h"

#include "FileSystem.h"
#include "base/LogManager.h"
#include "ProductQuery.h"
#include "net/WinsockInit.h"

namespace FileSystem {

UpdateServer::UpdateServer(LogManager& log) : log_(log), socket_(*this) {}

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
  server->socket_.Close();
}

bool UpdateServer::IsStopRequested() {
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
  TcpSocket::Options options{0, 0, 0};
  {
    ScopedLock lock(lock_);
    options.connectTimeoutMs = connectTimeoutMs_;
    options.socketTimeoutMs = socketTimeoutMs_;
  }
  sockaddr_in address;
  return socket_.Open(host, port, &address) == TcpSocket::OpenResult::kOk &&
         socket_.Connect(address, options) == TcpSocket::ConnectResult::kOk;
}

uint32_t UpdateServer::ReceiveTimeoutMs() {
  ScopedLock lock(lock_);
  return receiveTimeoutMs_;
}

// The request is small, but a peer that never reads would otherwise keep
// the loop going for good; the receive limit bounds it as well.
bool UpdateServer::Send(const std::string& bytes) {
  return socket_.Send(bytes.data(), bytes.size(), ReceiveTimeoutMs()).end ==
         TcpSocket::End::kDone;
}

bool UpdateServer::Receive(uint8_t* buffer, size_t size) {
  return socket_.Receive(reinterpret_cast<char*>(buffer), size, false, false,
                         ReceiveTimeoutMs()).end == TcpSocket::End::kDone;
}

}  // namespace FileSystem
