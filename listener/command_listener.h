// The program's network endpoint: listens on TCP port 19730 on every local IPv4 address, accepts
// any number of clients, names each "address:port", gathers what they send and tells its owner
// through three numbered notifications. It never sends a byte.
//
// All work happens in HandleReport, called on the UI thread for each report of the socket layer,
// one at a time, in the order they were posted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "dial/text.h"
#include "listener/client_table.h"
#include "listener/socket_layer.h"

namespace dialserver {

enum class Notification { DataArrived = 0, ClientEntered = 1, ClientLeft = 2 };

enum class Report { Connection, Read, Close, Resume };

class CommandListener {
 public:
  static constexpr std::uint16_t kPort = 19730;
  // One gathering takes at most this many bytes; the rest waits for a later read. Every
  // gathering is written whole into the task field, and that write is what others wait for
  // behind a fast sender: under Wine it costs about 8 ms for 32 KiB and twice that for 64 KiB,
  // per byte the same, so shorter turns cost the fast sender nothing. (Exactly 16 KiB happens
  // to cost Wine's edit box as much as 64 KiB.)
  static constexpr std::size_t kGatheringBound = 32 * 1024;
  static constexpr int kLaterReceiveSize = 1024;

  using DataHandler = std::function<void(const Bytes& data, const Text& client)>;
  using ClientHandler = std::function<void(const Text& client)>;

  // Starts the socket library; the table is empty and nothing listens yet.
  explicit CommandListener(SocketLayer& sockets);
  // Closes every client in acceptance order (no ClientLeft), then the listening socket, then
  // stops the socket library if it started.
  ~CommandListener();
  CommandListener(const CommandListener&) = delete;
  CommandListener& operator=(const CommandListener&) = delete;

  // Whether the listener now listens. Any failure leaves it not listening for good.
  bool StartListening();

  // At most one handler per notification; a later binding replaces an earlier one.
  void BindDataArrived(DataHandler handler) { dataArrived_ = std::move(handler); }
  void BindClientEntered(ClientHandler handler) { clientEntered_ = std::move(handler); }
  void BindClientLeft(ClientHandler handler) { clientLeft_ = std::move(handler); }

  // Copies of the bytes and the client of the notification being delivered; empty otherwise.
  Bytes CurrentData() const { return currentData_; }
  Text CurrentClient() const { return currentClient_; }

  void HandleReport(SocketHandle socket, Report report);

  bool IsListening() const { return listening_ != kNoSocket; }
  const ClientTable& Clients() const { return clients_; }

 private:
  struct Gathering {
    Bytes bytes;
    bool reachedBound = false;
  };

  void OnConnection(SocketHandle listening);
  void OnRead(SocketHandle socket);
  void OnClose(SocketHandle socket);
  void OnResume(SocketHandle socket);

  // Reads and delivers one gathering; defers the client when it reached the bound.
  void ReadAndDeliver(SocketHandle socket);
  Gathering Gather(SocketHandle socket, unsigned long readyCount);
  void Deliver(Notification notification, Text client, Bytes data = {});
  void CloseSocket(SocketHandle socket);

  SocketLayer& sockets_;
  bool libraryReady_ = false;
  SocketHandle listening_ = kNoSocket;
  ClientTable clients_;
  Bytes currentData_;
  Text currentClient_;
  DataHandler dataArrived_;
  ClientHandler clientEntered_;
  ClientHandler clientLeft_;
};

}  // namespace dialserver
