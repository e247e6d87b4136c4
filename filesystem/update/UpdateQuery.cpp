#include "update/UpdateQuery.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "FileSystem.h"
#include "base/LogManager.h"

namespace FileSystem {

UpdateQuery::UpdateQuery(CriticalSection& lock) : lock_(lock) {}

UpdateQuery::~UpdateQuery() = default;

bool UpdateQuery::CreateServers(LogManager& log, const UpdateServerNode* servers,
                                const char* productName) {
  servers_.reset(new (std::nothrow) UpdateServerList(log));
  return servers_ != nullptr && servers_->Create(servers, productName);
}

void UpdateQuery::Reset() {
  ScopedLock guard(lock_);
  state_ = QueryState::kPending;
}

void UpdateQuery::Clear() {
  // The servers' destructors join their threads: no lock held.
  servers_.reset();
  ScopedLock guard(lock_);
  baseUrls_.clear();
  urlOrder_.clear();
}

bool UpdateQuery::Run(LogManager& log, int retryCount, int retryWaitMs,
                      UpdateServerList::StopTest stopping, void* context) {
  int retriesLeft = retryCount;
  ProductInfo info;
  for (;;) {
    if (stopping(context)) return false;
    if (servers_->QueryProductInfo(stopping, context, &info)) break;
    if (stopping(context)) return false;
    if (--retriesLeft < 0) {
      log.Log(kLogError, "Query product information failed, no more retry.");
      ScopedLock guard(lock_);
      state_ = QueryState::kFailed;
      return false;
    }
    log.Log(kLogInfo, "Query product information failed, wait and retry.");
    if (!WaitBeforeRetry(retryWaitMs, stopping, context)) return false;
  }
  TakeAnswer(info);
  return true;
}

bool UpdateQuery::WaitBeforeRetry(int waitMs, UpdateServerList::StopTest stopping,
                                  void* context) {
  for (int i = 0; i < waitMs; ++i) {
    if (stopping(context)) return false;
    Sleep(1);
  }
  return !stopping(context);
}

void UpdateQuery::TakeAnswer(const ProductInfo& info) {
  ScopedLock guard(lock_);
  state_ = QueryState::kSucceeded;
  serverVersion_ = info.version;
  baseUrls_ = info.urls;
  mirrorCount_ = 0;
  urlOrder_.clear();
  for (const BaseUrl& url : baseUrls_) {
    if (url.isMirror) ++mirrorCount_;
    urlOrder_.push_back(url.url.c_str());
  }
}

uint32_t UpdateQuery::ServerVersion() {
  ScopedLock guard(lock_);
  return serverVersion_;
}

std::vector<BaseUrl> UpdateQuery::BaseUrls() {
  ScopedLock guard(lock_);
  return baseUrls_;
}

std::vector<std::string> UpdateQuery::NextUrlOrder() {
  std::vector<std::string> urls;
  ScopedLock guard(lock_);
  RotateUrlOrder();
  for (const char* url : urlOrder_) urls.push_back(url);
  return urls;
}

// Under the lock.
void UpdateQuery::RotateUrlOrder() {
  const size_t mirrors = static_cast<size_t>(mirrorCount_);
  if (mirrors <= 1 || mirrors > urlOrder_.size()) return;
  std::rotate(urlOrder_.begin(), urlOrder_.begin() + 1, urlOrder_.begin() + mirrors);
}

}  // namespace FileSystem
