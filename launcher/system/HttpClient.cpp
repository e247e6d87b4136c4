// curl brings winsock2.h, which has to come before windows.h.
#include <curl/curl.h>

#include "HttpClient.h"

namespace {

size_t CollectResponse(char* data, size_t size, size_t count, void* response) {
  if (data == nullptr || response == nullptr) return 0;
  if (size != 0 && count > static_cast<size_t>(-1) / size) return 0;
  const size_t bytes = size * count;
  if (bytes == 0) return 0;
  static_cast<std::string*>(response)->append(data, bytes);
  return bytes;
}

// The libcurl state of one worker run, made on the first request and kept
// until the worker ends.
class CurlSession {
 public:
  CurlSession() = default;
  ~CurlSession() {
    if (handle_ != nullptr) curl_easy_cleanup(handle_);
    if (globalReady_) curl_global_cleanup();
  }
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  // A request that cannot get a handle is dropped; nothing is retried.
  void Send(HttpRequest* request, DWORD timeoutMs) {
    if (!Ready()) return;
    request->response.clear();
    if (request->kind == 0) {
      curl_easy_setopt(handle_, CURLOPT_POST, 1L);
      curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE,
                       static_cast<long>(request->postData.size()));
      curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, request->postData.c_str());
    } else {
      curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, HttpClient::kConnectTimeoutSeconds);
    curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_HEADER, 0L);
    curl_easy_setopt(handle_, CURLOPT_URL, request->url.c_str());
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, CollectResponse);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &request->response);
    curl_easy_perform(handle_);
  }

 private:
  bool Ready() {
    if (handle_ != nullptr) return true;
    if (!globalReady_) globalReady_ = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    if (!globalReady_) return false;
    handle_ = curl_easy_init();
    return handle_ != nullptr;
  }

  bool globalReady_ = false;
  CURL* handle_ = nullptr;
};

}  // namespace

HttpClient::HttpClient() {}

HttpClient::~HttpClient() { Stop(); }

bool HttpClient::Start() {
  Stop();
  thread_ = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
  return thread_ != nullptr;
}

void HttpClient::Stop() {
  if (thread_ == nullptr) return;
  {
    LauncherLockGuard guard(lock_);
    stopTick_ = GetTickCount();
  }
  InterlockedExchange(&stop_, 1);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  InterlockedExchange(&stop_, 0);
}

void HttpClient::Post(const char* url, const char* data) {
  HttpRequest request;
  request.kind = 0;
  request.url = url != nullptr ? url : "";
  request.postData = data != nullptr ? data : "";
  LauncherLockGuard guard(lock_);
  queue_.push_back(std::move(request));
}

void HttpClient::SetTotalTimeout(DWORD milliseconds) {
  LauncherLockGuard guard(lock_);
  totalTimeoutMs_ = milliseconds;
}

bool HttpClient::Running() { return thread_ != nullptr; }

DWORD WINAPI HttpClient::WorkerMain(void* self) {
  static_cast<HttpClient*>(self)->Run();
  return 0;
}

void HttpClient::Run() {
  CurlSession session;
  for (;;) {
    HttpRequest request;
    if (!TakeRequest(&request)) {
      if (StopRequested()) return;
      Sleep(10);
      continue;
    }
    const DWORD budget = RequestBudget();
    if (budget != 0) session.Send(&request, budget);
    Sleep(1);
  }
}

bool HttpClient::TakeRequest(HttpRequest* request) {
  LauncherLockGuard guard(lock_);
  if (queue_.empty()) return false;
  *request = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

bool HttpClient::StopRequested() const {
  return InterlockedCompareExchange(const_cast<volatile LONG*>(&stop_), 0, 0) != 0;
}

DWORD HttpClient::RequestBudget() {
  const bool stopping = StopRequested();
  LauncherLockGuard guard(lock_);
  if (!stopping) return totalTimeoutMs_;
  // Tick differences stay right across the 49-day wrap of GetTickCount.
  const DWORD spent = GetTickCount() - stopTick_;
  if (spent >= totalTimeoutMs_) return 0;
  return totalTimeoutMs_ - spent;
}
