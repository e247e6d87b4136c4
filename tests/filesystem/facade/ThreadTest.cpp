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

// Waits, bounded, until the thread that ran the callback has ended: its
// callback has returned and the system has let the thread go.
bool WaitUntilThreadEnded(Gate& gate) {
  const DWORD start = GetTickCount();
  while (InterlockedCompareExchange(&gate.runs, 0, 0) == 0) {
    if (GetTickCount() - start > 10000) return false;
    Sleep(1);
  }
  HANDLE ran = OpenThread(SYNCHRONIZE, FALSE, gate.threadId);
  // Gone already is ended too: the id no longer names a thread.
  if (ran == nullptr) return true;
  const bool ended = WaitForSingleObject(ran, 10000) == WAIT_OBJECT_0;
  CloseHandle(ran);
  return ended;
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
  ASSERT_TRUE(WaitUntilThreadEnded(gate));
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
