// One look at a socket whose non-blocking connect is under way; both the
// update-server client and the HTTP connection poll with it between 1 ms
// sleeps, so that a stop is seen without a second thread.
#pragma once

#include <winsock2.h>

namespace FileSystem {

enum class ConnectPoll { kPending, kConnected, kFailed };

ConnectPoll PollConnect(SOCKET socket);

}  // namespace FileSystem
