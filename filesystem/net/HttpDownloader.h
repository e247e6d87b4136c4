// One download worker: fetches one download package image at a time over
// hand-made HTTP requests, trying the product's base URLs in turn, resuming
// with a byte range, following redirects, keeping the servers' cookies and
// checking the image's CRC-32 before it counts as finished. It runs each task
// on a thread of its own and leaves the image in memory for the scheduler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/CriticalSection.h"
#include "net/HttpConnection.h"
#include "HttpRequest.h"
#include "base/Thread.h"
#include "base/WakeEvent.h"

namespace FileSystem {

class LogManager;

class HttpDownloader : private IStopSignal {
 public:
  // Waits of every worker made after SetTiming. The defaults are the
  // product's; tests shorten them.
  struct Timing {
    int connectTimeoutMs = 30000;
    int socketTimeoutSeconds = 5;
    int receiveTimeoutMs = 30000;
    int retryWaitMs = 100;  // 1 ms sleeps between attempts
  };
  static void SetTiming(const Timing& timing);
  static Timing GetTiming();

  static constexpr int kRetryCount = 5;
  static constexpr int kInitialRestartBudget = 5;
  // Redirects followed in one pass before the pass counts as failed.
  static constexpr int kMaxRedirectsPerPass = 20;

  // Last-error codes of the exchanges (the socket layer's are in
  // HttpConnection).
  enum Error {
    kErrorNotSent = 7,
    kErrorExchangeConnect = 65539,
    kErrorNoLength = -200,
    kErrorRedirectWithoutLocation = -201,
    kErrorNoStatus = -202,
  };

  HttpDownloader(LogManager& log, uint32_t downloadBufferStep, bool skipHead);
  virtual ~HttpDownloader();
  HttpDownloader(const HttpDownloader&) = delete;
  HttpDownloader& operator=(const HttpDownloader&) = delete;

  // Starts a task: the package fileName from the first of urlCount base URLs
  // (each URL is the base followed directly by the name). A running task is
  // ended first. False for a null name, no URL or a null URL (a running task
  // then goes on), or when the thread cannot start.
  bool Begin(uint32_t key1, uint32_t key2, uint32_t version, const char* const* baseUrls,
             size_t urlCount, const char* fileName);
  // Runs the same task again, from the next base URL, while the restart
  // budget lasts; false (nothing changed) when it is spent.
  bool Restart();
  // Ends the running task, waits for its thread and marks the worker idle.
  bool Finish();
  // Hands over the verified image (allocated with new[]; the caller frees it
  // with delete[]) and its length. False for null outputs and while a task
  // run is in progress; without a verified image, and after the first call,
  // the image is null and size 0.
  bool TakeImage(uint8_t** image, uint32_t* size);

  // What the task is and how far it got, read in one go.
  struct TaskProgress {
    uint32_t key1 = 0;
    uint32_t key2 = 0;
    uint32_t version = 0;
    std::string fileName;
    int64_t totalSize = 0;
    int64_t downloadedSize = 0;
    float speed = 0.0f;
  };
  // False while the worker has no task.
  bool GetTaskProgress(TaskProgress* progress);

  int64_t GetTotalSize();
  int64_t GetDownloadedSize();
  float GetSpeed();

  bool IsBusy();
  bool IsSucceeded();
  bool IsFailed();
  bool HasTask();
  // The task's key and version, read under the lock Begin writes them
  // under. False while the worker has no task.
  struct TaskKey {
    uint32_t key1 = 0;
    uint32_t key2 = 0;
    uint32_t version = 0;
  };
  bool GetTaskKey(TaskKey* task);
  std::string GetFileName();
  std::string GetCurrentBaseUrl();
  int GetRestartBudget();
  void SetRestartBudget(int budget);
  int32_t GetLastError() const { return connection_.LastError(); }
  uint32_t GetDownloadBufferStep() const { return downloadBufferStep_; }

  // Set each time a task run ends, so that whoever collects finished tasks
  // need not poll for them; null for none. Set before the first Begin.
  void SetFinishedEvent(WakeEvent* finished) { finished_ = finished; }

 private:
  enum class PassEnd { kFailed, kCheckFailed, kSucceeded, kStopped };

  bool IsStopRequested() override;
  void StopAndJoin();
  bool StartThread();
  void ResetForRun();

  static void ThreadMain(void* self);
  void RunTask();
  PassEnd RunPass();
  bool PassTooManyRedirects();
  void ChooseNextBaseUrl();
  bool RetryWait();
  void GiveUp();

  // Exchanges.
  bool ConnectForExchange();
  bool SendRequest(HttpRequest::Kind kind);
  bool GetExchange(HttpRequest::Kind kind);
  bool ReadGetHead();
  int HeadExchange();
  int InfoByGet();
  struct InfoMessages;
  int ReadInfoAnswer(const InfoMessages& messages, bool isHead);
  void TakeRedirect(const std::string& url);

  // Body and image.
  bool ReceiveBody();
  bool PrepareBuffer(int64_t total, int64_t downloaded, const uint8_t* header);
  bool ReceiveIntoImage();
  bool CheckImage();
  void ResetResumePoint();
  void Log(int level, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(gnu_printf, 3, 4)))
#endif
      ;

  LogManager& log_;
  std::vector<std::string> baseUrls_;
  std::string currentBaseUrl_;
  std::string fileName_;
  std::string url_;
  std::string connectHost_;
  std::string headerHost_;
  std::string requestPath_;
  std::string referer_;
  std::vector<std::string> cookies_;
  uint8_t* image_ = nullptr;
  uint32_t key1_ = 0;
  uint32_t key2_ = 0;
  uint32_t version_ = 0;
  int64_t contentLength_ = -1;
  int64_t bufferSize_ = 0;
  int64_t totalSize_ = 0;
  int64_t downloadedSize_ = 0;
  Thread thread_;
  CriticalSection lock_;
  Timing timing_;
  int32_t port_ = 0;
  int retriesLeft_ = kRetryCount;
  int restartBudget_ = kInitialRestartBudget;
  int redirectsThisPass_ = 0;
  uint32_t downloadBufferStep_;
  uint32_t runningCrc_ = 0;
  float speed_ = 0.0f;
  HttpConnection connection_;
  WakeEvent* finished_ = nullptr;
  bool stop_ = false;
  bool busy_ = false;
  bool succeeded_ = false;
  bool failed_ = false;
  bool redirected_ = false;
  bool hasTask_ = false;
  bool skipHead_;
};

}  // namespace FileSystem
