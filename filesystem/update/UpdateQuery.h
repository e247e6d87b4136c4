// The product query over the update servers and what the winning server
// answered: the version of "version.pcfg" and the download base URLs, in the
// order handed to each new download.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BaseUrl.h"
#include "base/CriticalSection.h"
#include "net/UpdateServerList.h"

struct UpdateServerNode;

namespace FileSystem {

class LogManager;

class UpdateQuery {
 public:
  enum class QueryState { kPending, kSucceeded, kFailed };

  // Guards the answer with the update manager's lock.
  explicit UpdateQuery(CriticalSection& lock);
  ~UpdateQuery();
  UpdateQuery(const UpdateQuery&) = delete;
  UpdateQuery& operator=(const UpdateQuery&) = delete;

  // One server per node, the list opposite to the node order.
  bool CreateServers(LogManager& log, const UpdateServerNode* servers, const char* productName);
  // Pending again, before a new start.
  void Reset();
  // The servers go (each stopped and joined) and the answer is forgotten.
  void Clear();

  // Asks the servers until one answers, retryCount more times after the
  // first, retryWaitMs apart; false when the stop test says so or the
  // retries are spent.
  bool Run(LogManager& log, int retryCount, int retryWaitMs,
           UpdateServerList::StopTest stopping, void* context);
  uint32_t ServerVersion();
  std::vector<BaseUrl> BaseUrls();
  // The URL order for the next download: each starts with another mirror.
  std::vector<std::string> NextUrlOrder();

 private:
  static bool WaitBeforeRetry(int waitMs, UpdateServerList::StopTest stopping, void* context);
  void TakeAnswer(const ProductInfo& info);
  void RotateUrlOrder();

  CriticalSection& lock_;
  std::unique_ptr<UpdateServerList> servers_;
  std::vector<BaseUrl> baseUrls_;
  // Points into baseUrls_.
  std::vector<const char*> urlOrder_;
  uint32_t serverVersion_ = 0;
  int mirrorCount_ = 0;
  QueryState state_ = QueryState::kPending;
};

}  // namespace FileSystem
