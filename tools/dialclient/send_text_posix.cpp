#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/dialclient/send_text.h"

namespace dialclient {

bool SendText(const std::string& host, std::uint16_t port, const std::string& text,
              std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses);
  if (lookup != 0) {
    *error = gai_strerror(lookup);
    return false;
  }
  int connection = -1;
  int lastError = 0;
  for (addrinfo* a = addresses; a != nullptr && connection < 0; a = a->ai_next) {
    connection = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (connection < 0) {
      lastError = errno;
      continue;
    }
    if (connect(connection, a->ai_addr, a->ai_addrlen) != 0) {
      lastError = errno;
      close(connection);
      connection = -1;
    }
  }
  freeaddrinfo(addresses);
  if (connection < 0) {
    *error = std::strerror(lastError);
    return false;
  }
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      *error = std::strerror(errno);
      close(connection);
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  close(connection);
  return true;
}

}  // namespace dialclient
