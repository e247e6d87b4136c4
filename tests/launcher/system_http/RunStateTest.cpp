#include "ReportSink.h"  // winsock2.h before windows.h

#include <gtest/gtest.h>

#include "HttpClient.h"
#include "RunState.h"
#include "ScratchFolder.h"
#include "StatReporter.h"

namespace {

using TestFixtures::ReportSink;

constexpr DWORD kWaitMs = 10000;

TEST(RunState, RecordsAnEventOnceWithItsExactLine) {
  ScratchFolder folder;
  RunState state(folder.Path());
  EXPECT_FALSE(state.TestAndSet("RunClient"));
  EXPECT_TRUE(state.TestAndSet("RunClient"));
  EXPECT_FALSE(state.TestAndSet("Installed"));
  EXPECT_EQ("[RunClient]=true;\r\n[Installed]=true;\r\n", ReadWholeFile(state.Path()));
}

TEST(RunState, SuffixOfAnotherEventIsToldApart) {
  ScratchFolder folder;
  RunState state(folder.Path());
  EXPECT_FALSE(state.TestAndSet("SelfUpdateSuccess"));
  EXPECT_FALSE(state.TestAndSet("UpdateSuccess"));
  EXPECT_TRUE(state.TestAndSet("UpdateSuccess"));
}

TEST(RunState, NullNameIsNeverRecorded) {
  ScratchFolder folder;
  RunState state(folder.Path());
  EXPECT_FALSE(state.TestAndSet(nullptr));
  EXPECT_EQ("", ReadWholeFile(state.Path()));
}

TEST(RunState, ContentCountsUpToTheFirstNul) {
  ScratchFolder folder;
  RunState state(folder.Path());
  WriteWholeFile(state.Path(), std::string("[RunClient]=true;\r\n\0[Installed]=true;\r\n", 40));
  EXPECT_TRUE(state.TestAndSet("RunClient"));
  EXPECT_FALSE(state.TestAndSet("Installed"));
  EXPECT_EQ("[RunClient]=true;\r\n[Installed]=true;\r\n", ReadWholeFile(state.Path()));
}

TEST(RunState, CreatesTheFolderWithItsParents) {
  ScratchFolder folder;
  RunState state(folder.Path() + "dorvgame\\product");
  EXPECT_FALSE(state.TestAndSet("RunClient"));
  EXPECT_TRUE(state.TestAndSet("RunClient"));
  EXPECT_EQ("[RunClient]=true;\r\n", ReadWholeFile(folder.Path() + "dorvgame\\product\\runstate.cfg"));
}

TEST(RunState, UnwritableFileLeavesEveryEventNew) {
  ScratchFolder folder;
  // A folder where the file should be: it can be neither read nor written.
  CreateDirectoryA((folder.Path() + "runstate.cfg").c_str(), nullptr);
  RunState state(folder.Path());
  EXPECT_FALSE(state.TestAndSet("RunClient"));
  EXPECT_FALSE(state.TestAndSet("RunClient"));
}

class StatReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sink_.Ok());
    ASSERT_TRUE(client_.Start());
    reporter_.Configure(true, sink_.Url("/velmor_manager/api/stat/globalstat"));
  }

  ScratchFolder folder_;
  RunState state_{folder_.Path()};
  ReportSink sink_;
  HttpClient client_;
  StatReporter reporter_{&state_, &client_};
};

// Every one-time event: recorded once, posted once with its type, and the
// second report sends nothing.
TEST_F(StatReportTest, EachEventIsRecordedAndReportedOnce) {
  std::string expectedFile;
  std::vector<std::string> expectedBodies;
  for (const OneTimeEvent& event : kOneTimeEvents) {
    if (event.type == 0) {
      EXPECT_FALSE(state_.TestAndSet(event.name));
    } else {
      EXPECT_TRUE(reporter_.ReportStat(event.name, event.type)) << event.name;
      expectedBodies.push_back("type=" + std::to_string(event.type));
    }
    expectedFile += std::string("[") + event.name + "]=true;\r\n";
  }
  for (const OneTimeEvent& event : kOneTimeEvents) {
    if (event.type != 0) {
      EXPECT_FALSE(reporter_.ReportStat(event.name, event.type)) << event.name;
    }
  }
  client_.Stop();
  ASSERT_EQ(expectedBodies.size(), sink_.Count());
  const std::vector<TestFixtures::SinkRequest> requests = sink_.Requests();
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ("POST", requests[i].method);
    EXPECT_EQ("/velmor_manager/api/stat/globalstat", requests[i].path);
    EXPECT_EQ(expectedBodies[i], requests[i].body);
    EXPECT_NE(std::string::npos,
              requests[i].head.find("Content-Type: application/x-www-form-urlencoded"));
  }
  EXPECT_EQ(expectedFile, ReadWholeFile(state_.Path()));
}

TEST_F(StatReportTest, DisabledStatisticsStillRecordTheEventAsNew) {
  reporter_.Configure(false, sink_.Url("/stat"));
  EXPECT_TRUE(reporter_.ReportStat("LoginSuccess", 8));
  EXPECT_FALSE(reporter_.ReportStat("LoginSuccess", 8));
  // A marker request after it: once it arrived, the worker has passed the
  // place where a statistics post would have been.
  client_.Post(sink_.Url("/marker").c_str(), "marker");
  ASSERT_TRUE(sink_.WaitForCount(1, kWaitMs));
  client_.Stop();
  ASSERT_EQ(1u, sink_.Count());
  EXPECT_EQ("/marker", sink_.Requests()[0].path);
  EXPECT_EQ("[LoginSuccess]=true;\r\n", ReadWholeFile(state_.Path()));
}

TEST(StatReporter, BodyIsTheType) {
  EXPECT_EQ("type=1", StatReporter::Body(1));
  EXPECT_EQ("type=-13", StatReporter::Body(-13));
}

}  // namespace
