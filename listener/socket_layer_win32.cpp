#include "listener/socket_layer_win32.h"

namespace dialserver {
namespace {

SOCKET ToSocket(SocketHandle socket) {
  return static_cast<SOCKET>(socket);
}

}  // namespace

static_assert(sizeof(SOCKET) == sizeof(SocketHandle) && INVALID_SOCKET == kNoSocket);

bool WinsockLayer::Startup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void WinsockLayer::Cleanup() {
  WSACleanup();
}

SocketHandle WinsockLayer::OpenStreamSocket() {
  return socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

bool WinsockLayer::BindAnyAddress(SocketHandle socket, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  return bind(ToSocket(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool WinsockLayer::Listen(SocketHandle socket) {
  return listen(ToSocket(socket), SOMAXCONN) == 0;
}

bool WinsockLayer::SelectEvents(SocketHandle socket, unsigned events) {
  long networkEvents = 0;
  if (events & kAcceptEvent) networkEvents |= FD_ACCEPT;
  if (events & kReadEvent) networkEvents |= FD_READ;
  if (events & kCloseEvent) networkEvents |= FD_CLOSE;
  const UINT message = networkEvents == 0 ? 0 : socketMessage_;
  return WSAAsyncSelect(ToSocket(socket), window_, message, networkEvents) == 0;
}

SocketHandle WinsockLayer::Accept(SocketHandle listening) {
  return accept(ToSocket(listening), nullptr, nullptr);
}

std::optional<PeerAddress> WinsockLayer::PeerName(SocketHandle socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (getpeername(ToSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET) {
    return std::nullopt;
  }
  return PeerAddress{address.sin_addr.s_addr, ntohs(address.sin_port)};
}

std::optional<std::string> WinsockLayer::DottedAddress(std::uint32_t address) {
  in_addr value{};
  value.s_addr = address;
  const char* dotted = inet_ntoa(value);
  if (dotted == nullptr) return std::nullopt;
  return std::string(dotted);
}

std::optional<unsigned long> WinsockLayer::ReadyByteCount(SocketHandle socket) {
  u_long count = 0;
  if (ioctlsocket(ToSocket(socket), FIONREAD, &count) != 0) return std::nullopt;
  return count;
}

int WinsockLayer::Receive(SocketHandle socket, char* buffer, int size) {
  const int received = recv(ToSocket(socket), buffer, size, 0);
  return received == SOCKET_ERROR ? -1 : received;
}

void WinsockLayer::Close(SocketHandle socket) {
  closesocket(ToSocket(socket));
}

bool WinsockLayer::PostResume(SocketHandle socket) {
  return PostMessageW(window_, resumeMessage_, static_cast<WPARAM>(socket), 0) != FALSE;
}

}  // namespace dialserver
