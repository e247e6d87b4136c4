// libcurl, built for the target, fetching one URL into memory with its
// default settings: the download benchmark's same-platform client peer.
//   curl_peer <URL>
// Output: "wall <s> cpu <s> bytes <n>", or a line starting with "failed".
#include <curl/curl.h>

#include <cstdio>
#include <vector>

#include "PeerTimer.h"

namespace {

size_t Append(char* bytes, size_t size, size_t count, void* user) {
  std::vector<char>* body = static_cast<std::vector<char>*>(user);
  body->insert(body->end(), bytes, bytes + size * count);
  return size * count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: curl_peer <URL>\n");
    return 2;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const double wallStart = Peers::WallSeconds();
  const double cpuStart = Peers::ProcessCpuSeconds();
  std::vector<char> body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, argv[1]);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  const double wall = Peers::WallSeconds() - wallStart;
  const double cpu = Peers::ProcessCpuSeconds() - cpuStart;
  curl_global_cleanup();
  if (result != CURLE_OK || status != 200) {
    std::printf("failed: curl %d, status %ld\n", static_cast<int>(result), status);
    return 1;
  }
  std::printf("wall %.3f cpu %.3f bytes %zu\n", wall, cpu, body.size());
  return 0;
}
