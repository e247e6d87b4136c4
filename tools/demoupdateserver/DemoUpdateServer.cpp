// A standalone update server for the demo: it answers every product query
// with one base URL, on a free loopback port that it writes into a file, and
// serves until the file is deleted.
//   demo_update_server.exe <product> <server version> <base URL> <port file>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "FakeUpdateServer.h"
#include "ProductReplyBuilder.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: %s <product> <server version> <base URL> <port file>\n", argv[0]);
    return 2;
  }
  char* end = nullptr;
  unsigned long version = strtoul(argv[2], &end, 10);
  if (*end != '\0' || version == 0 || version > 65535) {
    fprintf(stderr, "bad server version %s\n", argv[2]);
    return 2;
  }
  TestFixtures::FakeUpdateServer server;
  if (!server.Ok()) {
    fprintf(stderr, "cannot listen on the loopback\n");
    return 1;
  }
  TestFixtures::ReplyPlan reply = TestFixtures::GoodReply(argv[1], static_cast<uint32_t>(version));
  reply.entries.clear();
  reply.entries.push_back({argv[3], false});
  server.AddScript(TestFixtures::Answer(TestFixtures::BuildReply(reply)));
  FILE* portFile = fopen(argv[4], "w");
  if (portFile == nullptr) {
    fprintf(stderr, "cannot write %s\n", argv[4]);
    return 1;
  }
  fprintf(portFile, "%u\n", static_cast<unsigned>(server.Port()));
  fclose(portFile);
  while (GetFileAttributesA(argv[4]) != INVALID_FILE_ATTRIBUTES) Sleep(50);
  return 0;
}
