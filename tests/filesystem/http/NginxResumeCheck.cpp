// Run by nginx-resume.sh: downloads the package that nginx serves, where the
// first transfer stalls part way (nginx's rate limit) and must be resumed
// with a byte range.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "FileSystemFacade.h"
#include "net/HttpDownloader.h"
#include "TestSupport.h"

namespace {

size_t CountContaining(TestSupport::RecordingLog& log, const std::string& text) {
  size_t count = 0;
  for (const std::string& line : log.Texts())
    if (line.find(text) != std::string::npos) ++count;
  return count;
}

TEST(Nginx, StalledTransferIsResumedWithARange) {
  const char* base = std::getenv("VELMOR_NGINX_URL");
  const char* name = std::getenv("VELMOR_NGINX_FILE");
  const char* size = std::getenv("VELMOR_NGINX_SIZE");
  if (base == nullptr || name == nullptr || size == nullptr) GTEST_SKIP() << "no nginx to talk to";

  FileSystem::HttpDownloader::Timing timing;
  timing.receiveTimeoutMs = 300;
  timing.retryWaitMs = 1;
  FileSystem::HttpDownloader::SetTiming(timing);
  TestSupport::RecordingLog log;
  FileSystem::FileSystem fileSystem;
  fileSystem.Logger().SetSink(&log);
  {
    FileSystem::HttpDownloader worker(fileSystem.Logger(), 0x10000, false);
    const char* urls[] = {base};
    ASSERT_TRUE(worker.Begin(1, 2, 3, urls, 1, name));
    for (int i = 0; i < 120000 && worker.IsBusy(); ++i) Sleep(1);
    EXPECT_TRUE(worker.IsSucceeded());
    uint8_t* image = nullptr;
    uint32_t length = 0;
    ASSERT_TRUE(worker.TakeImage(&image, &length));
    EXPECT_NE(image, nullptr);
    EXPECT_EQ(length, static_cast<uint32_t>(std::strtoul(size, nullptr, 10)));
    delete[] image;
    worker.Finish();
  }
  const std::string url = std::string(base) + name;
  EXPECT_GE(CountContaining(log, "time out when recv data of  " + url + "."), 1u);
  EXPECT_EQ(CountContaining(log, "Receiving file " + url + " data from 0,"), 1u);
  EXPECT_GE(CountContaining(log, "Receiving file " + url + " data from "), 2u);
  for (const std::string& line : log.Texts()) std::printf("%s\n", line.c_str());
  fileSystem.Logger().SetSink(nullptr);
}

}  // namespace
