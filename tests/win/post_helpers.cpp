#include "post_helpers.h"

#include <winsock2.h>

namespace zt::test {

int ClosedLoopbackPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 0;
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof(addr);
  const bool bound = bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
                     getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
  closesocket(s);
  return bound ? ntohs(addr.sin_port) : 0;
}

}  // namespace zt::test
