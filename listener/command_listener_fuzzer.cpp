// libFuzzer target: the fuzzer chooses a sequence of socket reports and the socket layer's
// answers; the listener must keep its promises whatever the order.
//  - no DataArrived without bytes, and none for a client that has not entered or has left;
//  - per client: ClientEntered, then its data in order, then ClientLeft, each once;
//  - current data and client are empty outside a delivery and match it inside;
//  - the table holds exactly the clients accepted and not yet closed;
//  - every socket is closed exactly once, the listening one included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "listener/command_listener.h"
#include "listener/fake_socket_layer.h"

namespace dialserver {
namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return position_ >= size_; }
  std::uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

struct Client {
  SocketHandle socket;
  std::string name;
  std::string sent;       // every byte the client sent
  std::string delivered;  // every byte delivered for it
  bool entered = false;
  bool left = false;
  bool closedByReport = false;
};

void Run(Input& input) {
  FakeSocketLayer sockets;
  sockets.failStartup = input.Byte() % 16 == 0;
  std::vector<Client> clients;
  std::map<std::string, std::size_t> byName;
  const CommandListener* current = nullptr;

  auto listener = std::make_unique<CommandListener>(sockets);
  current = listener.get();
  listener->BindClientEntered([&](const Text& name) {
    Check(current->CurrentClient() == name && current->CurrentData().empty(), "entered: current");
    Check(byName.count(name) == 1, "entered: a client that was accepted");
    Client& c = clients[byName[name]];
    Check(!c.entered && !c.left, "entered once, first");
    c.entered = true;
  });
  listener->BindDataArrived([&](const Bytes& data, const Text& name) {
    Check(!data.empty(), "no empty DataArrived");
    Check(current->CurrentData() == data && current->CurrentClient() == name, "data: current");
    Client& c = clients.at(byName.at(name));
    Check(c.entered && !c.left, "data between entered and left");
    c.delivered += data;
    Check(c.sent.compare(0, c.delivered.size(), c.delivered) == 0, "data in the order sent");
  });
  listener->BindClientLeft([&](const Text& name) {
    Check(current->CurrentClient() == name && current->CurrentData().empty(), "left: current");
    Client& c = clients.at(byName.at(name));
    Check(c.entered && !c.left, "left once, last");
    for (const ClientEntry& entry : current->Clients().InOrder()) {
      Check(entry.socket != c.socket, "left: entry removed first");
    }
    Check(!sockets.IsClosed(c.socket), "left before the socket is closed");
    c.left = true;
  });
  listener->StartListening();

  std::uint16_t nextPort = 1;
  std::set<SocketHandle> unknownClosed;
  while (!input.Empty()) {
    const std::uint8_t operation = input.Byte();
    Client* target = clients.empty() ? nullptr : &clients[input.Byte() % clients.size()];
    // Winsock reports only on sockets that were registered and are not closed yet.
    const bool reportable = target != nullptr && sockets.selected.count(target->socket) != 0 &&
                            !sockets.IsClosed(target->socket);
    switch (operation % 9) {
      case 0: {  // a client connects
        const SocketHandle s = sockets.QueueConnection(NetworkAddress(10, 0, 0, 1), nextPort);
        Client c;
        c.socket = s;
        c.name = "10.0.0.1:" + std::to_string(nextPort++);
        byName[c.name] = clients.size();
        clients.push_back(c);
        listener->HandleReport(sockets.listening, Report::Connection);
        break;
      }
      case 1:  // a client sends, sometimes a lot
        if (target != nullptr && !target->closedByReport) {
          const std::size_t length = (input.Byte() % 4 == 0) ? input.Byte() * 700u : input.Byte();
          std::string bytes(length, '\0');
          for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + nextPort);
          target->sent += bytes;
          sockets.connection(target->socket).incoming += bytes;
        }
        break;
      case 2:
        if (reportable) {
          listener->HandleReport(target->socket, Report::Read);
        }
        break;
      case 3:  // the socket layer reports a close, once per socket as Winsock does
        if (reportable) {
          target->closedByReport = true;
          sockets.connection(target->socket).peerClosed = input.Byte() % 2 == 0;
          listener->HandleReport(target->socket, Report::Close);
        }
        break;
      case 4:  // a resume report, possibly stale
        if (target != nullptr) listener->HandleReport(target->socket, Report::Resume);
        break;
      case 5: {  // a fault switch flips
        bool FakeSocketLayer::*switches[] = {
            &FakeSocketLayer::failAccept,     &FakeSocketLayer::failSelectClient,
            &FakeSocketLayer::failPeerName,   &FakeSocketLayer::failDotted,
            &FakeSocketLayer::failReadyCount,
        };
        bool& fault = sockets.*switches[input.Byte() % 5];
        fault = !fault;
        break;
      }
      case 6:
        if (target != nullptr) {
          sockets.connection(target->socket).receivesBeforeFailure = input.Byte() % 4 - 1;
        }
        break;
      case 7: {  // a report for a socket the listener never saw
        const SocketHandle unknown = 1000000 + input.Byte();
        const Report kinds[] = {Report::Read, Report::Close, Report::Resume, Report::Connection};
        const Report kind = kinds[input.Byte() % 4];
        if (kind == Report::Close && !unknownClosed.insert(unknown).second) break;
        listener->HandleReport(unknown, kind);
        break;
      }
      case 8:  // a connection report with nothing waiting
        listener->HandleReport(sockets.listening, Report::Connection);
        break;
    }
    Check(listener->CurrentData().empty() && listener->CurrentClient().empty(),
          "current values empty outside a delivery");
    std::set<SocketHandle> expected;
    for (const Client& c : clients) {
      if (c.entered && !c.left) expected.insert(c.socket);
    }
    std::set<SocketHandle> inTable;
    for (const ClientEntry& e : listener->Clients().InOrder()) inTable.insert(e.socket);
    Check(inTable == expected, "the table holds exactly the clients entered and not left");
  }

  listener.reset();
  std::map<SocketHandle, int> closes;
  for (SocketHandle s : sockets.closed) ++closes[s];
  for (const Client& c : clients) {
    const bool accepted = sockets.selected.count(c.socket) != 0 || closes.count(c.socket) != 0;
    if (accepted) Check(closes[c.socket] == 1, "every accepted socket closed exactly once");
    Check(c.left == (c.entered && c.closedByReport), "left exactly when closed by report");
  }
  if (sockets.listening != kNoSocket) {
    Check(closes[sockets.listening] == 1, "the listening socket closed exactly once");
  }
  Check(sockets.cleanups == sockets.startups, "the library stopped as often as it started");
}

}  // namespace
}  // namespace dialserver

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dialserver::Input input(data, size);
  dialserver::Run(input);
  return 0;
}
