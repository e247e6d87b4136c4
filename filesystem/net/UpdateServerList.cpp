#include "net/UpdateServerList.h"

#include <windows.h>

#include <new>

#include "base/LogManager.h"

namespace FileSystem {

UpdateServerList::UpdateServerList(LogManager& log) : log_(log) {}

UpdateServerList::~UpdateServerList() { Clear(); }

bool UpdateServerList::Create(const UpdateServerNode* nodes, const char* productName) {
  Clear();
  productName_ = productName != nullptr ? productName : "";
  for (const UpdateServerNode* node = nodes; node != nullptr; node = node->next) {
    UpdateServer* server = new (std::nothrow) UpdateServer(log_);
    if (server == nullptr) {
      Clear();
      return false;
    }
    server->SetProductName(productName_.c_str());
    server->SetHost(node->host, node->port);
    server->SetNext(first_);
    first_ = server;
  }
  return true;
}

void UpdateServerList::Clear() {
  while (first_ != nullptr) {
    UpdateServer* next = first_->Next();
    delete first_;
    first_ = next;
  }
}

void UpdateServerList::SetTimeouts(uint32_t connectMs, uint32_t socketMs, uint32_t receiveMs) {
  for (UpdateServer* server = first_; server != nullptr; server = server->Next())
    server->SetTimeouts(connectMs, socketMs, receiveMs);
}

UpdateServerList::Pass UpdateServerList::PollOnce(StopTest stopping, void* context,
                                                  UpdateServer** winner) {
  bool complete = true;
  for (UpdateServer* server = first_; server != nullptr; server = server->Next()) {
    if (stopping != nullptr && stopping(context)) return Pass::kStopping;
    if (!server->Done()) {
      complete = false;
    } else if (server->Succeeded()) {
      *winner = server;
      return Pass::kWinner;
    }
  }
  return complete ? Pass::kAllFailed : Pass::kIncomplete;
}

bool UpdateServerList::QueryProductInfo(StopTest stopping, void* context, ProductInfo* info) {
  if (stopping != nullptr && stopping(context)) return false;
  // A server whose thread cannot start is done and failed at once, which
  // the passes below treat like any other failed server.
  for (UpdateServer* server = first_; server != nullptr; server = server->Next()) server->Start();
  UpdateServer* winner = nullptr;
  Pass pass = Pass::kIncomplete;
  // A query can take the whole connect and receive time-out of a server;
  // a 1 ms rest between passes keeps that wait from spinning a core.
  while ((pass = PollOnce(stopping, context, &winner)) == Pass::kIncomplete) Sleep(1);
  if (pass == Pass::kStopping) {
    StopAll(false);
    return false;
  }
  if (pass == Pass::kAllFailed) {
    log_.Log(kLogError, "Query product information failed \"%s\".", productName_.c_str());
    return false;
  }
  info->version = winner->Version();
  info->urls = winner->Results();
  StopAll(true);
  return true;
}

void UpdateServerList::StopAll(bool join) {
  for (UpdateServer* server = first_; server != nullptr; server = server->Next()) server->Stop();
  if (!join) return;
  for (UpdateServer* server = first_; server != nullptr; server = server->Next()) server->Join();
}

}  // namespace FileSystem
