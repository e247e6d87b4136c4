#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "DownloaderHarness.h"

using FileSystem::HttpDownloader;
using TestFixtures::HttpReply;
using TestFixtures::MakeDownloadImage;

namespace HttpTests {
namespace {

const char kCommonLines[] =
    "User-Agent: Mozilla/4.0(compatible;MSIE 5.00;Windows 98)\r\n"
    "Accept: */*\r\n"
    "Host: 127.0.0.1\r\n";

HttpReply DropAfter(int64_t bytes) {
  HttpReply reply;
  reply.closeAfterBodyBytes = bytes;
  return reply;
}

TEST_F(DownloaderTest, GoodImageIsTakenOnceWithItsLength) {
  const std::string image = MakeDownloadImage(5000);
  server_.SetBody(image);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsSucceeded());
  EXPECT_FALSE(worker_->IsFailed());
  EXPECT_TRUE(worker_->HasTask());
  EXPECT_EQ(worker_->GetTotalSize(), 5000);
  EXPECT_EQ(worker_->GetDownloadedSize(), 5000);
  EXPECT_EQ(TakenImage(), image);
  uint8_t* again = reinterpret_cast<uint8_t*>(1);
  uint32_t size = 1;
  EXPECT_TRUE(worker_->TakeImage(&again, &size));
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(worker_->GetTotalSize(), 0);
  EXPECT_TRUE(worker_->Finish());
  EXPECT_FALSE(worker_->HasTask());
  EXPECT_EQ(worker_->GetSpeed(), 0.0f);
  EXPECT_EQ(CountLog("Begin download file \"pkg.pak\""), 1u);
  EXPECT_EQ(CountLog("Finish task session normally " + server_.Origin() + "/d/pkg.pak, size 5000"), 1u);
}

TEST_F(DownloaderTest, TakeImageRefusesNullOutputs) {
  MakeWorker();
  uint8_t* image = nullptr;
  uint32_t size = 0;
  EXPECT_FALSE(worker_->TakeImage(nullptr, &size));
  EXPECT_FALSE(worker_->TakeImage(&image, nullptr));
}

TEST_F(DownloaderTest, BeginRefusesNullNameOrNoUrlAndLeavesTheRunningTask) {
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kStall));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitForLog("Send http head request"));
  const std::string url = server_.Origin() + "/d/";
  const char* urls[] = {url.c_str()};
  EXPECT_FALSE(worker_->Begin(1, 2, 3, urls, 1, nullptr));
  EXPECT_FALSE(worker_->Begin(1, 2, 3, urls, 0, "pkg.pak"));
  EXPECT_FALSE(worker_->Begin(1, 2, 3, nullptr, 1, "pkg.pak"));
  EXPECT_TRUE(worker_->IsBusy());
  EXPECT_EQ(worker_->GetFileName(), "pkg.pak");
  EXPECT_TRUE(worker_->Finish());
}

// ---------------------------------------------------------------------------
// Request texts, byte for byte.

struct RequestCase {
  const char* label;
  bool skipHead;
  std::vector<HttpReply> replies;
  size_t index;          // which recorded request
  std::string expected;  // with PORT standing for the server's port
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.label; }

std::vector<RequestCase> RequestCases() {
  const std::string referer = "Referer: http://127.0.0.1:PORT/d\r\n";
  HttpReply redirectWithoutLocation = HttpReply::Raw("HTTP/1.1 302 Found\r\n\r\n");
  return {
      {"head", false, {}, 0,
       std::string("HEAD /d/pkg.pak HTTP/1.1\r\n") + kCommonLines + referer +
           "Pragma: no-cache\r\nCache-Control:no-cache\r\nConnection: Keep-Alive\r\n\r\n"},
      {"ranged get", false, {}, 1,
       std::string("GET /d/pkg.pak HTTP/1.1\r\n") + kCommonLines + referer +
           "Connection: close\r\nRange: bytes=0-\r\n\r\n"},
      {"get for information", false, {redirectWithoutLocation}, 1,
       std::string("GET /d/pkg.pak HTTP/1.1\r\n") + kCommonLines + referer +
           "Connection: close\r\n\r\n"},
      {"get 1.0", true, {}, 0,
       std::string("GET /d/pkg.pak HTTP/1.0\r\n") + kCommonLines + referer +
           "Connection: close\r\n\r\n"},
  };
}

class RequestText : public DownloaderTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(RequestText, IsSentByteForByte) {
  server_.SetBody(MakeDownloadImage(3000));
  for (const HttpReply& reply : GetParam().replies) server_.QueueReply(reply);
  MakeWorker(GetParam().skipHead);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsSucceeded());
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_GT(requests.size(), GetParam().index);
  std::string expected = GetParam().expected;
  expected.replace(expected.find("PORT"), 4, std::to_string(server_.Port()));
  EXPECT_EQ(requests[GetParam().index], expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RequestText, testing::ValuesIn(RequestCases()));

TEST_F(DownloaderTest, CookiesGoWithEveryLaterRequestInArrivalOrder) {
  server_.SetBody(MakeDownloadImage(2000));
  HttpReply head;
  head.extraHeaders = "Set-Cookie: sid=42; path=/\r\nSet-Cookie: sid=42\r\n";
  server_.QueueReply(head);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(requests[1].find("Referer: http://127.0.0.1:" + std::to_string(server_.Port()) +
                             "/d\r\nCookie: sid=42\r\nCookie: sid=42\r\nConnection: close\r\n"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Response heads.

// A GET answer whose head, empty line included, is exactly length bytes,
// followed by the image.
std::string HeadOfLength(size_t length, const std::string& image) {
  const std::string start = "HTTP/1.1 200 OK\r\nX-Pad: ";
  const std::string end = "\r\n\r\n";
  return start + std::string(length - start.size() - end.size(), 'p') + end + image;
}

struct HeadLengthCase {
  size_t length;
  bool read;
};

void PrintTo(const HeadLengthCase& c, std::ostream* os) { *os << c.length << " bytes"; }

class GetHeadLength : public DownloaderTest, public testing::WithParamInterface<HeadLengthCase> {};

TEST_P(GetHeadLength, HeadsUpTo1021BytesAreRead) {
  const std::string image = MakeDownloadImage(500);
  server_.SetDefaultReply(HttpReply::Raw(HeadOfLength(GetParam().length, image)));
  MakeWorker(true);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_EQ(worker_->IsSucceeded(), GetParam().read);
  EXPECT_EQ(CountLog("File header is too long of") > 0, !GetParam().read);
  if (GetParam().read) {
    EXPECT_EQ(TakenImage(), image);
  }
}

INSTANTIATE_TEST_SUITE_P(Boundary, GetHeadLength,
                         testing::Values(HeadLengthCase{1020, true}, HeadLengthCase{1021, true},
                                         HeadLengthCase{1022, false}));

// The head's empty line may arrive split over several segments, and the
// image's first bytes in the segment that ends the head: the head is taken
// up to its empty line and not a byte of the image with it.
class SegmentedGetHead : public DownloaderTest, public testing::WithParamInterface<size_t> {};

TEST_P(SegmentedGetHead, EndsAtItsEmptyLineAndLeavesTheImageWhole) {
  const std::string image = MakeDownloadImage(64);
  const std::string head = "HTTP/1.1 200 OK\r\nX-Pad: pp\r\n\r\n";
  server_.SetDefaultReply(HttpReply::Raw(head + image, GetParam()));
  MakeWorker(true);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(TakenImage(), image);
  EXPECT_EQ(CountLog("Get head of " + server_.Origin() + "/d/pkg.pak success, " + head), 1u);
}

INSTANTIATE_TEST_SUITE_P(PieceSizes, SegmentedGetHead, testing::Values(1, 2, 3, 5, 28, 29, 30, 31));

struct LengthTextCase {
  const char* label;
  std::string value;  // what follows "Content-Length:"
  bool read;
};

void PrintTo(const LengthTextCase& c, std::ostream* os) { *os << c.label; }

class HeadContentLength : public DownloaderTest,
                          public testing::WithParamInterface<LengthTextCase> {};

TEST_P(HeadContentLength, ValuesOver25CharactersOrOverflowingAreTooLong) {
  server_.SetBody(MakeDownloadImage(2000));
  server_.QueueReply(
      HttpReply::Raw("HTTP/1.1 200 OK\r\nContent-Length:" + GetParam().value + "\r\n\r\n"));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  // Either way the task ends with the image: a refused head fails one pass.
  EXPECT_TRUE(worker_->IsSucceeded());
  const std::string message = "get http head of file " + server_.Origin() +
                              "/d/pkg.pak, failed length error " +
                              std::to_string(GetParam().value.size()) + " > 25.";
  EXPECT_EQ(CountLog(message), GetParam().read ? 0u : 1u);
  EXPECT_EQ(CountLog("Get Info fail"), GetParam().read ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeadContentLength,
    testing::Values(LengthTextCase{"25 characters", std::string(21, ' ') + "2000", true},
                    LengthTextCase{"26 characters", std::string(22, ' ') + "2000", false},
                    LengthTextCase{"overflowing 64 bits", " 99999999999999999999", false}));

TEST_F(DownloaderTest, HeadWithoutLengthFetchesWithHttp10AndReadsTheImageHeader) {
  server_.SetBody(MakeDownloadImage(3000));
  HttpReply head;
  head.sendContentLength = false;
  server_.QueueReply(head);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(CountLog("success, no file length info."), 1u);
  const std::vector<std::string> lines = RequestLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "GET /d/pkg.pak HTTP/1.0");
  EXPECT_EQ(worker_->GetTotalSize(), 3000);
}

TEST_F(DownloaderTest, RedirectWithoutLocationToAGetFailsWithItsCode) {
  server_.SetBody(MakeDownloadImage(1000));
  server_.QueueReply(HttpReply::Raw("HTTP/1.1 302 Found\r\n\r\n"));
  MakeWorker(true);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_EQ(CountLog("retcode fail " + server_.Origin() + "/d/pkg.pak, retcode=302"), 1u);
  EXPECT_TRUE(worker_->IsSucceeded());
}

TEST_F(DownloaderTest, SilentServerEndsTheReceiveAtTheTimeOut) {
  SetTiming(1, 100);
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kStall));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_GE(CountLog("time out when recv data of  " + server_.Origin() + "/d/pkg.pak."), 5u);
  EXPECT_EQ(CountLog("No more retry"), 1u);
}

// ---------------------------------------------------------------------------
// Resuming, retries and base URLs.

TEST_F(DownloaderTest, DroppedTransferResumesWithARange) {
  const std::string image = MakeDownloadImage(5000);
  server_.SetBody(image);
  server_.QueueReply(HttpReply::Serve());
  server_.QueueReply(DropAfter(1200));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(GetRanges(), (std::vector<std::string>{"0-", "1200-"}));
  EXPECT_EQ(CountLog("socket is closed when recv data of"), 1u);
  EXPECT_EQ(TakenImage(), image);
}

TEST_F(DownloaderTest, ThirdFailedPassRestartsFromByteZero) {
  server_.SetBody(MakeDownloadImage(10000));
  server_.SetDefaultReply(DropAfter(1000));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_FALSE(worker_->IsSucceeded());
  EXPECT_EQ(GetRanges(), (std::vector<std::string>{"0-", "1000-", "2000-", "0-", "1000-"}));
  EXPECT_EQ(CountLog("Wait 1 mini seconds to retry"), 4u);
  EXPECT_EQ(CountLog("No more retry " + server_.Origin() + "/d/pkg.pak, quit."), 1u);
}

TEST_F(DownloaderTest, BaseUrlsAreTriedInTurnAndWrap) {
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kCloseAtOnce));
  ASSERT_TRUE(BeginTask({"/a/", "/b/", "/c/"}));
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_EQ(RequestLines(), (std::vector<std::string>{
                                "HEAD /a/pkg.pak HTTP/1.1", "HEAD /b/pkg.pak HTTP/1.1",
                                "HEAD /c/pkg.pak HTTP/1.1", "HEAD /a/pkg.pak HTTP/1.1",
                                "HEAD /b/pkg.pak HTTP/1.1"}));
  EXPECT_EQ(worker_->GetCurrentBaseUrl(), server_.Origin() + "/b/");
}

struct MisreadRangeCase {
  const char* label;
  HttpReply reply;
};

void PrintTo(const MisreadRangeCase& c, std::ostream* os) { *os << c.label; }

HttpReply IgnoringRange() {
  HttpReply reply;
  reply.honourRange = false;
  return reply;
}

HttpReply WrongOffset() {
  HttpReply reply;
  reply.rangeShift = -700;
  return reply;
}

class MisreadRange : public DownloaderTest, public testing::WithParamInterface<MisreadRangeCase> {};

TEST_P(MisreadRange, FailsTheCheckAndStartsOverFromByteZero) {
  const std::string image = MakeDownloadImage(6000);
  server_.SetBody(image);
  server_.QueueReply(HttpReply::Serve());
  server_.QueueReply(DropAfter(1500));
  server_.QueueReply(HttpReply::Serve());
  server_.QueueReply(GetParam().reply);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(CountLog("Check file content failed " + server_.Origin() + "/d/pkg.pak."), 1u);
  EXPECT_EQ(GetRanges(), (std::vector<std::string>{"0-", "1500-", "0-"}));
  EXPECT_EQ(TakenImage(), image);
}

INSTANTIATE_TEST_SUITE_P(Servers, MisreadRange,
                         testing::Values(MisreadRangeCase{"ignores range", IgnoringRange()},
                                         MisreadRangeCase{"partial from wrong offset",
                                                          WrongOffset()}));

TEST_F(DownloaderTest, ImageWithBadCrcIsRejected) {
  std::string image = MakeDownloadImage(2000);
  image[4] ^= 0x55;
  server_.SetBody(image);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_EQ(CountLog("Check file content failed"), 5u);
  uint8_t* taken = nullptr;
  uint32_t size = 0;
  EXPECT_TRUE(worker_->TakeImage(&taken, &size));
  EXPECT_EQ(taken, nullptr);
}

TEST_F(DownloaderTest, StopDuringTheRetryWaitEndsTheTaskAtOnce) {
  // A wait far longer than the test may run: only stop can end it.
  SetTiming(600000);
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kCloseAtOnce));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitForLog("Wait 600000 mini seconds to retry"));
  EXPECT_TRUE(worker_->Finish());
  EXPECT_FALSE(worker_->IsSucceeded());
  EXPECT_FALSE(worker_->IsFailed());
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(CountLog("No more retry"), 0u);
}

TEST_F(DownloaderTest, RestartGoesOnWithTheNextBaseUrlWhileTheBudgetLasts) {
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kCloseAtOnce));
  ASSERT_TRUE(BeginTask({"/a/", "/b/"}));
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsFailed());
  worker_->SetRestartBudget(2);
  EXPECT_TRUE(worker_->Restart());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  const std::vector<std::string> lines = RequestLines();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[5], "HEAD /b/pkg.pak HTTP/1.1");
  EXPECT_FALSE(worker_->Restart());
  EXPECT_EQ(worker_->GetRestartBudget(), 0);
  EXPECT_EQ(server_.RequestCount(), 10u);
}

TEST_F(DownloaderTest, RestartWithABudgetOfOneRefuses) {
  MakeWorker();
  worker_->SetRestartBudget(1);
  EXPECT_FALSE(worker_->Restart());
  EXPECT_FALSE(worker_->HasTask());
}

// ---------------------------------------------------------------------------
// Redirects.

struct RedirectCase {
  const char* label;
  std::string location;  // ORIGIN stands for the server's origin
  std::string path;      // what the redirected HEAD asks for
};

void PrintTo(const RedirectCase& c, std::ostream* os) { *os << c.label; }

class HeadRedirect : public DownloaderTest, public testing::WithParamInterface<RedirectCase> {};

TEST_P(HeadRedirect, ReachesTheSameServerOnItsPort) {
  const std::string image = MakeDownloadImage(2500);
  server_.SetBody(image);
  std::string location = GetParam().location;
  const size_t origin = location.find("ORIGIN");
  if (origin != std::string::npos) location.replace(origin, 6, server_.Origin());
  server_.QueueReply(HttpReply::Redirect(location));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(RequestLines(), (std::vector<std::string>{"HEAD /d/pkg.pak HTTP/1.1",
                                                      "HEAD " + GetParam().path + " HTTP/1.1",
                                                      "GET " + GetParam().path + " HTTP/1.1"}));
  EXPECT_EQ(TakenImage(), image);
}

INSTANTIATE_TEST_SUITE_P(
    Locations, HeadRedirect,
    testing::Values(RedirectCase{"absolute", "ORIGIN/abs/x.pak", "/abs/x.pak"},
                    RedirectCase{"root relative", "/moved/x.pak", "/moved/x.pak"},
                    RedirectCase{"bare relative", "x.pak", "/d/x.pak"}));

TEST_F(DownloaderTest, RedirectOfAGetIsFollowedAtOnceOnItsPort) {
  const std::string image = MakeDownloadImage(2500);
  server_.SetBody(image);
  server_.QueueReply(HttpReply::Redirect("/moved/pkg.pak"));
  MakeWorker(true);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(RequestLines(), (std::vector<std::string>{"GET /d/pkg.pak HTTP/1.0",
                                                      "GET /moved/pkg.pak HTTP/1.0"}));
  EXPECT_EQ(TakenImage(), image);
}

TEST_F(DownloaderTest, RedirectLoopFailsThePassAfterTwentyRedirects) {
  server_.SetDefaultReply(HttpReply::Redirect("/loop/pkg.pak"));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  // Five passes of the first HEAD and twenty redirected ones each.
  EXPECT_EQ(server_.RequestCount(), 5u * 21u);
  EXPECT_EQ(CountLog("Too many redirects of file"), 5u);
}

// ---------------------------------------------------------------------------
// Sizes from the network.

struct SizeCase {
  const char* label;
  std::string head;  // HEAD answer
  const char* message;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.label; }

class NetworkSize : public DownloaderTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(NetworkSize, UnusableLengthFailsEveryPassWithoutAllocating) {
  server_.SetBody(MakeDownloadImage(100));
  server_.SetDefaultReply(HttpReply::Raw(GetParam().head));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_GE(CountLog(GetParam().message), 1u);
  EXPECT_EQ(CountLog("create buffer"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkSize,
    testing::Values(
        SizeCase{"length beyond 32 bits",
                 "HTTP/1.1 200 OK\r\nContent-Length: 4294967296\r\n\r\n",
                 "file size 4294967296 is not acceptable"},
        SizeCase{"length below the header", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n",
                 "file size 11 is not acceptable"},
        SizeCase{"image that is no package",
                 "HTTP/1.1 200 OK\r\n\r\nNOPE00000000rest",
                 "file is not a HPAK file when download file"},
        SizeCase{"image header below its own size",
                 std::string("HTTP/1.1 200 OK\r\n\r\nHPAK\0\0\0\0\x0B\0\0\0rest", 34),
                 "file is not a HPAK file when download file"}));

TEST_F(DownloaderTest, UrlThatDoesNotParseFailsEveryPassAtTheConnection) {
  MakeWorker();
  const char* urls[] = {"ftp://127.0.0.1/d/"};
  ASSERT_TRUE(worker_->Begin(1, 2, 3, urls, 1, "pkg.pak"));
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_EQ(CountLog("Connect fail , 0 of file ftp://127.0.0.1/d/pkg.pak."), 5u);
  EXPECT_EQ(worker_->GetLastError(), HttpDownloader::kErrorExchangeConnect);
}

struct BadLocationCase {
  const char* label;
  std::string location;
};

void PrintTo(const BadLocationCase& c, std::ostream* os) { *os << c.label; }

class BadLocation : public DownloaderTest, public testing::WithParamInterface<BadLocationCase> {};

TEST_P(BadLocation, IsNeverSentAndFailsOnlyThatPass) {
  const std::string image = MakeDownloadImage(1500);
  server_.SetBody(image);
  server_.QueueReply(HttpReply::Redirect(GetParam().location));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  EXPECT_EQ(CountLog("Connect fail , 0 of file"), 1u);
  EXPECT_EQ(RequestLines(), (std::vector<std::string>{"HEAD /d/pkg.pak HTTP/1.1",
                                                      "HEAD /d/pkg.pak HTTP/1.1",
                                                      "GET /d/pkg.pak HTTP/1.1"}));
  EXPECT_EQ(TakenImage(), image);
}

INSTANTIATE_TEST_SUITE_P(
    Locations, BadLocation,
    testing::Values(BadLocationCase{"ftp", "FTP://127.0.0.1/x.pak"},
                    BadLocationCase{"control byte in host", "http://127.0.0.1\x01x/x.pak"},
                    BadLocationCase{"blank in host", "http://evil host/x.pak"},
                    BadLocationCase{"port beyond 65535", "http://127.0.0.1:70000/x.pak"}));

TEST_F(DownloaderTest, RequestThatOutgrowsItsBufferIsRefusedWhole) {
  server_.SetBody(MakeDownloadImage(5000));
  HttpReply reply = DropAfter(100);
  for (char c : std::string("xyz"))
    reply.extraHeaders += "Set-Cookie: " + std::string(240, c) + "\r\n";
  server_.SetDefaultReply(reply);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_GE(CountLog("Request of file " + server_.Origin() + "/d/pkg.pak does not fit its buffer, not sent."), 1u);
  for (const std::string& request : server_.Requests()) EXPECT_LE(request.size(), 2047u);
}

TEST_F(DownloaderTest, TotalSizeIsZeroUntilALengthIsSeen) {
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kStall));
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitForLog("Send http head request"));
  EXPECT_EQ(worker_->GetTotalSize(), 0);
  EXPECT_EQ(worker_->GetDownloadedSize(), 0);
  EXPECT_TRUE(worker_->Finish());
}

}  // namespace
}  // namespace HttpTests

namespace HttpTests {
namespace {

struct StopCase {
  const char* label;
  bool skipHead;
  std::vector<HttpReply> replies;  // then the server stalls
  const char* reached;             // log text that shows the worker waits
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

HttpReply StallingBody() {
  HttpReply reply;
  reply.stallAfterBodyBytes = 1000;
  return reply;
}

class StopWhileWaiting : public DownloaderTest, public testing::WithParamInterface<StopCase> {};

TEST_P(StopWhileWaiting, EndsTheTaskWithoutAFailureLine) {
  // Waits far longer than the test may run: only stop can end them.
  FileSystem::HttpDownloader::Timing timing;
  timing.receiveTimeoutMs = 600000;
  timing.retryWaitMs = 600000;
  FileSystem::HttpDownloader::SetTiming(timing);
  server_.SetBody(MakeDownloadImage(300000));
  for (const HttpReply& reply : GetParam().replies) server_.QueueReply(reply);
  server_.SetDefaultReply(HttpReply::Of(HttpReply::kStall));
  MakeWorker(GetParam().skipHead);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitForLog(GetParam().reached));
  EXPECT_TRUE(worker_->Finish());
  EXPECT_FALSE(worker_->IsSucceeded());
  EXPECT_FALSE(worker_->IsFailed());
  for (const TestSupport::LogLine& line : log_.Lines()) EXPECT_NE(line.level, 2) << line.text;
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StopWhileWaiting,
    testing::Values(StopCase{"head answer", false, {}, "Send http head request"},
                    StopCase{"get answer", true, {}, "Send http get request"},
                    StopCase{"get after head", false, {HttpReply::Serve()},
                             "Send http get request"},
                    StopCase{"body", false, {HttpReply::Serve(), StallingBody()},
                             "Receiving file"}));

TEST_F(DownloaderTest, RefusedConnectionFailsThePassWithoutWaitingOutTheTimeOut) {
  // A connect time-out longer than the test may run: a refusal must end
  // the wait by itself.
  FileSystem::HttpDownloader::Timing timing;
  timing.connectTimeoutMs = 600000;
  timing.retryWaitMs = 1;
  FileSystem::HttpDownloader::SetTiming(timing);
  int closedPort = 0;
  {
    TestFixtures::HttpTestServer gone;
    closedPort = gone.Port();
  }
  MakeWorker();
  const std::string url = "http://127.0.0.1:" + std::to_string(closedPort) + "/d/";
  const char* urls[] = {url.c_str()};
  ASSERT_TRUE(worker_->Begin(1, 2, 3, urls, 1, "pkg.pak"));
  ASSERT_TRUE(WaitUntilDone());
  EXPECT_TRUE(worker_->IsFailed());
  EXPECT_EQ(CountLog("Connect fail 127.0.0.1, " + std::to_string(closedPort)), 5u);
}

}  // namespace
}  // namespace HttpTests

namespace HttpTests {
namespace {

// A HEAD answered 3xx without a Location is followed by a plain GET on the
// same connection; these are the answers to that GET.
struct InfoGetCase {
  const char* label;
  HttpReply answer;
  std::string message;  // URL stands for the task's URL
};

void PrintTo(const InfoGetCase& c, std::ostream* os) { *os << c.label; }

class InfoGet : public DownloaderTest, public testing::WithParamInterface<InfoGetCase> {};

TEST_P(InfoGet, AnswerIsReadWithItsOwnMessages) {
  const std::string image = MakeDownloadImage(2000);
  server_.SetBody(image);
  server_.QueueReply(HttpReply::Raw("HTTP/1.1 302 Found\r\n\r\n"));
  server_.QueueReply(GetParam().answer);
  ASSERT_TRUE(BeginTask());
  ASSERT_TRUE(WaitUntilDone());
  ASSERT_TRUE(worker_->IsSucceeded());
  std::string message = GetParam().message;
  for (size_t at; (at = message.find("URL")) != std::string::npos;)
    message.replace(at, 3, server_.Origin() + "/d/pkg.pak");
  EXPECT_EQ(CountLog(message), 1u);
  const std::vector<std::string> lines = RequestLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "GET /d/pkg.pak HTTP/1.1");
  EXPECT_EQ(TakenImage(), image);
}

HttpReply NoLength() {
  HttpReply reply;
  reply.sendContentLength = false;
  return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InfoGet,
    testing::Values(
        InfoGetCase{"length known", HttpReply::Serve(),
                    "Get info by get of file URL success, Length=2000."},
        InfoGetCase{"no length", NoLength(),
                    "Get info by get of file URL success, no file length info."},
        InfoGetCase{"length too long",
                    HttpReply::Raw("HTTP/1.1 200 OK\r\nContent-Length:" + std::string(22, ' ') +
                                   "2000\r\n\r\n"),
                    "get http by get of file URL, failed length error 26 > 25."},
        InfoGetCase{"redirect without location", HttpReply::Raw("HTTP/1.1 301 Moved\r\n\r\n"),
                    "Get info by get of file URL fail, retcode= 301, but not redirect."},
        InfoGetCase{"not found", HttpReply::Raw("HTTP/1.1 404 Not Found\r\n\r\n"),
                    "Get info by get of file URL ret code fail 404."},
        InfoGetCase{"redirect", HttpReply::Redirect("/d/pkg.pak"),
                    "Redirect file URL to URL."}));

}  // namespace
}  // namespace HttpTests
