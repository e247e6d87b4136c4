// Keeps Windows Sockets started while at least one guard lives anywhere in the
// process. WSAStartup and WSACleanup are themselves counted by Windows, but
// counting here too lets every user simply hold a guard for as long as it
// talks to the network, without caring who else does.
#pragma once

namespace FileSystem {

class WinsockInit {
 public:
  // Starts Windows Sockets 2.0 unless a guard already holds it.
  WinsockInit();
  // Stops Windows Sockets when this was the last guard that started it.
  ~WinsockInit();
  WinsockInit(const WinsockInit&) = delete;
  WinsockInit& operator=(const WinsockInit&) = delete;

  // False when the start failed; the sockets calls must not be used then.
  bool Ok() const { return ok_; }

 private:
  bool ok_ = false;
};

}  // namespace FileSystem
