#include "net/WinsockInit.h"

#include <winsock2.h>
#include <windows.h>

namespace FileSystem {

namespace {

// The count and the start itself change together under one lock, so a guard
// that ends while another begins never stops the sockets under it. The lock
// is a plain interlocked flag: it needs no construction, so a guard made by
// another static object's constructor is safe too, and it is held only
// around WSAStartup/WSACleanup.
volatile LONG g_busy = 0;
long g_users = 0;

void Lock() {
  while (InterlockedCompareExchange(&g_busy, 1, 0) != 0) Sleep(0);
}

void Unlock() { InterlockedExchange(&g_busy, 0); }

}  // namespace

WinsockInit::WinsockInit() {
  Lock();
  if (g_users > 0) {
    ++g_users;
    ok_ = true;
  } else {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) == 0) {
      g_users = 1;
      ok_ = true;
    }
  }
  Unlock();
}

WinsockInit::~WinsockInit() {
  if (!ok_) return;
  Lock();
  if (--g_users == 0) WSACleanup();
  Unlock();
}

}  // namespace FileSystem
