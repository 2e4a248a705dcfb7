#include "listener/command_listener.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "listener/fake_socket_layer.h"

namespace dialserver {
namespace {

using namespace std::string_literals;

// One line per notification, with what the listener said about itself during it.
struct Delivery {
  std::string what;  // "data <bytes> <client>", "entered <client>" or "left <client>"
  Bytes currentData;
  Text currentClient;
  std::size_t tableSize;
  bool operator==(const Delivery&) const = default;
};

class CommandListenerTest : public testing::Test {
 protected:
  void Build() {
    listener = std::make_unique<CommandListener>(sockets);
    listener->BindDataArrived(
        [this](const Bytes& data, const Text& client) { Record("data " + data + " " + client); });
    listener->BindClientEntered([this](const Text& client) { Record("entered " + client); });
    listener->BindClientLeft([this](const Text& client) { Record("left " + client); });
  }
  void Record(std::string what) {
    deliveries.push_back(Delivery{std::move(what), listener->CurrentData(),
                                  listener->CurrentClient(), listener->Clients().Size()});
  }
  std::vector<std::string> What() const {
    std::vector<std::string> lines;
    for (const Delivery& d : deliveries) lines.push_back(d.what);
    return lines;
  }
  void StartListening() {
    Build();
    ASSERT_TRUE(listener->StartListening());
  }
  SocketHandle Connect(std::uint16_t port = 50000) {
    const SocketHandle socket = sockets.QueueConnection(NetworkAddress(10, 0, 0, 5), port);
    listener->HandleReport(sockets.listening, Report::Connection);
    return socket;
  }
  void Send(SocketHandle socket, const std::string& bytes) {
    sockets.connection(socket).incoming += bytes;
  }

  FakeSocketLayer sockets;
  std::unique_ptr<CommandListener> listener;
  std::vector<Delivery> deliveries;
};

TEST_F(CommandListenerTest, ListensOnEveryAddressForConnectionsOnly) {
  StartListening();
  EXPECT_TRUE(listener->IsListening());
  EXPECT_EQ(sockets.boundPort, 19730);
  EXPECT_EQ(sockets.calls,
            (std::vector<std::string>{"startup", "socket", "bind", "listen", "select 100 1"}));
}

TEST_F(CommandListenerTest, AnyStepOfListeningCanFailAndClosesWhatItOpened) {
  const struct {
    const char* what;
    bool FakeSocketLayer::*fault;
    std::vector<std::string> calls;
  } cases[] = {
      {"library", &FakeSocketLayer::failStartup, {"startup"}},
      {"socket", &FakeSocketLayer::failOpen, {"startup", "socket", "cleanup"}},
      {"bind",
       &FakeSocketLayer::failBind,
       {"startup", "socket", "bind", "select 100 0", "close 100", "cleanup"}},
      {"listen",
       &FakeSocketLayer::failListen,
       {"startup", "socket", "bind", "listen", "select 100 0", "close 100", "cleanup"}},
      {"register",
       &FakeSocketLayer::failSelectListening,
       {"startup", "socket", "bind", "listen", "select 100 1", "select 100 0", "close 100",
        "cleanup"}},
  };
  for (const auto& c : cases) {
    FakeSocketLayer fake;
    fake.*c.fault = true;
    {
      CommandListener failing(fake);
      EXPECT_FALSE(failing.StartListening()) << c.what;
      EXPECT_FALSE(failing.IsListening()) << c.what;
    }
    // Destruction closes nothing twice and stops the library only if it started.
    EXPECT_EQ(fake.calls, c.calls) << c.what;
  }
}

TEST_F(CommandListenerTest, NamesANewClientAndRegistersItForReadAndClose) {
  StartListening();
  const SocketHandle client = Connect(50000);
  EXPECT_EQ(sockets.selected[client], unsigned{kReadEvent | kCloseEvent});
  EXPECT_EQ(deliveries,
            (std::vector<Delivery>{{"entered 10.0.0.5:50000", "", "10.0.0.5:50000", 1}}));
  EXPECT_EQ(listener->CurrentClient(), "");
  EXPECT_EQ(listener->CurrentData(), "");
}

TEST_F(CommandListenerTest, ANewConnectionThatCannotBeRegisteredOrNamedIsClosed) {
  const struct {
    const char* what;
    bool FakeSocketLayer::*fault;
    bool accepted;
  } cases[] = {
      {"accept", &FakeSocketLayer::failAccept, false},
      {"register", &FakeSocketLayer::failSelectClient, true},
      {"peer name", &FakeSocketLayer::failPeerName, true},
      {"dotted address", &FakeSocketLayer::failDotted, true},
  };
  for (const auto& c : cases) {
    FakeSocketLayer fake;
    CommandListener failing(fake);
    int notifications = 0;
    failing.BindClientEntered([&](const Text&) { ++notifications; });
    ASSERT_TRUE(failing.StartListening());
    fake.*c.fault = true;
    const SocketHandle client = fake.QueueConnection(NetworkAddress(127, 0, 0, 1), 1);
    failing.HandleReport(fake.listening, Report::Connection);
    EXPECT_EQ(notifications, 0) << c.what;
    EXPECT_EQ(failing.Clients().Size(), 0u) << c.what;
    EXPECT_EQ(fake.IsClosed(client), c.accepted) << c.what;
    EXPECT_FALSE(fake.IsClosed(fake.listening)) << c.what;
    // A later connection is served again.
    fake.*c.fault = false;
    fake.QueueConnection(NetworkAddress(127, 0, 0, 1), 2);
    failing.HandleReport(fake.listening, Report::Connection);
    EXPECT_EQ(notifications, 1) << c.what;
  }
}

TEST_F(CommandListenerTest, DeliversEverythingReadyInOneNotification) {
  const struct {
    const char* what;
    std::string sent;
    std::vector<int> receiveSizes;
  } cases[] = {
      {"the command", "1", {1, 1024}},
      {"3000 bytes", std::string(3000, 'x'), {3000, 1024}},
      {"zero bytes",
       "\0"
       "1\0\0"
       "2"s,
       {5, 1024}},
      {"two sends", "11", {2, 1024}},
      {"1500 bytes", std::string(1500, 'y'), {1500, 1024}},
  };
  for (const auto& c : cases) {
    deliveries.clear();
    sockets.receiveSizes.clear();
    if (!listener) StartListening();
    const SocketHandle client = Connect();
    deliveries.clear();
    Send(client, c.sent);
    listener->HandleReport(client, Report::Read);
    EXPECT_EQ(deliveries, (std::vector<Delivery>{{"data " + c.sent + " 10.0.0.5:50000", c.sent,
                                                  "10.0.0.5:50000", listener->Clients().Size()}}))
        << c.what;
    EXPECT_EQ(sockets.receiveSizes, c.receiveSizes) << c.what;
    EXPECT_EQ(listener->CurrentData(), "") << c.what;
  }
}

TEST_F(CommandListenerTest, AReadReportWithNothingReadyDeliversNothing) {
  StartListening();
  const SocketHandle client = Connect();
  deliveries.clear();
  // A ready count of 0 still tries one receive of one byte.
  listener->HandleReport(client, Report::Read);
  EXPECT_EQ(sockets.receiveSizes, (std::vector<int>{1}));
  EXPECT_TRUE(deliveries.empty()) << "no DataArrived without bytes";
}

TEST_F(CommandListenerTest, ReadFailuresDeliverWhatWasGathered) {
  StartListening();
  const SocketHandle client = Connect();
  deliveries.clear();

  Send(client, "1");
  sockets.failReadyCount = true;
  listener->HandleReport(client, Report::Read);
  EXPECT_TRUE(deliveries.empty()) << "a failed ready-count query ignores the report";
  EXPECT_TRUE(sockets.receiveSizes.empty());
  sockets.failReadyCount = false;

  Send(client, std::string(2000, 'z'));  // 2001 ready: one receive of 2001 works
  sockets.connection(client).incoming += "tail";
  sockets.connection(client).receivesBeforeFailure = 1;
  listener->HandleReport(client, Report::Read);
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].currentData.size(), 2005u) << "the ready count was taken at the start";
}

TEST_F(CommandListenerTest, AReceiveFailingMidwayDeliversTheBytesBeforeIt) {
  StartListening();
  const SocketHandle client = Connect();
  deliveries.clear();
  Send(client, "abc");
  listener->HandleReport(client, Report::Read);  // takes "abc"
  Send(client, std::string(5000, 'q'));
  sockets.connection(client).receivesBeforeFailure = 2;  // 5000, then 1024... stop after two
  listener->HandleReport(client, Report::Read);
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[0].currentData, "abc");
  EXPECT_EQ(deliveries[1].currentData, std::string(5000, 'q'));
}

TEST_F(CommandListenerTest, AReadForAnUnknownSocketDeliversNothing) {
  StartListening();
  Send(555, "1");
  listener->HandleReport(555, Report::Read);
  EXPECT_TRUE(deliveries.empty());
}

TEST_F(CommandListenerTest, CurrentValuesAreCopiesDuringADeliveryOnly) {
  StartListening();
  const SocketHandle client = Connect();
  std::vector<Bytes> seen;
  listener->BindDataArrived([&](const Bytes& data, const Text&) {
    Bytes first = listener->CurrentData();
    first[0] = 'X';  // a copy: changing it changes nothing
    seen.push_back(listener->CurrentData());
    seen.push_back(listener->CurrentData());
    seen.push_back(data);
  });
  Send(client,
       "1\0"
       "2"s);
  listener->HandleReport(client, Report::Read);
  EXPECT_EQ(seen, (std::vector<Bytes>{"1\0"
                                      "2"s,
                                      "1\0"
                                      "2"s,
                                      "1\0"
                                      "2"s}));
  EXPECT_EQ(listener->CurrentData(), "");
  EXPECT_EQ(listener->CurrentClient(), "");
}

TEST_F(CommandListenerTest, AFastSenderIsDeferredBehindTheOthers) {
  StartListening();
  const SocketHandle fast = Connect(1);
  const SocketHandle slow = Connect(2);
  deliveries.clear();
  const std::size_t bound = CommandListener::kGatheringBound;
  Send(fast, std::string(bound * 2 + 10, 'j'));
  Send(slow, "1");

  listener->HandleReport(fast, Report::Read);
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].currentData.size(), bound);
  EXPECT_EQ(sockets.receiveSizes.front(), static_cast<int>(bound)) << "capped by the bound";
  EXPECT_EQ(sockets.resumes, (std::vector<SocketHandle>{fast}));

  // Its further read reports are ignored until the resume report; the others are served.
  sockets.receiveSizes.clear();
  listener->HandleReport(fast, Report::Read);
  EXPECT_TRUE(sockets.receiveSizes.empty());
  listener->HandleReport(slow, Report::Read);
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[1].what, "data 1 10.0.0.5:2");

  listener->HandleReport(fast, Report::Resume);
  listener->HandleReport(fast, Report::Resume);  // a second one is stale
  listener->HandleReport(fast, Report::Resume);
  ASSERT_EQ(deliveries.size(), 4u);
  EXPECT_EQ(deliveries[2].currentData.size(), bound);
  EXPECT_EQ(deliveries[3].currentData.size(), 10u);
  EXPECT_EQ(sockets.resumes.size(), 2u) << "a gathering below the bound is not deferred";

  // Not deferred any more: a read report is served at once.
  Send(fast, "x");
  listener->HandleReport(fast, Report::Read);
  ASSERT_EQ(deliveries.size(), 5u);
  EXPECT_EQ(deliveries[4].currentData, "x");
}

TEST_F(CommandListenerTest, AClientWhoseResumeCannotBePostedIsNotDeferred) {
  StartListening();
  const SocketHandle fast = Connect();
  deliveries.clear();
  Send(fast, std::string(CommandListener::kGatheringBound + 3, 'j'));
  sockets.failPostResume = true;
  listener->HandleReport(fast, Report::Read);
  listener->HandleReport(fast, Report::Read);  // served, not ignored
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[1].currentData, "jjj");
}

TEST_F(CommandListenerTest, CloseDeliversWhatIsLeftThenClientLeft) {
  StartListening();
  const SocketHandle quiet = Connect(1);
  const SocketHandle sender = Connect(2);
  const SocketHandle big = Connect(3);
  Send(sender, "1");
  Send(big, std::string(CommandListener::kGatheringBound + 5, 'b') + "1");
  for (SocketHandle s : {quiet, sender, big}) {
    sockets.connection(s).peerClosed = true;
    listener->HandleReport(s, Report::Close);
    EXPECT_TRUE(sockets.IsClosed(s));
  }
  ASSERT_EQ(What().size(), 9u);
  EXPECT_EQ(What()[3], "left 10.0.0.5:1");
  EXPECT_EQ(What()[4], "data 1 10.0.0.5:2");
  EXPECT_EQ(What()[5], "left 10.0.0.5:2");
  EXPECT_EQ(deliveries[6].currentData.size(), CommandListener::kGatheringBound);
  EXPECT_EQ(deliveries[7].currentData, "bbbbb1");
  EXPECT_EQ(What()[8], "left 10.0.0.5:3");
  // During ClientLeft the entry is gone and the current data is empty.
  EXPECT_EQ(deliveries[8].tableSize, 0u);
  EXPECT_EQ(deliveries[8].currentData, "");
  EXPECT_EQ(deliveries[8].currentClient, "10.0.0.5:3");
  EXPECT_TRUE(sockets.resumes.empty()) << "a closing client is drained, not deferred";
}

TEST_F(CommandListenerTest, TheSocketIsClosedAfterClientLeft) {
  StartListening();
  const SocketHandle client = Connect();
  bool closedDuringHandler = true;
  listener->BindClientLeft([&](const Text&) { closedDuringHandler = sockets.IsClosed(client); });
  listener->HandleReport(client, Report::Close);
  EXPECT_FALSE(closedDuringHandler);
  EXPECT_TRUE(sockets.IsClosed(client));
  // A second close report finds no entry: closed again at the socket layer's word, no notice.
  deliveries.clear();
  listener->HandleReport(client, Report::Close);
  EXPECT_TRUE(deliveries.empty());
}

TEST_F(CommandListenerTest, ACloseForAnUnknownSocketOnlyClosesIt) {
  StartListening();
  listener->HandleReport(777, Report::Close);
  EXPECT_TRUE(deliveries.empty());
  EXPECT_TRUE(sockets.IsClosed(777));
  EXPECT_EQ(sockets.calls.back(), "close 777");
}

TEST_F(CommandListenerTest, ReportsOfTheWrongKindForASocketAreIgnored) {
  StartListening();
  const SocketHandle client = Connect();
  deliveries.clear();
  listener->HandleReport(sockets.listening, Report::Close);
  listener->HandleReport(sockets.listening, Report::Read);
  sockets.QueueConnection(NetworkAddress(1, 2, 3, 4), 5);
  listener->HandleReport(client, Report::Connection);
  EXPECT_TRUE(deliveries.empty());
  EXPECT_FALSE(sockets.IsClosed(sockets.listening));
  EXPECT_TRUE(listener->IsListening());
}

TEST_F(CommandListenerTest, TenClientsAreEachNamedAndTheirDataNamesThem) {
  StartListening();
  std::vector<SocketHandle> clients;
  for (std::uint16_t port = 40000; port < 40010; ++port) clients.push_back(Connect(port));
  for (std::size_t i = clients.size(); i-- > 0;) {
    Send(clients[i], std::to_string(i));
    listener->HandleReport(clients[i], Report::Read);
  }
  ASSERT_EQ(deliveries.size(), 20u);
  for (std::size_t i = 0; i < 10; ++i) {
    const std::string name = "10.0.0.5:" + std::to_string(40000 + i);
    EXPECT_EQ(deliveries[i].what, "entered " + name);
    EXPECT_EQ(deliveries[19 - i].what, "data " + std::to_string(i) + " " + name);
  }
}

TEST_F(CommandListenerTest, DestructionClosesClientsInOrderThenListeningWithoutClientLeft) {
  StartListening();
  const SocketHandle first = Connect(1);
  const SocketHandle second = Connect(2);
  const SocketHandle third = Connect(3);
  listener->HandleReport(second, Report::Close);
  deliveries.clear();
  sockets.closed.clear();
  listener.reset();
  EXPECT_TRUE(deliveries.empty());
  EXPECT_EQ(sockets.closed, (std::vector<SocketHandle>{first, third, sockets.listening}));
  EXPECT_EQ(sockets.cleanups, 1);
  EXPECT_EQ(sockets.calls.back(), "cleanup");
  EXPECT_EQ(sockets.selected[first], unsigned{kNoEvents}) << "reports cancelled before closing";
}

TEST_F(CommandListenerTest, NothingIsDeliveredWithoutAHandlerBound) {
  CommandListener bare(sockets);
  ASSERT_TRUE(bare.StartListening());
  sockets.QueueConnection(NetworkAddress(127, 0, 0, 1), 9);
  bare.HandleReport(sockets.listening, Report::Connection);
  ASSERT_EQ(bare.Clients().Size(), 1u);
  const SocketHandle client = bare.Clients().InOrder().front().socket;
  sockets.connection(client).incoming = "1";
  bare.HandleReport(client, Report::Read);
  bare.HandleReport(client, Report::Close);
  EXPECT_EQ(bare.Clients().Size(), 0u);
}

}  // namespace
}  // namespace dialserver
