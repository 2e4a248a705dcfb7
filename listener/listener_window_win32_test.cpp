// The listener against Wine's real Winsock: clients on 127.0.0.1 connect to port 19730, and the
// listener's reports arrive as messages that this test pumps.
#include "listener/listener_window_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialserver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Event {
  std::string kind;  // "data", "entered", "left"
  Bytes data;
  Text client;
};

class ListenerWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    parent_ = CreateWindowExW(0, L"STATIC", L"listener test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    control_.reset();
    for (SOCKET s : clients_) closesocket(s);
    if (blocker_ != INVALID_SOCKET) closesocket(blocker_);
    DestroyWindow(parent_);
    WSACleanup();
  }

  void CreateListener() {
    control_ = ListenerWindow::Create(parent_);
    ASSERT_NE(control_, nullptr);
    CommandListener& listener = control_->Listener();
    listener.BindDataArrived([this](const Bytes& data, const Text& client) {
      events_.push_back({"data", data, client});
    });
    listener.BindClientEntered([this](const Text& client) {
      events_.push_back({"entered", "", client});
    });
    listener.BindClientLeft([this](const Text& client) {
      events_.push_back({"left", "", client});
    });
  }

  // Handles the thread's messages until the condition holds or the deadline passes.
  bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      if (condition()) return true;
      if (Clock::now() >= deadline) return false;
      MSG message;
      if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
    }
  }
  bool PumpUntilEvents(std::size_t count) {
    return PumpUntil([&] { return events_.size() >= count; });
  }
  // Keeps handling messages for a while, for checks that something does not happen.
  void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
  }

  SOCKET Connect() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(CommandListener::kPort);
    EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
        << WSAGetLastError();
    clients_.push_back(s);
    return s;
  }
  static std::string NameOf(SOCKET s) {
    sockaddr_in address{};
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  }
  static void SendAll(SOCKET s, const std::string& bytes) {
    ASSERT_EQ(send(s, bytes.data(), static_cast<int>(bytes.size()), 0),
              static_cast<int>(bytes.size()));
  }
  void CloseClient(SOCKET s) {
    closesocket(s);
    std::erase(clients_, s);
  }
  // Waits, without handling any message, until the listener's end of the newest connection has
  // `count` bytes ready: as if the UI thread were busy meanwhile.
  bool WaitUnpumpedForReadyBytes(unsigned long count) {
    const SocketHandle server = control_->Listener().Clients().InOrder().back().socket;
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      u_long ready = 0;
      if (ioctlsocket(static_cast<SOCKET>(server), FIONREAD, &ready) == 0 && ready >= count) {
        return true;
      }
      Sleep(5);
    }
    return false;
  }

  HWND parent_ = nullptr;
  std::unique_ptr<ListenerWindow> control_;
  std::vector<Event> events_;
  std::vector<SOCKET> clients_;
  SOCKET blocker_ = INVALID_SOCKET;
};

TEST_F(ListenerWindowTest, TheCommandArrivesAsOneByteNamedByTheClient) {
  CreateListener();
  ASSERT_TRUE(control_->Listener().IsListening());
  const SOCKET client = Connect();
  ASSERT_TRUE(PumpUntilEvents(1));
  EXPECT_EQ(events_[0].kind, "entered");
  EXPECT_EQ(events_[0].client, NameOf(client));
  SendAll(client, "1");
  ASSERT_TRUE(PumpUntilEvents(2));
  EXPECT_EQ(events_[1].kind, "data");
  EXPECT_EQ(events_[1].data, "1");
  EXPECT_EQ(events_[1].client, NameOf(client));
}

TEST_F(ListenerWindowTest, BytesReadyTogetherComeInOneNotificationWithZerosKept) {
  CreateListener();
  const SOCKET client = Connect();
  ASSERT_TRUE(PumpUntilEvents(1));
  std::string bytes(3000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 7 == 0 ? 0 : i);
  SendAll(client, bytes);
  ASSERT_TRUE(WaitUnpumpedForReadyBytes(3000));
  ASSERT_TRUE(PumpUntilEvents(2));
  PumpFor(200ms);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[1].data, bytes);
}

TEST_F(ListenerWindowTest, TwoSendsWhileTheThreadIsBusyComeAsOne) {
  CreateListener();
  const SOCKET client = Connect();
  ASSERT_TRUE(PumpUntilEvents(1));
  BOOL noDelay = TRUE;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof noDelay);
  SendAll(client, "1");
  SendAll(client, "1");
  ASSERT_TRUE(WaitUnpumpedForReadyBytes(2));
  ASSERT_TRUE(PumpUntilEvents(2));
  PumpFor(200ms);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[1].data, "11");
}

TEST_F(ListenerWindowTest, ConnectAndCloseGivesEnteredThenLeft) {
  CreateListener();
  const SOCKET client = Connect();
  const std::string name = NameOf(client);
  CloseClient(client);
  ASSERT_TRUE(PumpUntilEvents(2));
  PumpFor(100ms);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0].kind + " " + events_[0].client, "entered " + name);
  EXPECT_EQ(events_[1].kind + " " + events_[1].client, "left " + name);
  EXPECT_EQ(control_->Listener().Clients().Size(), 0u);
}

TEST_F(ListenerWindowTest, ACommandSentJustBeforeClosingIsNotLost) {
  CreateListener();
  const SOCKET client = Connect();
  const std::string name = NameOf(client);
  SendAll(client, "1");
  CloseClient(client);
  ASSERT_TRUE(PumpUntilEvents(3));
  EXPECT_EQ(events_[0].kind, "entered");
  EXPECT_EQ(events_[1].kind + " " + events_[1].data + " " + events_[1].client, "data 1 " + name);
  EXPECT_EQ(events_[2].kind + " " + events_[2].client, "left " + name);
}

TEST_F(ListenerWindowTest, TenClientsAreNamedApartAndTheirDataNamesThem) {
  CreateListener();
  std::vector<SOCKET> clients;
  for (int i = 0; i < 10; ++i) clients.push_back(Connect());
  ASSERT_TRUE(PumpUntilEvents(10));
  for (int i = 0; i < 10; ++i) SendAll(clients[i], std::to_string(i));
  ASSERT_TRUE(PumpUntilEvents(20));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(events_[i].kind + " " + events_[i].client, "entered " + NameOf(clients[i]));
  }
  for (int i = 10; i < 20; ++i) {
    ASSERT_EQ(events_[i].kind, "data");
    const int sender = std::stoi(events_[i].data);
    EXPECT_EQ(events_[i].client, NameOf(clients[sender]));
  }
}

TEST_F(ListenerWindowTest, DestroyingItClosesEveryClientWithoutClientLeft) {
  CreateListener();
  const SOCKET first = Connect();
  const SOCKET second = Connect();
  ASSERT_TRUE(PumpUntilEvents(2));
  control_.reset();
  PumpFor(100ms);
  EXPECT_EQ(events_.size(), 2u);
  for (SOCKET s : {first, second}) {
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    char byte;
    // The end of the stream, and never a byte from the listener.
    EXPECT_EQ(recv(s, &byte, 1, 0), 0) << WSAGetLastError();
  }
}

TEST_F(ListenerWindowTest, WithThePortTakenNothingListensAndNothingIsReported) {
  blocker_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(CommandListener::kPort);
  ASSERT_EQ(bind(blocker_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(blocker_, SOMAXCONN), 0);

  CreateListener();
  EXPECT_FALSE(control_->Listener().IsListening());
  const SOCKET client = Connect();
  SendAll(client, "1");
  PumpFor(300ms);
  EXPECT_TRUE(events_.empty());
}

TEST_F(ListenerWindowTest, AFastSenderDoesNotDelayAnotherClientsCommand) {
  CreateListener();
  const SOCKET junk = Connect();
  const SOCKET commander = Connect();
  ASSERT_TRUE(PumpUntilEvents(2));
  const std::string junkName = NameOf(junk);
  const std::string commanderName = NameOf(commander);

  std::size_t junkBytes = 0;
  Clock::time_point commandSeen{};
  control_->Listener().BindDataArrived([&](const Bytes& data, const Text& client) {
    if (client == junkName) junkBytes += data.size();
    if (client == commanderName && data == "1") commandSeen = Clock::now();
  });
  std::atomic<bool> stop{false};
  std::atomic<bool> stopped{false};
  std::thread sender([&] {
    const std::string block(64 * 1024, 'j');
    while (!stop) {
      if (send(junk, block.data(), static_cast<int>(block.size()), 0) <= 0) break;
    }
    stopped = true;
  });
  // Once the junk is flowing at full speed, the command goes out.
  const bool flowing = PumpUntil([&] { return junkBytes > 8 * 1024 * 1024; }, 30s);
  const auto sent = Clock::now();
  SendAll(commander, "1");
  const bool served = PumpUntil([&] { return commandSeen != Clock::time_point{}; }, 10s);
  stop = true;
  // Reading on frees a sender blocked in send.
  PumpUntil([&] { return stopped.load(); }, 30s);
  sender.join();
  ASSERT_TRUE(flowing);
  ASSERT_TRUE(served);
  const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(commandSeen - sent);
  std::printf("command served %lld ms after it was sent, behind %zu junk bytes\n",
              static_cast<long long>(latency.count()), junkBytes);
  EXPECT_LT(latency, 500ms);
}

}  // namespace
}  // namespace dialserver
