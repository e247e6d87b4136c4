// The download benchmark's floor: one GET over a plain blocking WinSock
// socket with the download worker's receive-buffer size (SO_RCVBUF 65535),
// received in chunks of up to 1 MiB into one buffer of the announced length,
// the CRC-32 of each chunk taken as it arrives, as the worker does.
//   winsock_peer <host> <port> <path>
// Output: "wall <s> cpu <s> bytes <n>", or a line starting with "failed".
#include <winsock2.h>
#include <ws2tcpip.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PeerTimer.h"

namespace {

const int kReceiveBufferSize = 65535;
const int kChunk = 1 << 20;

bool SendAll(SOCKET s, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const int n = send(s, text.data() + sent, static_cast<int>(text.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// The head up to its empty line, one recv at a time with MSG_PEEK so that
// no body byte is taken with it.
bool ReadHead(SOCKET s, std::string* head) {
  char bytes[4096];
  while (head->find("\r\n\r\n") == std::string::npos) {
    const int seen = recv(s, bytes, sizeof bytes, MSG_PEEK);
    if (seen <= 0) return false;
    std::string joined = *head + std::string(bytes, static_cast<size_t>(seen));
    const size_t end = joined.find("\r\n\r\n");
    const int take = end == std::string::npos
                         ? seen
                         : static_cast<int>(end + 4 - head->size());
    if (recv(s, bytes, take, 0) != take) return false;
    head->append(bytes, static_cast<size_t>(take));
  }
  return true;
}

long long ContentLength(const std::string& head) {
  const char* at = std::strstr(head.c_str(), "Content-Length:");
  if (at == nullptr) return -1;
  return std::strtoll(at + 15, nullptr, 10);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: winsock_peer <host> <port> <path>\n");
    return 2;
  }
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return 1;
  const double wallStart = Peers::WallSeconds();
  const double cpuStart = Peers::ProcessCpuSeconds();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(std::atoi(argv[2])));
  address.sin_addr.s_addr = inet_addr(argv[1]);
  const int receiveBuffer = kReceiveBufferSize;
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
             sizeof receiveBuffer);
  std::string head;
  const std::string request = std::string("GET ") + argv[3] + " HTTP/1.1\r\nHost: " + argv[1] +
                              "\r\nConnection: close\r\n\r\n";
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      !SendAll(s, request) || !ReadHead(s, &head)) {
    std::printf("failed to connect or read the head\n");
    return 1;
  }
  const long long length = ContentLength(head);
  if (length <= 0) {
    std::printf("failed: no length\n");
    return 1;
  }
  std::vector<unsigned char> body(static_cast<size_t>(length));
  uLong crc = crc32(0, nullptr, 0);
  size_t received = 0;
  while (received < body.size()) {
    const size_t left = body.size() - received;
    const int want = left > static_cast<size_t>(kChunk) ? kChunk : static_cast<int>(left);
    const int n = recv(s, reinterpret_cast<char*>(body.data()) + received, want, 0);
    if (n <= 0) break;
    crc = crc32(crc, body.data() + received, static_cast<uInt>(n));
    received += static_cast<size_t>(n);
  }
  closesocket(s);
  const double wall = Peers::WallSeconds() - wallStart;
  const double cpu = Peers::ProcessCpuSeconds() - cpuStart;
  WSACleanup();
  if (received != body.size()) {
    std::printf("failed after %.3f s\n", wall);
    return 1;
  }
  std::printf("wall %.3f cpu %.3f bytes %zu crc %08lx\n", wall, cpu, received, crc);
  return 0;
}
