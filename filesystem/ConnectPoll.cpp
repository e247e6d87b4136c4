#include "ConnectPoll.h"

namespace FileSystem {

ConnectPoll PollConnect(SOCKET socket) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket, &writable);
  FD_SET(socket, &failed);
  timeval zero = {0, 0};
  // Windows reports a refused connect in the exception set, never as
  // writable; watching both ends a refused connect at once instead of after
  // the whole time-out.
  const int ready = select(0, nullptr, &writable, &failed, &zero);
  if (ready == SOCKET_ERROR) return ConnectPoll::kFailed;
  if (ready == 0) return ConnectPoll::kPending;
  if (FD_ISSET(socket, &failed)) return ConnectPoll::kFailed;
  int error = 0;
  int size = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
    return ConnectPoll::kFailed;
  return error == 0 ? ConnectPoll::kConnected : ConnectPoll::kFailed;
}

}  // namespace FileSystem
