// Answers every product query on 127.0.0.1:9009 (the loopback game host's
// update server) with one reply; polled from the test's own thread between
// message loop passes.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

namespace activex_test {

class QueryServer {
public:
    explicit QueryServer(const std::string& reply);
    ~QueryServer();
    QueryServer(const QueryServer&) = delete;
    QueryServer& operator=(const QueryServer&) = delete;

    bool Ok() const { return listener != INVALID_SOCKET; }
    int Answered() const { return answered; }
    void Poll();

private:
    std::string reply;
    bool started = false;
    SOCKET listener = INVALID_SOCKET;
    std::vector<SOCKET> clients;
    int answered = 0;
};

} // namespace activex_test
