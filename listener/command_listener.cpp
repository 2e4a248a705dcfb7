#include "listener/command_listener.h"

#include <algorithm>
#include <utility>

namespace dialserver {

CommandListener::CommandListener(SocketLayer& sockets) : sockets_(sockets) {
  libraryReady_ = sockets_.Startup();
}

CommandListener::~CommandListener() {
  for (const ClientEntry& entry : clients_.InOrder()) CloseSocket(entry.socket);
  clients_.Clear();
  if (listening_ != kNoSocket) CloseSocket(listening_);
  listening_ = kNoSocket;
  if (libraryReady_) sockets_.Cleanup();
}

bool CommandListener::StartListening() {
  if (!libraryReady_ || listening_ != kNoSocket) return false;
  const SocketHandle socket = sockets_.OpenStreamSocket();
  if (socket == kNoSocket) return false;
  if (!sockets_.BindAnyAddress(socket, kPort) || !sockets_.Listen(socket) ||
      !sockets_.SelectEvents(socket, kAcceptEvent)) {
    CloseSocket(socket);
    return false;
  }
  listening_ = socket;
  return true;
}

void CommandListener::HandleReport(SocketHandle socket, Report report) {
  if (socket == kNoSocket) return;
  // The listening socket reports connections only; client sockets everything else.
  if ((socket == listening_) != (report == Report::Connection)) return;
  switch (report) {
    case Report::Connection:
      OnConnection(socket);
      return;
    case Report::Read:
      OnRead(socket);
      return;
    case Report::Close:
      OnClose(socket);
      return;
    case Report::Resume:
      OnResume(socket);
      return;
  }
}

void CommandListener::OnConnection(SocketHandle listening) {
  const SocketHandle client = sockets_.Accept(listening);
  if (client == kNoSocket) return;
  // Named before it is registered: a connection that is closed at once then has no report
  // queued that could reach a later connection given the same handle.
  const std::optional<PeerAddress> peer = sockets_.PeerName(client);
  const std::optional<std::string> dotted =
      peer ? sockets_.DottedAddress(peer->address) : std::nullopt;
  if (!dotted || !sockets_.SelectEvents(client, kReadEvent | kCloseEvent)) {
    CloseSocket(client);
    return;
  }
  Text clientText = JoinTexts({*dotted, ":", std::to_string(peer->port)});
  clients_.Append(client, clientText);
  Deliver(Notification::ClientEntered, std::move(clientText));
}

void CommandListener::OnRead(SocketHandle socket) {
  const ClientEntry* entry = clients_.Find(socket);
  // A deferred client is read when its resume report comes, behind the reports of the others.
  if (entry != nullptr && entry->deferred) return;
  ReadAndDeliver(socket);
}

void CommandListener::OnResume(SocketHandle socket) {
  ClientEntry* entry = clients_.Find(socket);
  if (entry == nullptr || !entry->deferred) return;
  entry->deferred = false;
  ReadAndDeliver(socket);
}

void CommandListener::OnClose(SocketHandle socket) {
  if (clients_.Find(socket) != nullptr) {
    // What the client sent before it closed is still delivered: its last bytes may be the
    // command. The far end has closed, so what is left to read is bounded.
    for (;;) {
      const std::optional<unsigned long> ready = sockets_.ReadyByteCount(socket);
      if (!ready) break;
      Gathering gathering = Gather(socket, *ready);
      const bool more = gathering.reachedBound;
      if (!gathering.bytes.empty()) {
        Deliver(Notification::DataArrived, clients_.Find(socket)->clientText,
                std::move(gathering.bytes));
      }
      if (!more) break;
    }
    ClientEntry* entry = clients_.Find(socket);
    Text clientText = std::move(entry->clientText);
    clients_.Remove(socket);
    Deliver(Notification::ClientLeft, std::move(clientText));
  }
  CloseSocket(socket);
}

void CommandListener::ReadAndDeliver(SocketHandle socket) {
  const std::optional<unsigned long> ready = sockets_.ReadyByteCount(socket);
  if (!ready) return;
  Gathering gathering = Gather(socket, *ready);
  ClientEntry* entry = clients_.Find(socket);
  if (entry == nullptr || gathering.bytes.empty()) return;
  Deliver(Notification::DataArrived, entry->clientText, std::move(gathering.bytes));
  if (gathering.reachedBound) {
    // A client that fills a whole gathering waits behind the reports of the others, so one
    // fast sender cannot starve them.
    entry = clients_.Find(socket);
    // Should the resume report not be posted, the client is not deferred at all.
    if (entry != nullptr) entry->deferred = sockets_.PostResume(socket);
  }
}

CommandListener::Gathering CommandListener::Gather(SocketHandle socket, unsigned long readyCount) {
  Gathering gathering;
  std::size_t pieceSize =
      std::clamp<std::size_t>(static_cast<std::size_t>(readyCount), 1, kGatheringBound);
  while (gathering.bytes.size() < kGatheringBound) {
    const std::size_t already = gathering.bytes.size();
    pieceSize = std::min(pieceSize, kGatheringBound - already);
    gathering.bytes.resize(already + pieceSize);
    const int received =
        sockets_.Receive(socket, gathering.bytes.data() + already, static_cast<int>(pieceSize));
    if (received <= 0) {
      gathering.bytes.resize(already);
      return gathering;
    }
    gathering.bytes.resize(already + static_cast<std::size_t>(received));
    pieceSize = kLaterReceiveSize;
  }
  gathering.reachedBound = true;
  return gathering;
}

void CommandListener::Deliver(Notification notification, Text client, Bytes data) {
  currentClient_ = std::move(client);
  currentData_ = std::move(data);
  switch (notification) {
    case Notification::DataArrived:
      if (dataArrived_) dataArrived_(currentData_, currentClient_);
      break;
    case Notification::ClientEntered:
      if (clientEntered_) clientEntered_(currentClient_);
      break;
    case Notification::ClientLeft:
      if (clientLeft_) clientLeft_(currentClient_);
      break;
  }
  currentData_ = Bytes();
  currentClient_ = Text();
}

void CommandListener::CloseSocket(SocketHandle socket) {
  sockets_.SelectEvents(socket, kNoEvents);
  sockets_.Close(socket);
}

}  // namespace dialserver
