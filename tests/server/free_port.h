// A TCP port of the loopback interface that was free a moment ago, for
// starting a server process on.
#ifndef TOMEVA_TESTS_SERVER_FREE_PORT_H_
#define TOMEVA_TESTS_SERVER_FREE_PORT_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tomeva::testing {

inline int FreePort() {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  close(sock);
  return ntohs(address.sin_port);
}

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_SERVER_FREE_PORT_H_
