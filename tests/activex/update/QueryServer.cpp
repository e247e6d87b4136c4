#include "QueryServer.h"

namespace activex_test {

QueryServer::QueryServer(const std::string& reply) : reply(reply)
{
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(9009);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener == INVALID_SOCKET ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 8) != 0) {
        if (listener != INVALID_SOCKET)
            closesocket(listener);
        listener = INVALID_SOCKET;
        return;
    }
    u_long nonBlocking = 1;
    ioctlsocket(listener, FIONBIO, &nonBlocking);
}

QueryServer::~QueryServer()
{
    for (SOCKET client : clients)
        closesocket(client);
    if (listener != INVALID_SOCKET)
        closesocket(listener);
    if (started)
        WSACleanup();
}

void QueryServer::Poll()
{
    for (;;) {
        SOCKET client = ::accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            break;
        u_long blocking = 0;
        ioctlsocket(client, FIONBIO, &blocking);
        // The query is small: answer once its first bytes are in.
        char request[512];
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        timeval wait = {2, 0};
        if (select(0, &readable, nullptr, nullptr, &wait) == 1 &&
            ::recv(client, request, sizeof request, 0) > 0) {
            ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
            ++answered;
        }
        // Kept open until the end: the client closes once it read the reply.
        clients.push_back(client);
    }
}

} // namespace activex_test
