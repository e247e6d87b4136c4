#include "net/HttpDownloader.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/Clock.h"
#include "DownloadImage.h"
#include "FileSystem.h"
#include "HttpResponseHead.h"
#include "base/KillPoints.h"
#include "base/LogManager.h"
#include "UrlParser.h"
#include "net/WinsockInit.h"

namespace FileSystem {

namespace {

// A GET head, its empty line included, has at most this many bytes.
const size_t kMaxGetHeadLength = 1021;
const size_t kInfoHeadBuffer = 1024;
// One receive call asks for at most this much of the body.
const int64_t kMaxReceiveChunk = 1 << 20;

HttpDownloader::Timing g_timing;
CriticalSection g_timingLock;

bool EndsWithEmptyLine(const std::string& head) {
  return head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0;
}

// How many of the count bytes that follow the head so far belong to it: up
// to and including the first CR LF CR LF that ends in them, or all of them.
int HeadBytesToTake(const std::string& head, const char* bytes, int count) {
  std::string tail = head.size() > 3 ? head.substr(head.size() - 3) : head;
  for (int i = 0; i < count; ++i) {
    tail += bytes[i];
    if (EndsWithEmptyLine(tail)) return i + 1;
    if (tail.size() > 3) tail.erase(0, 1);
  }
  return count;
}

}  // namespace

// The two readings of an information answer differ only in their messages.
struct HttpDownloader::InfoMessages {
  const char* receiveFailed;
  const char* success;
  const char* lengthTooLong;
  const char* redirect;
  const char* statusFailed;
  const char* lengthKnown;
  const char* noLength;
};

namespace {

const char kSendHeadFailed[] = "Send http head request of file %s failed.";
const char kSendGetFailed[] = "Send http get request of file %s failed.";
const char kRedirectWithoutLocation[] =
    "Get info by get of file %s fail, retcode= %d, but not redirect.";

}  // namespace

void HttpDownloader::SetTiming(const Timing& timing) {
  ScopedLock guard(g_timingLock);
  g_timing = timing;
}

HttpDownloader::Timing HttpDownloader::GetTiming() {
  ScopedLock guard(g_timingLock);
  return g_timing;
}

HttpDownloader::HttpDownloader(LogManager& log, uint32_t downloadBufferStep, bool skipHead)
    : log_(log),
      timing_(GetTiming()),
      downloadBufferStep_(downloadBufferStep),
      connection_(log, *this),
      skipHead_(skipHead) {
  connection_.SetTiming({timing_.connectTimeoutMs, timing_.socketTimeoutSeconds,
                         timing_.receiveTimeoutMs});
}

HttpDownloader::~HttpDownloader() {
  StopAndJoin();
  delete[] image_;
}

void HttpDownloader::Log(int level, const char* format, ...) {
  char text[LogManager::kBufferSize];
  va_list args;
  va_start(args, format);
  const int length = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0 || length >= static_cast<int>(sizeof text)) return;
  log_.Log(level, "%s", text);
}

bool HttpDownloader::IsStopRequested() {
  ScopedLock guard(lock_);
  return stop_;
}

void HttpDownloader::StopAndJoin() {
  {
    ScopedLock guard(lock_);
    stop_ = true;
  }
  thread_.Join();
}

// ---------------------------------------------------------------------------
// What the scheduler calls.

bool HttpDownloader::Begin(uint32_t key1, uint32_t key2, uint32_t version,
                           const char* const* baseUrls, size_t urlCount, const char* fileName) {
  if (fileName == nullptr || baseUrls == nullptr || urlCount == 0) return false;
  for (size_t i = 0; i < urlCount; ++i) {
    if (baseUrls[i] == nullptr) return false;
  }
  StopAndJoin();
  Log(kLogInfo, "Begin download file \"%s\"", fileName);
  {
    ScopedLock guard(lock_);
    baseUrls_.assign(baseUrls, baseUrls + urlCount);
    currentBaseUrl_.clear();
    url_.clear();
    fileName_ = fileName;
    key1_ = key1;
    key2_ = key2;
    version_ = version;
    totalSize_ = 0;
    ResetForRun();
  }
  return StartThread();
}

bool HttpDownloader::Restart() {
  {
    ScopedLock guard(lock_);
    if (--restartBudget_ <= 0) return false;
  }
  StopAndJoin();
  {
    ScopedLock guard(lock_);
    ResetForRun();
  }
  return StartThread();
}

// Under the lock: what every start or restart of a task run begins with.
void HttpDownloader::ResetForRun() {
  speed_ = 0.0f;
  contentLength_ = -1;
  downloadedSize_ = 0;
  runningCrc_ = 0;
  stop_ = false;
  succeeded_ = false;
  failed_ = false;
  redirected_ = false;
  busy_ = true;
  hasTask_ = true;
  retriesLeft_ = kRetryCount;
  delete[] image_;
  image_ = nullptr;
  bufferSize_ = 0;
}

bool HttpDownloader::StartThread() {
  if (thread_.Start(&HttpDownloader::ThreadMain, this)) return true;
  ScopedLock guard(lock_);
  busy_ = false;
  failed_ = true;
  return false;
}

bool HttpDownloader::Finish() {
  StopAndJoin();
  ScopedLock guard(lock_);
  hasTask_ = false;
  return true;
}

bool HttpDownloader::GetTaskKey(TaskKey* task) {
  ScopedLock guard(lock_);
  if (!hasTask_) return false;
  task->key1 = key1_;
  task->key2 = key2_;
  task->version = version_;
  return true;
}

bool HttpDownloader::TakeImage(uint8_t** image, uint32_t* size) {
  if (image == nullptr || size == nullptr) return false;
  ScopedLock guard(lock_);
  // The task thread writes into the image while a run is in progress (a
  // stopped run keeps busy set until it is joined and started anew).
  if (busy_) return false;
  // Only a verified image leaves the worker; what a failed run received
  // stays for a restart to resume from.
  if (!succeeded_) {
    *image = nullptr;
    *size = 0;
    return true;
  }
  *image = image_;
  *size = static_cast<uint32_t>(totalSize_);
  if (image_ == nullptr) *size = 0;
  image_ = nullptr;
  bufferSize_ = 0;
  totalSize_ = 0;
  return true;
}

bool HttpDownloader::GetTaskProgress(TaskProgress* progress) {
  if (progress == nullptr) return false;
  ScopedLock guard(lock_);
  if (!hasTask_) return false;
  progress->key1 = key1_;
  progress->key2 = key2_;
  progress->version = version_;
  progress->fileName = fileName_;
  progress->totalSize = totalSize_;
  progress->downloadedSize = downloadedSize_;
  progress->speed = speed_;
  return true;
}

int64_t HttpDownloader::GetTotalSize() {
  ScopedLock guard(lock_);
  return totalSize_;
}

int64_t HttpDownloader::GetDownloadedSize() {
  ScopedLock guard(lock_);
  return downloadedSize_;
}

float HttpDownloader::GetSpeed() {
  ScopedLock guard(lock_);
  return speed_;
}

bool HttpDownloader::IsBusy() {
  ScopedLock guard(lock_);
  return busy_;
}

bool HttpDownloader::IsSucceeded() {
  ScopedLock guard(lock_);
  return succeeded_;
}

bool HttpDownloader::IsFailed() {
  ScopedLock guard(lock_);
  return failed_;
}

bool HttpDownloader::HasTask() {
  ScopedLock guard(lock_);
  return hasTask_;
}

std::string HttpDownloader::GetFileName() {
  ScopedLock guard(lock_);
  return fileName_;
}

std::string HttpDownloader::GetCurrentBaseUrl() {
  ScopedLock guard(lock_);
  return currentBaseUrl_;
}

int HttpDownloader::GetRestartBudget() {
  ScopedLock guard(lock_);
  return restartBudget_;
}

void HttpDownloader::SetRestartBudget(int budget) {
  ScopedLock guard(lock_);
  restartBudget_ = budget;
}

// ---------------------------------------------------------------------------
// The task run, on the worker's own thread.

void HttpDownloader::ThreadMain(void* self) { static_cast<HttpDownloader*>(self)->RunTask(); }

void HttpDownloader::RunTask() {
  {
    WinsockInit winsock;
    if (winsock.Ok()) {
      ChooseNextBaseUrl();
      for (;;) {
        const PassEnd end = RunPass();
        if (end == PassEnd::kStopped || end == PassEnd::kSucceeded) break;
        if (IsStopRequested()) break;
        if (!RetryWait()) {
          GiveUp();
          break;
        }
        if (end == PassEnd::kCheckFailed) {
          ScopedLock guard(lock_);
          totalSize_ = 0;
          downloadedSize_ = 0;
          runningCrc_ = 0;
        }
        ChooseNextBaseUrl();
      }
    } else {
      GiveUp();
    }
    connection_.Close();
  }
  {
    ScopedLock guard(lock_);
    speed_ = 0.0f;
  }
  if (finished_ != nullptr) finished_->Set();
}

void HttpDownloader::GiveUp() {
  {
    ScopedLock guard(lock_);
    busy_ = false;
    failed_ = true;
  }
  Log(kLogError, "No more retry %s, quit.", url_.c_str());
}

void HttpDownloader::ChooseNextBaseUrl() {
  ScopedLock guard(lock_);
  size_t next = 0;
  if (!currentBaseUrl_.empty()) {
    const auto found = std::find(baseUrls_.begin(), baseUrls_.end(), currentBaseUrl_);
    if (found != baseUrls_.end() && found + 1 != baseUrls_.end())
      next = static_cast<size_t>(found - baseUrls_.begin()) + 1;
  }
  currentBaseUrl_ = baseUrls_[next];
  url_ = currentBaseUrl_ + fileName_;
  connection_.SetUrl(url_);
}

bool HttpDownloader::RetryWait() {
  if (--retriesLeft_ <= 0) return false;
  // Halfway through the attempts a resume point that keeps failing is
  // given up: the next attempt starts from byte 0.
  if (retriesLeft_ == kRetryCount / 2) ResetResumePoint();
  Log(kLogInfo, "Wait %d mini seconds to retry %s...", timing_.retryWaitMs, url_.c_str());
  for (int i = 0; i < timing_.retryWaitMs; ++i) {
    if (IsStopRequested()) break;
    Sleep(1);
  }
  return true;
}

void HttpDownloader::ResetResumePoint() {
  ScopedLock guard(lock_);
  downloadedSize_ = 0;
  runningCrc_ = 0;
}

bool HttpDownloader::PassTooManyRedirects() {
  if (redirectsThisPass_ <= kMaxRedirectsPerPass) return false;
  Log(kLogError, "Too many redirects of file %s, more than %d.", url_.c_str(),
      kMaxRedirectsPerPass);
  return true;
}

HttpDownloader::PassEnd HttpDownloader::RunPass() {
  UrlParser parser;
  if (parser.Parse(url_)) {
    requestPath_ = parser.GetEncodedPath();
    connectHost_ = parser.GetHost();
    headerHost_ = connectHost_;
    port_ = parser.GetPort();
    referer_ = parser.GetDirectoryUrl();
  } else {
    // Nothing to connect to: the connection fails (host not resolved).
    requestPath_.clear();
    connectHost_.clear();
    headerHost_.clear();
    port_ = 0;
    referer_.clear();
  }
  connection_.Close();
  redirected_ = false;
  redirectsThisPass_ = 0;
  bool headWanted = false;

  for (;;) {  // each turn is one go at the current URL; redirects come back here
    if (redirected_ && PassTooManyRedirects()) return PassEnd::kFailed;
    Log(kLogInfo, "Task go %s.", url_.c_str());
    if (IsStopRequested()) return PassEnd::kStopped;

    bool headDone = false;
    if (headWanted || !skipHead_) {
      {
        ScopedLock guard(lock_);
        contentLength_ = -1;
      }
      headDone = true;
      headWanted = false;
      // redirected tells whether this exchange was redirected; left over from
      // the one before, it would send a 3xx answer round this loop forever.
      redirected_ = false;
      const int result = HeadExchange();
      if (IsStopRequested()) return PassEnd::kStopped;
      if (result != 0) {
        Log(kLogError, "Get Info fail %s.", url_.c_str());
        if (redirected_) continue;
        return PassEnd::kFailed;
      }
      ScopedLock guard(lock_);
      if (contentLength_ >= 0) totalSize_ = contentLength_;
    }

    if (IsStopRequested()) return PassEnd::kStopped;
    if (!connection_.IsConnected()) {
      Log(kLogInfo, "Connecting %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
      if (!connection_.Connect(connectHost_, port_)) {
        connection_.SetLastError(kErrorExchangeConnect);
        if (IsStopRequested()) return PassEnd::kStopped;
        Log(kLogError, "Connect fail %s, %d of file %s.", connectHost_.c_str(), port_,
            url_.c_str());
        return PassEnd::kFailed;
      }
    }

    if (IsStopRequested()) return PassEnd::kStopped;
    int64_t contentLength;
    int64_t downloaded;
    {
      ScopedLock guard(lock_);
      contentLength = contentLength_;
      downloaded = downloadedSize_;
    }
    bool gotHead = false;
    if (contentLength <= 0) {
      // The answer to a request without a range starts at byte 0, so
      // whatever a failed pass left is started over rather than overwritten
      // from the resume point on.
      if (downloaded > 0) ResetResumePoint();
      redirected_ = false;
      gotHead = GetExchange(HttpRequest::kGet10);
      if (IsStopRequested()) return PassEnd::kStopped;
      if (!gotHead) {
        Log(kLogError, "Fail to get file %s by HTTP1.0.", url_.c_str());
        if (redirected_) continue;
      }
    } else {
      redirected_ = false;
      gotHead = GetExchange(HttpRequest::kGetRange);
      if (IsStopRequested()) return PassEnd::kStopped;
      if (gotHead) {
        ScopedLock guard(lock_);
        if (contentLength_ >= 0) totalSize_ = contentLength_;
      } else {
        Log(kLogError, "Fail to get file %s.", url_.c_str());
        if (redirected_) continue;
        if (downloaded > 0) {
          ResetResumePoint();
          redirected_ = false;
          gotHead = GetExchange(HttpRequest::kGet10);
          if (IsStopRequested()) return PassEnd::kStopped;
          if (!gotHead) {
            Log(kLogError, "Fail to get file %s by HTTP1.0.", url_.c_str());
            if (redirected_) continue;
          }
        }
      }
    }
    if (IsStopRequested()) return PassEnd::kStopped;
    if (!gotHead) {
      if (headDone) return PassEnd::kFailed;
      headWanted = true;
      continue;
    }

    {
      ScopedLock guard(lock_);
      downloaded = downloadedSize_;
      contentLength = totalSize_;
    }
    Log(kLogInfo, "Receiving file %s data from %lld, size %lld ...", url_.c_str(),
        static_cast<long long>(downloaded), static_cast<long long>(contentLength));
    const bool bodyComplete = ReceiveBody();
    if (IsStopRequested()) return PassEnd::kStopped;
    if (!bodyComplete) {
      ScopedLock guard(lock_);
      downloaded = downloadedSize_;
      contentLength = totalSize_;
    }
    if (!bodyComplete) {
      Log(kLogError, "Fail to get data of %s, downloaded size %lld / %lld.", url_.c_str(),
          static_cast<long long>(downloaded), static_cast<long long>(contentLength));
      return PassEnd::kFailed;
    }
    if (CheckImage()) {
      float speed;
      {
        ScopedLock guard(lock_);
        busy_ = false;
        succeeded_ = true;
        downloaded = downloadedSize_;
        speed = speed_;
      }
      Log(kLogInfo, "Finish task session normally %s, size %lld, speed %f, quit.", url_.c_str(),
          static_cast<long long>(downloaded), speed);
      return PassEnd::kSucceeded;
    }
    Log(kLogError, "Check file content failed %s.", url_.c_str());
    return PassEnd::kCheckFailed;
  }
}

// ---------------------------------------------------------------------------
// Exchanges.

bool HttpDownloader::ConnectForExchange() {
  if (connection_.Connect(connectHost_, port_)) return true;
  connection_.SetLastError(kErrorExchangeConnect);
  return false;
}

bool HttpDownloader::SendRequest(HttpRequest::Kind kind) {
  HttpRequest::Fields fields;
  fields.path = requestPath_;
  fields.host = headerHost_;
  fields.referer = referer_;
  fields.cookies = cookies_;
  {
    ScopedLock guard(lock_);
    fields.resumePoint = downloadedSize_;
  }
  std::string text;
  if (!HttpRequest::Format(kind, fields, &text)) {
    // Refused whole: a request cut short would ask for something else.
    Log(kLogError, "Request of file %s does not fit its buffer, not sent.", url_.c_str());
    connection_.SetLastError(HttpConnection::kErrorNothingToSend);
    return false;
  }
  Log(kLogInfo, kind == HttpRequest::kHead ? "Send http head request %s, %s"
                                           : "Send http get request %s, %s",
      url_.c_str(), text.c_str());
  if (!connection_.IsConnected()) {
    connection_.SetLastError(kErrorNotSent);
    return false;
  }
  return connection_.Send(text.data(), static_cast<int>(text.size()));
}

bool HttpDownloader::GetExchange(HttpRequest::Kind kind) {
  if (SendRequest(kind) && ReadGetHead()) return true;
  if (IsStopRequested()) return false;
  Log(kLogInfo, "Connecting %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
  if (!ConnectForExchange()) {
    if (IsStopRequested()) return false;
    Log(kLogError, "Connect fail %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
    return false;
  }
  return SendRequest(kind) && ReadGetHead();
}

bool HttpDownloader::ReadGetHead() {
  char first[4];
  if (connection_.Receive(4, first, false) < 4) {
    // A stop ends the exchange without a word.
    if (IsStopRequested()) return false;
    Log(kLogError, "Read the first 4 character of header when get file %s failed, last err %d.",
        url_.c_str(), static_cast<int>(connection_.LastError()));
    return false;
  }
  if (IsStopRequested()) return false;
  std::string head(first, 4);
  while (!EndsWithEmptyLine(head)) {
    if (head.size() >= kMaxGetHeadLength) {
      Log(kLogError, "File header is too long of %s, %s", url_.c_str(), head.c_str());
      return false;
    }
    // The head is taken up to its empty line and not one byte further, as
    // the body that follows belongs to the image. Looking first and then
    // taking exactly that much costs two socket calls instead of one per
    // byte, which under load made reading the head the slowest part of a
    // small download.
    char bytes[kMaxGetHeadLength];
    const int seen = connection_.Peek(static_cast<int>(kMaxGetHeadLength - head.size()), bytes);
    const int wanted = seen > 0 ? HeadBytesToTake(head, bytes, seen) : 0;
    if (wanted == 0 || connection_.Receive(wanted, bytes, false) != wanted) {
      if (IsStopRequested()) return false;
      Log(kLogError, "Get head of %s failed, %s, last err %d", url_.c_str(), head.c_str(),
          static_cast<int>(connection_.LastError()));
      return false;
    }
    head.append(bytes, static_cast<size_t>(wanted));
  }
  Log(kLogInfo, "Get head of %s success, %s", url_.c_str(), head.c_str());
  const HttpResponseHead::GetAnswer answer = HttpResponseHead::ReadGetHead(head);
  if (answer.status / 100 == 3 && answer.hasLocation) {
    // A relative Location is made absolute on the server that answered, as
    // in an information answer; an absolute one is taken as it is.
    const std::string target =
        HttpResponseHead::ResolveLocation(answer.location, connectHost_, port_, requestPath_);
    TakeRedirect(target);
    Log(kLogInfo, "Redirect file %s to %s", url_.c_str(), target.c_str());
    return false;
  }
  if (answer.status / 100 == 2) return true;
  Log(kLogError, "retcode fail %s, retcode=%d", url_.c_str(), answer.status);
  return false;
}

void HttpDownloader::TakeRedirect(const std::string& url) {
  UrlParser parser;
  if (parser.Parse(url)) {
    requestPath_ = parser.GetEncodedPath();
    headerHost_ = parser.GetHost();
    connectHost_ = headerHost_;
    port_ = parser.GetPort();
  } else {
    // A target that does not parse leaves nothing to connect to, so the
    // next connection fails (host not resolved) instead of reaching a
    // leftover host.
    requestPath_.clear();
    headerHost_.clear();
    connectHost_.clear();
    port_ = 0;
  }
  redirected_ = true;
  ++redirectsThisPass_;
}

namespace {

const char kHeadReceiveFailed[] = "get http head of file %s failed, %s.";
const char kGetReceiveFailed[] = "get http by get of file %s failed, %s.";

}  // namespace

int HttpDownloader::HeadExchange() {
  static const InfoMessages kHeadMessages = {
      kHeadReceiveFailed,
      "get http head of file %s, success, %s.",
      "get http head of file %s, failed length error %d > %d.",
      "redirect file %s to %s.",
      "get http head of file %s, ret code fail %d.",
      "get http head of file %s success, Length=%lld.",
      "get http head of file %s success, no file length info.",
  };
  Log(kLogInfo, "Connecting %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
  if (!ConnectForExchange()) {
    if (IsStopRequested()) return -3;
    Log(kLogError, "Connect fail %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
    return -1;
  }
  if (IsStopRequested()) return -3;
  if (!SendRequest(HttpRequest::kHead)) {
    if (IsStopRequested()) return -3;
    Log(kLogError, kSendHeadFailed, url_.c_str());
    return -1;
  }
  if (IsStopRequested()) return -3;
  const int result = ReadInfoAnswer(kHeadMessages, true);
  if (result != 1) return result;

  // A 3xx answer to HEAD without a Location: ask with a plain GET.
  if (IsStopRequested()) return -3;
  const int first = InfoByGet();
  if (first == 0) return 0;
  if (redirected_) return -1;
  Log(kLogInfo, "Connecting %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
  if (!ConnectForExchange()) {
    if (IsStopRequested()) return -3;
    Log(kLogError, "Connect fail %s, %d of file %s.", connectHost_.c_str(), port_, url_.c_str());
    return -1;
  }
  return InfoByGet();
}

int HttpDownloader::InfoByGet() {
  static const InfoMessages kGetMessages = {
      kGetReceiveFailed,
      "get http by get result of file %s success %s.",
      "get http by get of file %s, failed length error %d > %d.",
      "Redirect file %s to %s.",
      "Get info by get of file %s ret code fail %d.",
      "Get info by get of file %s success, Length=%lld.",
      "Get info by get of file %s success, no file length info.",
  };
  if (!SendRequest(HttpRequest::kGet)) {
    if (IsStopRequested()) return -3;
    Log(kLogError, kSendGetFailed, url_.c_str());
    return -1;
  }
  if (IsStopRequested()) return -3;
  const int result = ReadInfoAnswer(kGetMessages, false);
  if (result == 0 && connection_.IsConnected()) {
    // The body of this GET is not read; a fresh connection keeps it from
    // being taken for the head of the next answer.
    connection_.Close();
  }
  return result;
}

// 0, -1, -2 or -3 as the exchanges return them; 1 (HEAD only) for a 3xx
// answer without a redirect or a length, which the caller follows up.
int HttpDownloader::ReadInfoAnswer(const InfoMessages& messages, bool isHead) {
  // Bare Locations resolve against the request as it was sent, even when an
  // earlier Location of the same head has already changed the path.
  const std::string requestPath = requestPath_;
  char buffer[kInfoHeadBuffer];
  size_t held = 0;
  while (std::string(buffer, held).find("\r\n\r\n") == std::string::npos) {
    if (IsStopRequested()) return -3;
    const int got =
        held < sizeof buffer
            ? connection_.Receive(static_cast<int>(sizeof buffer - held), buffer + held, true)
            : connection_.Receive(0, buffer, true);
    if (IsStopRequested()) return -3;
    if (got < 0) {
      Log(kLogError, messages.receiveFailed, url_.c_str(), std::string(buffer, held).c_str());
      return 0;
    }
    if (got == 0) break;
    held += static_cast<size_t>(got);
  }
  const std::string text = HttpResponseHead::InfoHeadText(std::string(buffer, held));
  Log(kLogInfo, messages.success, url_.c_str(), text.c_str());
  {
    ScopedLock guard(lock_);
    contentLength_ = -1;
  }
  const HttpResponseHead::InfoAnswer answer = HttpResponseHead::ReadInfoHead(text);
  for (const HttpResponseHead::Item& item : answer.items) {
    if (item.kind == HttpResponseHead::Item::kCookie) {
      cookies_.push_back(item.value);
      continue;
    }
    const std::string target =
        HttpResponseHead::ResolveLocation(item.value, connectHost_, port_, requestPath);
    TakeRedirect(target);
    Log(kLogInfo, messages.redirect, url_.c_str(), target.c_str());
  }
  if (answer.lengthTooLong) {
    Log(kLogError, messages.lengthTooLong, url_.c_str(), static_cast<int>(answer.lengthTextSize),
        static_cast<int>(HttpResponseHead::kMaxContentLengthText));
    return -2;
  }
  const bool lengthGiven = answer.contentLength != -1;
  {
    ScopedLock guard(lock_);
    contentLength_ = answer.contentLength;
  }
  if (answer.status == -1) {
    connection_.SetLastError(kErrorNoStatus);
    return -2;
  }
  if (answer.status < 200 || answer.status > 399) {
    Log(kLogInfo, messages.statusFailed, url_.c_str(), answer.status);
    return -1;
  }
  if (answer.status < 300) {
    if (!lengthGiven) {
      connection_.SetLastError(kErrorNoLength);
      Log(kLogWarning, messages.noLength, url_.c_str());
    } else {
      Log(kLogInfo, messages.lengthKnown, url_.c_str(), static_cast<long long>(answer.contentLength));
    }
    return 0;
  }
  if (redirected_) return -1;
  if (!isHead) {
    connection_.SetLastError(kErrorRedirectWithoutLocation);
    Log(kLogError, kRedirectWithoutLocation, url_.c_str(), answer.status);
    return -2;
  }
  if (lengthGiven) {
    connection_.SetLastError(kErrorRedirectWithoutLocation);
    return -2;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Body and image.

bool HttpDownloader::ReceiveBody() {
  int64_t total;
  int64_t bufferSize;
  int64_t downloaded;
  bool hasImage;
  {
    ScopedLock guard(lock_);
    total = totalSize_;
    bufferSize = bufferSize_;
    downloaded = downloadedSize_;
    hasImage = image_ != nullptr;
  }
  if (downloaded > total || downloaded > bufferSize || (downloaded > 0 && !hasImage)) {
    ResetResumePoint();
    return false;
  }

  uint8_t header[DownloadImage::kHeaderSize];
  bool headerReceived = false;
  if (total <= 0) {
    if (downloaded >= static_cast<int64_t>(DownloadImage::kHeaderSize) && hasImage) {
      ScopedLock guard(lock_);
      std::memcpy(header, image_, sizeof header);
    } else if (downloaded > 0) {
      ResetResumePoint();
      return false;
    } else {
      if (connection_.Receive(static_cast<int>(sizeof header), reinterpret_cast<char*>(header),
                              false) < static_cast<int>(sizeof header))
        return false;
      headerReceived = true;
      downloaded = sizeof header;
      ScopedLock guard(lock_);
      downloadedSize_ = downloaded;
    }
    const DownloadImage::Header fields = DownloadImage::ReadHeader(header);
    if (!DownloadImage::IsHeaderUsable(fields)) {
      Log(kLogError, "file is not a HPAK file when download file %s", url_.c_str());
      if (headerReceived) ResetResumePoint();
      return false;
    }
    total = fields.usedEnd;
    ScopedLock guard(lock_);
    contentLength_ = total;
    totalSize_ = total;
  }
  // Lengths come from the network: nothing is allocated for one that cannot
  // be an image or does not fit 32 bits.
  if (!DownloadImage::IsAcceptableLength(total)) {
    Log(kLogError, "file size %lld is not acceptable when download file %s",
        static_cast<long long>(total), url_.c_str());
    if (headerReceived) ResetResumePoint();
    return false;
  }
  if (!PrepareBuffer(total, downloaded, headerReceived ? header : nullptr)) {
    if (headerReceived) ResetResumePoint();
    return false;
  }
  return ReceiveIntoImage();
}

bool HttpDownloader::PrepareBuffer(int64_t total, int64_t downloaded, const uint8_t* header) {
  uint8_t* image;
  int64_t bufferSize;
  {
    ScopedLock guard(lock_);
    image = image_;
    bufferSize = bufferSize_;
  }
  if (image == nullptr || bufferSize < total) {
    uint8_t* larger = new (std::nothrow) uint8_t[static_cast<size_t>(total)];
    if (larger == nullptr) {
      Log(kLogError, "create buffer %lld failed when download file %s",
          static_cast<long long>(total), url_.c_str());
      return false;
    }
    if (image != nullptr && header == nullptr && downloaded > 0)
      std::memcpy(larger, image, static_cast<size_t>(downloaded));
    ScopedLock guard(lock_);
    delete[] image_;
    image_ = larger;
    bufferSize_ = total;
    image = larger;
  }
  if (image == nullptr) {
    Log(kLogError, "create buffer failed when download file %s", url_.c_str());
    return false;
  }
  if (header != nullptr) {
    ScopedLock guard(lock_);
    std::memcpy(image_, header, DownloadImage::kHeaderSize);
  }
  return true;
}

bool HttpDownloader::ReceiveIntoImage() {
  int64_t total;
  int64_t downloaded;
  uint8_t* image;
  {
    ScopedLock guard(lock_);
    total = totalSize_;
    downloaded = downloadedSize_;
    image = image_;
  }
  KillPoints::Reach("download.body", key1_, key2_);
  int64_t last = static_cast<int64_t>(Clock::MicrosecondsNow());
  for (;;) {
    if (IsStopRequested()) return false;
    const int want = static_cast<int>(std::min(total - downloaded, kMaxReceiveChunk));
    const int got = connection_.Receive(want, reinterpret_cast<char*>(image + downloaded), true);
    if (got <= 0) return false;
    const int64_t now = static_cast<int64_t>(Clock::MicrosecondsNow());
    const int64_t elapsedMs = std::max<int64_t>((now - last) / 1000, 1);
    last = now;
    const uint32_t crc = DownloadImage::ContinueCrc(runningCrc_, image,
                                                    static_cast<uint64_t>(downloaded),
                                                    static_cast<uint32_t>(got));
    downloaded += got;
    {
      ScopedLock guard(lock_);
      const float sample = static_cast<float>(got) * 1000.0f / static_cast<float>(elapsedMs);
      speed_ = sample * 0.8f + speed_ * 0.2f;
      runningCrc_ = crc;
      downloadedSize_ = downloaded;
    }
    if (downloaded == total) return true;
    if (IsStopRequested()) return false;
  }
}

bool HttpDownloader::CheckImage() {
  ScopedLock guard(lock_);
  if (stop_) return false;
  return DownloadImage::IsComplete(image_, totalSize_, runningCrc_);
}

}  // namespace FileSystem
