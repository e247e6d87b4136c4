// The update servers of one product and the product query over all of them:
// every server is asked at once and the first good answer in list order wins.
// The list runs opposite to the configured order, so of two servers that
// have both answered by the time they are looked at, the one configured
// later wins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BaseUrl.h"
#include "FileSystem.h"
#include "net/UpdateServer.h"

namespace FileSystem {

class LogManager;

// What the winning server answered.
struct ProductInfo {
  uint32_t version = 0;
  std::vector<BaseUrl> urls;  // in reply order
};

class UpdateServerList {
 public:
  // Asked between the visits of a query; true ends the query at once.
  using StopTest = bool (*)(void* context);

  enum class Pass {
    kWinner,      // a server has answered well
    kIncomplete,  // none has yet, some are still asking
    kAllFailed,   // every server is done and none succeeded
    kStopping,    // the stop test said so
  };

  explicit UpdateServerList(LogManager& log);
  // Stops and joins every server.
  virtual ~UpdateServerList();
  UpdateServerList(const UpdateServerList&) = delete;
  UpdateServerList& operator=(const UpdateServerList&) = delete;

  // One server per node, each put at the head of the list. False when a
  // server cannot be made; the list is then left empty.
  bool Create(const UpdateServerNode* nodes, const char* productName);
  void Clear();
  UpdateServer* First() const { return first_; }
  // Applies test time-outs to every server of the list.
  void SetTimeouts(uint32_t connectMs, uint32_t socketMs, uint32_t receiveMs);

  // Starts every server, polls until one wins or all have failed, then stops
  // and joins them all. True with the winner's answer in *info.
  bool QueryProductInfo(StopTest stopping, void* context, ProductInfo* info);

  // One polling pass over the servers in list order.
  Pass PollOnce(StopTest stopping, void* context, UpdateServer** winner);

 private:
  void StopAll(bool join);

  LogManager& log_;
  std::string productName_;
  UpdateServer* first_ = nullptr;
};

}  // namespace FileSystem
