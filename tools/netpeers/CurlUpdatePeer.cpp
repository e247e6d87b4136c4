// libcurl, built for the target, fetching a list of packages with a given
// number of workers: the update benchmark's same-platform peers.
//   curl_update_peer <design|keepalive> <origin> <list file> <workers>
// design: the download workers' pattern, a thread per package (at most
//   <workers> at once), a HEAD on a fresh connection, then the GET on it
//   with "Connection: close";
// keepalive: <workers> long-lived threads, each with one handle whose
//   connection carries the HEAD and the GET of every package it takes.
// The list holds one path a line. Each body goes into memory.
// Output: "wall <s> packages <n> bytes <n>", or a line starting with "failed".
#include <curl/curl.h>
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "PeerTimer.h"

namespace {

struct Shared {
  std::string origin;
  std::vector<std::string> paths;
  volatile LONG next = 0;
  volatile LONG failures = 0;
  volatile LONG64 bytes = 0;
  HANDLE slots = nullptr;  // design: free worker places
};

size_t Append(char* bytes, size_t size, size_t count, void* user) {
  std::vector<char>* body = static_cast<std::vector<char>*>(user);
  body->insert(body->end(), bytes, bytes + size * count);
  return size * count;
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

// HEAD then GET of one path on the handle's connection.
bool Fetch(CURL* curl, const std::string& url, curl_slist* getHeaders, bool freshHead,
           Shared* shared) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, freshHead ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
  long status = 0;
  if (curl_easy_perform(curl) != CURLE_OK) return false;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return false;
  std::vector<char> body;
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 0L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, getHeaders);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (curl_easy_perform(curl) != CURLE_OK) return false;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return false;
  InterlockedExchangeAdd64(&shared->bytes, static_cast<LONG64>(body.size()));
  return true;
}

struct DesignTask {
  Shared* shared;
  size_t index;
};

unsigned __stdcall DesignThread(void* argument) {
  DesignTask* task = static_cast<DesignTask*>(argument);
  Shared* shared = task->shared;
  CURL* curl = curl_easy_init();
  curl_slist* close = curl_slist_append(nullptr, "Connection: close");
  if (curl == nullptr ||
      !Fetch(curl, shared->origin + shared->paths[task->index], close, true, shared))
    InterlockedIncrement(&shared->failures);
  curl_slist_free_all(close);
  if (curl != nullptr) curl_easy_cleanup(curl);
  ReleaseSemaphore(shared->slots, 1, nullptr);
  delete task;
  return 0;
}

bool RunDesign(Shared* shared, int workers) {
  shared->slots = CreateSemaphoreA(nullptr, workers, workers, nullptr);
  std::vector<HANDLE> threads;
  for (size_t i = 0; i < shared->paths.size(); ++i) {
    WaitForSingleObject(shared->slots, INFINITE);
    const uintptr_t thread =
        _beginthreadex(nullptr, 0, &DesignThread, new DesignTask{shared, i}, 0, nullptr);
    if (thread == 0) return false;
    threads.push_back(reinterpret_cast<HANDLE>(thread));
  }
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(shared->slots);
  return true;
}

unsigned __stdcall KeepAliveThread(void* argument) {
  Shared* shared = static_cast<Shared*>(argument);
  CURL* curl = curl_easy_init();
  for (;;) {
    const LONG index = InterlockedIncrement(&shared->next) - 1;
    if (index >= static_cast<LONG>(shared->paths.size())) break;
    if (curl == nullptr ||
        !Fetch(curl, shared->origin + shared->paths[static_cast<size_t>(index)], nullptr, false,
               shared))
      InterlockedIncrement(&shared->failures);
  }
  if (curl != nullptr) curl_easy_cleanup(curl);
  return 0;
}

bool RunKeepAlive(Shared* shared, int workers) {
  std::vector<HANDLE> threads;
  for (int i = 0; i < workers; ++i) {
    const uintptr_t thread = _beginthreadex(nullptr, 0, &KeepAliveThread, shared, 0, nullptr);
    if (thread == 0) return false;
    threads.push_back(reinterpret_cast<HANDLE>(thread));
  }
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: curl_update_peer <design|keepalive> <origin> <list file> <workers>\n");
    return 2;
  }
  const std::string mode = argv[1];
  Shared shared;
  shared.origin = argv[2];
  std::ifstream list(argv[3]);
  for (std::string line; std::getline(list, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (!line.empty()) shared.paths.push_back(line);
  }
  const int workers = std::atoi(argv[4]);
  if (shared.paths.empty() || workers < 1 || (mode != "design" && mode != "keepalive")) {
    std::printf("failed: bad arguments\n");
    return 2;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const double start = Peers::WallSeconds();
  const bool ran = mode == "design" ? RunDesign(&shared, workers) : RunKeepAlive(&shared, workers);
  const double wall = Peers::WallSeconds() - start;
  curl_global_cleanup();
  if (!ran || shared.failures != 0) {
    std::printf("failed: %ld of %zu packages\n", static_cast<long>(shared.failures),
                shared.paths.size());
    return 1;
  }
  std::printf("wall %.3f packages %zu bytes %lld\n", wall, shared.paths.size(),
              static_cast<long long>(shared.bytes));
  return 0;
}
