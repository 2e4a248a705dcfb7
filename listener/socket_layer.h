// The socket calls the listener makes, one method each, so that the listener's logic is portable
// and every failure can be injected in tests. The program's implementation is Winsock
// (socket_layer_win32.h), which reports network events as messages on the UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dialserver {

using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};

// Network events a socket can be registered for.
enum SocketEvents : unsigned {
  kNoEvents = 0,
  kAcceptEvent = 1u << 0,
  kReadEvent = 1u << 1,
  kCloseEvent = 1u << 2,
};

// The address of a connection's far end.
struct PeerAddress {
  std::uint32_t address;  // IPv4 address, network byte order
  std::uint16_t port;     // host byte order
};

class SocketLayer {
 public:
  SocketLayer() = default;
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;
  virtual ~SocketLayer() = default;

  // WSAStartup asking for version 1.1: true when the library is ready.
  virtual bool Startup() = 0;
  // WSACleanup, once for each successful Startup.
  virtual void Cleanup() = 0;

  // socket(AF_INET, SOCK_STREAM, IPPROTO_TCP): a new socket, or kNoSocket.
  virtual SocketHandle OpenStreamSocket() = 0;
  // bind to 0.0.0.0 and the port (both put in network byte order here): true on success.
  virtual bool BindAnyAddress(SocketHandle socket, std::uint16_t port) = 0;
  // listen with the backlog SOMAXCONN: true on success.
  virtual bool Listen(SocketHandle socket) = 0;
  // WSAAsyncSelect: reports exactly `events` of the socket from now on (kNoEvents cancels them
  // all), which also makes the socket non-blocking. True on success.
  virtual bool SelectEvents(SocketHandle socket, unsigned events) = 0;
  // accept: the new connection, or kNoSocket.
  virtual SocketHandle Accept(SocketHandle listening) = 0;
  // getpeername: the far end's IPv4 address and port, or nothing on failure.
  virtual std::optional<PeerAddress> PeerName(SocketHandle socket) = 0;
  // inet_ntoa: the dotted-decimal text of the address, or nothing on failure.
  virtual std::optional<std::string> DottedAddress(std::uint32_t address) = 0;
  // ioctlsocket FIONREAD: how many bytes are ready to be read, or nothing on failure.
  virtual std::optional<unsigned long> ReadyByteCount(SocketHandle socket) = 0;
  // recv of up to `size` bytes: the count received (> 0), 0 when the far end has closed its
  // sending side, or a negative value on failure, including when nothing is ready.
  virtual int Receive(SocketHandle socket, char* buffer, int size) = 0;
  // closesocket.
  virtual void Close(SocketHandle socket) = 0;

  // Posts a resume report for the socket to the back of the report queue, behind every report
  // already waiting there; false when it cannot be posted. Not a socket call: the listener uses
  // it to let other clients' reports go first after a large read.
  virtual bool PostResume(SocketHandle socket) = 0;
};

}  // namespace dialserver
