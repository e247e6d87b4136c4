// The launcher's report client: requests go into a queue that one worker
// thread sends with libcurl, so the window never waits for a server. The
// answers are collected and not used.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

#include "LauncherLock.h"

// One request of the queue.
struct HttpRequest {
  int kind = 0;  // 0 = POST, any other value = GET
  std::string url;
  std::string postData;
  std::string response;
};

class HttpClient {
 public:
  // The connect time-out, and the time-out of a whole request, which also
  // bounds how long Stop drains the queue: a server that accepts and never
  // answers cannot hold the launcher's exit.
  static constexpr long kConnectTimeoutSeconds = 120;
  static constexpr DWORD kDefaultTotalTimeoutMs = 15000;

  HttpClient();
  virtual ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Stops a running worker first; false when the thread cannot be made.
  bool Start();
  // Sends what is queued, each request within the total time-out and all of
  // them within one total time-out from now, then ends the worker.
  void Stop();
  void Post(const char* url, const char* data);

  // Takes effect for requests sent after the call.
  void SetTotalTimeout(DWORD milliseconds);
  bool Running();

 private:
  static DWORD WINAPI WorkerMain(void* self);
  void Run();
  bool TakeRequest(HttpRequest* request);
  bool StopRequested() const;
  // Milliseconds the next request may take; 0 when the drain after Stop has
  // used up its time and the queue is dropped.
  DWORD RequestBudget();

  LauncherLock lock_;
  HANDLE thread_ = nullptr;
  std::deque<HttpRequest> queue_;
  // Written by the window thread while the worker polls it: interlocked.
  volatile LONG stop_ = 0;
  DWORD stopTick_ = 0;
  DWORD totalTimeoutMs_ = kDefaultTotalTimeoutMs;
};

// The launcher's one instance (defined with the other global objects, in
// their construction order).
extern HttpClient g_httpClient;
