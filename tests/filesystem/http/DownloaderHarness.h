// A downloader against the in-process test server, with short waits and a
// recording log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DownloadImageWriter.h"
#include "FileSystemFacade.h"
#include "net/HttpDownloader.h"
#include "HttpTestServer.h"
#include "TestSupport.h"

namespace HttpTests {

class DownloaderTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A worker made with the given HEAD choice; the timing must be set first.
  FileSystem::HttpDownloader& MakeWorker(bool skipHead = false);
  void SetTiming(int retryWaitMs, int receiveTimeoutMs = 3000);

  // Begins the package "pkg.pak" below the given base paths of the server
  // ("/d/" when none are given).
  bool BeginTask(const std::vector<std::string>& basePaths = {"/d/"});
  // Waits until the task run is over (busy clear); false when it never ends.
  bool WaitUntilDone();
  // Waits until a log line contains the text.
  bool WaitForLog(const std::string& text);
  // Log lines that contain the text.
  size_t CountLog(const std::string& text);
  std::string TakenImage();

  // The request line of every recorded request.
  std::vector<std::string> RequestLines();
  // The Range value of every recorded GET ("" for a GET without one).
  std::vector<std::string> GetRanges();

  TestSupport::RecordingLog log_;
  FileSystem::FileSystem fileSystem_;
  TestFixtures::HttpTestServer server_;
  std::unique_ptr<FileSystem::HttpDownloader> worker_;
  FileSystem::HttpDownloader::Timing savedTiming_;
};

}  // namespace HttpTests
