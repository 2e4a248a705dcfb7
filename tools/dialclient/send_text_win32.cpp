#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/dialclient/send_text.h"

namespace dialclient {
namespace {

std::string Describe(int code) {
  char* text = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string description = text != nullptr ? text : "error " + std::to_string(code);
  LocalFree(text);
  while (!description.empty() && (description.back() == '\n' || description.back() == '\r')) {
    description.pop_back();
  }
  return description;
}

}  // namespace

bool SendText(const std::string& host, std::uint16_t port, const std::string& text,
              std::string* error) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    *error = "the socket library did not start";
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
  bool ok = false;
  if (lookup != 0) {
    *error = Describe(lookup);
  } else {
    SOCKET connection = INVALID_SOCKET;
    int lastError = 0;
    for (addrinfo* a = addresses; a != nullptr && connection == INVALID_SOCKET; a = a->ai_next) {
      connection = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
      if (connection == INVALID_SOCKET) {
        lastError = WSAGetLastError();
      } else if (connect(connection, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
        lastError = WSAGetLastError();
        closesocket(connection);
        connection = INVALID_SOCKET;
      }
    }
    freeaddrinfo(addresses);
    if (connection == INVALID_SOCKET) {
      *error = Describe(lastError);
    } else {
      std::size_t sent = 0;
      ok = true;
      while (ok && sent < text.size()) {
        const int n = send(connection, text.data() + sent, static_cast<int>(text.size() - sent), 0);
        if (n <= 0) {
          *error = Describe(WSAGetLastError());
          ok = false;
        } else {
          sent += static_cast<std::size_t>(n);
        }
      }
      closesocket(connection);
    }
  }
  WSACleanup();
  return ok;
}

}  // namespace dialclient
