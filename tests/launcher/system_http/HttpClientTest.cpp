#include "ReportSink.h"  // winsock2.h before windows.h

#include <gtest/gtest.h>

#include "HttpClient.h"

namespace {

using TestFixtures::ReportSink;

constexpr DWORD kWaitMs = 10000;

TEST(HttpClient, StopSendsEveryQueuedRequestFirst) {
  ReportSink sink;
  ASSERT_TRUE(sink.Ok());
  HttpClient client;
  const char* bodies[] = {"type=1", "ServerAddress=1.2.3.4:5&Account=a b", ""};
  for (const char* body : bodies) client.Post(sink.Url("/report").c_str(), body);
  ASSERT_TRUE(client.Start());
  client.Stop();
  const auto requests = sink.Requests();
  ASSERT_EQ(3u, requests.size());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ("POST", requests[i].method);
    EXPECT_EQ("/report", requests[i].path);
    EXPECT_EQ(bodies[i], requests[i].body);
  }
  EXPECT_FALSE(client.Running());
}

TEST(HttpClient, StopWithoutStartAndTwiceIsHarmless) {
  HttpClient client;
  client.Stop();
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(client.Start());  // restarts
  client.Stop();
  client.Stop();
}

TEST(HttpClient, UnreachableServerDropsTheRequestAndGoesOn) {
  ReportSink sink;
  ASSERT_TRUE(sink.Ok());
  HttpClient client;
  client.Post("http://127.0.0.1:1/nothing", "type=1");
  client.Post("not a url", "type=2");
  client.Post(sink.Url("/after").c_str(), "type=3");
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(sink.WaitForCount(1, kWaitMs));
  client.Stop();
  EXPECT_EQ("type=3", sink.Requests()[0].body);
}

// A sink that accepts and never answers holds neither one request nor a
// queue of them past the total time-out.
TEST(HttpClient, StopReturnsWithinTheTotalTimeoutWhenTheSinkNeverAnswers) {
  const DWORD timeoutMs = 1500;
  ReportSink sink(ReportSink::Mode::kNeverAnswer);
  ASSERT_TRUE(sink.Ok());
  HttpClient client;
  client.SetTotalTimeout(timeoutMs);
  for (int i = 0; i < 4; ++i) client.Post(sink.Url("/stall").c_str(), "type=1");
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(sink.WaitForCount(1, kWaitMs));
  const DWORD start = GetTickCount();
  client.Stop();
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_LT(elapsed, timeoutMs + 1000) << elapsed;
  EXPECT_FALSE(client.Running());
}

TEST(HttpClient, EachStalledRequestEndsAtTheTotalTimeout) {
  const DWORD timeoutMs = 800;
  ReportSink sink(ReportSink::Mode::kNeverAnswer);
  ASSERT_TRUE(sink.Ok());
  HttpClient client;
  client.SetTotalTimeout(timeoutMs);
  ASSERT_TRUE(client.Start());
  client.Post(sink.Url("/one").c_str(), "a");
  client.Post(sink.Url("/two").c_str(), "b");
  // The second request reaches the sink only once the first gave up.
  ASSERT_TRUE(sink.WaitForCount(2, kWaitMs));
  client.Stop();
  EXPECT_EQ("/two", sink.Requests()[1].path);
}

}  // namespace
