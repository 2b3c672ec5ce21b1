#include "receiver_client.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zt::test {

ReceiverClient::ReceiverClient() {
  if (const char* port = std::getenv("ZT_RECEIVER_PORT")) port_ = std::atoi(port);
  if (const char* dir = std::getenv("ZT_RECEIVER_DIR")) dir_ = dir;
  if (const char* ports = std::getenv("ZT_RECEIVER_TLS_PORTS")) {
    std::istringstream list(ports);
    std::string port;
    for (int& slot : tlsPorts_) {
      if (std::getline(list, port, ',')) slot = std::atoi(port.c_str());
    }
  }
  if (const char* ca = std::getenv("ZT_RECEIVER_TLS_CA")) authority_ = ca;
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

std::string ReceiverClient::Exchange(const std::string& request) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return {};
  DWORD timeout = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(port_));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
    char buffer[4096];
    for (int i = 0; i < 10000; ++i) {
      int got = recv(s, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(got));
    }
  }
  closesocket(s);
  auto body = reply.find("\r\n\r\n");
  return body == std::string::npos ? std::string() : reply.substr(body + 4);
}

void ReceiverClient::Rule(const std::string& query) {
  Exchange("GET /_control?" + query + " HTTP/1.0\r\n\r\n");
}

void ReceiverClient::Reset() {
  const std::string body = "{\"reset\": true}";
  Exchange("POST /_control HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

long long ReceiverClient::BodyBytes() {
  return JsonInt(Exchange("GET /_control/status HTTP/1.0\r\n\r\n"), "body_bytes");
}

int ReceiverClient::TlsPort(Certificate which) const { return tlsPorts_[static_cast<int>(which)]; }

long ReceiverClient::Count() { return static_cast<long>(JsonInt(Exchange("GET /_control/status HTTP/1.0\r\n\r\n"), "count")); }

namespace {

std::string WaitForFile(const std::string& path) {
  // The account is written once the request has been answered.
  for (int i = 0; i < 300; ++i) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return ReadWholeFile(path);
    Sleep(100);
  }
  return {};
}

}  // namespace

std::string ReceiverClient::Raw(long number) {
  std::string account = Account(number);  // the raw record is complete once the account exists
  return account.empty() ? std::string() : ReadWholeFile(dir_ + "\\" + std::to_string(number) + ".raw");
}

std::string ReceiverClient::Account(long number) { return WaitForFile(dir_ + "\\" + std::to_string(number) + ".json"); }

long long JsonInt(const std::string& json, const std::string& key, std::size_t from) {
  const std::string quoted = "\"" + key + "\":";
  auto at = json.find(quoted, from);
  if (at == std::string::npos) return -1;
  return std::strtoll(json.c_str() + at + quoted.size(), nullptr, 10);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

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
