#include "base/Thread.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

struct Gate {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  LONG runs = 0;
  DWORD threadId = 0;
  ~Gate() { CloseHandle(release); }
};

void WaitAtGate(void* argument) {
  Gate* gate = static_cast<Gate*>(argument);
  gate->threadId = GetCurrentThreadId();
  InterlockedIncrement(&gate->runs);
  WaitForSingleObject(gate->release, INFINITE);
}

TEST(Thread, RunsTheCallbackOnAnotherThreadAndJoins) {
  Gate gate;
  SetEvent(gate.release);
  FileSystem::Thread thread;
  ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
  thread.Join();
  EXPECT_EQ(gate.runs, 1);
  EXPECT_NE(gate.threadId, GetCurrentThreadId());
  EXPECT_FALSE(thread.IsStarted());
}

TEST(Thread, RefusesASecondStartWhileHoldingAThread) {
  Gate gate;
  FileSystem::Thread thread;
  ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
  EXPECT_FALSE(thread.Start(WaitAtGate, &gate));
  SetEvent(gate.release);
  thread.Join();
  EXPECT_EQ(gate.runs, 1);
}

TEST(Thread, AFinishedButUnjoinedThreadStillRefusesAStart) {
  Gate gate;
  SetEvent(gate.release);
  FileSystem::Thread thread;
  ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
  while (InterlockedCompareExchange(&gate.runs, 0, 0) == 0) Sleep(1);
  Sleep(10);
  EXPECT_FALSE(thread.Start(WaitAtGate, &gate));
  thread.Join();
}

TEST(Thread, StartsAgainAfterJoin) {
  Gate gate;
  SetEvent(gate.release);
  FileSystem::Thread thread;
  ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
  thread.Join();
  ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
  thread.Join();
  EXPECT_EQ(gate.runs, 2);
}

TEST(Thread, JoinWithoutAThreadReturnsAtOnce) {
  FileSystem::Thread thread;
  thread.Join();
  thread.Join();
  EXPECT_FALSE(thread.IsStarted());
}

TEST(Thread, NullCallbackStillGivesAJoinableThread) {
  FileSystem::Thread thread;
  ASSERT_TRUE(thread.Start(nullptr, nullptr));
  thread.Join();
}

TEST(Thread, DestructorJoins) {
  Gate gate;
  {
    FileSystem::Thread thread;
    ASSERT_TRUE(thread.Start(WaitAtGate, &gate));
    SetEvent(gate.release);
  }
  EXPECT_EQ(gate.runs, 1);
}

}  // namespace
