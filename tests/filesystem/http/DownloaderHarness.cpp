#include "DownloaderHarness.h"

#include <windows.h>

namespace HttpTests {

namespace {

// Generous bound for a task run that should end by itself; a run that
// needs it has hung.
const int kWaitLimitMs = 60000;

}  // namespace

void DownloaderTest::SetUp() {
  savedTiming_ = FileSystem::HttpDownloader::GetTiming();
  fileSystem_.Logger().SetSink(&log_);
  ASSERT_TRUE(server_.Ok());
  SetTiming(1);
}

void DownloaderTest::TearDown() {
  worker_.reset();
  fileSystem_.Logger().SetSink(nullptr);
  FileSystem::HttpDownloader::SetTiming(savedTiming_);
}

void DownloaderTest::SetTiming(int retryWaitMs, int receiveTimeoutMs) {
  FileSystem::HttpDownloader::Timing timing;
  timing.connectTimeoutMs = 3000;
  timing.socketTimeoutSeconds = 5;
  timing.receiveTimeoutMs = receiveTimeoutMs;
  timing.retryWaitMs = retryWaitMs;
  FileSystem::HttpDownloader::SetTiming(timing);
}

FileSystem::HttpDownloader& DownloaderTest::MakeWorker(bool skipHead) {
  worker_.reset(new FileSystem::HttpDownloader(fileSystem_.Logger(), 0x10000, skipHead));
  return *worker_;
}

bool DownloaderTest::BeginTask(const std::vector<std::string>& basePaths) {
  if (!worker_) MakeWorker();
  std::vector<std::string> urls;
  for (const std::string& path : basePaths) urls.push_back(server_.Origin() + path);
  std::vector<const char*> pointers;
  for (const std::string& url : urls) pointers.push_back(url.c_str());
  return worker_->Begin(1, 2, 3, pointers.data(), pointers.size(), "pkg.pak");
}

bool DownloaderTest::WaitUntilDone() {
  for (int i = 0; i < kWaitLimitMs; ++i) {
    if (!worker_->IsBusy()) return true;
    Sleep(1);
  }
  return false;
}

bool DownloaderTest::WaitForLog(const std::string& text) {
  for (int i = 0; i < kWaitLimitMs; ++i) {
    if (CountLog(text) > 0) return true;
    Sleep(1);
  }
  return false;
}

size_t DownloaderTest::CountLog(const std::string& text) {
  size_t count = 0;
  for (const std::string& line : log_.Texts())
    if (line.find(text) != std::string::npos) ++count;
  return count;
}

std::string DownloaderTest::TakenImage() {
  uint8_t* image = nullptr;
  uint32_t size = 0;
  if (!worker_->TakeImage(&image, &size) || image == nullptr) return std::string();
  std::string bytes(reinterpret_cast<const char*>(image), size);
  delete[] image;
  return bytes;
}

std::vector<std::string> DownloaderTest::RequestLines() {
  std::vector<std::string> lines;
  for (const std::string& request : server_.Requests())
    lines.push_back(request.substr(0, request.find("\r\n")));
  return lines;
}

std::vector<std::string> DownloaderTest::GetRanges() {
  std::vector<std::string> ranges;
  for (const std::string& request : server_.Requests()) {
    if (request.compare(0, 4, "GET ") != 0) continue;
    const size_t at = request.find("\r\nRange: bytes=");
    ranges.push_back(at == std::string::npos
                         ? std::string()
                         : request.substr(at + 15, request.find("\r\n", at + 2) - at - 15));
  }
  return ranges;
}

}  // namespace HttpTests
