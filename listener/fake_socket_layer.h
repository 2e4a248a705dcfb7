// A scripted socket layer for the listener's tests: connections and bytes are queued by the test,
// every call is recorded, and each call can be made to fail.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "listener/socket_layer.h"

namespace dialserver {

class FakeSocketLayer final : public SocketLayer {
 public:
  struct Connection {
    std::string incoming;            // bytes the client has sent and the listener has not read
    bool peerClosed = false;         // the client has closed its sending side
    int receivesBeforeFailure = -1;  // receives that work before one fails; -1: no failure
  };

  // Fault switches.
  bool failStartup = false;
  bool failOpen = false;
  bool failBind = false;
  bool failListen = false;
  bool failSelectListening = false;
  bool failSelectClient = false;
  bool failAccept = false;
  bool failPeerName = false;
  bool failDotted = false;
  bool failReadyCount = false;
  bool failPostResume = false;

  // Queues a connection; the next Accept returns its socket.
  SocketHandle QueueConnection(std::uint32_t address, std::uint16_t port) {
    const SocketHandle socket = nextSocket_++;
    pending_.push_back(socket);
    peers_[socket] = PeerAddress{address, port};
    return socket;
  }
  Connection& connection(SocketHandle socket) { return connections_[socket]; }

  // What was called.
  std::vector<std::string> calls;
  std::vector<int> receiveSizes;
  std::vector<SocketHandle> closed;
  std::vector<SocketHandle> resumes;
  std::map<SocketHandle, unsigned> selected;
  int startups = 0;
  int cleanups = 0;
  std::uint16_t boundPort = 0;
  SocketHandle listening = kNoSocket;

  bool IsClosed(SocketHandle socket) const {
    return std::find(closed.begin(), closed.end(), socket) != closed.end();
  }

  bool Startup() override {
    calls.push_back("startup");
    if (failStartup) return false;
    ++startups;
    return true;
  }
  void Cleanup() override {
    calls.push_back("cleanup");
    ++cleanups;
  }
  SocketHandle OpenStreamSocket() override {
    calls.push_back("socket");
    if (failOpen) return kNoSocket;
    listening = nextSocket_++;
    return listening;
  }
  bool BindAnyAddress(SocketHandle, std::uint16_t port) override {
    calls.push_back("bind");
    boundPort = port;
    return !failBind;
  }
  bool Listen(SocketHandle) override {
    calls.push_back("listen");
    return !failListen;
  }
  bool SelectEvents(SocketHandle socket, unsigned events) override {
    calls.push_back("select " + std::to_string(socket) + " " + std::to_string(events));
    if (events != kNoEvents && (socket == listening ? failSelectListening : failSelectClient)) {
      return false;
    }
    selected[socket] = events;
    return true;
  }
  SocketHandle Accept(SocketHandle) override {
    calls.push_back("accept");
    if (failAccept || pending_.empty()) return kNoSocket;
    const SocketHandle socket = pending_.front();
    pending_.pop_front();
    connections_[socket];
    return socket;
  }
  std::optional<PeerAddress> PeerName(SocketHandle socket) override {
    if (failPeerName) return std::nullopt;
    return peers_.at(socket);
  }
  std::optional<std::string> DottedAddress(std::uint32_t address) override {
    if (failDotted) return std::nullopt;
    // The address is in network byte order: its first byte in memory is the first number.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
  }
  std::optional<unsigned long> ReadyByteCount(SocketHandle socket) override {
    if (failReadyCount) return std::nullopt;
    return static_cast<unsigned long>(connections_[socket].incoming.size());
  }
  int Receive(SocketHandle socket, char* buffer, int size) override {
    receiveSizes.push_back(size);
    Connection& c = connections_[socket];
    if (c.receivesBeforeFailure == 0) return -1;
    if (c.receivesBeforeFailure > 0) --c.receivesBeforeFailure;
    if (c.incoming.empty()) return c.peerClosed ? 0 : -1;
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(size), c.incoming.size());
    std::copy_n(c.incoming.begin(), count, buffer);
    c.incoming.erase(0, count);
    return static_cast<int>(count);
  }
  void Close(SocketHandle socket) override {
    calls.push_back("close " + std::to_string(socket));
    closed.push_back(socket);
  }
  bool PostResume(SocketHandle socket) override {
    if (failPostResume) return false;
    resumes.push_back(socket);
    return true;
  }

 private:
  SocketHandle nextSocket_ = 100;
  std::deque<SocketHandle> pending_;
  std::map<SocketHandle, PeerAddress> peers_;
  std::map<SocketHandle, Connection> connections_;
};

// An IPv4 address a.b.c.d in network byte order, whatever the host's order.
inline std::uint32_t NetworkAddress(unsigned char a, unsigned char b, unsigned char c,
                                    unsigned char d) {
  std::uint32_t address = 0;
  auto* bytes = reinterpret_cast<unsigned char*>(&address);
  bytes[0] = a;
  bytes[1] = b;
  bytes[2] = c;
  bytes[3] = d;
  return address;
}

}  // namespace dialserver
